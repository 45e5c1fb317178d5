// The readers against replies captured from real speakers.
#include "ReaderFixtures.h"
#include "QtPrinters.h"
#include "protocol/FavoritesParser.h"
#include "protocol/LastChangeParser.h"
#include "protocol/LeafParser.h"
#include "protocol/SpeakerModel.h"
#include "protocol/TopologyParser.h"

#include <gtest/gtest.h>

using Group = TopologyParser::Group;
using Member = TopologyParser::Member;

namespace {

QByteArray load(const char* name) {
    const std::optional<QByteArray> bytes = test::fixture(QString::fromLatin1(name));
    EXPECT_TRUE(bytes.has_value()) << "missing fixture " << name;
    return bytes.value_or(QByteArray());
}

// The topology inside a reply: the escaped ZoneGroupState text read by a second pass.
QList<Group> topologyIn(const char* name) {
    return TopologyParser::parse(LeafParser::parse(load(name)).value("ZoneGroupState"));
}

} // namespace

TEST(ReaderFixtures, TopologyWithBridgeAndInvisibleMembers) {
    SKIP_WITHOUT_FIXTURES();
    const QList<Group> groups = topologyIn("jishi--node-sonos-discovery--zonegroupstate.xml");
    ASSERT_EQ(groups.size(), 2);
    EXPECT_EQ(groups[0].id, "RINCON_00000000000001400:0");
    // The coordinator is taken as written; the line break inside it is an attribute's white space.
    EXPECT_EQ(groups[0].coordinator, "RINCON_00000000000001400" + QString(13, ' '));
    EXPECT_TRUE(groups[0].members.isEmpty()) << "the bridge alone in its group";
    const QString uuid = "RINCON_00000000000001400";
    EXPECT_EQ(groups[1], (Group{"RINCON_00000000000001400:66",
                                uuid,
                                {{uuid, "Kitchen", "192.168.1.151"},
                                 {uuid, "Bedroom", "192.168.1.153"},
                                 {uuid, "TV Room", "192.168.1.154"},
                                 {uuid, "Bathroom", "192.168.1.157"},
                                 {uuid, "Office", "192.168.1.156"}}}));
}

TEST(ReaderFixtures, HomeTheatreSatellitesAreNoMembers) {
    SKIP_WITHOUT_FIXTURES();
    // This capture's inner document never closes its last ZoneGroup: the reader keeps what it read.
    const QList<Group> groups = topologyIn("jishi--node-sonos-discovery--zonegroupstate_with_satellites.xml");
    ASSERT_EQ(groups.size(), 3);
    EXPECT_EQ(groups[1].members.size(), 5);
    EXPECT_EQ(groups[2], (Group{"RINCON_000PPP1400:49",
                                "RINCON_000PPP1400",
                                {{"RINCON_000PPP1400", "Home Theatre", "192.168.1.103"}}}));

    const QList<Group> theatre =
        topologyIn("svrooij--node-sonos-ts--zone-group.GroupState.ChannelMapSet.home-theater.xml");
    EXPECT_EQ(theatre, (QList<Group>{
                           {"RINCON_FFFFFFFFFFFFFFFF0:3497712774",
                            "RINCON_FFFFFFFFFFFFFFFF0",
                            {{"RINCON_FFFFFFFFFFFFFFFF0", "Downstairs", "192.168.4.2"}}},
                           {"RINCON_FFFFFFFFFFFF0FFFF:1313362470",
                            "RINCON_FFFFFFFFFFFF0FFFF",
                            {{"RINCON_FFFFFFFFFFFF0FFFF", "Upstairs", "192.168.4.6"}}},
                       }));

    const QList<Group> stereo =
        topologyIn("svrooij--node-sonos-ts--zone-group.GroupState.ChannelMapSet.stereo.xml");
    EXPECT_EQ(stereo, (QList<Group>{{"RINCON_FFFFFFFFFFFFFFFF0:123456789",
                                     "RINCON_FFFFFFFFFFFFFFFF0",
                                     {{"RINCON_FFFFFFFFFFFFFFFF0", "Office", "192.168.1.21"}}}}))
        << "the invisible half of the pair is no member";
}

