// Favourites: loading the list from a speaker and starting one on a group, against the
// loopback speakers.
#include "SimulatedHousehold.h"
#include "household/HouseholdTexts.h"

#include "protocol/Soap.h"
#include "protocol/SonosError.h"

#include <QFile>

using namespace Qt::StringLiterals;
using namespace simulated;

namespace {

using Args = QList<QPair<QString, QString>>;
using Commands = QList<QPair<QString, Args>>;

const QString didl = uR"(<DIDL-Lite xmlns:dc="http://purl.org/dc/elements/1.1/" )"
                     uR"(xmlns:upnp="urn:schemas-upnp-org:metadata-1-0/upnp/" )"
                     uR"(xmlns:r="urn:schemas-rinconnetworks-com:metadata-1-0/" )"
                     uR"(xmlns="urn:schemas-upnp-org:metadata-1-0/DIDL-Lite/">)"_s;

// A favourite's own metadata, as the speakers keep it.
QString meta(const QString& title, const QString& upnpClass) {
    return didl + uR"(<item id="100c206c" parentID="-1" restricted="true"><dc:title>)"_s + title +
           u"</dc:title><upnp:class>"_s + upnpClass +
           uR"(</upnp:class><desc id="cdudn" nameSpace="urn:schemas-rinconnetworks-com:metadata-1-0/">)"
           uR"(SA_RINCON2311_X_#Svc2311-0-Token</desc></item></DIDL-Lite>)"_s;
}

const QString radioUri = u"x-sonosapi-stream:s24896?sid=254&flags=8224&sn=0"_s;
const QString playlistUri = u"x-rincon-cpcontainer:1006206cspotify%3aplaylist%3a37i9dQZF1DX"_s;

sim::FakeFavorite radio() {
    return {u"Radio Eins"_s, radioUri, meta(u"Radio Eins"_s, u"object.item.audioItem.audioBroadcast"_s),
            u"/getaa?s=1&u=x-sonosapi-stream%3as24896"_s, u"object.itemobject.item.sonos-favorite"_s};
}
sim::FakeFavorite playlist() {
    return {u"Morgens <früh> & \"laut\""_s, playlistUri,
            meta(u"Morgens"_s, u"object.container.playlistContainer"_s), u"https://art.example/p.jpg"_s,
            u"object.itemobject.item.sonos-favorite"_s};
}

Favorite favorite(const QString& uri, const QString& meta = {}) {
    return Favorite{.id = u"FV:2/9"_s, .title = u"t"_s, .uri = uri, .meta = meta, .artURL = std::nullopt};
}

// Two groups: Küche alone (the first in room order), and Wohnzimmer coordinating Bad.
sim::FakeHousehold twoGroups() {
    sim::FakeHousehold fake = household({u"Küche"_s, u"Wohnzimmer"_s, u"Bad"_s}, {{1}, {2, 3}});
    fake.favorites = {radio(), playlist()};
    return fake;
}

class Favorites : public SimulatedHousehold {
protected:
    // Starts a favourite and lets it run to its wait before the refresh; the sequence has then
    // ended and set or cleared the error text.
    QCoro::Task<void> playUntilWait(const Favorite& f, const SpeakerGroup& g) {
        QSignalSpy errors(household.get(), &Household::errorChanged);
        QCoro::Task<void> task = household->play(f, g);
        EXPECT_TRUE(test::waitUntil([&] { return errors.count() > 0; }));
        EXPECT_EQ(errors.count(), 1);
        return task;
    }
    // Moves time to the refresh that ends the start of a favourite and waits for its end.
    void finish(QCoro::Task<void> task) {
        const int before = refreshes();
        Clock::advance(599ms);
        EXPECT_EQ(refreshes(), before);
        Clock::advance(1ms);
        test::run(std::move(task));
        EXPECT_EQ(refreshes(), before + 1);
        settle();
    }
    const SpeakerGroup& living() const { return groupOf(uuid(2)); }
    sim::Containers albums() const { return {{playlistUri, sim::albumTracks(u"Album"_s, 4)}}; }
};

// The browse goes to the active group's coordinator; the list replaces the old one whole and
// stays fresh for 60 s.
TEST_F(Favorites, LoadReadsTheActiveGroupsCoordinatorAtMostOnceAMinute) {
    Household& h = start(twoGroups());
    h.selectGroup(living());
    QSignalSpy changed(&h, &Household::favoritesChanged);
    test::run(h.loadFavorites());
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(commands(*simulator, host(2)), (Commands{{u"Browse"_s,
                                                        {{u"ObjectID"_s, u"FV:2"_s},
                                                         {u"BrowseFlag"_s, u"BrowseDirectChildren"_s},
                                                         {u"Filter"_s, u"*"_s},
                                                         {u"StartingIndex"_s, u"0"_s},
                                                         {u"RequestedCount"_s, u"24"_s},
                                                         {u"SortCriteria"_s, u""_s}}}}));
    ASSERT_EQ(h.favorites().size(), 2);
    EXPECT_EQ(h.favorites()[0].id, u"FV:2/1"_s);
    EXPECT_EQ(h.favorites()[0].uri, radioUri);
    EXPECT_EQ(h.favorites()[0].meta, radio().metaData);
    // Relative artwork is made absolute on the speaker that was asked.
    EXPECT_EQ(h.favorites()[0].artURL,
              QUrl(u"http://"_s + host(2) + u":1400/getaa?s=1&u=x-sonosapi-stream%3as24896"_s));
    EXPECT_EQ(h.favorites()[1].title, playlist().title);
    EXPECT_EQ(h.favorites()[1].artURL, QUrl(u"https://art.example/p.jpg"_s));

    simulator->update([](sim::FakeHousehold& fake) { fake.favorites = {playlist()}; });
    Clock::advance(60s);
    test::run(h.loadFavorites());
    EXPECT_EQ(simulator->requests(QString(), u"Browse"_s).size(), 1);
    EXPECT_EQ(h.favorites().size(), 2);
    Clock::advance(1s);
    test::run(h.loadFavorites());
    EXPECT_EQ(simulator->requests(QString(), u"Browse"_s).size(), 2);
    ASSERT_EQ(h.favorites().size(), 1);
    EXPECT_EQ(h.favorites()[0].uri, playlistUri);

    // An empty list replaces the old one and starts the window too.
    simulator->update([](sim::FakeHousehold& fake) { fake.favorites.clear(); });
    Clock::advance(61s);
    test::run(h.loadFavorites());
    EXPECT_TRUE(h.favorites().isEmpty());
    EXPECT_EQ(changed.count(), 3);
    Clock::advance(30s);
    test::run(h.loadFavorites());
    EXPECT_EQ(simulator->requests(QString(), u"Browse"_s).size(), 3);
}

// A failed or empty-handed load changes nothing, shows nothing and does not start the window.
TEST_F(Favorites, AFailedLoadIsSilentAndTriesAgainAtOnce) {
    Household& h = start(twoGroups());
    h.selectGroup(groupOf(uuid(1)));
    test::run(h.loadFavorites());
    ASSERT_EQ(h.favorites().size(), 2);
    const QList<Favorite> before = h.favorites();
    h.setError(u"earlier"_s);
    struct Case {
        const char* name;
        sim::Fault fault;
    };
    const Case cases[] = {
        {"UPnP fault", sim::Fault::upnp(u"701"_s)},
        {"no status 200", sim::Fault::httpStatus(403)},
        {"no Result field", sim::Fault::emptyOk()},
        {"offline", sim::Fault{}},
    };
    simulator->update([](sim::FakeHousehold& fake) { fake.favorites = {radio()}; });
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clock::advance(61s);
        h.setError(u"earlier"_s);
        if (c.fault.kind == sim::Fault::Kind::none)
            simulator->setOffline(host(1), true);
        else
            simulator->setFault(host(1), u"Browse"_s, c.fault);
        QSignalSpy changed(&h, &Household::favoritesChanged);
        const auto asked = simulator->requests(QString(), u"Browse"_s).size();
        test::run(h.loadFavorites());
        EXPECT_EQ(changed.count(), 0);
        EXPECT_EQ(h.favorites(), before);
        EXPECT_EQ(h.error(), u"earlier"_s);
        if (c.fault.kind != sim::Fault::Kind::none) {
            EXPECT_EQ(simulator->requests(QString(), u"Browse"_s).size(), asked + 1);
        }
        simulator->clearFaults();
        simulator->setOffline(host(1), false);
        // Right away, not a minute later.
        test::run(h.loadFavorites());
        EXPECT_EQ(h.favorites().size(), 1);
        simulator->update([](sim::FakeHousehold& fake) { fake.favorites = {radio(), playlist()}; });
        Clock::advance(61s);
        test::run(h.loadFavorites());
        ASSERT_EQ(h.favorites(), before);
        simulator->update([](sim::FakeHousehold& fake) { fake.favorites = {radio()}; });
    }
}

