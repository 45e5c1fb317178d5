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
    for (auto it = RenderMode::english().cbegin(); it != RenderMode::english().cend(); ++it)
        EXPECT_FALSE(it.value().isEmpty()) << it.key().toStdString();
}

TEST(FillPlaceholders, EachArgumentTakesTheFirstRemainingPlace) {
    const auto fill = [](const char* text, QStringList args) {
        return fillPlaceholders(QString::fromUtf8(text), args);
    };
    EXPECT_EQ(fill("%@ von %@ Lautsprechern", {"3", "4"}), QStringLiteral("3 von 4 Lautsprechern"));
    EXPECT_EQ(fill("„%@“", {"a", "b"}), QStringLiteral("„a“"));            // surplus arguments are dropped
    EXPECT_EQ(fill("%@ und %@", {"%@", "x"}), QStringLiteral("x und %@")); // searched from the start again
    EXPECT_EQ(fill("ohne", {}), QStringLiteral("ohne"));
}
