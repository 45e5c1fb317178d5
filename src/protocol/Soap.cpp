#include "protocol/Soap.h"

#include "core/Delays.h"
#include "protocol/Http.h"
#include "protocol/SonosError.h"
#include "protocol/TransportError.h"

#include <QNetworkRequest>

namespace SOAP {

QString escape(QString value) {
    // The ampersand goes first, so that the entities written by the later steps stay intact.
    value.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    value.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    value.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    value.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return value;
}

QByteArray envelope(Service service, const QString& action, const Arguments& args) {
    QString text;
    text += QLatin1String("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\""
                          " s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>");
    text += QLatin1String("<u:") + action + QLatin1String(" xmlns:u=\"") + serviceType(service) +
            QLatin1String("\">");
    for (const auto& [name, value] : args)
        text += QLatin1Char('<') + name + QLatin1Char('>') + escape(value) + QLatin1String("</") + name +
                QLatin1Char('>');
    text += QLatin1String("</u:") + action + QLatin1Char('>');
    text += QLatin1String("</s:Body></s:Envelope>");
    return text.toUtf8();
}

QByteArray soapAction(Service service, const QString& action) {
    return '"' + serviceType(service).toUtf8() + '#' + action.toUtf8() + '"';
}

QCoro::Task<Fields> call(QString host, Service service, QString action, Arguments args) {
    // The host goes in as given; a text that would turn the URL into another one (a path,
    // query, fragment or user part, another port) is no host and is refused like no URL.
    const auto url =
        Http::url(QLatin1String("http://") + host + QLatin1String(":1400") + controlPath(service));
    if (!url || !Http::isSpeakerUrl(*url, controlPath(service)))
        throw TransportError(QNetworkReply::ProtocolInvalidOperationError,
                             QStringLiteral("no URL can be formed for the speaker \"%1\"").arg(host));

    QNetworkRequest request(*url);
    request.setRawHeader("Content-Type", "text/xml; charset=\"utf-8\"");
    request.setRawHeader("SOAPACTION", soapAction(service, action));

    const HttpResponse response =
        co_await Http::send(request, "POST", envelope(service, action, args), Delays::requestTimeout);

    // The body is read in every case: a fault carries its UPnP code in it.
    Fields fields = LeafParser::parse(response.body);
    if (response.status == 200)
        co_return fields;

    std::optional<QString> code;
    if (const auto found = fields.constFind(QStringLiteral("errorCode")); found != fields.cend())
        code = *found;
    throw SonosError(action + QLatin1String(" failed (UPnP ") + code.value_or(QStringLiteral("?")) +
                         QLatin1Char(')'),
                     code);
}

} // namespace SOAP
