#include "health/HealthReport.h"

#include "health/IPv4.h"

#include <QRegularExpression>

#include <algorithm>
#include <bit>
#include <cmath>

namespace Health {

std::optional<HealthLevel> levelFromRaw(int raw) {
    if (raw < 0 || raw > 2)
        return std::nullopt;
    return static_cast<HealthLevel>(raw);
}

} // namespace Health

namespace {

HealthLevel highest(const QList<HealthIssue>& issues, bool quietToo) {
    HealthLevel level = HealthLevel::ok;
    for (const HealthIssue& issue : issues)
        if (quietToo || !issue.quiet)
            level = std::max(level, issue.level);
    return level;
}

QString linkWord(HealthLink link) {
    switch (link) {
    case HealthLink::ethernet:
        return QStringLiteral("LAN");
    case HealthLink::wifi:
        return QStringLiteral("WLAN");
    case HealthLink::sonosNet:
        return QStringLiteral("SonosNet");
    case HealthLink::unknown:
        break;
    }
    return QStringLiteral("?");
}

// The band named in the summary. Its boundary to 6 GHz (5900 MHz) is not the one of the
// channel number (5955 MHz): the summary names the band the frequency lies closest to.
QString band(std::int64_t mhz) {
    if (mhz < 3000)
        return QStringLiteral("2,4 GHz");
    if (mhz < 5900)
        return QStringLiteral("5 GHz");
    return QStringLiteral("6 GHz");
}

QString speakerLine(const HealthSpeaker& speaker) {
    QString state = speaker.reachable  ? QStringLiteral("erreichbar")
                    : speaker.inSystem ? QStringLiteral("nicht erreichbar (im System)")
                                       : QStringLiteral("offline");
    QStringList link{linkWord(speaker.link)};
    if (speaker.channelMHz && *speaker.channelMHz > 0)
        link.append(band(*speaker.channelMHz));
    if (speaker.behindExtender)
        link.append(QStringLiteral("Repeater"));
    // std::round takes halves away from zero.
    const QString time = speaker.latency
                             ? QString::number(static_cast<qint64>(std::round(*speaker.latency * 1000.0))) +
                                   QStringLiteral(" ms")
                             : QStringLiteral("\u2013");
    return QStringLiteral("- ") + speaker.model.value_or(QStringLiteral("?")) + QStringLiteral(": ") + state +
           QStringLiteral(", ") + speaker.version.value_or(QStringLiteral("?")) + QStringLiteral(", ") +
           link.join(QLatin1Char(' ')) + QStringLiteral(", ") + time;
}

} // namespace

std::optional<std::int64_t> HealthSpeaker::channel() const {
    if (!channelMHz || *channelMHz <= 0)
        return std::nullopt;
    const std::int64_t f = *channelMHz;
    if (f == 2484)
        return 14;
    if (f < 3000)
        return (f - 2407) / 5;
    if (f < 5955)
        return (f - 5000) / 5;
    return (f - 5950) / 5;
}

QString HealthIssue::kind() const {
    const QStringList pieces = id.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    return pieces.isEmpty() ? id : pieces.first();
}

std::optional<HealthUpdate> HealthUpdate::parse(const QString& text) {
    static const QRegularExpression versionPattern(QStringLiteral("Version=\"([^\"]+)\""));
    static const QRegularExpression displayPattern(QStringLiteral("UpdateURL=\"[^\"]*-v(\\d+(?:\\.\\d+)+)-"));
    const QRegularExpressionMatch version = versionPattern.match(text);
    if (!version.hasMatch())
        return std::nullopt;
    HealthUpdate update{version.captured(1), std::nullopt};
    if (const QRegularExpressionMatch display = displayPattern.match(text); display.hasMatch())
        update.display = display.captured(1);
    return update;
}

std::optional<QString> MacNetwork::subnet() const {
    if (!address || !netmask)
        return std::nullopt;
    const auto a = IPv4::parse(*address);
    const auto m = IPv4::parse(*netmask);
    if (!a || !m)
        return std::nullopt;
    return IPv4::format(*a & *m) + QLatin1Char('/') + QString::number(std::popcount(*m));
}

HealthLevel HealthReport::overall() const {
    return highest(issues, true);
}

HealthLevel HealthReport::panelLevel() const {
    return highest(issues, false);
}

HealthLevel HealthReport::level(const HealthSpeaker& speaker) const {
    if (!speaker.reachable)
        return HealthLevel::problem;
    HealthLevel level = HealthLevel::ok;
    for (const HealthIssue& issue : issues)
        if (issue.speakers.contains(speaker.id))
            level = std::max(level, issue.level);
    return level;
}

QString HealthReport::supportSummary(const QLocale& locale) const {
    QStringList lines;
    const QDateTime local = checkedAt.toLocalTime();
    lines.append(QStringLiteral("Geprüft: ") + locale.toString(local.date(), QLocale::ShortFormat) +
                 QStringLiteral(", ") + locale.toString(local.time(), QLocale::ShortFormat));
    QStringList kinds;
    for (const HealthIssue& issue : issues)
        kinds.append(issue.kind());
    lines.append(QStringLiteral("Hinweise: ") +
                 (kinds.isEmpty() ? QStringLiteral("keine") : kinds.join(QStringLiteral(", "))));
    lines.append(QStringLiteral("Update: ") +
                 (update ? update->display.value_or(update->version) : QStringLiteral("keins")));
    const QString network = mac.wifi        ? QStringLiteral("WLAN")
                            : mac.interface ? QStringLiteral("LAN")
                                            : QStringLiteral("kein Netz");
    const QString nat = !mac.doubleNAT   ? QStringLiteral("?")
                        : *mac.doubleNAT ? QStringLiteral("ja")
                                         : QStringLiteral("nein");
    lines.append(QStringLiteral("Computer: ") + network + QStringLiteral(", VPN ") +
                 (mac.vpn ? QStringLiteral("an") : QStringLiteral("aus")) + QStringLiteral(", Double NAT ") +
                 nat);
    for (const HealthSpeaker& speaker : speakers)
        lines.append(speakerLine(speaker));
    return lines.join(QLatin1Char('\n'));
}
