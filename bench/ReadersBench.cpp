// Throughput of the XML readers on a large household's topology and on captured replies.
#include "protocol/LastChangeParser.h"
#include "protocol/LeafParser.h"
#include "protocol/TopologyParser.h"

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

// 32 players in 16 groups: each group a stereo pair, one half of it invisible.
QString zoneGroupState() {
    QString xml = QStringLiteral("<ZoneGroupState><ZoneGroups>");
    for (int group = 0; group < 16; ++group) {
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

template <typename Read> void throughput(benchmark::State& state, qsizetype bytes, Read read) {
    for (auto _ : state)
        benchmark::DoNotOptimize(read());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

} // namespace

int main(int argc, char** argv) {
    static const QString state = zoneGroupState();
    static const QByteArray stateBytes = state.toUtf8();
    static const QByteArray reply = zoneGroupStateReply(state);

    // The floor: Qt's tokenizer alone, every token read and nothing done with it.
    benchmark::RegisterBenchmark("QXmlStreamReader/ZoneGroupState32/bytes", [](benchmark::State& s) {
        throughput(s, stateBytes.size(), [] { return tokens(stateBytes); });
    });
    benchmark::RegisterBenchmark("QXmlStreamReader/GetZoneGroupStateReply32/bytes", [](benchmark::State& s) {
        throughput(s, reply.size(), [] { return tokens(reply); });
    });
    benchmark::RegisterBenchmark("Leaf/ZoneGroupState32/bytes", [](benchmark::State& s) {
        throughput(s, stateBytes.size(), [] { return LeafParser::parse(stateBytes); });
    });
    benchmark::RegisterBenchmark("Leaf/GetZoneGroupStateReply32/bytes", [](benchmark::State& s) {
        throughput(s, reply.size(), [] { return LeafParser::parse(reply); });
    });
    benchmark::RegisterBenchmark("Topology/ZoneGroupState32/text", [](benchmark::State& s) {
        throughput(s, stateBytes.size(), [] { return TopologyParser::parse(state); });
    });
    benchmark::RegisterBenchmark("Topology/ZoneGroupState32/bytes", [](benchmark::State& s) {
        throughput(s, stateBytes.size(), [] { return TopologyParser::parse(stateBytes); });
    });
    benchmark::RegisterBenchmark("Topology/GetZoneGroupStateReply32/both-passes", [](benchmark::State& s) {
        throughput(s, reply.size(),
                   [] { return TopologyParser::parse(LeafParser::parse(reply).value("ZoneGroupState")); });
    });

    // Every captured reply through the leaf reader, and the topologies through both passes.
    const QDir fixtures(QStringLiteral(TAMBER_FIXTURES_DIR));
    for (const QString& name : fixtures.entryList({QStringLiteral("*.xml")}, QDir::Files)) {
        QFile file(fixtures.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        const std::string label = name.section(QLatin1String("--"), 2).toStdString();
        benchmark::RegisterBenchmark(("Leaf/fixture/" + label).c_str(), [bytes](benchmark::State& s) {
            throughput(s, bytes.size(), [&] { return LeafParser::parse(bytes); });
        });
        if (name.contains(QLatin1String("zonegroupstate")) || name.contains(QLatin1String("zone-group")) ||
            name.contains(QLatin1String("zgs_"))) {
            benchmark::RegisterBenchmark(("Topology/fixture/" + label).c_str(), [bytes](benchmark::State& s) {
                throughput(s, bytes.size(), [&] {
                    const QString inner = LeafParser::parse(bytes).value(QStringLiteral("ZoneGroupState"));
                    return TopologyParser::parse(inner.isEmpty() ? QString::fromUtf8(bytes) : inner);
                });
            });
        }
        if (name.contains(QLatin1String("lastchange"))) {
            benchmark::RegisterBenchmark(
                ("LastChange/fixture/" + label).c_str(), [bytes](benchmark::State& s) {
                    throughput(s, bytes.size(), [&] {
                        return LastChangeParser::parse(
                            LeafParser::parse(bytes).value(QStringLiteral("LastChange")));
                    });
                });
        }
    }

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
