#include "household/GroupStateRules.h"

#include "core/DecimalInteger.h"
#include "household/MusicLinks.h"

#include <QStringList>

#include <cmath>

using namespace Qt::StringLiterals;

namespace GroupStateRules {

namespace {

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// Sources whose tracks cannot be skipped; the first is also the mark of the TV input.
constexpr QLatin1StringView unskippablePrefixes[] = {
    "x-sonos-htastream:"_L1,
    "x-rincon-stream:"_L1,
    "x-sonosapi-stream:"_L1,
    "x-rincon-mp3radio:"_L1,
    "aac:"_L1,
    "x-sonosapi-hls:"_L1,
};

constexpr QLatin1StringView tvPrefix = "x-sonos-htastream:"_L1;

} // namespace

std::optional<double> plainDecimal(QStringView text) {
    // Digits, then at most one "." with digits on at least one side of it.
    qsizetype digits = 0;
    bool point = false;
    for (const QChar c : text) {
        if (isDigit(c)) {
            ++digits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;
    bool ok = false;
    // QStringView::toDouble reads the C locale; the text is validated above, so "inf", "nan",
    // hex and exponent forms never reach it. A very long digit run can still overflow.
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> decimalInteger(QStringView text) {
    return DecimalInteger::readInt(text, DecimalInteger::Plus::refused);
}

std::optional<double> seconds(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    const QStringList pieces = text->split(u':', Qt::SkipEmptyParts);
    if (pieces.size() != 3)
        return std::nullopt;
    const auto hours = plainDecimal(pieces[0]);
    const auto minutes = plainDecimal(pieces[1]);
    const auto secs = plainDecimal(pieces[2]);
    if (!hours || !minutes || !secs)
        return std::nullopt;
    const double total = *hours * 3600 + *minutes * 60 + *secs;
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

bool canSkip(const QString& uri) {
    for (const QLatin1StringView prefix : unskippablePrefixes)
        if (uri.startsWith(prefix))
            return false;
    return true;
}

void applyPosition(SpeakerGroup& group, const Fields& reply, const QDateTime& now) {
    const QString uri = reply.value(u"TrackURI"_s);
    const QString meta = reply.value(u"TrackMetaData"_s);
    group.spotifyURL = MusicLinks::spotifyTrack(uri + meta);
    group.appleMusicURL = MusicLinks::appleMusicSong(uri);
    group.viaAirPlay = uri.contains(",airplay:"_L1);
    group.viaTV = uri.startsWith(tvPrefix);
    group.canSkip = canSkip(uri);
    group.hasTrack = !uri.isEmpty();
    const std::optional<double> duration = seconds(reply.value(u"TrackDuration"_s));
    group.duration = duration && *duration > 0 ? duration : std::nullopt;
    group.position = seconds(reply.value(u"RelTime"_s)).value_or(0);
    group.positionAt = now;
}

QString tvHost(const SpeakerGroup& group, const QString& trackUri) {
    const QStringList pieces = trackUri.split(u':', Qt::SkipEmptyParts);
    if (pieces.size() >= 2) {
        for (const Room& room : group.rooms)
            if (room.id == pieces[1])
                return room.host;
    }
    return group.coordinator().host;
}

std::optional<QUrl> artURL(const QString& albumArtUri, const QString& coordinatorHost) {
    const QString address = albumArtUri.startsWith("http"_L1)
                                ? albumArtUri
                                : "http://"_L1 + coordinatorHost + ":1400"_L1 + albumArtUri;
    // Strict parsing, the same the stored groups are read back with: an address that reads
    // here always reads again from "lastGroups".
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isEmpty())
        return std::nullopt;
    return url;
}

void applyMetadata(SpeakerGroup& group, const QString& metaData) {
    if (!metaData.startsWith(u'<'))
        return;
    const Fields m = LeafParser::parse(metaData);
    const QString streamContent = m.value(u"r:streamContent"_s);
    if (!streamContent.isEmpty())
        group.title = streamContent;
    else
        group.title = m.value(u"dc:title"_s);
    if (m.contains(u"dc:creator"_s))
        group.artist = m.value(u"dc:creator"_s);
    else
        group.artist = m.value(u"upnp:album"_s);
    if (m.contains(u"upnp:albumArtURI"_s))
        group.artURL = artURL(m.value(u"upnp:albumArtURI"_s), group.coordinator().host);
}

int volume(const Fields& reply) {
    return decimalInteger(reply.value(u"CurrentVolume"_s)).value_or(0);
}

bool muted(const Fields& reply) {
    return reply.value(u"CurrentMute"_s) == "1"_L1;
}

} // namespace GroupStateRules
