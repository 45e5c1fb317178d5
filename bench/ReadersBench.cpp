// Throughput of the XML readers on a large household's topology and on captured replies, for
// the production readers (pugixml) and, in the same run, the Qt readers they replaced (kept in
// tests/support as the reference). Each result also shows its multiple of 22.8 MB/s, the best
// rate measured for a maintained speaker library on the 32-player reply ("x_peer").
//
//   <readers>/reply/<players>: a GetZoneGroupState reply of 16, 32 or 128 players, the
//     topology escaped as text inside the SOAP envelope, read to groups (leaf pass, then the
//     topology pass over the field it gives): the path of every topology refresh.
//   <readers>/reply-leaf/<players>: the leaf pass alone over the same reply.
//   <readers>/state/<players>: the topology pass alone over the unescaped document.
//   <readers>/fixture/...: every captured reply through the leaf reader, and the documents
//     inside them through their own reader.
#include "protocol/FavoritesParser.h"
#include "protocol/LastChangeParser.h"
#include "protocol/LeafParser.h"
#include "protocol/TopologyParser.h"
#include "support/ReferenceReaders.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

namespace {

// One member as a speaker of recent firmware writes it, on the same line as the rest.
QString member(int player, bool invisible) {
    const QString uuid = QStringLiteral("RINCON_48A6B8%1E01400").arg(player, 5, 10, QLatin1Char('0'));
    return QStringLiteral(
               "<ZoneGroupMember UUID=\"%1\" "
               "Location=\"http://192.168.1.%2:1400/xml/device_description.xml\" "
               "ZoneName=\"Room %3\" Icon=\"\" Configuration=\"1\"%4 SoftwareVersion=\"79.1-52010\" "
               "SWGen=\"2\" "
               "MinCompatibleVersion=\"78.0-00000\" LegacyCompatibleVersion=\"58.0-00000\" "
               "ChannelMapSet=\"%1:LF,LF;RINCON_48A6B8FFFFFE01400:RF,RF\" BootSeq=\"%5\" "
               "TVConfigurationError=\"0\" HdmiCecAvailable=\"0\" WirelessMode=\"1\" WirelessLeafOnly=\"0\" "
               "ChannelFreq=\"5180\" BehindWifiExtender=\"0\" WifiEnabled=\"1\" EthLink=\"0\" "
               "Orientation=\"0\" "
               "RoomCalibrationState=\"4\" SecureRegState=\"3\" VoiceConfigState=\"0\" MicEnabled=\"0\" "
               "AirPlayEnabled=\"1\" IdleState=\"1\" MoreInfo=\"TargetRoomName:Room %3\" SSLPort=\"1443\" "
               "HHSSLPort=\"1843\"/>")
        .arg(uuid)
        .arg(20 + player)
        .arg(player / 2)
        .arg(invisible ? QStringLiteral(" Invisible=\"1\"") : QString())
        .arg(40 + player);
}

// Players in groups of two: each group a stereo pair, one half of it invisible.
QString zoneGroupState(int players) {
    QString xml = QStringLiteral("<ZoneGroupState><ZoneGroups>");
    for (int group = 0; group < players / 2; ++group) {
        xml += QStringLiteral(
                   "<ZoneGroup Coordinator=\"RINCON_48A6B8%1E01400\" ID=\"RINCON_48A6B8%1E01400:%2\">")
                   .arg(2 * group, 5, 10, QLatin1Char('0'))
                   .arg(1000 + group);
        xml += member(2 * group, false) + member(2 * group + 1, true);
        xml += QStringLiteral("</ZoneGroup>");
    }
    xml += QStringLiteral("</ZoneGroups><VanishedDevices></VanishedDevices></ZoneGroupState>");
    return xml;
}

// The GetZoneGroupState reply that carries it, escaped as text.
QByteArray zoneGroupStateReply(const QString& state) {
    return "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body>"
           "<u:GetZoneGroupStateResponse xmlns:u=\"urn:schemas-upnp-org:service:ZoneGroupTopology:1\">"
           "<ZoneGroupState>" +
           state.toHtmlEscaped().toUtf8() +
           "</ZoneGroupState></u:GetZoneGroupStateResponse></s:Body></s:Envelope>";
}

int tokens(const QByteArray& bytes) {
    QXmlStreamReader reader(bytes);
    reader.setNamespaceProcessing(false);
    int count = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        ++count;
    }
    return count;
}

constexpr double bestPeerBytesPerSecond = 22.8e6;

template <typename Read> void throughput(benchmark::State& state, qsizetype bytes, Read read) {
    for (auto _ : state)
        benchmark::DoNotOptimize(read());
    const auto total = static_cast<double>(state.iterations()) * static_cast<double>(bytes);
    state.SetBytesProcessed(static_cast<int64_t>(total));
    state.counters["x_peer"] =
        benchmark::Counter(total / bestPeerBytesPerSecond, benchmark::Counter::kIsRate);
}

