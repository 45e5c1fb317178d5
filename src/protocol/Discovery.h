#pragma once

#include "protocol/ServiceBrowser.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// Finds the speakers on the local network: browses DNS-SD for "_sonos._tcp" in "local" and
// reports, on every change of the browse results, the host of every current result whose
// TXT "location" is a URL with a host. Hosts are never withdrawn and duplicates are reported
// again; removing them is the receiver's task. Lives on the main thread.
class Discovery {
public:
    using HostHandler = std::function<void(QString host)>;
    using BrowserFactory = std::function<std::unique_ptr<ServiceBrowser>()>;

    // No browsing happens until start(). Without a factory the avahi browser is used.
    explicit Discovery(HostHandler onHost, BrowserFactory makeBrowser = {});
    ~Discovery();

    Discovery(const Discovery&) = delete;
    Discovery& operator=(const Discovery&) = delete;

    // Creates and starts a new browser; one started earlier is dropped. Returns at once.
    void start();

    // The host named by a result's TXT "location", or nothing when the result has no TXT
    // record, no "location", or a location that is not a URL with a host.
    static std::optional<QString> hostOf(const ServiceResult& result);

private:
    void resultsChanged(const QList<ServiceResult>& results);

    HostHandler onHost_;
    BrowserFactory makeBrowser_;
    std::unique_ptr<ServiceBrowser> browser_;
    // Handlers hold the object through this weakly, and it is cleared on destruction, so a
    // report never reaches a destroyed object.
    std::shared_ptr<Discovery*> self_;
};