TEST_F(Favorites, LoadKeepsToItsLimitsAndToTheClockThatWentBack) {
    Household& h = start(twoGroups());
    // A speaker that ignores the requested count: the list still holds 24 at most.
    QList<sim::FakeFavorite> many;
    for (int i = 0; i < 30; ++i)
        many.append({u"F%1"_s.arg(i), u"x-file:%1"_s.arg(i), QString(), QString(), u"object.item"_s});
    simulator->setHandler(Service::contentDirectory, u"Browse"_s, [many](sim::ActionContext&) {
        return sim::SoapReply::ok({{u"Result"_s, sim::favoritesDidl(many)}});
    });
    test::run(h.loadFavorites());
    ASSERT_EQ(h.favorites().size(), 24);
    EXPECT_EQ(h.favorites()[23].title, u"F23"_s);

    // The wall clock set back an hour changes nothing: the list is fresh for 60 s of
    // monotonic time, neither held for an hour nor read again at once.
    Clock::setWallClock(Clock::now().addSecs(-3600));
    test::run(h.loadFavorites());
    EXPECT_EQ(simulator->requests(QString(), u"Browse"_s).size(), 1);
    Clock::advance(61s);
    test::run(h.loadFavorites());
    EXPECT_EQ(simulator->requests(QString(), u"Browse"_s).size(), 2);
}

