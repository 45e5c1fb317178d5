#include "core/Texts.h"
#include "core/RenderMode.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

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

using namespace Qt::StringLiterals;

TEST(Language, FirstPreferredLanguageDecides) {
    struct Case {
        QStringList languages;
        bool english;
    };
    const Case cases[] = {
        {{u"de-DE"_s, u"en-US"_s}, false},
        {{u"de"_s}, false},
        {{u"de-CH"_s}, false},
        {{u"en-GB"_s, u"de-DE"_s}, true},
        {{u"fr-FR"_s}, true},
        {{u"en-DE"_s}, true},
        {{}, true},
        {{u"DE"_s}, true}, // the test is case-sensitive
    };
    for (const auto& c : cases)
        EXPECT_EQ(Language::englishFor(c.languages), c.english) << c.languages.join(u',').toStdString();
}

TEST(L, TranslatesWholeTextsOnceRenderModeIsOn) {
    ASSERT_TRUE(germanSystem);
    ASSERT_FALSE(Language::system()) << "this test runs under a German system language";
    // Render mode shows English whatever the system language.
    RenderMode::setActive();
    struct Case {
        QString german;
        QString shown;
    };
    const Case cases[] = {
        {u"Stumm"_s, u"Mute"_s},
        {u"Suche …"_s, u"Searching …"_s},
        {u"Suche ..."_s, u"Suche ..."_s}, // three ASCII dots are another text
        {u"Laut und leise mit der Tastatur,\nsolange Sonos spielt."_s,
         u"Louder and quieter from the keyboard,\nwhile Sonos plays."_s},
        {u"Speaker nicht erreichbar. Ein aktives VPN blockiert oft das lokale Netz."_s,
         u"Speakers unreachable. An active VPN often blocks the local network."_s},
        {u"Wohnzimmer"_s, u"Wohnzimmer"_s}, // data, not a key
        {u"stumm"_s, u"stumm"_s},           // no case folding
        {u" Stumm"_s, u" Stumm"_s},         // no trimming
    };
    for (const auto& c : cases)
        EXPECT_EQ(L(c.german), c.shown) << c.german.toStdString();
}

TEST(Texts, TableHoldsEveryPairOnceInOrderAndSpeaksOfThisComputer) {
    const auto pairs = Texts::pairs();
    ASSERT_EQ(pairs.size(), 159u);
    EXPECT_EQ(QString::fromUtf16(pairs.front().german), u"Weiter"_s);
    EXPECT_EQ(QString::fromUtf16(pairs.back().german), u"„%@“ liegt in einem anderen Netz"_s);
    EXPECT_EQ(Texts::english().size(), 159) << "a German text appears twice";

    static const QRegularExpression placeholder(u"%@|%d"_s);
    static const QRegularExpression otherSystem(u"\\bMac\\b|macOS"_s);
    for (const Texts::Pair& pair : pairs) {
        const QString german = QString::fromUtf16(pair.german);
        const QString english = QString::fromUtf16(pair.english);
        QStringList inGerman, inEnglish;
        for (const auto& m : placeholder.globalMatch(german))
            inGerman.append(m.captured());
        for (const auto& m : placeholder.globalMatch(english))
            inEnglish.append(m.captured());
        EXPECT_EQ(inGerman, inEnglish) << german.toStdString();
        EXPECT_FALSE(otherSystem.match(german).hasMatch()) << german.toStdString();
        EXPECT_FALSE(otherSystem.match(english).hasMatch()) << english.toStdString();
    }
}

TEST(Texts, FillPutsValuesIntoPlaceholdersInOrder) {
    RenderMode::setActive();
    EXPECT_EQ(Texts::fill(L(u"%@ von %@ Lautsprechern"_s), {u"3"_s, u"4"_s}), u"3 of 4 speakers"_s);
    EXPECT_EQ(Texts::fill(u"„%@“ antwortet nicht"_s, {u"Bad"_s, u"surplus"_s}), u"„Bad“ antwortet nicht"_s);
    EXPECT_EQ(Texts::fill(u"%@ von %@"_s, {u"1"_s}), u"1 von %@"_s);
    EXPECT_EQ(Texts::fill(u"%@"_s, {u"a %@ b"_s}), u"a %@ b"_s) << "a value is not searched again";
}

namespace {

// The text of a run of C++ string literals ("a" "b", u"a"_s), with its escapes undone.
QString literalText(const QString& run) {
    static const QRegularExpression literal(uR"re(u?8?"((?:[^"\\]|\\.)*)")re"_s);
    QString out;
    for (const auto& m : literal.globalMatch(run)) {
        const QString body = m.captured(1);
        for (qsizetype i = 0; i < body.size(); ++i) {
            if (body[i] != u'\\' || i + 1 == body.size()) {
                out += body[i];
                continue;
            }
            const QChar escaped = body[++i];
            out += escaped == u'n' ? QChar(u'\n') : escaped == u't' ? QChar(u'\t') : escaped;
        }
    }
    return out;
}

} // namespace

// Every fixed text handed to L() anywhere in the program has its English form in the table.
TEST(Texts, EveryLookedUpTextOfTheProgramIsInTheTable) {
    static const QRegularExpression call(
        uR"re(\bL\(\s*(?:QStringLiteral\(|QString::fromUtf8\(|QLatin1String\()?\s*((?:u?8?"(?:[^"\\]|\\.)*"\s*)+))re"_s);
    QSet<QString> missing;
    int found = 0;
    QDirIterator files(QStringLiteral(TAMBER_SOURCE_DIR "/src"), {u"*.cpp"_s, u"*.h"_s}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const QString source = QString::fromUtf8(file.readAll());
        for (const auto& m : call.globalMatch(source)) {
            ++found;
            const QString text = literalText(m.captured(1));
            if (!Texts::english().contains(text))
                missing.insert(u"  \""_s + text + u"\"  (in "_s + path.mid(path.lastIndexOf(u"/src/"_s) + 1) +
                               u")"_s);
        }
    }
    EXPECT_GT(found, 0) << "no L() call found: the pattern no longer matches the code";
    QStringList lines(missing.cbegin(), missing.cend());
    lines.sort();
    EXPECT_TRUE(missing.isEmpty()) << "texts passed to L() without an English form in core/Texts.cpp:\n"
                                   << lines.join(u'\n').toStdString();
}
