#include "health/Support.h"

#include "core/Clock.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "household/ReferenceDate.h"
#include "platform/MailComposer.h"
#include "platform/SettingsStore.h"

#include "support/Await.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "protocol/QtPrinters.h"

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

const QString seenKey = QStringLiteral("lastCrashSeen");
const QDateTime base = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

class FakeComposer : public MailComposer {
public:
    bool accepts = true;
    QList<Mail> composed;
    QList<QUrl> opened;
    QList<QStringList> revealed;
    void compose(const Mail& mail, QObject*, std::function<void(bool)> done) override {
        composed.append(mail);
        done(accepts);
    }
    void openUrl(const QUrl& url) override { opened.append(url); }
    void revealFiles(const QStringList& paths) override { revealed.append(paths); }
};

Support::CrashFile crash(const char* name, qint64 secondsAfterBase) {
    return {QString::fromLatin1(name), QStringLiteral("/crashes/") + QString::fromLatin1(name),
            base.addSecs(secondsAfterBase)};
}

class SupportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useManual(base.addSecs(3600));
        settings = std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/settings.json"));
    }
    void TearDown() override { Clock::useReal(); }

    Support::Environment environment(QList<Support::CrashFile> files = {}) {
        Support::Environment env;
        env.composer = &composer;
        env.reportFolder = dir.path() + QStringLiteral("/reports");
        env.listing = [files] { return files; };
        env.facts = [] {
            Support::SystemFacts facts;
            facts.version = QStringLiteral("1.4");
            facts.build = QStringLiteral("212");
            facts.os = QStringLiteral("Debian GNU/Linux 12 (bookworm) (Linux 6.1.0)");
            facts.hardware = QStringLiteral("ACME Box");
            facts.language = QStringLiteral("de-DE");
            return facts;
        };
        env.log = [] { return QStringLiteral("12:00:00 [app] hello"); };
        env.gather = [this](std::function<void()> work) { pendingWork.append(std::move(work)); };
        env.recipient = QStringLiteral("help@example.org");
        return env;
    }

    // Lets the queued gathering finish and the report be presented.
    void finishGathering() {
        while (!pendingWork.isEmpty())
            pendingWork.takeFirst()();
        QCoreApplication::processEvents();
    }

    std::optional<QDateTime> seen() const {
        const auto seconds = settings->number(seenKey);
        return seconds ? ReferenceDate::fromSeconds(*seconds) : std::nullopt;
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    FakeComposer composer;
    QList<std::function<void()>> pendingWork;
};

TEST_F(SupportFixture, CrashScan) {
    struct Case {
        const char* name;
        std::optional<qint64> seenAfterBase; // nothing: never stored
        QList<Support::CrashFile> files;
        std::optional<QString> offered;
        std::optional<qint64> storedAfterBase;
    };
    const Case cases[] = {
        {"first scan with files stores the newest",
         std::nullopt,
         {crash("Tamber-a.crash", 5), crash("Tamber-b.ips", 9)},
         std::nullopt,
         9},
        {"first scan without files stores now", std::nullopt, {}, std::nullopt, 3600},
        {"equal date is seen", 9, {crash("Tamber-b.crash", 9)}, std::nullopt, 9},
        {"one second later is offered",
         9,
         {crash("Tamber-a.crash", 5), crash("Tamber-b.crash", 10)},
         QStringLiteral("/crashes/Tamber-b.crash"),
         9},
        {"names and extensions are exact",
         0,
         {crash("tamber-x.ips", 50), crash("Tamber-x.IPS", 50), crash("Tamber-x.log", 50),
          crash("Other-x.crash", 50), crash("Tamber", 50), crash("Tamber-ok.ips", 20)},
         QStringLiteral("/crashes/Tamber-ok.ips"),
         0},
        {"a tie goes to the first listed",
         0,
         {crash("Tamber-1.crash", 7), crash("Tamber-2.crash", 7)},
         QStringLiteral("/crashes/Tamber-1.crash"),
         0},
        {"unreadable dates are skipped",
         0,
         {{QStringLiteral("Tamber-u.crash"), QStringLiteral("/u"), std::nullopt}},
         std::nullopt,
         0},
    };
    for (const Case& c : cases) {
        settings->remove(seenKey);
        if (c.seenAfterBase)
            settings->setNumber(seenKey, *ReferenceDate::toSeconds(base.addSecs(*c.seenAfterBase)));
        Support support(*settings, environment(c.files));
        EXPECT_EQ(support.pendingCrash(), c.offered) << c.name;
        EXPECT_EQ(seen(), std::optional<QDateTime>(base.addSecs(*c.storedAfterBase))) << c.name;
    }
    settings->setText(seenKey, QStringLiteral("not a date"));
    Support support(*settings, environment({crash("Tamber-b.ips", 9)}));
    EXPECT_EQ(support.pendingCrash(), std::nullopt);
    EXPECT_EQ(seen(), std::optional<QDateTime>(base.addSecs(9)));
}

