#pragma once

#include <QObject>

class QSocketNotifier;

// SIGINT and SIGTERM end the program the same way as a normal quit: the handler only writes
// the signal's number into a pipe, and the main thread reads it and emits `requested`, so the
// program's own shut-down runs on the event loop and not inside the signal handler.
//
// One object per process; the handlers stay installed for its life.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

signals:
    void requested(int signal);

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};
