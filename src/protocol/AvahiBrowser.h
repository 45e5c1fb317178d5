#pragma once

#include "protocol/ServiceBrowser.h"

#include <map>
#include <memory>
#include <tuple>

struct AvahiClient;
struct AvahiGLibPoll;
struct AvahiServiceBrowser;
struct AvahiServiceResolver;

// The real DNS-SD browser on the system's avahi-daemon (avahi-client over the system D-Bus).
// Browses the service type, resolves each instance for its TXT record and keeps the set of
// resolved instances: an instance joins when resolved, changes when its TXT changes, and
// leaves when the daemon reports it removed; each change reports the whole set.
//
// avahi runs on the GLib main context that Qt's event dispatcher drives on the main thread,
// so every report arrives on the main thread; create it there.
//
// Without a system bus, or where Qt does not run on GLib, it logs why once and reports
// nothing. The client is made with AVAHI_CLIENT_NO_FAIL: when avahi-daemon is not running
// yet, the client waits for it; when a running daemon goes away (a restart, a package
// upgrade), a new client waits for it in the same way. Browsing starts afresh once the
// daemon is back, instead of discovery staying dead until the program restarts.
class AvahiBrowser final : public ServiceBrowser {
public:
    AvahiBrowser();
    ~AvahiBrowser() override;

    AvahiBrowser(const AvahiBrowser&) = delete;
    AvahiBrowser& operator=(const AvahiBrowser&) = delete;

    void setResultsChangedHandler(ResultsChanged handler) override;
    void start(const QString& type, const QString& domain) override;

    enum class State {
        Idle,        // not started
        Unavailable, // no bus, no GLib loop, or the client failed: reports nothing
        Waiting,     // connected to the bus, waiting for avahi-daemon
        Browsing,
    };
    State state() const { return state_; }

private:
    struct Key {
        int interfaceIndex;
        int protocol;
        QString name;
        QString type;
        QString domain;
        auto tie() const { return std::tie(interfaceIndex, protocol, name, type, domain); }
        bool operator<(const Key& other) const { return tie() < other.tie(); }
    };
    struct Entry {
        AvahiBrowser* owner = nullptr;
        Key key;
        AvahiServiceResolver* resolver = nullptr;
        std::optional<TxtRecord> txt;
    };

    // The C callbacks of avahi, with avahi's own types; defined next to the implementation.
    friend struct AvahiCallbacks;

    void connectClient();
    void clientStateChanged(AvahiClient* client, int state);
    void browseEvent(int interfaceIndex, int protocol, int event, const char* name, const char* type,
                     const char* domain);
    void resolved(Entry* entry, std::optional<TxtRecord> txt);
    void startBrowsing(AvahiClient* client);
    void stopBrowsing();
    void report();
    void unavailable(const QString& why);

    ResultsChanged handler_;
    QString type_;
    QString domain_;
    State state_ = State::Idle;
    AvahiGLibPoll* poll_ = nullptr;
    AvahiClient* client_ = nullptr;
    AvahiServiceBrowser* browser_ = nullptr;
    std::map<Key, std::unique_ptr<Entry>> entries_;
};
