#pragma once

#include "household/SpeakerGroup.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <optional>

// The one observable model of the household. (Being built: state, refresh, polling, merges.)
class Household : public QObject {
    Q_OBJECT
public:
    explicit Household(QObject* parent = nullptr);

    // Group state polling: reads one group's playback state from its speakers and returns an
    // updated copy; every failed request leaves the fields it would have set as they were.
    static QCoro::Task<SpeakerGroup> loadState(SpeakerGroup group);
    // "H:MM:SS" -> seconds; nothing for no text and for anything but three plain decimals.
    static std::optional<double> seconds(const std::optional<QString>& text);
    // One EQ setting ("NightMode", "DialogLevel") of the speaker at host.
    static QCoro::Task<std::optional<bool>> eq(QString host, QString type);
};
