#include "ui/kit/EasedFlag.h"

#include "ui/kit/Motion.h"

EasedFlag::EasedFlag(QObject* owner, std::chrono::milliseconds duration, QEasingCurve curve,
                     std::function<void()> step)
    : owner_(owner), duration_(duration), curve_(std::move(curve)), step_(std::move(step)) {}

bool EasedFlag::set(bool on) {
    if (on == on_)
        return false;
    on_ = on;
    Motion::animate(owner_, running_, progress_, on ? 1.0 : 0.0, duration_, curve_, [this](double p) {
        progress_ = p;
        step_();
    });
    return true;
}
