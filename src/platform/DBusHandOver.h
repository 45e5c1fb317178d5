#pragma once

#include <QByteArray>
#include <QStringList>

// A later start's hand-over, made before the program builds anything of its own: a private
// connection to the session bus (plain libdbus, no application object, no event loop) that
// calls "Open" on the running instance and waits for its answer. A start that finds nobody
// running goes on to build the program; one whose hand-over was taken simply ends.
//
// It does not take the name: the program claims it later, through its own bus connection,
// which also serves "Open". A start that loses the race for the name between the two still
// hands over through that connection.
class DBusHandOver {
public:
    enum class Outcome {
        taken,      // the running instance answered: it has acted on the arguments
        noInstance, // nobody owns the name
        noAnswer,   // somebody owns the name but did not answer in time
        refused,    // the owner answered with an error
        noBus,      // no session bus to talk to
    };

    // Longest wait for the running instance's answer: it answers from its event loop at once,
    // a busy one may take a moment; a hung one must not keep this start forever.
    static constexpr int defaultTimeoutMs = 5000;

    // Hands `arguments` to the owner of `service` on the bus at `busAddress` (the session bus
    // when empty). Arguments that are not valid UTF-8 for the bus are left out with a log line.
    static Outcome send(const QString& service, const QStringList& arguments,
                        int timeoutMs = defaultTimeoutMs, const QByteArray& busAddress = QByteArray());
};
