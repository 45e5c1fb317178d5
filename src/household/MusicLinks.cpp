#include "household/MusicLinks.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QStringDecoder>

namespace MusicLinks {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The text decoded, or the text itself when it has no valid percent-encoding.
QString decodedOrRaw(const QString& text) {
    return percentDecoded(text).value_or(text);
}

} // namespace

std::optional<QString> percentDecoded(const QString& text) {
    const QByteArray in = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            bytes.append(in[i]);
            continue;
        }
        if (i + 2 >= in.size())
            return std::nullopt;
        const int high = hexValue(in[i + 1]);
        const int low = hexValue(in[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.append(char(high * 16 + low));
        i += 2;
    }
    // Qt's UTF-8 decoder flags truncated sequences, stray continuation bytes, overlong forms
    // and encoded surrogates as errors.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

std::optional<QUrl> spotifyTrack(const QString& text) {
    static const QRegularExpression track(QStringLiteral("spotify:track:[A-Za-z0-9]{22}"));
    const QRegularExpressionMatch match = track.match(decodedOrRaw(text));
    if (!match.hasMatch())
        return std::nullopt;
    return QUrl(match.captured(0));
}

std::optional<QUrl> appleMusicSong(const QString& text) {
    const QString decoded = decodedOrRaw(text);
    if (!decoded.contains(QLatin1StringView("sid=204")))
        return std::nullopt;
    // ASCII digits only: they form the page's path as they stand.
    static const QRegularExpression song(QStringLiteral("song:([0-9]+)"));
    const QRegularExpressionMatch match = song.match(decoded);
    if (!match.hasMatch())
        return std::nullopt;
    QUrl url;
    url.setScheme(QStringLiteral("https"));
    url.setHost(QStringLiteral("music.apple.com"));
    url.setPath(QStringLiteral("/song/") + match.captured(1));
    return url;
}

} // namespace MusicLinks
