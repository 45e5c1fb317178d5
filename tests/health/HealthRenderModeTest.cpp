// Render mode, once on, stays on for the process: these cases have an executable of their own.
#include "core/RenderMode.h"
#include "health/HealthCheck.h"
#include "health/Support.h"
#include "household/HouseholdKeys.h"
#include "platform/MailComposer.h"
#include "platform/SettingsStore.h"

#include "protocol/QtPrinters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class NoComposer : public MailComposer {
public:
    QList<Mail> composed;
    void compose(const Mail& mail, QObject*, std::function<void(bool)> done) override {
        composed.append(mail);
        done(true);
    }
    void openUrl(const QUrl&) override {}
    void revealFiles(const QStringList&) override {}
};

TEST(HealthInRenderMode, NoCheckNoCrashScanAndEnglishIntros) {
    RenderMode::setActive();
    QTemporaryDir dir;
    SettingsStore settings(dir.path() + QStringLiteral("/settings.json"));
    settings.setBool(HouseholdKeys::onboarded, true);

    int probes = 0;
    HealthCheck::Probes fake;
    fake.mac = [&](bool) -> QCoro::Task<MacNetwork> {
        ++probes;
        co_return MacNetwork{};
    };
    HealthCheck check(nullptr, settings, fake);
    check.checkIfStale();
    EXPECT_FALSE(check.checking());
    EXPECT_EQ(probes, 0);

    NoComposer composer;
    Support::Environment env;
    env.composer = &composer;
    env.reportFolder = dir.path() + QStringLiteral("/reports");
    bool listed = false;
    env.listing = [&] {
        listed = true;
        return QList<Support::CrashFile>{
            {QStringLiteral("Tamber-x.crash"), QStringLiteral("/x"), QDateTime::currentDateTimeUtc()}};
    };
    env.facts = [] { return Support::SystemFacts{}; };
    env.log = [] { return QStringLiteral("(leer)"); };
    env.gather = [](std::function<void()> work) { work(); };
    Support support(settings, env);
    EXPECT_FALSE(listed);
    EXPECT_EQ(support.pendingCrash(), std::nullopt);
    EXPECT_FALSE(settings.contains(QStringLiteral("lastCrashSeen")));

    support.reportProblem({});
    QCoreApplication::processEvents();
    ASSERT_EQ(composer.composed.size(), 1);
    EXPECT_TRUE(composer.composed[0].body.startsWith(
        QStringLiteral("What happened, and what did you expect?\n\n\n\n")));
}

} // namespace
