#pragma once

#include "household/RoomPreset.h"

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>

#include <optional>

class Household;

// The "tamber" URLs that other programs send: "tamber://open", "tamber://health" and the
// playback commands on the active group, e.g. "tamber://pause" or "tamber://volume/35".
namespace UrlCommands {

// A command as read from the URL's own text: the host names it, the first path segment
// (percent-decoded) is its argument.
struct Command {
    QString host;
    QString argument;
    friend bool operator==(const Command&, const Command&) = default;
};

// Reads the raw text, so that the scheme and the command keep their letter case (a URL
// parser lower-cases both). Nothing unless the scheme is exactly "tamber".
std::optional<Command> parse(const QString& url);

// The volume a "volume" command asks for: "up" and "down" step by 4 from `current`, a whole
// decimal number (with an optional sign) is the volume itself; kept within 0 to 100. Nothing
// for any other argument.
std::optional<int> volume(const QString& argument, int current);

// The preset a "preset" command names: a number from 1 to the count picks by position,
// anything else is compared with the presets' names regardless of letter case.
std::optional<RoomPreset> preset(const QString& argument, const Household& household);

// Runs a playback command on the active group. A household that never reached its speakers
// gets one refresh first; the command is dropped when it still has not, or when there is no
// active group. Unknown commands and unusable arguments are logged and do nothing.
QCoro::Task<void> run(QPointer<Household> household, QString command, QString argument);

} // namespace UrlCommands
