#pragma once

#include "household/SpeakerGroup.h"

#include <QString>
#include <QUrl>

#include <optional>

class LinkOpener;

// Where a click on the cover or the subtitle of the now-playing tile leads: the track in its
// music app, or a search for it. `tooltip` is already in the display language.
struct SourceLink {
    QUrl url;
    QString tooltip;

    friend bool operator==(const SourceLink&, const SourceLink&) = default;

    // The first rule that applies: the track's Spotify link; its Apple Music page; nothing for a
    // TV input, a track that cannot be skipped (a radio stream) or an empty title; else a search
    // for "title artist" in Spotify when an app handles "spotify:" links, otherwise on the
    // Apple Music web catalogue. A "spotify:" link becomes its open.spotify.com form when no app
    // handles it, so that it opens in the browser.
    static std::optional<SourceLink> of(const SpeakerGroup& group, const LinkOpener& links);
    // "spotify:track:ID" → "https://open.spotify.com/track/ID"; other links unchanged.
    static QUrl spotifyWeb(const QUrl& url);
};
