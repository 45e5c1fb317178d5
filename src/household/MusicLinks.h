#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// Links to the playing track in music services, found in a track URI or its metadata.
// Pure functions of their text; no link gives nothing.
namespace MusicLinks {

// Decodes %XX escapes. Fails on a "%" without two hex digits after it and on bytes that do
// not form valid UTF-8, so a caller can tell undecodable text apart and use it as it is.
std::optional<QString> percentDecoded(const QString& text);

// The first "spotify:track:" followed by 22 letters or digits in the (decoded) text, as a
// "spotify:" link.
std::optional<QUrl> spotifyTrack(const QString& text);

// The web page of the song named by "song:<digits>" in a text from the music service whose
// id is 204 ("sid=204").
std::optional<QUrl> appleMusicSong(const QString& text);

} // namespace MusicLinks