// (The demo household of render mode sends nothing either: DemoHouseholdTest.)
TEST_F(Favorites, WithoutGroupsNothingIsSent) {
    simulator = std::make_unique<sim::SpeakerSimulator>(twoGroups());
    sim::installFavoritesActions(*simulator);
    household = std::make_unique<Household>(*settings); // knows no speaker, has no groups
    test::run(household->loadFavorites());
    EXPECT_TRUE(simulator->requests().isEmpty());
}

TEST(FavoriteKind, ContainersAreTellByTheirUriOrTheirMetadata) {
    const QString album = meta(u"a"_s, u"object.container.album.musicAlbum.sonos-favorite"_s);
    struct Case {
        QString uri;
        QString meta;
        bool container;
    };
    const Case cases[] = {
        {u"x-rincon-cpcontainer:"_s, u""_s, true},
        {u"x-rincon-cpcontainer:1006206cspotify%3aalbum%3a1"_s, meta(u"a"_s, u"object.item"_s), true},
        {u"x-rincon-playlist:RINCON_000E5884455C01400#A:ALBUM/St.%20Anger"_s, album, true},
        {u"file:///jffs/settings/savedqueues.rsq#3"_s, u"object.container"_s, true},
        {radioUri, meta(u"r"_s, u"object.item.audioItem.audioBroadcast"_s), false},
        {u"X-RINCON-CPCONTAINER:abc"_s, meta(u"a"_s, u"object.item"_s), false},
        {u"x-sonos-spotify:spotify%3atrack%3a1"_s, u"object.Container"_s, false},
        {u" x-rincon-cpcontainer:abc"_s, u""_s, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Household::isContainer(favorite(c.uri, c.meta)), c.container) << c.uri.toStdString();
}

TEST(FavoriteKind, TheQueueOfAGroupIsOnItsCoordinator) {
    SpeakerGroup g{.id = u"G"_s, .coordinatorID = u"RINCON_B"_s, .rooms = {}};
    EXPECT_EQ(Household::queueURI(g), u"x-rincon-queue:RINCON_B#0"_s);
}

// A container replaces the queue with its own tracks and plays it from the first; the model
// changes only through the refresh 0.6 s later.
TEST_F(Favorites, AContainerFillsTheQueueWithItsTracksAloneAndPlaysIt) {
    sim::FakeHousehold fake = twoGroups();
    fake.speakers[1].transport.queue = sim::albumTracks(u"Old"_s, 7);
    Household& h = start(fake, albums());
    h.setError(u"earlier"_s);
    const SpeakerGroup before = living();
    ASSERT_EQ(before.rooms.first().name, u"Bad"_s); // the coordinator is not the first room

    QCoro::Task<void> task = playUntilWait(favorite(playlistUri, playlist().metaData), living());
    EXPECT_FALSE(h.error()); // cleared at once
    EXPECT_EQ(
        commands(*simulator, host(2)),
        (Commands{{u"AddURIToQueue"_s,
                   {{u"InstanceID"_s, u"0"_s},
                    {u"EnqueuedURI"_s, playlistUri},
                    {u"EnqueuedURIMetaData"_s, playlist().metaData},
                    {u"DesiredFirstTrackNumberEnqueued"_s, u"0"_s},
                    {u"EnqueueAsNext"_s, u"0"_s}}},
                  {u"RemoveTrackRangeFromQueue"_s,
                   {{u"InstanceID"_s, u"0"_s},
                    {u"UpdateID"_s, u"0"_s},
                    {u"StartingIndex"_s, u"1"_s},
                    {u"NumberOfTracks"_s, u"7"_s}}},
                  {u"SetAVTransportURI"_s,
                   {{u"InstanceID"_s, u"0"_s},
                    {u"CurrentURI"_s, u"x-rincon-queue:"_s + uuid(2) + u"#0"_s},
                    {u"CurrentURIMetaData"_s, u""_s}}},
                  {u"Seek"_s, {{u"InstanceID"_s, u"0"_s}, {u"Unit"_s, u"TRACK_NR"_s}, {u"Target"_s, u"1"_s}}},
                  {u"Play"_s, {{u"InstanceID"_s, u"0"_s}, {u"Speed"_s, u"1"_s}}}}));
    EXPECT_TRUE(commands(*simulator, host(1)).isEmpty());
    EXPECT_TRUE(commands(*simulator, host(3)).isEmpty());
    const sim::FakeSpeaker speaker = simulator->speaker(host(2));
    ASSERT_EQ(speaker.transport.queue.size(), 4);
    EXPECT_EQ(speaker.transport.queue.first().uri, sim::albumTracks(u"Album"_s, 1).first().uri);
    EXPECT_EQ(speaker.transport.track, 1);
    EXPECT_EQ(speaker.transport.state, u"PLAYING"_s);
    // Nothing local before the refresh.
    EXPECT_EQ(living().state, before.state);
    EXPECT_EQ(living().title, before.title);

    finish(std::move(task));
    EXPECT_EQ(living().state, u"PLAYING"_s);
    EXPECT_EQ(living().title, u"Album 1"_s);
    EXPECT_FALSE(h.error());
}

// With the speakers' events, the group shows the started favourite before the refresh does.
TEST_F(Favorites, TheSpeakersEventsShowTheStartedFavouriteFirst) {
    Household& h = start(twoGroups(), albums(), true);
    QCoro::Task<void> task = playUntilWait(favorite(playlistUri), living());
    ASSERT_TRUE(test::waitUntil([&] { return living().state == u"PLAYING"_s; }));
    // The new track makes the group read again after its debounce.
    Clock::advance(300ms);
    ASSERT_TRUE(test::waitUntil([&] { return living().title == u"Album 1"_s; }));
    EXPECT_EQ(refreshes(), 0);
    Clock::advance(300ms);
    test::run(std::move(task));
    EXPECT_EQ(refreshes(), 1);
    EXPECT_EQ(living().title, u"Album 1"_s);
    EXPECT_FALSE(h.error());
}

// The first track number of the enqueued tracks decides how much of the old queue goes.
TEST_F(Favorites, TheEnqueuedTrackNumberDecidesWhatIsRemoved) {
    struct Case {
        const char* name;
        std::optional<QString> firstTrack; // the reply's text; nothing leaves the field out
        int queued;                        // tracks in the queue before
        std::optional<QString> removed;    // NumberOfTracks sent, or no removal
        int finalQueue;
    };
    const Case cases[] = {
        {"empty queue", u"1"_s, 0, std::nullopt, 4},
        {"eight", u"8"_s, 7, u"7"_s, 4},
        {"plus sign", u"+8"_s, 7, u"7"_s, 4},
        {"zero", u"0"_s, 2, std::nullopt, 6},
        {"negative", u"-3"_s, 2, std::nullopt, 6},
        {"text", u"abc"_s, 2, std::nullopt, 6},
        {"space", u" 3"_s, 2, std::nullopt, 6},
        {"two signs", u"+-3"_s, 2, std::nullopt, 6},
        {"too large", u"99999999999999999999"_s, 2, std::nullopt, 6},
        {"missing", std::nullopt, 2, std::nullopt, 6},
    };
    Household& h = start(twoGroups(), albums());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->update([&](sim::FakeHousehold& fake) {
            sim::FakeSpeaker& speaker = *fake.speakerByHost(host(2));
            speaker.transport.queue = sim::albumTracks(u"Old"_s, c.queued);
            speaker.transport.track = 0;
            speaker.replyText[u"AddURIToQueue"_s][u"FirstTrackNumberEnqueued"_s] = c.firstTrack;
        });
        simulator->clearRequests();
        finish(playUntilWait(favorite(playlistUri), living()));
        const QList<sim::SimRequest> removals = simulator->requests(host(2), u"RemoveTrackRangeFromQueue"_s);
        if (c.removed) {
            ASSERT_EQ(removals.size(), 1);
            EXPECT_EQ(removals[0].arg(u"NumberOfTracks"_s), *c.removed);
        } else {
            EXPECT_TRUE(removals.isEmpty());
        }
        // Without a usable number the queue still starts at track 1, old tracks and all.
        EXPECT_EQ(simulator->requests(host(2), u"Play"_s).size(), 1);
        EXPECT_EQ(simulator->speaker(host(2)).transport.queue.size(), c.finalQueue);
        EXPECT_EQ(simulator->speaker(host(2)).transport.track, 1);
        EXPECT_FALSE(h.error());
    }
}

