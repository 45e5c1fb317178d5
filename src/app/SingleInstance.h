#pragma once

#include "platform/InstanceArguments.h"

#include <QObject>
#include <QStringList>

class InstanceChannel;

// One running program per desktop session. The first start becomes the instance; a later one
// hands its URLs (or, without any, a reopen) to it and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // Longest argument list a hand-over carries; the rest is dropped with a log line.
    static constexpr qsizetype maxArguments = InstanceArguments::maxCount;
    // Longest single argument; a longer one is dropped with a log line.
    static constexpr qsizetype maxArgumentLength = InstanceArguments::maxLength;

    explicit SingleInstance(InstanceChannel& channel, QObject* parent = nullptr);

    // True when this process is the instance from now on.
    bool claim();
    // For a later start: hands the arguments over; true once the instance took them.
    bool handOver(const QStringList& arguments);

    // The arguments a hand-over may carry: empty texts, too long ones and those beyond the
    // count are left out, each case logged.
    static QStringList usable(const QStringList& arguments);

signals:
    void urlsReceived(const QStringList& urls);
    void reopenRequested();

private:
    void received(const QStringList& arguments);

    InstanceChannel& channel_;
};
