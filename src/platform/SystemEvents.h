#pragma once

#include <QObject>

// Notices of the machine's own life that the speaker side reacts to. On Linux the wake from
// sleep is logind's PrepareForSleep(false) on the system bus; where there is no system bus
// (containers, tests) no wake is ever reported, which is logged once.
//
// One object per process, on the main thread. Tests report a wake through `reportWake()`.
class SystemEvents : public QObject {
    Q_OBJECT
public:
    static SystemEvents& instance();

    // Starts listening on the system bus; later calls do nothing.
    void watch();
    // Whether the system bus answered and the sleep signal is being watched.
    bool watching() const { return watching_; }

    // Reports a wake as if the machine had just woken (the seam for tests).
    void reportWake() { emit didWake(); }

signals:
    void didWake();

private slots:
    void prepareForSleep(bool sleeping);

private:
    SystemEvents() = default;
    bool tried_ = false;
    bool watching_ = false;
};