// A direct favourite becomes the source with its own metadata, sent back exactly as read.
TEST_F(Favorites, ADirectFavouriteIsTheSourceWithItsOwnMetadata) {
    Household& h = start(twoGroups());
    test::run(h.loadFavorites());
    ASSERT_EQ(h.favorites().size(), 2);
    const Favorite loaded = h.favorites()[0];
    ASSERT_FALSE(Household::isContainer(loaded));
    simulator->clearRequests();

    finish(playUntilWait(loaded, groupOf(uuid(1))));
    EXPECT_EQ(commands(*simulator, host(1)),
              (Commands{{u"SetAVTransportURI"_s,
                         {{u"InstanceID"_s, u"0"_s},
                          {u"CurrentURI"_s, radioUri},
                          {u"CurrentURIMetaData"_s, radio().metaData}}},
                        {u"Play"_s, {{u"InstanceID"_s, u"0"_s}, {u"Speed"_s, u"1"_s}}}}));
    const sim::FakeSpeaker speaker = simulator->speaker(host(1));
    EXPECT_EQ(speaker.transport.avTransportUri, radioUri);
    EXPECT_EQ(speaker.transport.state, u"PLAYING"_s);
    EXPECT_EQ(groupOf(uuid(1)).state, u"PLAYING"_s);
    EXPECT_EQ(groupOf(uuid(1)).title, u"Radio Eins"_s);
    EXPECT_FALSE(h.error());
}

