#pragma once

#include <QAnimationDriver>

#include <chrono>

// An animation driver whose time moves only when told, so that tests and render mode step every
// QVariantAnimation / QPropertyAnimation of the program deterministically.
//
// Takes: install() (replaces Qt's own driver until destroyed), advance(by). Every animation
// started before an advance counts its time from the moment of that advance's start.
class ManualAnimationDriver : public QAnimationDriver {
    Q_OBJECT
public:
    explicit ManualAnimationDriver(QObject* parent = nullptr);
    ~ManualAnimationDriver() override;

    // Time since the driver was last started by Qt's unified timer (it starts and stops with
    // the set of running animations and adds this to where it left off).
    qint64 elapsed() const override { return now_ - startedAt_; }
    qint64 now() const { return now_; }

    // Lets newly started animations register (their start is queued) and pins their time 0
    // to the current moment, without moving time.
    void settle();
    // Moves time forward by `by` and delivers one tick, then lets finished handlers run.
    void advance(std::chrono::milliseconds by);
    using QAnimationDriver::advance;

protected:
    void start() override;

private:
    void tick();
    qint64 now_ = 0;
    qint64 startedAt_ = 0;
};
