#include "core/Texts.h"
#include "core/RenderMode.h"

#include <gtest/gtest.h>

TEST(Language, FirstPreferredLanguageDecides) {
    struct Case {
        QStringList languages;
        bool english;
    };
    const Case cases[] = {
        {{"de-DE", "en-US"}, false}, {{"de"}, false}, {{"de-CH"}, false}, {{"en-GB", "de-DE"}, true},
        {{"fr-FR"}, true},           {{}, true},      {{"DE"}, true}, // the test is case-sensitive
    };
    for (const auto& c : cases)
        EXPECT_EQ(Language::englishFor(c.languages), c.english) << c.languages.join(',').toStdString();
}

TEST(L, TranslatesKnownTextsOnceRenderModeIsOn) {
    // The test main runs in an English locale, so English is in use either way; render mode forces it.
    RenderMode::setActive();
    EXPECT_EQ(L(QStringLiteral("Alle")), QStringLiteral("All"));
    EXPECT_EQ(L(QStringLiteral("Unbekannte Räume")), QStringLiteral("Unknown rooms"));
    EXPECT_EQ(L(QStringLiteral("Speaker nicht erreichbar. Ein aktives VPN blockiert oft das lokale Netz.")),
              QStringLiteral("Speakers unreachable. An active VPN often blocks the local network."));
    EXPECT_EQ(L(QStringLiteral("Kein Eintrag")), QStringLiteral("Kein Eintrag"));
    EXPECT_EQ(RenderMode::english().size(), 6);
}