// The first failing request ends the sequence: nothing after it is sent, the failure shows,
// and the refresh still comes 0.6 s later.
TEST_F(Favorites, AFailingStepStopsTheSequenceShowsItsTextAndStillRefreshes) {
    struct Case {
        const char* name;
        QString failing;
        bool container;
        QStringList sent;
    };
    const QStringList all = {u"AddURIToQueue"_s, u"RemoveTrackRangeFromQueue"_s, u"SetAVTransportURI"_s,
                             u"Seek"_s, u"Play"_s};
    const Case cases[] = {
        {"add", u"AddURIToQueue"_s, true, all.mid(0, 1)},
        {"remove", u"RemoveTrackRangeFromQueue"_s, true, all.mid(0, 2)},
        {"queue source", u"SetAVTransportURI"_s, true, all.mid(0, 3)},
        {"seek", u"Seek"_s, true, all.mid(0, 4)},
        {"play", u"Play"_s, true, all},
        {"direct source", u"SetAVTransportURI"_s, false, {u"SetAVTransportURI"_s}},
        {"direct play", u"Play"_s, false, {u"SetAVTransportURI"_s, u"Play"_s}},
    };
    Household& h = start(twoGroups(), albums());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simulator->update([](sim::FakeHousehold& fake) {
            fake.speakerByHost(host(2))->transport.queue = sim::albumTracks(u"Old"_s, 3);
        });
        simulator->clearRequests();
        simulator->setFault(host(2), c.failing, sim::Fault::upnp(u"804"_s).once());
        const Favorite f = c.container ? favorite(playlistUri) : favorite(radioUri);
        QCoro::Task<void> task = playUntilWait(f, living());
        QStringList sent;
        for (const auto& [action, args] : commands(*simulator, host(2)))
            sent.append(action);
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(h.error(), c.failing + u" failed (UPnP 804)"_s);
        finish(std::move(task));
        EXPECT_EQ(h.error(), c.failing + u" failed (UPnP 804)"_s);
        simulator->clearFaults();
    }

    // The text clears itself 5 s after it was set, and a success clears it at once.
    Clock::advance(4400ms); // 0.6 s of the wait already passed
    EXPECT_FALSE(h.error());
    simulator->setFault(host(2), u"Seek"_s, sim::Fault::upnp(u"711"_s).once());
    QCoro::Task<void> failed = playUntilWait(favorite(playlistUri), living());
    EXPECT_EQ(h.error(), u"Seek failed (UPnP 711)"_s);
    finish(std::move(failed));
    finish(playUntilWait(favorite(radioUri), living()));
    EXPECT_FALSE(h.error());
}

