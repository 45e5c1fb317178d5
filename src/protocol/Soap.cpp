#include "protocol/Soap.h"

#include "core/Delays.h"
#include "protocol/Http.h"
#include "protocol/SonosError.h"
#include "protocol/TransportError.h"

#include <QNetworkRequest>

#include <optional>
#include <utility>

namespace SOAP {

namespace {

// Appends `value` in UTF-8 with "&", "<", ">" and the double quote written as entities;
// apostrophes stay as they are. The four are ASCII, and no byte of a multi-byte UTF-8 sequence
// is, so the bytes can be looked at one by one.
void appendEscaped(QByteArray& out, const QString& value) {
    const QByteArray utf8 = value.toUtf8();
    qsizetype plain = 0; // start of the bytes not yet copied
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const char* entity = nullptr;
        switch (utf8[i]) {
        case '&':
            entity = "&amp;";
            break;
        case '<':
            entity = "&lt;";
            break;
        case '>':
            entity = "&gt;";
            break;
        case '"':
            entity = "&quot;";
            break;
        default:
            continue;
        }
        out.append(utf8.constData() + plain, i - plain).append(entity);
        plain = i + 1;
    }
    out.append(utf8.constData() + plain, utf8.size() - plain);
}

} // namespace

QByteArray envelope(Service service, const QString& action, const Arguments& args) {
    // Written straight as UTF-8 into one buffer: an envelope is made for every call.
    static constexpr QByteArrayView head{
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\""
        " s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"};
    static constexpr QByteArrayView tail{"</s:Body></s:Envelope>"};
    const QByteArray name = action.toUtf8();
    QByteArray text;
    qsizetype size = head.size() + tail.size() + 2 * name.size() + 80;
    for (const auto& [key, value] : args)
        size += 2 * key.size() + value.size() + 16;
    text.reserve(size);
    text.append(head).append("<u:").append(name).append(" xmlns:u=\"").append(serviceType(service).toUtf8());
    text.append("\">");
    for (const auto& [key, value] : args) {
        const QByteArray element = key.toUtf8();
        text.append('<').append(element).append('>');
        appendEscaped(text, value);
        text.append("</").append(element).append('>');
    }
    text.append("</u:").append(name).append('>').append(tail);
    return text;
}

QByteArray soapAction(Service service, const QString& action) {
    return '"' + serviceType(service).toUtf8() + '#' + action.toUtf8() + '"';
}

QCoro::Task<Fields> call(QString host, Service service, QString action, Arguments args) {
    // The host goes in as given; a text that would turn the URL into another one (a path,
    // query, fragment or user part, another port) is no host and is refused like no URL.
    const auto url = Http::speakerUrl(host, controlPath(service));
    if (!url)
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
