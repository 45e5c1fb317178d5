// The loopback speaker simulator as a program of its own, for tests and benchmarks that start
// the real tamber beside it.
//
// Usage: speaker-sim NET COUNT
// Runs COUNT speakers at NET.2, NET.3, ... (for example 127.77.13.2): speakers 1 and 2 play
// together (led by 1), every other speaker is a stopped group of its own. Prints, one line
// each and flushed at once:
//   ready HOST,HOST,...             when every speaker listens
//   request HOST METHOD ACTION      for each request received (ACTION "-" for non-SOAP ones)
//   subscriptions N                 whenever the number of event subscriptions held changes
// Ends on SIGINT or SIGTERM.
#include "platform/QuitSignals.h"
#include "support/SimGena.h"
#include "support/SpeakerSimulator.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void say(const QString& line) {
    std::fputs(qUtf8Printable(line + u'\n'), stdout);
    std::fflush(stdout);
}

sim::FakeHousehold household(const QString& net, int count) {
    sim::FakeHousehold fake;
    const QStringList names = {u"Wohnzimmer"_s, u"Küche"_s,        u"Bad"_s,
                               u"Büro"_s,       u"Schlafzimmer"_s, u"Flur"_s};
    for (int n = 1; n <= count; ++n) {
        sim::FakeSpeaker speaker;
        speaker.host = u"%1.%2"_s.arg(net).arg(n + 1);
        speaker.uuid = u"RINCON_E2E%1"_s.arg(n, 2, 10, QChar(u'0'));
        speaker.zoneName = n <= names.size() ? names.at(n - 1) : u"Raum %1"_s.arg(n);
        fake.speakers.append(speaker);
    }
    fake.speakers[0].transport.state = u"PLAYING"_s;
    fake.speakers[0].transport.trackUri = u"x-file-cifs://nas/music/song.mp3"_s;
    fake.speakers[0].transport.trackMetaData =
        sim::trackMetaData(u"Song"_s, u"Artist"_s, u"Album"_s, fake.speakers[0].transport.trackUri);
    fake.groups.append({fake.speakers[0].uuid + u":1"_s, fake.speakers[0].uuid, {fake.speakers[0].uuid}});
    if (count >= 2)
        fake.groups[0].members.append(fake.speakers[1].uuid);
    for (int n = 3; n <= count; ++n) {
        const QString uuid = fake.speakers[n - 1].uuid;
        fake.groups.append({uuid + u":%1"_s.arg(n), uuid, {uuid}});
    }
    return fake;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3 || args.at(2).toInt() < 1 || args.at(2).toInt() > 200) {
        std::fputs("usage: speaker-sim NET COUNT (1 to 200)\n", stderr);
        return 2;
    }
    const sim::FakeHousehold fake = household(args.at(1), args.at(2).toInt());
    QStringList hosts;
    for (const sim::FakeSpeaker& speaker : fake.speakers)
        hosts.append(speaker.host);
    sim::SpeakerSimulator simulator(fake);
    say(u"ready "_s + hosts.join(u','));

    qsizetype seen = 0;
    qsizetype held = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QList<sim::SimRequest> log = simulator.requests();
        for (; seen < log.size(); ++seen) {
            const sim::SimRequest& request = log.at(seen);
            say(u"request %1 %2 %3"_s.arg(request.host, QString::fromLatin1(request.method),
                                          request.action.isEmpty() ? u"-"_s : request.action));
        }
        const qsizetype now = simulator.gena().subscriptions().size();
        if (now != held)
            say(u"subscriptions %1"_s.arg(now));
        held = now;
    });
    poll.start(10);

    QuitSignals quit;
    QObject::connect(&quit, &QuitSignals::requested, &app, &QCoreApplication::quit);
    return app.exec();
}
