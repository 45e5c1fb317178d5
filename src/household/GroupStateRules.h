#pragma once

#include "household/SpeakerGroup.h"
#include "protocol/LeafParser.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

// How the replies of a group's state reads turn into fields of the group. Pure functions of
// their arguments, kept apart from the request sequence so that each rule can be checked alone.
namespace GroupStateRules {

// A plain decimal number: ASCII digits with an optional fraction ("12", "7.25"). No sign, no
// exponent, no white space, no "inf"/"nan" or hex forms, and never a non-finite result.
std::optional<double> plainDecimal(QStringView text);

// A decimal integer: ASCII digits with an optional leading "-", within the range of int.
// No "+", no white space.
std::optional<int> decimalInteger(QStringView text);

// A speaker time "H:MM:SS" in seconds. Split at ":" with empty pieces dropped; exactly three
// plain decimals are required, anything else gives nothing.
std::optional<double> seconds(const std::optional<QString>& text);

// True when the track URI starts with none of the prefixes of sources that cannot skip
// (case-sensitive).
bool canSkip(const QString& uri);

// The fields read from a GetPositionInfo reply: links, source kind, position and length.
// `now` becomes positionAt.
void applyPosition(SpeakerGroup& group, const Fields& reply, const QDateTime& now);

// The host of the group's TV speaker for a TV-input track URI: the member whose id is the
// second ":"-separated piece of the URI, else the coordinator.
QString tvHost(const SpeakerGroup& group, const QString& trackUri);

// Title, artist and artwork from a DIDL-Lite "TrackMetaData" text. Does nothing unless the text
// begins with "<"; fields whose elements are missing keep their values as described per field.
void applyMetadata(SpeakerGroup& group, const QString& metaData);

// The artwork address for an "upnp:albumArtURI": absolute "http…" text as it is, anything else
// as a path on the coordinator's port 1400. Nothing when no valid URL can be made of it.
std::optional<QUrl> artURL(const QString& albumArtUri, const QString& coordinatorHost);

// "CurrentVolume" as an integer, 0 when it is missing or not an integer.
int volume(const Fields& reply);
// "CurrentMute": true exactly for the text "1".
bool muted(const Fields& reply);

} // namespace GroupStateRules
