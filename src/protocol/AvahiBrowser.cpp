#include "protocol/AvahiBrowser.h"

#include "core/Log.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/error.h>
#include <avahi-common/strlst.h>
#include <avahi-glib/glib-watch.h>

namespace {

TxtRecord readTxt(AvahiStringList* list) {
    TxtRecord txt;
    for (AvahiStringList* item = list; item; item = avahi_string_list_get_next(item)) {
        const QByteArray text(reinterpret_cast<const char*>(avahi_string_list_get_text(item)),
                              qsizetype(avahi_string_list_get_size(item)));
        const qsizetype equals = text.indexOf('=');
        if (equals < 0)
            txt.append({text, std::nullopt});
        else
            txt.append({text.left(equals), text.mid(equals + 1)});
    }
    return txt;
}

bool sameTxt(const std::optional<TxtRecord>& a, const std::optional<TxtRecord>& b) {
    if (a.has_value() != b.has_value())
        return false;
    if (!a)
        return true;
    if (a->size() != b->size())
        return false;
    for (qsizetype i = 0; i < a->size(); ++i) {
        if ((*a)[i].key != (*b)[i].key || (*a)[i].value != (*b)[i].value)
            return false;
    }
    return true;
}

QString text(const char* s) {
    return s ? QString::fromUtf8(s) : QString();
}

} // namespace

struct AvahiCallbacks {
    static void client(AvahiClient* client, AvahiClientState state, void* self) {
        static_cast<AvahiBrowser*>(self)->clientStateChanged(client, int(state));
    }

    static void browse(AvahiServiceBrowser*, AvahiIfIndex interfaceIndex, AvahiProtocol protocol,
                       AvahiBrowserEvent event, const char* name, const char* type, const char* domain,
                       AvahiLookupResultFlags, void* self) {
        static_cast<AvahiBrowser*>(self)->browseEvent(interfaceIndex, protocol, int(event), name, type,
                                                      domain);
    }

    static void resolve(AvahiServiceResolver*, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
                        const char*, const char*, const char*, const char*, const AvahiAddress*, uint16_t,
                        AvahiStringList* txt, AvahiLookupResultFlags, void* userdata) {
        auto* entry = static_cast<AvahiBrowser::Entry*>(userdata);
        if (event == AVAHI_RESOLVER_FOUND) {
            entry->owner->resolved(entry, readTxt(txt));
        } else {
            // The resolver is finished; the instance stays without a TXT record until the
            // daemon announces it anew.
            qCDebug(logDiscovery) << "could not resolve" << entry->key.name << ":"
                                  << avahi_strerror(avahi_client_errno(entry->owner->client_));
            avahi_service_resolver_free(entry->resolver);
            entry->resolver = nullptr;
            entry->owner->resolved(entry, std::nullopt);
        }
    }
};

AvahiBrowser::AvahiBrowser() = default;

AvahiBrowser::~AvahiBrowser() {
    stopBrowsing();
    if (client_)
        avahi_client_free(client_);
    if (poll_)
        avahi_glib_poll_free(poll_);
}

void AvahiBrowser::setResultsChangedHandler(ResultsChanged handler) {
    handler_ = std::move(handler);
}

void AvahiBrowser::start(const QString& type, const QString& domain) {
    if (state_ != State::Idle)
        return;
    type_ = type;
    domain_ = domain;

    // avahi's watches and timeouts live on GLib's default main context, which only Qt's GLib
    // event dispatcher on the main thread runs.
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread() ||
        !dispatcher || !dispatcher->inherits("QEventDispatcherGlib")) {
        unavailable(QStringLiteral("the event loop does not run GLib (QT_NO_GLIB set?)"));
        return;
    }

    poll_ = avahi_glib_poll_new(nullptr, G_PRIORITY_DEFAULT);
    if (!poll_) {
        unavailable(QStringLiteral("no GLib poll"));
        return;
    }
    connectClient();
}

void AvahiBrowser::connectClient() {
    int error = 0;
    // The state callback runs inside avahi_client_new already, before client_ is set.
    AvahiClient* client = avahi_client_new(avahi_glib_poll_get(poll_), AVAHI_CLIENT_NO_FAIL,
                                           &AvahiCallbacks::client, this, &error);
    if (!client) {
        unavailable(QStringLiteral("no connection to the system bus (%1)").arg(text(avahi_strerror(error))));
        return;
    }
    client_ = client;
}

