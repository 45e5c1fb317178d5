#include "protocol/SpeakerModel.h"

#include "core/Delays.h"
#include "protocol/Http.h"
#include "protocol/LeafParser.h"
#include "protocol/TransportError.h"

#include <QNetworkRequest>

namespace SpeakerModel {

QCoro::Task<std::optional<QString>> fetch(QString host) {
    const auto url = Http::speakerUrl(host, QStringLiteral("/xml/device_description.xml"));
    if (!url)
        co_return std::nullopt;
    HttpResponse response;
    try {
        response = co_await Http::send(QNetworkRequest(*url), "GET", {}, Delays::requestTimeout);
    } catch (const TransportError&) {
        co_return std::nullopt;
    }
    // The status is not looked at: an error page simply lacks the element.
    const Fields fields = LeafParser::parse(response.body);
    if (const auto found = fields.constFind(QStringLiteral("modelName")); found != fields.cend())
        co_return *found;
    co_return std::nullopt;
}

} // namespace SpeakerModel
