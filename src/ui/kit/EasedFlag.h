#pragma once

#include <QEasingCurve>

#include <chrono>
#include <functional>

class QObject;
class QVariantAnimation;

// A yes/no state and its drawn form: `progress()` eases from 0 to 1 while the state turns on
// and back to 0 while it turns off, from wherever it stands, on the panel's animation clock.
// Hover and press looks of the controls follow one each.
class EasedFlag {
public:
    // `step` runs with every new progress, on `owner`'s thread (repaint there).
    EasedFlag(QObject* owner, std::chrono::milliseconds duration, QEasingCurve curve,
              std::function<void()> step);
    EasedFlag(const EasedFlag&) = delete;
    EasedFlag& operator=(const EasedFlag&) = delete;

    // Changes the state; false, and nothing starts, when it already was `on`.
    bool set(bool on);

    bool isOn() const { return on_; }
    double progress() const { return progress_; }

private:
    QObject* owner_;
    std::chrono::milliseconds duration_;
    QEasingCurve curve_;
    std::function<void()> step_;
    bool on_ = false;
    double progress_ = 0;
    QVariantAnimation* running_ = nullptr;
};
