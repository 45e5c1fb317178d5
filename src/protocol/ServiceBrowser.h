#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// One key of a DNS-SD TXT record. A key written without "=" has no value at all, which is
// not the same as an empty value.
struct TxtEntry {
    QByteArray key;
    std::optional<QByteArray> value;
};

using TxtRecord = QList<TxtEntry>;

// One service instance as a browser currently sees it.
struct ServiceResult {
    QString name;
    QString type;
    QString domain;
    int interfaceIndex = -1;
    // The instance's TXT record; absent while the browser has none for it (not yet resolved,
    // or resolving failed).
    std::optional<TxtRecord> txt;
};

// A DNS-SD browser for one service type in one domain. After start() it calls the
// results-changed handler on the main thread with the complete current set of results each
// time that set changes. A browser that cannot browse reports nothing. Destroying the browser
// stops it; no handler call happens after that.
class ServiceBrowser {
public:
    using ResultsChanged = std::function<void(const QList<ServiceResult>& results)>;

    virtual ~ServiceBrowser() = default;

    // Called once, before start().
    virtual void setResultsChangedHandler(ResultsChanged handler) = 0;
    // Begins browsing; returns at once.
    virtual void start(const QString& type, const QString& domain) = 0;
};
