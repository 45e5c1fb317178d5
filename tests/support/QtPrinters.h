#pragma once

// Readable failure messages for the Qt and household types the tests compare. Every test
// that compares such values includes this one header; none defines printers of its own.
#include "household/Room.h"
#include "household/SpeakerGroup.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << "QUrl(" << url.toString(QUrl::FullyEncoded).toStdString() << ')';
}

inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[';
    for (qsizetype i = 0; i < list.size(); ++i)
        *out << (i ? ", " : "") << '"' << list[i].toStdString() << '"';
    *out << ']';
}

inline void PrintTo(const Room& room, std::ostream* out) {
    *out << "Room(" << room.id.toStdString() << " \"" << room.name.toStdString() << "\" "
         << room.host.toStdString() << " volume " << room.volume << (room.muted ? " muted" : "") << ')';
}

// A group by what tells groups apart in a failure: id, coordinator, rooms and transport.
inline void PrintTo(const SpeakerGroup& group, std::ostream* out) {
    *out << "SpeakerGroup(" << group.id.toStdString() << " led by " << group.coordinatorID.toStdString()
         << ", rooms";
    for (const Room& room : group.rooms)
        *out << ' ' << room.name.toStdString();
    *out << ", " << group.state.toStdString() << " \"" << group.title.toStdString() << "\", volume "
         << group.volume << (group.muted ? " muted" : "") << ')';
}
