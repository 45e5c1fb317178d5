#pragma once

#include "core/Clock.h"
#include "ui/kit/ManualAnimationDriver.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>

namespace test {

// Hand-stepped time for views: the manual clock (delays, "now") and the manual animation
// driver move together, in slices, so that an animation started by a delayed call begins at
// that call's moment (give or take one slice).
class ManualTime {
public:
    explicit ManualTime(std::chrono::milliseconds slice = std::chrono::milliseconds(5)) : slice_(slice) {
        Clock::useManual();
        driver_.settle();
    }
    ~ManualTime() { Clock::useReal(); }
    ManualTime(const ManualTime&) = delete;
    ManualTime& operator=(const ManualTime&) = delete;

    void advance(std::chrono::milliseconds by) {
        while (by.count() > 0) {
            const auto step = std::min(by, slice_);
            Clock::advance(step);
            driver_.advance(step);
            by -= step;
        }
        driver_.settle();
    }
    // Lets started animations register without moving time.
    void settle() { driver_.settle(); }
    ManualAnimationDriver& driver() { return driver_; }

private:
    std::chrono::milliseconds slice_;
    ManualAnimationDriver driver_;
};

} // namespace test
