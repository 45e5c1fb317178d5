// Installed applications from desktop entries in private XDG data folders: which entry of an id
// counts, how an Exec line becomes a program and its arguments, and that starting one never goes
// through a shell.
#include "platform/DesktopEntries.h"
#include "support/Await.h"
#include "support/QtPrinters.h"
#include "support/XdgDataFolders.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Entries : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folders.valid()); }

    QString home() const { return folders.home(); }
    QString system(int n) const { return folders.system(n); }
    static QString write(const QString& folder, const QString& id, const QByteArray& text) {
        return test::XdgDataFolders::write(folder, id, text);
    }
    static QByteArray entry(const QByteArray& exec, const QByteArray& extra = {}) {
        return test::XdgDataFolders::entry(exec, extra);
    }

    test::XdgDataFolders folders;
};

TEST(ExecLine, SplitsByTheDesktopEntryQuotingAndTakesOutTheFieldCodes) {
    struct Case {
        QString exec;
        std::optional<QStringList> words;
    };
    const Case cases[] = {
        {u"spotify %U"_s, QStringList{u"spotify"_s}},
        {u"/usr/bin/flatpak run --branch=stable --command=spotify --file-forwarding com.spotify.Client @@u %U @@"_s,
         QStringList{u"/usr/bin/flatpak"_s, u"run"_s, u"--branch=stable"_s, u"--command=spotify"_s,
                     u"--file-forwarding"_s, u"com.spotify.Client"_s, u"@@u"_s, u"@@"_s}},
        {u"\"/opt/my player/run\"  --x\t%f"_s, QStringList{u"/opt/my player/run"_s, u"--x"_s}},
        // Inside quotes only \" \` \$ and \\ are escapes; another backslash stays.
        {uR"(app "a \"b\" \$c \`d\` \\e \q")"_s, QStringList{u"app"_s, uR"(a "b" $c `d` \e \q)"_s}},
        {u"app --file=%f 100%% %i %c %k"_s, QStringList{u"app"_s, u"--file="_s, u"100%"_s}},
        {u"app \"\""_s, QStringList{u"app"_s, QString()}},
        // Unquoted shell characters are plain text: nothing here is a shell.
        {u"app a;b $HOME|x >out `id` 'one two'"_s,
         QStringList{u"app"_s, u"a;b"_s, u"$HOME|x"_s, u">out"_s, u"`id`"_s, u"'one"_s, u"two'"_s}},
        {u"app \"unterminated"_s, std::nullopt},
        {u"app %z"_s, std::nullopt},
        {u"app 50%"_s, std::nullopt},
        {u"%U"_s, std::nullopt},
        {u"  "_s, std::nullopt},
        {QString(), std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DesktopEntries::splitExec(c.exec), c.words) << c.exec.toStdString();
}

TEST_F(Entries, TheFirstUsableEntryOfAnIdCountsAndAHiddenOneHidesTheRest) {
    // The user's copy is broken, so the first system folder's entry counts.
    write(home(), u"spotify.desktop"_s, "Exec=spotify\n");
    const QString installed = write(system(1), u"spotify.desktop"_s, entry("spotify %U"));
    write(system(2), u"spotify.desktop"_s, entry("other-spotify"));
    // The user hid the Flatpak entry: the system's copy does not count either.
    write(home(), u"com.spotify.Client.desktop"_s,
          "[Desktop Entry]\nType=Application\nHidden=true\nExec=x\n");
    write(system(1), u"com.spotify.Client.desktop"_s, entry("flatpak run com.spotify.Client"));

    const DesktopEntries entries;
    EXPECT_EQ(entries.folders(), (QStringList{home(), system(1), system(2)}));
    const std::optional<DesktopApp> spotify = entries.find({u"spotify.desktop"_s});
    ASSERT_TRUE(spotify);
    EXPECT_EQ(*spotify, (DesktopApp{u"spotify.desktop"_s, installed, u"player"_s, u"spotify"_s, {}}));
    EXPECT_FALSE(entries.find({u"com.spotify.Client.desktop"_s}));
    // Ids are tried in order: a later one stands in for a missing one.
    EXPECT_EQ(entries.find({u"missing.desktop"_s, u"spotify.desktop"_s}), spotify);
}

TEST_F(Entries, EntriesThatCannotStartAnythingArePassedOver) {
    const QByteArray unusable[] = {
        "Type=Application\nExec=player\n",                            // no group
        "[Desktop Action x]\nType=Application\nExec=player\n",        // another group
        "[Desktop Entry]\nType=Link\nURL=https://example.invalid/\n", // not an application
        "[Desktop Entry]\nType=Application\nName=Player\n",           // nothing to run
        "[Desktop Entry]\nType=Application\nExec=\"player\n",         // broken quoting
        "[Desktop Entry]\nType=Application\nTryExec=/nonexistent/player\nExec=player\n",
        "[Desktop Entry]\nType=Application\nExec=%F\n",
    };
    const DesktopEntries entries;
    for (const QByteArray& text : unusable) {
        write(home(), u"player.desktop"_s, text);
        EXPECT_FALSE(entries.find({u"player.desktop"_s})) << text.toStdString();
    }
    // Comments, localised keys and other groups do not disturb the entry's own keys.
    write(home(), u"player.desktop"_s,
          "# comment\n[Desktop Entry]\nExec[de]=falsch\nType=Application\nIcon=/icons/p\\s1.png\n"
          "Exec=player --go\nExec=second\n[Desktop Action x]\nExec=action\n");
    const std::optional<DesktopApp> app = entries.find({u"player.desktop"_s});
    ASSERT_TRUE(app);
    EXPECT_EQ(app->program, u"player"_s);
    EXPECT_EQ(app->arguments, QStringList{u"--go"_s});
    EXPECT_EQ(app->icon, u"/icons/p 1.png"_s);
}

// A scheme is handled when an entry that counts lists its x-scheme-handler type: a hidden or
// broken user copy decides for the id as it does for `find`.
TEST_F(Entries, SchemeHandlersComeFromTheEntriesThatCount) {
    const DesktopEntries entries;
    EXPECT_FALSE(entries.handlesScheme(u"spotify"_s));
    write(system(2), u"player.desktop"_s,
          entry("player %U", "MimeType=audio/mpeg; x-scheme-handler/spotify ;\n"));
    EXPECT_TRUE(entries.handlesScheme(u"spotify"_s)); // read afresh: installed after the start
    EXPECT_FALSE(entries.handlesScheme(u"spot"_s));
    EXPECT_FALSE(entries.handlesScheme(u"x-scheme-handler/spotify"_s));

    write(home(), u"player.desktop"_s, "[Desktop Entry]\nType=Application\nHidden=true\nExec=x\n");
    EXPECT_FALSE(entries.handlesScheme(u"spotify"_s));
    // Not an application: its MIME types do not make the desktop open anything with it.
    write(system(1), u"link.desktop"_s, "[Desktop Entry]\nType=Link\nMimeType=x-scheme-handler/spotify\n");
    EXPECT_FALSE(entries.handlesScheme(u"spotify"_s));
    write(system(1), u"flatpak.desktop"_s, entry("flatpak run x", "MimeType=x-scheme-handler/spotify\n"));
    EXPECT_TRUE(entries.handlesScheme(u"spotify"_s));
}

TEST_F(Entries, DataFoldersFollowTheEnvironmentAndSkipRelativePaths) {
    qputenv("XDG_DATA_HOME", "relative/home");
    qputenv("XDG_DATA_DIRS", (u"relative:"_s + system(1) + u"::"_s + system(2)).toUtf8());
    EXPECT_EQ(DesktopEntries::dataFolders(),
              (QStringList{QDir::homePath() + u"/.local/share"_s, system(1), system(2)}));
    qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(DesktopEntries::dataFolders().mid(1), (QStringList{u"/usr/local/share"_s, u"/usr/share"_s}));
}

// The launcher hands the program and its words to the process starter as they are: the words
// of a line full of shell characters arrive untouched at a real program.
TEST_F(Entries, LaunchStartsTheProgramWithItsWordsAndNoShell) {
    QDir().mkpath(folders.path(u"my tools"_s));
    const QString recorder = folders.path(u"my tools/record"_s);
    const QString record = folders.path(u"arguments.txt"_s);
    const QString marker = folders.path(u"pwned"_s);
    {
        QFile script(recorder);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + record.toUtf8() + ".part\"\nmv \"" +
                     record.toUtf8() + ".part\" \"" + record.toUtf8() + "\"\n");
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    // Key-file escapes first (\\ is one backslash), then the quoting of the Exec line.
    const QByteArray exec = "\"" + recorder.toUtf8() + "\" semi;colon $HOME \"\\\\$(touch " +
                            marker.toUtf8() + ")\" \"a \\\\\"quoted\\\\\" word\" 'single' >redirect %U";
    write(home(), u"player.desktop"_s, entry(exec));
    const QStringList expected{u"semi;colon"_s,        u"$HOME"_s,    u"$(touch "_s + marker + u')',
                               u"a \"quoted\" word"_s, u"'single'"_s, u">redirect"_s};

    QList<QPair<QString, QStringList>> started;
    DesktopEntries recorded({}, [&](const QString& program, const QStringList& arguments) {
        started.append({program, arguments});
        return true;
    });
    const std::optional<DesktopApp> app = recorded.find({u"player.desktop"_s});
    ASSERT_TRUE(app);
    EXPECT_TRUE(recorded.launch(*app));
    ASSERT_EQ(started.size(), 1);
    EXPECT_EQ(started[0].first, recorder);
    EXPECT_EQ(started[0].second, expected);

    DesktopEntries real;
    ASSERT_TRUE(real.launch(*app));
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(record); }));
    QFile written(record);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()), expected.join(u'\n') + u'\n');
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath(u"redirect"_s)));

    // An entry whose program is not there reports that it did not start.
    EXPECT_FALSE(real.launch(DesktopApp{u"x.desktop"_s, {}, {}, folders.path(u"missing"_s), {}}));
}

} // namespace