void AvahiBrowser::clientStateChanged(AvahiClient* client, int state) {
    switch (AvahiClientState(state)) {
    case AVAHI_CLIENT_S_RUNNING:
        if (!browser_)
            startBrowsing(client);
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
        // The daemon is still settling its own host name; browsing works meanwhile.
        if (!browser_)
            startBrowsing(client);
        break;
    case AVAHI_CLIENT_CONNECTING:
        // Not running yet, or gone: its browser and resolvers are dead, and what they found
        // is gone with them. Browsing starts afresh when the daemon is back.
        stopBrowsing();
        if (state_ != State::Waiting)
            qCInfo(logDiscovery) << "avahi-daemon is not running; discovery waits for it";
        state_ = State::Waiting;
        break;
    case AVAHI_CLIENT_FAILURE: {
        const int error = avahi_client_errno(client);
        stopBrowsing();
        if (error != AVAHI_ERR_DISCONNECTED || client != client_) {
            unavailable(QStringLiteral("avahi client failed (%1)").arg(text(avahi_strerror(error))));
            break;
        }
        // A client that lost a running daemon stays failed for good, and its dead connection
        // would keep waking the loop. A new one waits for the daemon to return; freeing the
        // client from its own callback is what avahi's own tools do here.
        qCInfo(logDiscovery) << "avahi-daemon went away; discovery waits for it to return";
        state_ = State::Waiting;
        avahi_client_free(client_);
        client_ = nullptr;
        connectClient();
        break;
    }
    }
}

void AvahiBrowser::startBrowsing(AvahiClient* client) {
    const QByteArray type = type_.toUtf8();
    const QByteArray domain = domain_.toUtf8();
    browser_ =
        avahi_service_browser_new(client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, type.constData(),
                                  domain.constData(), AvahiLookupFlags(0), &AvahiCallbacks::browse, this);
    if (!browser_) {
        qCWarning(logDiscovery) << "cannot browse" << type_ << ":"
                                << avahi_strerror(avahi_client_errno(client));
        state_ = State::Unavailable;
        return;
    }
    if (state_ == State::Waiting)
        qCInfo(logDiscovery) << "avahi-daemon is running; browsing" << type_;
    state_ = State::Browsing;
}

void AvahiBrowser::stopBrowsing() {
    for (auto& [key, entry] : entries_) {
        if (entry->resolver)
            avahi_service_resolver_free(entry->resolver);
    }
    entries_.clear();
    if (browser_) {
        avahi_service_browser_free(browser_);
        browser_ = nullptr;
    }
}

void AvahiBrowser::browseEvent(int interfaceIndex, int protocol, int event, const char* name,
                               const char* type, const char* domain) {
    switch (AvahiBrowserEvent(event)) {
    case AVAHI_BROWSER_NEW: {
        Key key{interfaceIndex, protocol, text(name), text(type), text(domain)};
        if (entries_.count(key))
            return;
        auto entry = std::make_unique<Entry>();
        entry->owner = this;
        entry->key = key;
        entry->resolver = avahi_service_resolver_new(client_, interfaceIndex, protocol, name, type, domain,
                                                     AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0),
                                                     &AvahiCallbacks::resolve, entry.get());
        if (!entry->resolver)
            qCDebug(logDiscovery) << "cannot resolve" << key.name << ":"
                                  << avahi_strerror(avahi_client_errno(client_));
        // It joins the reported set once resolved; until then nothing changed for the receiver.
        entries_.emplace(std::move(key), std::move(entry));
        break;
    }
    case AVAHI_BROWSER_REMOVE: {
        auto it = entries_.find(Key{interfaceIndex, protocol, text(name), text(type), text(domain)});
        if (it == entries_.end())
            return;
        if (it->second->resolver)
            avahi_service_resolver_free(it->second->resolver);
        const bool wasReported = it->second->txt.has_value();
        entries_.erase(it);
        if (wasReported)
            report();
        break;
    }
    case AVAHI_BROWSER_FAILURE:
        // A failed browser is not restarted; what it found stays as it is.
        qCWarning(logDiscovery) << "browsing failed:" << avahi_strerror(avahi_client_errno(client_));
        break;
    case AVAHI_BROWSER_CACHE_EXHAUSTED:
    case AVAHI_BROWSER_ALL_FOR_NOW:
        break;
    }
}

void AvahiBrowser::resolved(Entry* entry, std::optional<TxtRecord> txt) {
    if (sameTxt(entry->txt, txt))
        return;
    entry->txt = std::move(txt);
    report();
}

void AvahiBrowser::report() {
    QList<ServiceResult> results;
    for (const auto& [key, entry] : entries_) {
        if (!entry->txt)
            continue;
        results.append({key.name, key.type, key.domain, key.interfaceIndex, entry->txt});
    }
    // A copy: the handler may release this browser.
    const ResultsChanged handler = handler_;
    if (handler)
        handler(results);
}

void AvahiBrowser::unavailable(const QString& why) {
    if (state_ == State::Unavailable)
        return;
    qCWarning(logDiscovery).noquote() << "discovery finds no speakers:" << why;
    state_ = State::Unavailable;
}
