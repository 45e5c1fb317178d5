#include "household/RequestOutcome.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

std::exception_ptr failure(const char* what) {
    return std::make_exception_ptr(std::runtime_error(what));
}

const char* message(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "";
}

// A request that succeeds after another failed must not wipe the failure, and nothing is
// reported while requests are still running or still to be started.
TEST(RequestOutcome, TheFirstFailureShowsOnceAllRequestsHaveFinished) {
    RequestOutcome outcome;
    outcome.started();
    outcome.started();
    outcome.finished(failure("first"));
    EXPECT_FALSE(outcome.due()); // not closed, one still running
    outcome.close();
    EXPECT_FALSE(outcome.due()); // one still running
    outcome.finished(nullptr);
    const auto due = outcome.due();
    ASSERT_TRUE(due);
    ASSERT_TRUE(*due);
    EXPECT_STREQ(message(*due), "first");
    EXPECT_FALSE(outcome.due()); // reported once

    // A later request of the same operation reports again, the first failure still standing.
    outcome.started();
    outcome.finished(failure("second"));
    const auto again = outcome.due();
    ASSERT_TRUE(again);
    EXPECT_STREQ(message(*again), "first");
}

TEST(RequestOutcome, SuccessIsReportedAsNoFailureAndNoRequestsAsNothing) {
    RequestOutcome empty;
    empty.close();
    EXPECT_FALSE(empty.due()); // nothing was sent: the text shown stays

    RequestOutcome fine;
    fine.started();
    fine.finished(nullptr);
    fine.close();
    const auto due = fine.due();
    ASSERT_TRUE(due);
    EXPECT_FALSE(*due);
}

} // namespace
