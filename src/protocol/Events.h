#pragma once

#include "protocol/LeafParser.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The four evented services of a speaker.
enum class EventService { avTransport, groupRenderingControl, renderingControl, zoneGroupTopology };

QString rawValue(EventService service);                           // "MediaRenderer/AVTransport", ...
std::optional<EventService> eventServiceFrom(const QString& raw); // exact match only
QString eventPath(EventService service);                          // "/" + raw value + "/Event"

// What the subscriber needs to know of the household's groups: who coordinates, who plays.
struct SpeakerAddress {
    QString id;   // the speaker's UUID
    QString host; // its address
};
struct GroupAddresses {
    SpeakerAddress coordinator;
    QList<SpeakerAddress> rooms; // in the household's room order
};

// Keeps the speakers' GENA event subscriptions alive and hands every accepted NOTIFY, as
// flattened fields, to `onEvent` on the main thread.
class Events : public QObject {
    Q_OBJECT
public:
    struct Target {
        QString uuid;
        QString host;
        EventService service;
        QString callbackPath() const; // "/" + uuid + "/" + raw service
        bool operator==(const Target&) const = default;
    };

    explicit Events(QObject* parent = nullptr);
    ~Events() override;

    std::function<void(const Target&, const Fields&)> onEvent;

    void start();
    void sync(const QList<GroupAddresses>& groups);
    void stop();
    bool healthy() const;
};

size_t qHash(const Events::Target& target, size_t seed = 0);
