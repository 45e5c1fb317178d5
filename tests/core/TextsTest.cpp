#include "core/Texts.h"
#include "core/RenderMode.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {
// The system language is worked out once, from the environment, so German must be in place
// before main runs: under an English one the render-mode check below could not fail.
const bool germanSystem = [] {
    ::setenv("LC_ALL", "de_DE.UTF-8", 1);
    ::setenv("LANGUAGE", "de_DE", 1);
    return true;
}();
} // namespace

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
    ASSERT_TRUE(germanSystem);
    ASSERT_FALSE(Language::system()) << "this test runs under a German system language";
    EXPECT_EQ(L(QStringLiteral("Alle")), QStringLiteral("Alle"));
    // Render mode shows English whatever the system language.
    RenderMode::setActive();
    EXPECT_EQ(L(QStringLiteral("Alle")), QStringLiteral("All"));
    EXPECT_EQ(L(QStringLiteral("Unbekannte Räume")), QStringLiteral("Unknown rooms"));
    EXPECT_EQ(L(QStringLiteral("Speaker nicht erreichbar. Ein aktives VPN blockiert oft das lokale Netz.")),
              QStringLiteral("Speakers unreachable. An active VPN often blocks the local network."));
    EXPECT_EQ(L(QStringLiteral("Kein Eintrag")), QStringLiteral("Kein Eintrag"));
    EXPECT_EQ(RenderMode::english().size(), 6);
}
