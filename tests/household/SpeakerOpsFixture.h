#pragma once

// A household on manual time, refreshed once against a small simulated household, for the
// tests of the speaker operations: transport, volume and mute, room and TV sound.

#include "core/Clock.h"
#include "household/Household.h"
#include "household/HouseholdKeys.h"
#include "support/Await.h"
#include "support/LiveHousehold.h"
#include "support/SimGena.h"
#include "support/SimTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <stdexcept>

namespace ops {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Args = QList<QPair<QString, QString>>;

// Each test's speakers stand on addresses of their own: a request that an earlier test left
// under way (the HTTP client sends it again when its connection closes) must not reach them.
inline int firstAddress = 2;
inline QString host(int n) {
    return test::SpeakerNumbers{u"RINCON_OPS"_s, firstAddress}.host(n);
}
inline QString uuid(int n) {
    return test::SpeakerNumbers{u"RINCON_OPS"_s, firstAddress}.uuid(n);
}

inline QList<sim::QueueItem> queue(int tracks) {
    QList<sim::QueueItem> items;
    for (int n = 1; n <= tracks; ++n) {
        const QString uri = u"x-file-cifs://nas/song%1.mp3"_s.arg(n);
        items.append({uri, sim::trackMetaData(u"Song %1"_s.arg(n), u"Artist"_s, u"Album"_s, uri)});
    }
    return items;
}

// Four speakers: Wohnzimmer and Küche play a queue together (volumes 40 and 31); Bad is a
// TV speaker on its own, paused on the TV input; Flur stands alone with nothing loaded.
inline sim::FakeHousehold fourSpeakers() {
    sim::FakeHousehold household = test::SpeakerNumbers{u"RINCON_OPS"_s, firstAddress}.household(
        {u"Wohnzimmer"_s, u"Küche"_s, u"Bad"_s, u"Flur"_s}, {{1, 2}, {3}, {4}});
    sim::FakeSpeaker& living = household.speakers[0];
    living.room.volume = 40;
    living.transport.queue = queue(3);
    living.transport.track = 1;
    living.transport.trackUri = living.transport.queue[0].uri;
    living.transport.trackMetaData = living.transport.queue[0].metaData;
    living.transport.trackDuration = u"0:03:00"_s;
    living.transport.state = u"PLAYING"_s;
    household.speakers[1].room.volume = 31;
    sim::FakeSpeaker& bath = household.speakers[2];
    bath.tv = true;
    bath.transport.state = u"PAUSED_PLAYBACK"_s;
    bath.transport.trackUri = u"x-sonos-htastream:"_s + uuid(3) + u":spdif"_s;
    return household;
}

class SpeakerOps : public test::LiveHousehold {
protected:
    void SetUp() override {
        firstAddress += 4;
        ASSERT_LE(firstAddress + 3, 254);
        Clock::useManual();
        simulator = std::make_unique<sim::SpeakerSimulator>(fourSpeakers());
        sim::installTransportActions(*simulator);
        readHousehold({host(1)});
        ASSERT_EQ(household->groups().size(), 3);
    }
    void TearDown() override {
        // Work still under way ends before its household and speakers go.
        if (household) {
            EXPECT_TRUE(test::waitUntil([&] { return sendersIdle(); }));
            EXPECT_TRUE(test::waitUntil([&] { return household->events().inFlight().isEmpty(); }));
        }
        LiveHousehold::TearDown();
    }

    Household& h() { return *household; }
    // Starts the event subscriptions and waits until they stand, their first events are in,
    // and the refresh that the first topology event starts has run to its end.
    void startEvents() {
        sim::SimGena& gena = simulator->gena();
        h().events().start();
        test::run(h().refresh());
        // Per group transport and group volume, per room its volume, one topology subscription.
        ASSERT_TRUE(test::waitUntil([&] {
            return gena.subscriptions().size() == 11 && h().events().inFlight().isEmpty() &&
                   gena.answeredNotifies() == gena.notifies().size();
        }));
        settings->remove(HouseholdKeys::lastGroups);
        ASSERT_TRUE(test::waitUntil([&] {
            Clock::advance(100ms);
            return settings->contains(HouseholdKeys::lastGroups);
        }));
    }
    // Whether speaker n sent a NOTIFY containing `text`, at or after `from`, and had it answered.
    bool notified(qsizetype from, int n, const QByteArray& text) {
        const QList<sim::SentNotify> sent = simulator->gena().notifies();
        for (qsizetype i = from; i < sent.size(); ++i)
            if (sent[i].from == host(n) && sent[i].body.contains(text) && sent[i].status == 200)
                return true;
        return false;
    }
    bool sendersIdle() {
        const auto& senders = probe().volumeSenders();
        return std::none_of(senders.cbegin(), senders.cend(), [](const auto& s) { return s->busy(); });
    }
    // The published group coordinated by speaker n.
    SpeakerGroup group(int n) const {
        if (auto found = test::groupLedBy(*household, uuid(n)))
            return *std::move(found);
        throw std::runtime_error("no such group");
    }
    // Speaker n's room as published.
    Room room(int n) const {
        if (auto found = test::roomWithID(*household, uuid(n)))
            return *std::move(found);
        throw std::runtime_error("no such room");
    }
    // Replaces the published group coordinated by speaker n.
    void edit(int n, const std::function<void(SpeakerGroup&)>& change) {
        QList<SpeakerGroup> groups = household->groups();
        for (SpeakerGroup& g : groups)
            if (g.coordinatorID == uuid(n))
                change(g);
        probe().setGroups(groups);
    }

    QList<sim::SimRequest> sent(int n, const QString& action) const {
        return simulator->requests(host(n), action);
    }
    // The arguments of every request of `action` to speaker n, in arrival order.
    QList<Args> argsSent(int n, const QString& action) const {
        QList<Args> out;
        for (const sim::SimRequest& request : sent(n, action))
            out.append(request.args);
        return out;
    }
    // Every SOAP action that reached speaker n, in order.
    QStringList actions(int n) const {
        QStringList out;
        for (const sim::SimRequest& request : simulator->requests())
            if (request.host == host(n) && !request.action.isEmpty())
                out.append(request.action);
        return out;
    }
    std::optional<Clock::Instant> stampOf(const ChangeKey& key) {
        const auto& stamps = probe().recentlyChanged();
        const auto found = stamps.constFind(key);
        return found == stamps.cend() ? std::nullopt : std::optional<Clock::Instant>(*found);
    }
    // Waits until `count` requests of `action` reached speaker n.
    bool waitForRequests(int n, const QString& action, int count) {
        return test::waitUntil([&] { return sent(n, action).size() >= count; });
    }
    // Waits until the household's error text is `text`.
    bool waitForError(const std::optional<QString>& text) {
        return test::waitUntil([&] { return household->error() == text; });
    }
};

} // namespace ops