TEST(ReaderFixtures, UnescapedTopologies) {
    SKIP_WITHOUT_FIXTURES();
    EXPECT_EQ(TopologyParser::parse(load("home-assistant--core--zgs_group.xml")),
              (QList<Group>{{"RINCON_test:1384750254",
                             "RINCON_test_10.10.10.1",
                             {{"RINCON_test_10.10.10.1", "Living Room", "192.168.4.2"},
                              {"RINCON_test_10.10.10.2", "Bedroom", "192.168.4.2"}}}}));
    EXPECT_EQ(TopologyParser::parse(load("home-assistant--core--zgs_two_single.xml")),
              (QList<Group>{
                  {"RINCON_test:123",
                   "RINCON_test_10.10.10.1",
                   {{"RINCON_test_10.10.10.1", "Living Room", "192.168.4.2"}}},
                  {"RINCON_test:456",
                   "RINCON_test_10.10.10.2",
                   {{"RINCON_test_10.10.10.2", "Bedroom", "192.168.4.2"}}},
              }));
    EXPECT_EQ(TopologyParser::parse(load("home-assistant--core--zgs_discovery.xml")),
              (QList<Group>{
                  {"RINCON_test:1384750254", "RINCON_test", {{"RINCON_test", "Zone A", "192.168.4.2"}}}}));
}

