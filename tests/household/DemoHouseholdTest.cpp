// The demo household of render mode: every operation shows in the published values, and
// none of them reaches a speaker or the settings.
#include "core/Clock.h"
#include "household/Household.h"
#include "support/Await.h"
#include "support/HouseholdProbe.h"
#include "support/QtPrinters.h"
#include "support/TestNet.h"

#include <QFile>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

Room room(int n, const QString& name) {
    return Room{.id = u"RINCON_DEMO%1"_s.arg(n),
                .name = name,
                .host = test::loopback(n + 1),
                .volume = 20,
                .muted = false};
}

SpeakerGroup group(const QString& id, const QList<Room>& rooms) {
    SpeakerGroup g{.id = id, .coordinatorID = rooms.first().id, .rooms = rooms};
    g.state = u"PLAYING"_s;
    g.title = u"Demo"_s;
    g.duration = 200;
    g.tvHost = rooms.first().host;
    return g;
}

class DemoHousehold : public ::testing::Test {
protected:
    void SetUp() override {
        Clock::useManual();
        // Something listens where the demo rooms seem to be, and counts who knocks.
        for (int n = 1; n <= 3; ++n) {
            auto server = std::make_unique<QTcpServer>();
            ASSERT_TRUE(server->listen(QHostAddress(test::loopback(n + 1)), 1400)) << n;
            QObject::connect(server.get(), &QTcpServer::newConnection, [this] { ++connections; });
            servers.push_back(std::move(server));
        }
        demo = std::make_unique<Household>(
            *settings,
            QList<SpeakerGroup>{group(u"D1"_s, {room(1, u"Wohnzimmer"_s), room(2, u"Küche"_s)}),
                                group(u"D2"_s, {room(3, u"Bad"_s)})},
            QMap<QString, QString>{});
    }
    void TearDown() override {
        demo.reset();
        Clock::advance(60s);
        Clock::useReal();
    }

    // Runs `task` to its end, moving the clock through the household's waits.
    void finish(QCoro::Task<void> task) {
        bool done = false;
        auto driver = [](QCoro::Task<void> inner, bool* flag) -> QCoro::Task<void> {
            co_await std::move(inner);
            *flag = true;
        }(std::move(task), &done);
        for (int step = 0; step < 100 && !done; ++step) {
            QCoreApplication::processEvents();
            Clock::advance(500ms);
        }
        EXPECT_TRUE(done);
    }
    SpeakerGroup groupOf(const QString& id) const {
        for (const SpeakerGroup& g : demo->groups())
            if (g.id == id)
                return g;
        return {};
    }

    TempSettings settings;
    std::vector<std::unique_ptr<QTcpServer>> servers;
    int connections = 0;
    std::unique_ptr<Household> demo;
};

TEST_F(DemoHousehold, EveryOperationShowsAndNoneReachesASpeakerOrTheSettings) {
    Household& h = *demo;
    QSignalSpy published(&h, &Household::groupsChanged);
    const Room kitchen = groupOf(u"D1"_s).rooms[1];
    const Room bath = groupOf(u"D2"_s).rooms[0];

    h.startNetwork();
    finish(h.refresh());
    finish(h.togglePlay(groupOf(u"D1"_s)));
    EXPECT_EQ(groupOf(u"D1"_s).state, u"PAUSED_PLAYBACK"_s);
    finish(h.skip(groupOf(u"D1"_s), true));
    h.seek(groupOf(u"D1"_s), 42);
    EXPECT_EQ(groupOf(u"D1"_s).position, 42);
    h.setSleepTimer(groupOf(u"D1"_s), 15);
    h.setVolume(groupOf(u"D1"_s), 60);
    EXPECT_EQ(groupOf(u"D1"_s).volume, 60);
    h.setVolume(bath, 35);
    h.toggleMute(groupOf(u"D2"_s));
    EXPECT_TRUE(groupOf(u"D2"_s).muted);
    h.toggleMute(kitchen);
    h.setBass(bath, 3);
    h.setTreble(bath, -2);
    h.setLoudness(bath, false);
    h.setTVSound(groupOf(u"D1"_s), true, false);
    EXPECT_EQ(groupOf(u"D1"_s).nightMode, true);
    EXPECT_EQ(test::run(h.loadSound(bath)), Household::RoomSound{});
    finish(h.loadFavorites());
    finish(h.play(Favorite{.id = u"FV:2/1"_s,
                           .title = u"Radio"_s,
                           .uri = u"x-sonosapi-stream:s1"_s,
                           .meta = {},
                           .artURL = {}},
                  groupOf(u"D1"_s)));
    finish(h.rename(groupOf(u"D1"_s), u"Unten"_s));
    EXPECT_EQ(h.displayName(groupOf(u"D1"_s)), u"Unten"_s);
    finish(h.rename(bath, u"Badezimmer"_s));
    finish(h.setMember(kitchen, groupOf(u"D1"_s), false));
    EXPECT_EQ(h.groups().size(), 3);
    finish(h.joinAll());
    EXPECT_EQ(h.groups().size(), 1);
    h.savePreset(h.groups().first());
    ASSERT_EQ(h.presets().size(), 1);
    finish(h.setMember(bath, h.groups().first(), false));
    finish(h.apply(h.presets().first()));
    EXPECT_EQ(h.groups().size(), 1);
    h.deletePreset(h.presets().first());
    h.selectGroup(1);

    EXPECT_TRUE(test::waitUntil([&] {
        const auto& senders = HouseholdProbe{h}.volumeSenders();
        return std::none_of(senders.cbegin(), senders.cend(), [](const auto& s) { return s->busy(); });
    }));
    QCoreApplication::processEvents();
    EXPECT_EQ(connections, 0);
    EXPECT_FALSE(h.networkStarted());
    EXPECT_FALSE(h.error());
    EXPECT_GT(published.count(), 10);
    EXPECT_FALSE(QFile::exists(settings->path())) << "the demo household wrote its settings";
}

} // namespace
