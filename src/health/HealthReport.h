#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The value records of the network health check and the ratings derived from a report.

// Ordered: ok < warning < problem.
enum class HealthLevel { ok = 0, warning = 1, problem = 2 };

namespace Health {
// The level of a raw value; nothing outside 0 to 2.
std::optional<HealthLevel> levelFromRaw(int raw);
} // namespace Health

// How a speaker is attached to the network.
enum class HealthLink { ethernet, wifi, sonosNet, unknown };

// One speaker's findings.
struct HealthSpeaker {
    QString id;   // the speaker's UUID, also the household's room id
    QString name; // the room name, or the UUID when the topology gives none
    std::optional<QString> model;
    QString host; // from the topology's location; empty when it gives none
    std::optional<QString> version;
    std::optional<QString> displayVersion;
    HealthLink link = HealthLink::unknown;
    std::optional<std::int64_t> channelMHz;
    bool behindExtender = false;
    bool inSystem = true;          // false for a remembered speaker added back
    bool reachable = false;        // answered this check's device-description probe
    std::optional<double> latency; // median answer time in seconds

    // The Wi-Fi channel number of channelMHz; nothing for none, zero or below.
    std::optional<std::int64_t> channel() const;

    friend bool operator==(const HealthSpeaker&, const HealthSpeaker&) = default;
};

// One rated finding.
struct HealthIssue {
    QString id; // "none", "firmware", "update", "nat", "vpn", or a prefix, "-" and a speaker id
    HealthLevel level = HealthLevel::ok;
    QString title;
    QString detail;
    std::optional<QString> forgettable; // the remembered speaker the issue offers to forget
    QStringList speakers;               // ids of the speakers the issue names
    bool quiet = false;                 // listed, but does not raise the panel's rating

    // The text before the first "-" (the first non-empty piece), or the whole id.
    QString kind() const;

    friend bool operator==(const HealthIssue&, const HealthIssue&) = default;
};

// A software update the speakers offer.
struct HealthUpdate {
    QString version;
    std::optional<QString> display;

    // Reads an "UpdateItem" text: the first Version="…" attribute (nothing without one) and,
    // from the UpdateURL, the dotted number after its last "-v" that a "-" follows.
    static std::optional<HealthUpdate> parse(const QString& text);

    friend bool operator==(const HealthUpdate&, const HealthUpdate&) = default;
};

// This computer's own network facts.
struct MacNetwork {
    std::optional<QString> interface;
    bool wifi = false;
    std::optional<QString> ssid;
    std::optional<QString> address;
    std::optional<QString> netmask;
    std::optional<QString> gateway;
    bool vpn = false;
    std::optional<bool> doubleNAT; // absent when not determined

    // "<network address>/<set bits of the mask>", or nothing unless both read as IPv4.
    std::optional<QString> subnet() const;

    friend bool operator==(const MacNetwork&, const MacNetwork&) = default;
};

// The result of one finished check.
struct HealthReport {
    QList<HealthSpeaker> speakers; // in display order
    MacNetwork mac;
    std::optional<HealthUpdate> update;
    QList<HealthIssue> issues; // highest level first
    QDateTime checkedAt;
    std::optional<QString> household;

    // The highest level of all issues; ok without any.
    HealthLevel overall() const;
    // The highest level of the issues that are not quiet; ok without any.
    HealthLevel panelLevel() const;
    // Problem for an unreachable speaker, else the highest level of the issues naming it.
    HealthLevel level(const HealthSpeaker& speaker) const;

    // The plain-text system state for the problem report: fixed German words whatever the
    // user's language, no room names and no addresses. The check time is written in
    // `locale`'s short date and time.
    QString supportSummary(const QLocale& locale = QLocale::system()) const;

    friend bool operator==(const HealthReport&, const HealthReport&) = default;
};