TEST(ReaderFixtures, TransportLastChangeAndTheDidlInside) {
    SKIP_WITHOUT_FIXTURES();
    const Fields event = LeafParser::parse(load("jishi--node-sonos-discovery--avtransportlastchange.xml"));
    const Fields lastChange = LastChangeParser::parse(event.value("LastChange"));
    const Fields expected = {
        {"InstanceID", "0"},
        {"TransportState", "PLAYING"},
        {"CurrentPlayMode", "SHUFFLE"},
        {"NumberOfTracks", "169"},
        {"CurrentTrack", "43"},
        {"CurrentTrackURI", "x-sonos-spotify:spotify%3atrack%3a5qAFqkXoQd2RfjZ2j1ay0w?sid=9&flags=8224&sn=9"},
        {"CurrentTrackDuration", "0:05:18"},
        {"AVTransportURI", "x-rincon-queue:RINCON_00000000000001400#0"},
        {"AVTransportURIMetaData", ""},
        {"CurrentTransportActions", "Set, Play, Stop, Pause, Seek, Next, Previous"},
        {"r:SleepTimerGeneration", "0"},
        {"r:EnqueuedTransportURI",
         "x-rincon-cpcontainer:0006206cspotify%3auser%3aspotify%3aplaylist%3a63dDpdoVHvx5RkK87g4LKk"},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(lastChange.value(it.key(), "<absent>"), it.value()) << it.key().toStdString();
    EXPECT_FALSE(lastChange.contains("Event"));

    const Fields track = LeafParser::parse(lastChange.value("CurrentTrackMetaData"));
    EXPECT_EQ(track.value("dc:title"), "Intermezzo No. 3 in C-sharp minor, Op. 117 - Andante con moto");
    EXPECT_EQ(track.value("dc:creator"), "Johannes Brahms");
    EXPECT_EQ(track.value("res"),
              "x-sonos-spotify:spotify%3atrack%3a5qAFqkXoQd2RfjZ2j1ay0w?sid=9&flags=8224&sn=9");
    EXPECT_EQ(track.value("upnp:albumArtURI"),
              "/getaa?s=1&u=x-sonos-spotify%3aspotify%253atrack%253a5qAFqkXoQd2RfjZ2j1ay0w%3fsid%3d9%26flags%"
              "3d8224%26sn%3d9");
}

TEST(ReaderFixtures, RenderingLastChangeKeepsTheMasterChannel) {
    SKIP_WITHOUT_FIXTURES();
    const Fields volume = LastChangeParser::parse(
        LeafParser::parse(load("jishi--node-sonos-discovery--renderingcontrollastchange.xml"))
            .value("LastChange"));
    EXPECT_EQ(volume, (Fields{{"InstanceID", "0"}, {"Volume", "12"}}));
    const Fields sub = LastChangeParser::parse(
        LeafParser::parse(load("jishi--node-sonos-discovery--sublastchange.xml")).value("LastChange"));
    EXPECT_EQ(sub, (Fields{{"InstanceID", "0"},
                           {"SpeakerSize", "1"},
                           {"SubGain", "-3"},
                           {"SubCrossover", "90"},
                           {"SubPolarity", "0"},
                           {"SubEnabled", "1"}}));
}

TEST(ReaderFixtures, SoapReplyAndEventFields) {
    SKIP_WITHOUT_FIXTURES();
    const Fields position = LeafParser::parse(load("jishi--node-sonos-discovery--getpositioninfo.xml"));
    EXPECT_FALSE(position.contains("Body")) << "names keep their prefixes";
    const QString didl = position.value("TrackMetaData");
    ASSERT_TRUE(didl.startsWith("<DIDL-Lite "));
    EXPECT_EQ(LeafParser::parse(didl).value("dc:title"), "Ex's & Oh's");

    const Fields favourites = LeafParser::parse(load("jishi--node-sonos-discovery--favoritechange.xml"));
    EXPECT_EQ(favourites.value("ContainerUpdateIDs"), "FV:2,1");
}

TEST(ReaderFixtures, DeviceDescriptionsGiveTheModel) {
    SKIP_WITHOUT_FIXTURES();
    struct Case {
        const char* file;
        const char* model;
        const char* symbol;
    };
    const Case cases[] = {
        {"duncan3dc--sonos--device_description.xml", "Sonos PLAY:3", "hifispeaker"},
        {"svrooij--node-sonos-ts--device_description.xml", "Sonos Playbar", "tv.and.hifispeaker.fill"},
    };
    for (const Case& c : cases) {
        const Fields description = LeafParser::parse(load(c.file));
        EXPECT_EQ(description.value("modelName"), c.model) << c.file;
        EXPECT_EQ(SpeakerModel::symbol(description.value("modelName")), c.symbol) << c.file;
    }
}

TEST(ReaderFixtures, FavouritesDocuments) {
    SKIP_WITHOUT_FIXTURES();
    const QString host = "192.168.1.30";
    EXPECT_EQ(FavoritesParser::parse(QString::fromUtf8(load("SoCo--SoCo--audio_broadcast.xml")), host),
              (QList<Favorite>{{"R:0/0/12", "DR P3 93.9 (Euro Hits)",
                                "x-sonosapi-stream:s24861?sid=254&flags=32", "", std::nullopt}}));
    // Containers are no items, so these single entries give no favourites.
    EXPECT_TRUE(
        FavoritesParser::parse(QString::fromUtf8(load("SoCo--SoCo--album_favorite.xml")), host).isEmpty());
    EXPECT_TRUE(
        FavoritesParser::parse(QString::fromUtf8(load("SoCo--SoCo--playlist_favorite.xml")), host).isEmpty());
    const QString playlists =
        LeafParser::parse(load("jishi--node-sonos-discovery--playlists.xml")).value("Result");
    ASSERT_TRUE(playlists.startsWith("<DIDL-Lite"));
    EXPECT_TRUE(FavoritesParser::parse(playlists, host).isEmpty());

    // A real DIDL item with a relative artwork reference: made absolute on the asked speaker.
    const QString track =
        LeafParser::parse(load("jishi--node-sonos-discovery--getpositioninfo.xml")).value("TrackMetaData");
    const QList<Favorite> items = FavoritesParser::parse(track, host);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0].id, "-1");
    EXPECT_EQ(items[0].title, "Ex's & Oh's");
    EXPECT_EQ(items[0].uri, "x-sonos-spotify:spotify%3atrack%3a70eDxAyAraNTiD6lx2ZEnH?sid=9&flags=8224&sn=9");
    EXPECT_EQ(items[0].artURL,
              QUrl("http://192.168.1.30:1400/"
                   "getaa?s=1&u=x-sonos-spotify%3aspotify%253atrack%253a70eDxAyAraNTiD6lx2ZEnH"
                   "%3fsid%3d9%26flags%3d8224%26sn%3d9"));
}
