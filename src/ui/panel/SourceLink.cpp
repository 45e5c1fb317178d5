#include "ui/panel/SourceLink.h"

#include "core/Texts.h"
#include "ui/panel/LinkOpener.h"

#include <QUrlQuery>

namespace {
const QString spotifyScheme = QStringLiteral("spotify");
} // namespace

QUrl SourceLink::spotifyWeb(const QUrl& url) {
    if (url.scheme() != spotifyScheme)
        return url;
    // "spotify:track:ID" has the path "track:ID".
    const QStringList parts = url.path().split(u':', Qt::SkipEmptyParts);
    QUrl web(QStringLiteral("https://open.spotify.com"));
    web.setPath(u'/' + parts.join(u'/'));
    return web;
}

std::optional<SourceLink> SourceLink::of(const SpeakerGroup& group, const LinkOpener& links) {
    if (group.spotifyURL) {
        const QUrl url = links.handles(spotifyScheme) ? *group.spotifyURL : spotifyWeb(*group.spotifyURL);
        return SourceLink{url, L(QStringLiteral("In Spotify öffnen"))};
    }
    if (group.appleMusicURL)
        return SourceLink{*group.appleMusicURL, L(QStringLiteral("In Apple Music öffnen"))};
    if (group.viaTV || !group.canSkip || group.title.isEmpty())
        return std::nullopt;
    QStringList words{group.title};
    if (!group.artist.isEmpty())
        words.append(group.artist);
    const QString query = words.join(u' ');
    if (links.handles(spotifyScheme)) {
        // Path encoding: a space is %20, "/" and the other path characters stay.
        const QByteArray encoded = QUrl::toPercentEncoding(query, "/:@!$&'()*+,;=");
        const QUrl url(QStringLiteral("spotify:search:") + QString::fromLatin1(encoded), QUrl::StrictMode);
        if (url.isValid())
            return SourceLink{url, L(QStringLiteral("In Spotify suchen"))};
    }
    // No desktop app takes the catalogue's own scheme: the search opens in the browser.
    QUrl url(QStringLiteral("https://music.apple.com/search"));
    QUrlQuery items;
    items.addQueryItem(QStringLiteral("term"), QString::fromLatin1(QUrl::toPercentEncoding(query)));
    url.setQuery(items);
    if (!url.isValid())
        return std::nullopt;
    return SourceLink{url, L(QStringLiteral("In Musik suchen"))};
}