// One set of readers: the production ones or the reference.
struct Readers {
    const char* name;
    Fields (*leafBytes)(const QByteArray&);
    Fields (*leafText)(const QString&);
    QList<TopologyParser::Group> (*topology)(const QString&);
    Fields (*lastChange)(const QString&);
    QList<Favorite> (*favorites)(const QString&, const QString&);
};

const Readers readerSets[] = {
    {"qt", [](const QByteArray& b) { return reference::leaf(b); },
     [](const QString& t) { return reference::leaf(t); },
     [](const QString& t) { return reference::topology(t); },
     [](const QString& t) { return reference::lastChange(t); },
     [](const QString& d, const QString& h) { return reference::favorites(d, h); }},
    {"pugixml", [](const QByteArray& b) { return LeafParser::parse(b); },
     [](const QString& t) { return LeafParser::parse(t); },
     [](const QString& t) { return TopologyParser::parse(t); },
     [](const QString& t) { return LastChangeParser::parse(t); },
     [](const QString& d, const QString& h) { return FavoritesParser::parse(d, h); }},
};

void registerFor(const Readers& readers, const std::string& label, const QByteArray& bytes) {
    const std::string prefix = std::string(readers.name) + "/fixture/";
    benchmark::RegisterBenchmark((prefix + "leaf/" + label).c_str(), [&readers, bytes](benchmark::State& s) {
        throughput(s, bytes.size(), [&] { return readers.leafBytes(bytes); });
    });
    // The documents carried as escaped text: each through its reader, the reply's bytes counted.
    const Fields fields = LeafParser::parse(bytes);
    const QString state = fields.value(QStringLiteral("ZoneGroupState"));
    if (!state.isEmpty()) {
        benchmark::RegisterBenchmark(
            (prefix + "reply/" + label).c_str(), [&readers, bytes](benchmark::State& s) {
                throughput(s, bytes.size(), [&] {
                    return readers.topology(readers.leafBytes(bytes).value(QStringLiteral("ZoneGroupState")));
                });
            });
    }
    if (fields.contains(QStringLiteral("LastChange"))) {
        benchmark::RegisterBenchmark(
            (prefix + "lastchange/" + label).c_str(), [&readers, bytes](benchmark::State& s) {
                throughput(s, bytes.size(), [&] {
                    return readers.lastChange(readers.leafBytes(bytes).value(QStringLiteral("LastChange")));
                });
            });
    }
    // Favourites: from a browse reply's Result field, or a DIDL-Lite document of its own.
    if (fields.value(QStringLiteral("Result")).contains(QLatin1String("<item"))) {
        benchmark::RegisterBenchmark(
            (prefix + "favorites/" + label).c_str(), [&readers, bytes](benchmark::State& s) {
                throughput(s, bytes.size(), [&] {
                    return readers.favorites(readers.leafBytes(bytes).value(QStringLiteral("Result")),
                                             QStringLiteral("192.168.1.30"));
                });
            });
    } else if (bytes.contains("<item")) {
        const QString didl = QString::fromUtf8(bytes);
        benchmark::RegisterBenchmark(
            (prefix + "favorites/" + label).c_str(), [&readers, didl](benchmark::State& s) {
                throughput(s, didl.toUtf8().size(),
                           [&] { return readers.favorites(didl, QStringLiteral("192.168.1.30")); });
            });
    }
}

} // namespace

int main(int argc, char** argv) {
    for (const int players : {16, 32, 128}) {
        const QString state = zoneGroupState(players);
        const QByteArray reply = zoneGroupStateReply(state);
        const std::string n = std::to_string(players);
        for (const Readers& readers : readerSets) {
            const std::string name = readers.name;
            benchmark::RegisterBenchmark((name + "/reply/" + n).c_str(), [&readers,
                                                                          reply](benchmark::State& s) {
                throughput(s, reply.size(), [&] {
                    return readers.topology(readers.leafBytes(reply).value(QStringLiteral("ZoneGroupState")));
                });
            });
            benchmark::RegisterBenchmark(
                (name + "/reply-leaf/" + n).c_str(), [&readers, reply](benchmark::State& s) {
                    throughput(s, reply.size(), [&] { return readers.leafBytes(reply); });
                });
            benchmark::RegisterBenchmark(
                (name + "/state/" + n).c_str(), [&readers, state](benchmark::State& s) {
                    throughput(s, state.toUtf8().size(), [&] { return readers.topology(state); });
                });
        }
    }

    // The floor of the old readers: Qt's tokenizer alone, every token read and nothing done.
    static const QByteArray reply32 = zoneGroupStateReply(zoneGroupState(32));
    benchmark::RegisterBenchmark("qt-tokens/reply/32", [](benchmark::State& s) {
        throughput(s, reply32.size(), [] { return tokens(reply32); });
    });

    const QDir fixtures(QStringLiteral(TAMBER_FIXTURES_DIR));
    for (const QString& name : fixtures.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        QFile file(fixtures.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const std::string label = name.section(QLatin1String("--"), 2).toStdString();
        for (const Readers& readers : readerSets)
            registerFor(readers, label, bytes);
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
