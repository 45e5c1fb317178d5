#include "support/RawConnections.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace test {

int connectFrom(const QString& from, quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    const int yes = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &yes, sizeof yes);
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from.toLatin1().constData(), &local.sin_addr);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(port);
    remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

SilentConnections::SilentConnections(quint16 port, QStringList from, int count) {
    thread_ = std::thread([this, port, from = std::move(from), count] {
        std::vector<pollfd> fds;
        while (!stop_) {
            while (static_cast<int>(fds.size()) < count) {
                const int fd = connectFrom(from[opened_ % from.size()], port);
                if (fd < 0)
                    break;
                ::send(fd, "N", 1, MSG_NOSIGNAL);
                fds.push_back({fd, POLLIN | POLLRDHUP, 0});
                ++opened_;
            }
            ::poll(fds.data(), fds.size(), 5);
            std::erase_if(fds, [](const pollfd& p) {
                if (p.revents == 0)
                    return false;
                ::close(p.fd);
                return true;
            });
        }
        for (const pollfd& p : fds)
            ::close(p.fd);
    });
}

SilentConnections::~SilentConnections() {
    stop_ = true;
    thread_.join();
}

} // namespace test
