#include "core/Tasks.h"
#include "core/Clock.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>

using namespace std::chrono_literals;

namespace {

QCoro::Task<int> later(int* steps, bool fail) {
    ++*steps;
    co_await Clock::sleep(1s);
    ++*steps;
    if (fail)
        throw std::runtime_error("speaker gone");
    co_return 7;
}

// A detached task runs on to its end by itself; one that throws is logged, and nothing else
// happens.
TEST(Tasks, ADetachedTaskRunsToItsEndAndItsFailureIsOnlyLogged) {
    Clock::useManual();
    for (const bool fail : {false, true}) {
        int steps = 0;
        Tasks::detach(later(&steps, fail), "test");
        EXPECT_EQ(steps, 1);
        Clock::advance(1s);
        EXPECT_EQ(steps, 2);
    }
    Clock::useReal();
}

} // namespace
