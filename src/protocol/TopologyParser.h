#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

// Reads a ZoneGroupState document into its groups and their visible members, in document
// order. Invisible members, zone bridges, satellites and vanished devices never become
// members. Malformed input gives what was read before the error; it never fails.
class TopologyParser {
public:
    struct Member {
        QString uuid;
        QString name; // the room name, or the UUID when the member has none
        QString host; // the speaker's address from its Location, without port

        bool operator==(const Member&) const = default;
    };

    struct Group {
        QString id;
        QString coordinator; // UUID of the group's coordinator
        QList<Member> members;

        bool operator==(const Group&) const = default;
    };

    // The text is read as UTF-8 whatever its XML declaration names.
    static QList<Group> parse(const QString& text);
    // The BootSeq of every speaker that states one (members of any kind and satellites), by
    // UUID. A speaker raises it at each start.
    static QHash<QString, qint64> bootSeqs(const QString& text);
    static QList<Group> parse(const QByteArray& utf8);

    // Both at once, from one reading of the text.
    struct Document {
        QList<Group> groups;
        QHash<QString, qint64> bootSeqs;
    };
    static Document read(const QString& text);
};
