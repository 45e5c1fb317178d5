#include "app/UrlCommands.h"

#include "core/DecimalInteger.h"
#include "core/Log.h"
#include "household/Household.h"

#include <QUrl>

#include <algorithm>

namespace UrlCommands {

namespace {
constexpr int volumeStep = 4;

int clampVolume(qint64 value) {
    return int(std::clamp<qint64>(value, 0, 100));
}
} // namespace

std::optional<Command> parse(const QString& url) {
    const qsizetype colon = url.indexOf(u':');
    if (colon < 0 || QStringView(url).left(colon) != u"tamber")
        return std::nullopt;
    QStringView rest = QStringView(url).mid(colon + 1);
    // Query and fragment belong to no part of a command.
    const auto end = std::find_if(rest.begin(), rest.end(), [](QChar c) { return c == u'?' || c == u'#'; });
    rest = rest.left(end - rest.begin());
    Command command;
    if (rest.startsWith(u"//")) {
        rest = rest.mid(2);
        const qsizetype slash = rest.indexOf(u'/');
        QStringView authority = slash < 0 ? rest : rest.left(slash);
        rest = slash < 0 ? QStringView() : rest.mid(slash);
        const qsizetype at = authority.lastIndexOf(u'@');
        if (at >= 0)
            authority = authority.mid(at + 1);
        const qsizetype port = authority.lastIndexOf(u':');
        if (port >= 0 && !authority.startsWith(u'['))
            authority = authority.left(port);
        command.host = authority.toString();
    }
    // The argument is the first segment of the path; empty segments do not count.
    for (const QStringView segment : rest.split(u'/', Qt::SkipEmptyParts)) {
        command.argument = QUrl::fromPercentEncoding(segment.toUtf8());
        break;
    }
    return command;
}

std::optional<int> volume(const QString& argument, int current) {
    if (argument == u"up")
        return clampVolume(qint64(current) + volumeStep);
    if (argument == u"down")
        return clampVolume(qint64(current) - volumeStep);
    if (const auto number = DecimalInteger::readInt(argument))
        return clampVolume(*number);
    return std::nullopt;
}

std::optional<RoomPreset> preset(const QString& argument, const Household& household) {
    const QList<RoomPreset>& presets = household.presets();
    if (const auto number = DecimalInteger::readInt(argument);
        number && *number >= 1 && *number <= presets.size())
        return presets.at(*number - 1);
    for (const RoomPreset& candidate : presets)
        if (household.name(candidate).compare(argument, Qt::CaseInsensitive) == 0)
            return candidate;
    return std::nullopt;
}

// Carries out one command on the active group, which is there and known.
QCoro::Task<void> perform(QPointer<Household> household, SpeakerGroup group, QString command,
                          QString argument) {
    const bool playing = Household::isPlaying(group.state);
    if (command == u"play" || command == u"pause") {
        // Only when the group is not already where the command wants it.
        if (playing != (command == u"play"))
            co_await household->togglePlay(group);
    } else if (command == u"toggle") {
        co_await household->togglePlay(group);
    } else if (command == u"next" || command == u"previous") {
        co_await household->skip(group, command == u"next");
    } else if (command == u"mute") {
        household->toggleMute(group);
    } else if (command == u"volume") {
        if (const auto target = volume(argument, group.volume))
            household->setVolume(group, *target);
        else
            qCInfo(logApp) << "URL command volume ignored: unusable argument" << argument;
    } else if (command == u"preset") {
        if (const auto chosen = preset(argument, *household))
            co_await household->apply(*chosen);
        else
            qCInfo(logApp) << "URL command preset ignored: no preset" << argument;
    } else {
        qCInfo(logApp) << "URL command ignored: unknown command" << command;
    }
}

QCoro::Task<void> run(QPointer<Household> household, QString command, QString argument) {
    if (!household)
        co_return;
    if (!household->live()) {
        co_await household->refresh();
        if (!household || !household->live()) {
            qCInfo(logApp) << "URL command" << command << "dropped: no speaker answered";
            co_return;
        }
    }
    const std::optional<SpeakerGroup> group = household->activeGroup();
    if (!group) {
        qCInfo(logApp) << "URL command" << command << "dropped: no active group";
        co_return;
    }
    co_await perform(household, *group, std::move(command), std::move(argument));
}

} // namespace UrlCommands
