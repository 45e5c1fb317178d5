#include "core/Clock.h"

#include "support/Await.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class ManualClock : public ::testing::Test {
protected:
    void SetUp() override { Clock::useManual(); }
    void TearDown() override { Clock::useReal(); }
};

TEST_F(ManualClock, AdvancingFiresDueCallsInOrderAndMovesNow) {
    const QDateTime start = Clock::now();
    QStringList fired;
    Clock::schedule(500ms, nullptr,
                    [&] { fired << QStringLiteral("b@%1").arg(start.msecsTo(Clock::now())); });
    Clock::schedule(300ms, nullptr, [&] {
        fired << QStringLiteral("a@%1").arg(start.msecsTo(Clock::now()));
        // Work scheduled by a firing call falls due within the same advance.
        Clock::schedule(100ms, nullptr,
                        [&] { fired << QStringLiteral("c@%1").arg(start.msecsTo(Clock::now())); });
    });
    Clock::advance(299ms);
    EXPECT_TRUE(fired.isEmpty());
    Clock::advance(1000ms);
    EXPECT_EQ(fired, (QStringList{"a@300", "c@400", "b@500"}));
    EXPECT_EQ(start.msecsTo(Clock::now()), 1299);
}

// Setting the wall clock, or stepping it back, moves neither monotonic time nor the calls
// that are due on it.
TEST_F(ManualClock, TheWallClockMovesApartFromMonotonicTime) {
    const Clock::Instant start = Clock::monotonic();
    const QDateTime wall = Clock::now();
    int calls = 0;
    Clock::schedule(500ms, nullptr, [&] { ++calls; });
    Clock::setWallClock(wall.addSecs(-3600));
    Clock::advance(-10min);
    EXPECT_EQ(Clock::now(), wall.addSecs(-4200));
    EXPECT_EQ(Clock::monotonic(), start);
    Clock::advance(499ms);
    EXPECT_EQ(calls, 0);
    Clock::advance(1ms);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(Clock::monotonic() - start, 500ms);
    EXPECT_EQ(Clock::now(), wall.addSecs(-4200).addMSecs(500));
}

TEST_F(ManualClock, DebounceKeepsOnlyTheLatestCall) {
    QObject owner;
    Debounce debounce(&owner);
    int calls = 0;
    debounce.start(500ms, [&] { calls = 1; });
    Clock::advance(400ms);
    debounce.start(500ms, [&] { calls = 2; });
    Clock::advance(400ms);
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(debounce.isActive());
    Clock::advance(100ms);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(debounce.isActive());
}

TEST_F(ManualClock, CallsOfADestroyedContextOrCancelledAreDropped) {
    int calls = 0;
    {
        QObject context;
        Clock::schedule(10ms, &context, [&] { ++calls; });
    }
    const auto id = Clock::schedule(10ms, nullptr, [&] { ++calls; });
    Clock::cancel(id);
    Clock::advance(1s);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(Clock::pendingCount(), 0);
}

TEST_F(ManualClock, CoroutineSleepResumesWhenTimeIsMoved) {
    bool woke = false;
    auto sleeper = [&]() -> QCoro::Task<void> {
        co_await Clock::sleep(2s);
        woke = true;
    };
    auto task = sleeper();
    Clock::advance(1999ms);
    EXPECT_FALSE(woke);
    Clock::advance(1ms);
    EXPECT_TRUE(woke);
}

TEST(RealClock, SleepWaitsOnQtTimers) {
    const QDateTime before = QDateTime::currentDateTimeUtc();
    test::run([]() -> QCoro::Task<void> { co_await Clock::sleep(20ms); }());
    EXPECT_GE(before.msecsTo(QDateTime::currentDateTimeUtc()), 20);
}

} // namespace