TEST_F(SupportFixture, CrashScanOfAFolder) {
    const QString folder = dir.path() + QStringLiteral("/crashes");
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto put = [&](const char* name, qint64 secondsAfterBase) {
        QFile file(folder + QLatin1Char('/') + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("crash");
        file.flush();
        ASSERT_TRUE(file.setFileTime(base.addSecs(secondsAfterBase), QFileDevice::FileModificationTime));
    };
    put("Tamber-2026-12-10-101500.crash", 100);
    put("Tamber-2026-12-10-101800.crash", 200);
    put("tamber-2026-12-10-102000.crash", 300);
    put("Tamber-2026-12-10-102100.txt", 400);
    settings->setNumber(seenKey, *ReferenceDate::toSeconds(base.addSecs(150)));
    auto env = environment();
    env.listing = {};
    env.crashFolder = folder;
    Support support(*settings, env);
    EXPECT_EQ(support.pendingCrash(),
              std::optional<QString>(folder + QStringLiteral("/Tamber-2026-12-10-101800.crash")));

    settings->setNumber(seenKey, *ReferenceDate::toSeconds(base.addSecs(200)));
    EXPECT_EQ(Support(*settings, env).pendingCrash(), std::nullopt);
    env.crashFolder = dir.path() + QStringLiteral("/nowhere");
    settings->remove(seenKey);
    EXPECT_EQ(Support(*settings, env).pendingCrash(), std::nullopt);
    EXPECT_EQ(seen(), std::optional<QDateTime>(Clock::now()));
}

TEST_F(SupportFixture, SendCrashComposesAndDismisses) {
    settings->setNumber(seenKey, *ReferenceDate::toSeconds(base));
    Support support(*settings, environment({crash("Tamber-b.crash", 10)}));
    ASSERT_TRUE(support.pendingCrash());
    support.sendCrash(Support::Context{{QStringLiteral("Era 100")}, std::nullopt});
    EXPECT_EQ(support.pendingCrash(), std::nullopt);
    EXPECT_EQ(seen(), std::optional<QDateTime>(Clock::now()));
    finishGathering();
    ASSERT_EQ(composer.composed.size(), 1);
    const MailComposer::Mail& mail = composer.composed[0];
    EXPECT_EQ(mail.recipient, QStringLiteral("help@example.org"));
    EXPECT_EQ(mail.subject, QStringLiteral("Tamber: Absturz"));
    const QString report = dir.path() + QStringLiteral("/reports/Tamber-Bericht.txt");
    EXPECT_EQ(mail.files, (QStringList{report, QStringLiteral("/crashes/Tamber-b.crash")}));
    const QString info =
        QStringLiteral("Tamber 1.4 (212)\nDebian GNU/Linux 12 (bookworm) (Linux 6.1.0), ACME Box, "
                       "de-DE\nSpeaker: 1\u00D7 Era 100\nBedienungshilfen: ja, Firewall: aus");
    EXPECT_EQ(mail.body, L(QStringLiteral("Was hast du gerade gemacht, als Tamber abgestürzt ist?")) +
                             QStringLiteral("\n\n\n\n") + info);
    QFile file(report);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              info + QStringLiteral("\n\n--- Log (letzte 30 Minuten) ---\n12:00:00 [app] hello"));
    EXPECT_EQ(QFile::permissions(dir.path() + QStringLiteral("/reports")) &
                  (QFile::ReadOther | QFile::ReadGroup),
              QFile::Permissions());
}

