#include "protocol/Discovery.h"

#include "core/Log.h"
#include "protocol/AvahiBrowser.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

const QString serviceType = QStringLiteral("_sonos._tcp");
const QString serviceDomain = QStringLiteral("local");

// TXT keys compare without regard to case; of a repeated key the first one counts.
std::optional<QByteArray> txtValue(const TxtRecord& txt, const QByteArray& key) {
    for (const TxtEntry& entry : txt) {
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    return std::nullopt;
}

} // namespace

Discovery::Discovery(HostHandler onHost, BrowserFactory makeBrowser)
    : onHost_(std::move(onHost)), makeBrowser_(std::move(makeBrowser)),
      self_(std::make_shared<Discovery*>(this)) {
    if (!makeBrowser_)
        makeBrowser_ = [] { return std::make_unique<AvahiBrowser>(); };
}

Discovery::~Discovery() {
    // Handlers that still run (a browser held elsewhere, a report under way) see no object.
    *self_ = nullptr;
    self_.reset();
    browser_.reset();
}

void Discovery::start() {
    std::unique_ptr<ServiceBrowser> browser = makeBrowser_();
    if (!browser)
        return;
    std::weak_ptr<Discovery*> weak = self_;
    browser->setResultsChangedHandler([weak](const QList<ServiceResult>& results) {
        if (auto self = weak.lock(); self && *self)
            (*self)->resultsChanged(results);
    });
    browser->start(serviceType, serviceDomain);
    // The earlier browser goes now; keeping it would only repeat every report.
    browser_ = std::move(browser);
}

std::optional<QString> Discovery::hostOf(const ServiceResult& result) {
    if (!result.txt)
        return std::nullopt;
    const std::optional<QByteArray> location = txtValue(*result.txt, QByteArrayLiteral("location"));
    if (!location)
        return std::nullopt;
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(*location);
    if (decode.hasError())
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return std::nullopt;
    const QString host = url.host();
    if (host.isEmpty())
        return std::nullopt;
    return host;
}

void Discovery::resultsChanged(const QList<ServiceResult>& results) {
    // Every current result is reported again; the changes themselves do not matter.
    // The receiver may release this object; the handler and the handle are copies.
    const HostHandler onHost = onHost_;
    const std::shared_ptr<Discovery*> self = self_;
    for (const ServiceResult& result : results) {
        const std::optional<QString> host = hostOf(result);
        if (!host)
            continue;
        qCDebug(logDiscovery) << "speaker at" << *host << "from" << result.name;
        if (onHost)
            onHost(*host);
        if (!*self)
            return;
    }
}