TEST_F(Favorites, AnUnreachableCoordinatorShowsTheReachabilityText) {
    Household& h = start(twoGroups());
    simulator->setOffline(host(2), true);
    QCoro::Task<void> task = playUntilWait(favorite(radioUri), living());
    EXPECT_EQ(h.error(), HouseholdTexts::unreachable());
    finish(std::move(task));
    // The refresh reached the other speakers; the favourite's own failure still shows.
    EXPECT_EQ(h.error(), HouseholdTexts::unreachable());

    interfaces.vpn = true;
    QCoro::Task<void> again = playUntilWait(favorite(playlistUri), living());
    EXPECT_EQ(h.error(), HouseholdTexts::unreachableVpn());
    finish(std::move(again));
}

// The simulated speakers take a favourite's source and their own queue, and leave a join to
// the handler that was there before.
TEST_F(Favorites, SimulatedSpeakersHandOtherSourcesOnToTheHandlerBefore) {
    simulator = std::make_unique<sim::SpeakerSimulator>(twoGroups());
    const auto setUri = [](const QString& uri) {
        const SOAP::Arguments args{
            {u"InstanceID"_s, u"0"_s}, {u"CurrentURI"_s, uri}, {u"CurrentURIMetaData"_s, {}}};
        return SOAP::call(host(1), Service::avTransport, u"SetAVTransportURI"_s, args);
    };
    const auto fails = [&](const QString& uri) {
        try {
            test::run(setUri(uri));
        } catch (const SonosError& error) {
            return error.code == u"402"_s;
        }
        return false;
    };
    QStringList joins;
    simulator->setHandler(Service::avTransport, u"SetAVTransportURI"_s,
                          [&joins](sim::ActionContext& context) {
                              joins.append(context.arg(u"CurrentURI"_s));
                              return sim::SoapReply::ok();
                          });
    sim::installFavoritesActions(*simulator);
    test::run(setUri(u"x-rincon:"_s + uuid(2)));
    test::run(setUri(u"x-rincon-queue:"_s + uuid(1) + u"#0"_s));
    test::run(setUri(radioUri));
    EXPECT_EQ(joins, QStringList{u"x-rincon:"_s + uuid(2)});
    EXPECT_EQ(simulator->speaker(host(1)).transport.avTransportUri, radioUri);
    // Another speaker's queue, or no URI at all, is refused.
    EXPECT_TRUE(fails(u"x-rincon-queue:"_s + uuid(2) + u"#0"_s));
    EXPECT_TRUE(fails(QString()));
}

