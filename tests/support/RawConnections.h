#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>

namespace test {

// A blocking TCP connection from the loopback address `from` to 127.0.0.1:`port`, with
// TCP_NODELAY; its descriptor, or -1. The local port is left to connect(): thousands of closed
// connections in TIME_WAIT would otherwise make every bind search the whole port range.
int connectFrom(const QString& from, quint16 port);

// A sender that holds `count` silent connections to 127.0.0.1:`port` (each sent one byte), from
// the loopback addresses `from` in turn, and re-opens each one as soon as the server closes it.
// Runs on a thread of its own until destroyed.
class SilentConnections {
public:
    SilentConnections(quint16 port, QStringList from, int count = 64);
    ~SilentConnections();
    SilentConnections(const SilentConnections&) = delete;
    SilentConnections& operator=(const SilentConnections&) = delete;

    // Connections opened so far, re-openings included.
    int opened() const { return opened_.load(); }

private:
    std::atomic<bool> stop_ = false;
    std::atomic<int> opened_ = 0;
    std::thread thread_;
};

} // namespace test
