#include "health/Diagnosis.h"

#include "core/Texts.h"
#include "health/IPv4.h"

#include <algorithm>

namespace Diagnosis {

namespace {

QString text(const QString& german, const QStringList& arguments = {}) {
    return Texts::fill(L(german), arguments);
}

HealthIssue issue(QString id, HealthLevel level, QString title, QString detail, QStringList speakers = {},
                  bool quiet = false) {
    return HealthIssue{std::move(id),       level, std::move(title), std::move(detail), std::nullopt,
                       std::move(speakers), quiet};
}

QString quoted(const QString& name) {
    return QStringLiteral("\u201E") + name + QStringLiteral("\u201C");
}

void unreachable(const QList<HealthSpeaker>& speakers, QList<HealthIssue>& out) {
    for (const HealthSpeaker& s : speakers) {
        if (s.reachable)
            continue;
        if (s.inSystem) {
            out.append(
                issue(QStringLiteral("blocked-") + s.id, HealthLevel::problem,
                      text(QStringLiteral("„%@“ ist für diesen Computer nicht erreichbar"), {s.name}),
                      text(QStringLiteral("Sonos meldet ihn als verbunden, aber dein Computer kommt nicht an "
                                          "ihn heran. Oft trennt der Router Geräte voneinander, etwa im "
                                          "Gast-WLAN.")),
                      {s.id}));
        } else {
            HealthIssue offline =
                issue(QStringLiteral("offline-") + s.id, HealthLevel::problem,
                      text(QStringLiteral("„%@“ antwortet nicht"), {s.name}),
                      text(QStringLiteral(
                          "Er war schon einmal da, ist jetzt aber nicht im Netz. Ist er am Strom? Nach "
                          "einem Neustart braucht er etwa eine Minute.")),
                      {s.id});
            offline.forgettable = s.id;
            out.append(offline);
        }
    }
}

void subnets(const QList<HealthSpeaker>& speakers, const MacNetwork& mac, QList<HealthIssue>& out) {
    if (!mac.address || !mac.netmask)
        return;
    const auto address = IPv4::parse(*mac.address);
    const auto mask = IPv4::parse(*mac.netmask);
    if (!address || !mask)
        return;
    for (const HealthSpeaker& s : speakers) {
        if (!s.reachable)
            continue;
        const auto host = IPv4::parse(s.host);
        if (!host || (*address & *mask) == (*host & *mask))
            continue;
        out.append(issue(QStringLiteral("subnet-") + s.id, HealthLevel::warning,
                         text(QStringLiteral("„%@“ liegt in einem anderen Netz"), {s.name}),
                         text(QStringLiteral("Er hat %@, dein Computer %@. Meist steckt ein zweiter Router "
                                             "dahinter. Am besten hängen Computer und Lautsprecher am selben "
                                             "Router."),
                              {s.host, *mac.address}),
                         {s.id}));
    }
}

void firmware(const QList<HealthSpeaker>& speakers, QList<HealthIssue>& out) {
    QList<const HealthSpeaker*> versioned;
    QStringList versions; // distinct, in order of first appearance
    QList<int> counts;
    for (const HealthSpeaker& s : speakers) {
        if (!s.version)
            continue;
        versioned.append(&s);
        const qsizetype at = versions.indexOf(*s.version);
        if (at < 0) {
            versions.append(*s.version);
            counts.append(1);
        } else {
            ++counts[at];
        }
    }
    if (versions.size() < 2)
        return;
    // The highest count wins; among equal counts the version met first in the list, so the
    // same findings always name the same speakers.
    qsizetype best = 0;
    for (qsizetype i = 1; i < versions.size(); ++i)
        if (counts[i] > counts[best])
            best = i;
    const QString& majority = versions[best];
    QStringList names;
    QStringList ids;
    std::optional<QString> label;
    for (const HealthSpeaker* s : versioned) {
        if (*s->version == majority) {
            if (!label)
                label = s->displayVersion.value_or(majority);
            continue;
        }
        names.append(quoted(s->name));
        ids.append(s->id);
    }
    out.append(
        issue(QStringLiteral("firmware"), HealthLevel::warning,
              text(QStringLiteral("Unterschiedliche Software-Stände")),
              text(QStringLiteral("%@ läuft nicht auf %@ wie die anderen. Ein Update in der Sonos-App unter "
                                  "Einstellungen › System bringt alle auf denselben Stand."),
                   {names.join(QStringLiteral(", ")), label.value_or(majority)}),
              ids));
}

void connections(const QList<HealthSpeaker>& speakers, QList<HealthIssue>& out) {
    for (const HealthSpeaker& s : speakers)
        if (s.reachable && s.latency && *s.latency >= weakLatency)
            out.append(
                issue(QStringLiteral("weak-") + s.id, HealthLevel::warning,
                      text(QStringLiteral("Schwache Verbindung bei „%@“"), {s.name}),
                      text(QStringLiteral("Er antwortet langsam. Näher am Router oder per LAN-Kabel läuft er "
                                          "stabiler.")),
                      {s.id}));
    for (const HealthSpeaker& s : speakers)
        if (s.reachable && s.behindExtender && (!s.latency || *s.latency < weakLatency))
            out.append(issue(
                QStringLiteral("extender-") + s.id, HealthLevel::warning,
                text(QStringLiteral("„%@“ hängt an einem Repeater"), {s.name}),
                text(QStringLiteral("Das geht, ist aber anfälliger für Aussetzer. Direkt am Router oder "
                                    "per Kabel ist er verlässlicher.")),
                {s.id}));
}

void offeredUpdate(const QList<HealthSpeaker>& speakers, const std::optional<HealthUpdate>& update,
                   QList<HealthIssue>& out) {
    if (!update)
        return;
    const auto reference = std::find_if(speakers.cbegin(), speakers.cend(), [&](const HealthSpeaker& s) {
        return s.inSystem && s.version && *s.version != update->version;
    });
    if (reference == speakers.cend())
        return;
    const QString title = update->display
                              ? text(QStringLiteral("Software-Update verfügbar (%@)"), {*update->display})
                              : text(QStringLiteral("Software-Update verfügbar"));
    out.append(issue(QStringLiteral("update"), HealthLevel::warning, title,
                     text(QStringLiteral("Installiert ist %@. Starte das Update in der Sonos-App unter "
                                         "Einstellungen › System › Software-Update."),
                          {reference->displayVersion.value_or(*reference->version)}),
                     {}, true));
}

} // namespace

QList<HealthIssue> issues(const QList<HealthSpeaker>& speakers, const MacNetwork& mac,
                          const std::optional<HealthUpdate>& update) {
    QList<HealthIssue> out;
    if (speakers.isEmpty())
        out.append(issue(
            QStringLiteral("none"), HealthLevel::problem, text(QStringLiteral("Keine Lautsprecher gefunden")),
            text(QStringLiteral("Tamber erreicht keinen Sonos-Lautsprecher. Ist dieser Computer im "
                                "selben WLAN wie dein Sonos-System?"))));
    unreachable(speakers, out);
    subnets(speakers, mac, out);
    firmware(speakers, out);
    connections(speakers, out);
    offeredUpdate(speakers, update, out);
    if (mac.doubleNAT.value_or(false))
        out.append(issue(
            QStringLiteral("nat"), HealthLevel::warning, text(QStringLiteral("Zwei Router hintereinander")),
            text(QStringLiteral("Hinter deinem Router sitzt noch einer (Double NAT). Solange Computer und "
                                "Lautsprecher am selben hängen, ist das meist egal. Bei Aussetzern einen "
                                "der beiden in den Bridge-Modus stellen.")),
            {}, true));
    if (mac.vpn)
        out.append(
            issue(QStringLiteral("vpn"), HealthLevel::warning, text(QStringLiteral("VPN aktiv")),
                  text(QStringLiteral("Ein VPN leitet oft auch das Heimnetz um. Fehlen Lautsprecher, trenn "
                                      "das VPN kurz.")),
                  {}, true));
    std::stable_sort(out.begin(), out.end(),
                     [](const HealthIssue& a, const HealthIssue& b) { return a.level > b.level; });
    return out;
}

} // namespace Diagnosis