TEST_F(SupportFixture, CrashStaysPendingWhenItsReportCannotStart) {
    settings->setNumber(seenKey, *ReferenceDate::toSeconds(base));
    Support support(*settings, environment({crash("Tamber-b.crash", 10)}));
    const Support::Context context;
    support.reportProblem(context);
    support.sendCrash(context); // dropped: another report is being gathered
    EXPECT_EQ(support.pendingCrash(), std::optional<QString>(QStringLiteral("/crashes/Tamber-b.crash")));
    EXPECT_EQ(seen(), std::optional<QDateTime>(base));
    finishGathering();
    ASSERT_EQ(composer.composed.size(), 1);
    EXPECT_EQ(composer.composed[0].subject, QStringLiteral("Tamber: Problem"));

    support.sendCrash(context); // now it goes
    finishGathering();
    EXPECT_EQ(composer.composed.size(), 2);
    EXPECT_EQ(support.pendingCrash(), std::nullopt);

    composer.composed.clear();
    support.sendCrash(context); // nothing pending: nothing happens
    finishGathering();
    EXPECT_TRUE(composer.composed.isEmpty());
}

TEST_F(SupportFixture, OneReportAtATimeAndDismissWithoutCrash) {
    Support support(*settings, environment());
    support.reportProblem({});
    support.reportProblem({});
    EXPECT_TRUE(support.composing());
    finishGathering();
    EXPECT_FALSE(support.composing());
    EXPECT_EQ(composer.composed.size(), 1);
    EXPECT_EQ(composer.composed[0].files,
              QStringList{dir.path() + QStringLiteral("/reports/Tamber-Bericht.txt")});

    Clock::advance(5s);
    support.dismissCrash();
    EXPECT_EQ(seen(), std::optional<QDateTime>(Clock::now()));
}

TEST_F(SupportFixture, RefusedComposerFallsBackToMailtoAndTheFileManager) {
    composer.accepts = false;
    settings->setNumber(seenKey, *ReferenceDate::toSeconds(base));
    auto env = environment({crash("Tamber-b.crash", 10)});
    env.facts = [] {
        Support::SystemFacts facts;
        facts.os = QStringLiteral("OS & co");
        facts.language = QStringLiteral("de=DE");
        return facts;
    };
    Support support(*settings, env);
    support.sendCrash({});
    finishGathering();
    ASSERT_EQ(composer.opened.size(), 1);
    EXPECT_EQ(
        composer.opened[0].toString(QUrl::FullyEncoded),
        QStringLiteral("mailto:help@example.org?subject=Tamber%3A%20Absturz&body=") +
            QString::fromLatin1(QUrl::toPercentEncoding(
                L(QStringLiteral("Was hast du gerade gemacht, als Tamber abgestürzt ist?")))) +
            QStringLiteral(
                "%0A%0A%0A%0ATamber%20%3F%20%28%3F%29%0AOS%20%26%20co%2C%20%2C%20de%3DDE%0ASpeaker%3A%20"
                "keine%20gefunden%0ABedienungshilfen%3A%20ja%2C%20Firewall%3A%20aus"));
    ASSERT_EQ(composer.revealed.size(), 1);
    EXPECT_EQ(composer.revealed[0], (QStringList{dir.path() + QStringLiteral("/reports/Tamber-Bericht.txt"),
                                                 QStringLiteral("/crashes/Tamber-b.crash")}));
}

