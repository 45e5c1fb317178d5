#include "ui/kit/ManualAnimationDriver.h"

#include <QCoreApplication>

ManualAnimationDriver::ManualAnimationDriver(QObject* parent) : QAnimationDriver(parent) {
    install();
}

ManualAnimationDriver::~ManualAnimationDriver() {
    uninstall();
}

void ManualAnimationDriver::start() {
    startedAt_ = now_;
    QAnimationDriver::start();
}

void ManualAnimationDriver::tick() {
    if (isRunning())
        QAnimationDriver::advance();
}

void ManualAnimationDriver::settle() {
    // An animation's start is queued twice (the unified timer, then the animation timer);
    // a tick at an unchanged time after each pass registers it with time 0 = now.
    for (int pass = 0; pass < 3; ++pass) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        tick();
    }
}

void ManualAnimationDriver::advance(std::chrono::milliseconds by) {
    settle();
    now_ += by.count();
    tick();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}
