#pragma once

#include <QObject>
#include <QStringList>

// What a single running instance needs from the desktop: a name on a bus that only one
// process can own, and a way for a later start to hand its arguments to that owner.
//
// The owner hears every hand-over through `received`, on the main thread, before the
// hand-over's sender is answered. An empty list is a plain reopen.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Tries to become the running instance; true when this process now owns the name, or
    // when there is no bus at all (nobody else can own it then either).
    virtual bool claim() = 0;
    // Hands `arguments` to the owner and waits for its answer; false when it did not answer.
    virtual bool handOver(const QStringList& arguments) = 0;

signals:
    void received(const QStringList& arguments);
};