// The speakers' own favourite metadata (captured from real speakers) marks containers that
// the URI alone would not.
TEST_F(Favorites, RealFavouriteMetadataIsQueuedOrPlayedByItsClass) {
    const QString dir = QStringLiteral(TAMBER_FIXTURES_DIR);
    QFile album(dir + u"/SoCo--SoCo--album_favorite.xml"_s);
    QFile broadcast(dir + u"/SoCo--SoCo--audio_broadcast.xml"_s);
    if (!album.open(QIODevice::ReadOnly) || !broadcast.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "captured speaker replies not found in " << dir.toStdString();
    const QString albumMeta = QString::fromUtf8(album.readAll());
    const QString broadcastMeta = QString::fromUtf8(broadcast.readAll());
    const QString albumUri = u"x-rincon-playlist:RINCON_000E5884455C01400#A:ALBUM/St.%20Anger"_s;

    Household& h = start(twoGroups(), {{albumUri, sim::albumTracks(u"St. Anger"_s, 3)}});
    finish(playUntilWait(favorite(albumUri, albumMeta), living()));
    EXPECT_EQ(simulator->requests(host(2), u"AddURIToQueue"_s).value(0).arg(u"EnqueuedURIMetaData"_s),
              albumMeta);
    EXPECT_EQ(living().title, u"St. Anger 1"_s);

    simulator->clearRequests();
    finish(playUntilWait(favorite(u"x-sonosapi-stream:s24861?sid=254&flags=32"_s, broadcastMeta), living()));
    EXPECT_TRUE(simulator->requests(host(2), u"AddURIToQueue"_s).isEmpty());
    EXPECT_EQ(simulator->requests(host(2), u"SetAVTransportURI"_s).value(0).arg(u"CurrentURIMetaData"_s),
              broadcastMeta);
    EXPECT_FALSE(h.error());
}

} // namespace
