#include "household/RefreshSchedule.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

using Wait = RefreshSchedule::Wait;

// Overlapping refreshes: only results still current apply, and an older one never replaces a
// newer one, whatever order they end in.
TEST(RefreshSchedule, AnOlderRefreshNeverAppliesAfterANewerOne) {
    RefreshSchedule schedule;
    const auto first = schedule.started();
    const auto second = schedule.started();
    ASSERT_TRUE(schedule.mayApply(second));
    schedule.applied(second);
    EXPECT_FALSE(schedule.mayApply(first));
    EXPECT_TRUE(schedule.mayApply(second)); // the same ticket again is not older
    const auto third = schedule.started();
    EXPECT_TRUE(schedule.mayApply(third));
}

TEST(RefreshSchedule, MembershipChangesMakeReadsStale) {
    RefreshSchedule schedule;
    const auto start = schedule.started();
    schedule.membershipBegan();
    EXPECT_FALSE(schedule.mayApply(start)); // in flight
    schedule.membershipBegan();
    EXPECT_FALSE(schedule.membershipEnded()); // another one still runs
    EXPECT_TRUE(schedule.membershipEnded());
    EXPECT_FALSE(schedule.mayApply(start)); // finished, but began after the read did
    EXPECT_TRUE(schedule.mayApply(schedule.started()));
    EXPECT_TRUE(schedule.membershipEnded()); // never below zero
    EXPECT_EQ(schedule.pendingChanges(), 0);

    // The refresh after the last change steps aside for any change that began during its wait.
    const int noted = schedule.generation();
    EXPECT_TRUE(schedule.settledSince(noted));
    schedule.membershipBegan();
    schedule.membershipEnded();
    EXPECT_FALSE(schedule.settledSince(noted));
}

TEST(RefreshSchedule, AGroupRereadIsStaleAfterAnyRefreshOrMembershipChange) {
    RefreshSchedule schedule;
    const auto snapshot = schedule.snapshot();
    EXPECT_TRUE(schedule.unchangedSince(snapshot));
    schedule.applied(schedule.started());
    EXPECT_FALSE(schedule.unchangedSince(snapshot));
    const auto later = schedule.snapshot();
    schedule.membershipBegan();
    EXPECT_FALSE(schedule.unchangedSince(later));
}

// Asks while refreshes run make exactly one refresh, once the last of them has ended.
TEST(RefreshSchedule, AsksDuringRefreshesMakeOneRefreshAfterTheLast) {
    RefreshSchedule schedule;
    EXPECT_TRUE(schedule.ask());
    schedule.began();
    schedule.began();
    EXPECT_FALSE(schedule.ask());
    EXPECT_FALSE(schedule.ask());
    EXPECT_FALSE(schedule.ended());
    EXPECT_TRUE(schedule.ended());
    schedule.began();
    EXPECT_FALSE(schedule.ended()); // the ask was used up
    EXPECT_EQ(schedule.running(), 0);
}

TEST(RefreshSchedule, OnlyTheNewestTicketOfAPurposeActs) {
    RefreshSchedule schedule;
    const quint64 a1 = schedule.issue(Wait::groupReread, u"A"_s);
    const quint64 topology = schedule.issue(Wait::topology);
    const quint64 b1 = schedule.issue(Wait::groupReread, u"B"_s);
    EXPECT_TRUE(schedule.isNewest(Wait::groupReread, u"A"_s, a1)); // other purposes and ids do not void it
    EXPECT_TRUE(schedule.isNewest(Wait::topology, {}, topology));
    const quint64 a2 = schedule.issue(Wait::groupReread, u"A"_s);
    EXPECT_FALSE(schedule.isNewest(Wait::groupReread, u"A"_s, a1));
    EXPECT_TRUE(schedule.isNewest(Wait::groupReread, u"A"_s, a2));
    EXPECT_TRUE(schedule.isNewest(Wait::groupReread, u"B"_s, b1));
    EXPECT_FALSE(schedule.isNewest(Wait::groupReread, u"B"_s, a2));
    EXPECT_FALSE(schedule.isNewest(Wait::groupReread, u"C"_s, topology));
}

} // namespace