TEST_F(SupportFixture, AReportThatCannotBeWrittenIsNotAttached) {
    auto env = environment();
    QFile blocker(dir.path() + QStringLiteral("/blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    env.reportFolder = blocker.fileName() + QStringLiteral("/reports"); // below a plain file
    Support support(*settings, env);
    support.reportProblem({});
    finishGathering();
    ASSERT_EQ(composer.composed.size(), 1);
    EXPECT_TRUE(composer.composed[0].files.isEmpty());
}

TEST(SupportTexts, SpeakerListAndSystemInfo) {
    const std::pair<QStringList, const char*> lists[] = {
        {{QStringLiteral("Era 100"), QStringLiteral("Era 100"), QStringLiteral("unbekannt")},
         "1× unbekannt, 2× Era 100"},
        {QStringList(10, QStringLiteral("Sub")) +
             QStringList{QStringLiteral("Era 100"), QStringLiteral("Era 100")},
         "10× Sub, 2× Era 100"},
        {{QStringLiteral("Sub"), QStringLiteral("Era 100"), QStringLiteral("Era 100")}, "1× Sub, 2× Era 100"},
    };
    for (const auto& [models, expected] : lists)
        EXPECT_EQ(Support::speakerList(models), QString::fromUtf8(expected));

    Support::SystemFacts facts;
    facts.os = QStringLiteral("Linux");
    facts.language = QStringLiteral("?");
    EXPECT_EQ(Support::systemInfo({}, facts),
              QStringLiteral("Tamber ? (?)\nLinux, , ?\nSpeaker: keine gefunden\n"
                             "Bedienungshilfen: ja, Firewall: aus"));
    facts.accessibilityTrusted = false;
    facts.firewallOn = true;
    EXPECT_TRUE(
        Support::systemInfo({{}, QString()}, facts)
            .endsWith(QStringLiteral("Bedienungshilfen: nein, Firewall: an\n\n--- Systemzustand ---\n")));
    EXPECT_TRUE(Support::systemInfo({{}, QStringLiteral("Hinweise: keine")}, facts)
                    .endsWith(QStringLiteral("--- Systemzustand ---\nHinweise: keine")));
}

TEST(SupportTexts, ContextFromTheHousehold) {
    QTemporaryDir dir;
    SettingsStore settings(dir.path() + QStringLiteral("/s.json"));
    QList<SpeakerGroup> groups;
    for (const char* id : {"A", "B", "C"}) {
        const Room room{QString::fromLatin1(id), QString::fromLatin1(id), QStringLiteral("10.0.0.1")};
        groups.append(SpeakerGroup{room.id, room.id, {room}});
    }
    Household household(
        settings, groups,
        {{QStringLiteral("A"), QStringLiteral("Era 100")}, {QStringLiteral("C"), QStringLiteral("Era 100")}});
    HealthReport report;
    const auto context = Support::Context::make(&household, report);
    EXPECT_EQ(context.speakers, (QStringList{QStringLiteral("Era 100"), QStringLiteral("unbekannt"),
                                             QStringLiteral("Era 100")}));
    EXPECT_EQ(context.health, std::optional<QString>(report.supportSummary()));
    EXPECT_TRUE(Support::Context::make(nullptr, std::nullopt).speakers.isEmpty());
    EXPECT_EQ(Support::Context::make(nullptr, std::nullopt).health, std::nullopt);
}

TEST(SupportTexts, Redaction) {
    const std::pair<const char*, const char*> cases[] = {
        {"speaker 192.168.1.23 answered", "speaker <ip> answered"},
        {"macOS 10.15.7.1 and 999.1.1.1", "macOS <ip> and <ip>"},
        {"version 1.2.3 stays", "version 1.2.3 stays"},
        {"TrackURI=abc123 next", "TrackURI=<uri> next"},
        {"TrackURI=http://10.0.0.2:1400/x.mp3 end", "TrackURI=<uri> end"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(Support::redact(QString::fromLatin1(text)), QString::fromLatin1(expected));
}

TEST(SupportTexts, RecentLogLines) {
    const QLocale german(QLocale::German, QLocale::Germany);
    const QDateTime t = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    const QString clock = t.toLocalTime().time().toString(QStringLiteral("HH:mm:ss"));
    QList<Log::Entry> entries{
        {t, QStringLiteral("info"), QStringLiteral("studio.quietforge.tamber.events"),
         QStringLiteral("from 10.0.0.7")},
        {t, QStringLiteral("warning"), QStringLiteral("qt.network.ssl"), QStringLiteral("someone else's")},
    };
    EXPECT_EQ(Support::recentLog(entries, german), clock + QStringLiteral(" [events] from <ip>"));
    EXPECT_EQ(Support::recentLog(QList<Log::Entry>{}, german), QStringLiteral("(leer)"));
    EXPECT_EQ(Support::recentLog(std::nullopt, german), QStringLiteral("(nicht lesbar)"));

    QList<Log::Entry> many;
    for (int i = 0; i < 750; ++i)
        many.append(
            {t, QStringLiteral("info"), QStringLiteral("studio.quietforge.tamber.app"), QString::number(i)});
    const QStringList lines = Support::recentLog(many, german).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 500);
    EXPECT_TRUE(lines.first().endsWith(QStringLiteral("[app] 250")));
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("[app] 749")));
}

TEST(SupportTexts, RecentLogReadsOnlyThisRunsOwnLines) {
    QTemporaryDir dir;
    Log::setFilePath(dir.path() + QStringLiteral("/tamber.log"));
    Clock::useReal();
    QFile file(Log::filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto line = [](const QDateTime& time, const char* category, const char* message) {
        return (Log::formatLine({time, QStringLiteral("info"), QString::fromLatin1(category),
                                 QString::fromLatin1(message)}) +
                QLatin1Char('\n'))
            .toUtf8();
    };
    file.write(line(now.addSecs(-7200), "studio.quietforge.tamber.app", "an hour too old"));
    file.write(line(now, "studio.quietforge.tamber.household", "recent"));
    file.write(line(now, "kf.other", "not ours"));
    file.close();
    EXPECT_TRUE(Support::recentLog().endsWith(QStringLiteral("[household] recent")));
    EXPECT_FALSE(Support::recentLog().contains(QStringLiteral("too old")));
    file.setPermissions(QFile::WriteOwner);
    if (!QFileInfo(file.fileName()).isReadable()) { // root reads anyway
        EXPECT_EQ(Support::recentLog(), QStringLiteral("(nicht lesbar)"));
    }
    Log::setFilePath(QString());
}

// The real composer with a fake xdg-email and xdg-open first on PATH.
class DesktopComposer : public ::testing::Test {
protected:
    void SetUp() override {
        oldPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toLocal8Bit() + ':' + oldPath);
    }
    void TearDown() override { qputenv("PATH", oldPath); }

    void tool(const char* name, int status) {
        QFile file(dir.path() + QLatin1Char('/') + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n--\\n' \"$@\" > '%1/%2.args'\nexit %3\n")
                       .arg(dir.path(), QString::fromLatin1(name))
                       .arg(status)
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList args(const char* name) {
        QFile file(dir.path() + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".args"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList out = QString::fromUtf8(file.readAll()).split(QStringLiteral("\n--\n"));
        out.removeLast();
        return out;
    }

    QTemporaryDir dir;
    QByteArray oldPath;
};

TEST_F(DesktopComposer, HandsTheMailToXdgEmail) {
    tool("xdg-email", 0);
    DesktopMailComposer composer;
    std::optional<bool> taken;
    QObject context;
    composer.compose({QStringLiteral("help@example.org"),
                      QStringLiteral("Tamber: Problem"),
                      QStringLiteral("Zeile 1\n\nZeile & 2"),
                      {QStringLiteral("/r/Tamber-Bericht.txt"), QStringLiteral("/c/x.crash")}},
                     &context, [&](bool ok) { taken = ok; });
    ASSERT_TRUE(test::waitUntil([&] { return taken.has_value(); }));
    EXPECT_TRUE(*taken);
    EXPECT_EQ(args("xdg-email"),
              (QStringList{QStringLiteral("--utf8"), QStringLiteral("--subject"),
                           QStringLiteral("Tamber: Problem"), QStringLiteral("--body"),
                           QStringLiteral("Zeile 1\n\nZeile & 2"), QStringLiteral("--attach"),
                           QStringLiteral("/r/Tamber-Bericht.txt"), QStringLiteral("--attach"),
                           QStringLiteral("/c/x.crash"), QStringLiteral("help@example.org")}));
}

TEST_F(DesktopComposer, AFailingComposerIsNoComposerAndFilesShowThroughTheFolder) {
    tool("xdg-email", 3);
    tool("xdg-open", 0);
    DesktopMailComposer composer;
    std::optional<bool> taken;
    QObject context;
    composer.compose({QStringLiteral("a@b.c"), QStringLiteral("s"), QStringLiteral("b"), {}}, &context,
                     [&](bool ok) { taken = ok; });
    ASSERT_TRUE(test::waitUntil([&] { return taken.has_value(); }));
    EXPECT_FALSE(*taken);
    // No file manager on the (absent) session bus: its folder is opened instead.
    composer.revealFiles({QStringLiteral("/r/Tamber-Bericht.txt")});
    ASSERT_TRUE(test::waitUntil([&] { return !args("xdg-open").isEmpty(); }));
    EXPECT_EQ(args("xdg-open"), QStringList{QStringLiteral("file:///r")});
}

} // namespace
