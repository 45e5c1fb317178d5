#include "protocol/Discovery.h"
#include "protocol/AvahiBrowser.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>

namespace {

// What a test sees of the fake browsers it handed to Discovery; outlives them.
struct BrowserLog {
    ServiceBrowser::ResultsChanged handler; // of the newest browser
    QStringList started;                    // "type in domain", one per start()
    int made = 0;
    int alive = 0;
};

class FakeBrowser final : public ServiceBrowser {
public:
    explicit FakeBrowser(std::shared_ptr<BrowserLog> log) : log_(std::move(log)) {
        ++log_->made;
        ++log_->alive;
    }
    ~FakeBrowser() override { --log_->alive; }
    void setResultsChangedHandler(ResultsChanged handler) override { log_->handler = std::move(handler); }
    void start(const QString& type, const QString& domain) override {
        log_->started.append(type + QStringLiteral(" in ") + domain);
    }

private:
    std::shared_ptr<BrowserLog> log_;
};

ServiceResult speaker(const QString& name, const QByteArray& location) {
    return {name, QStringLiteral("_sonos._tcp"), QStringLiteral("local"), 2,
            TxtRecord{{"bootseq", QByteArray("12")}, {"location", location}}};
}

ServiceResult withTxt(std::optional<TxtRecord> txt) {
    return {QStringLiteral("Speaker"), QStringLiteral("_sonos._tcp"), QStringLiteral("local"), 2,
            std::move(txt)};
}

QByteArray locationOf(int n) {
    return "http://192.168.1." + QByteArray::number(n) + ":1400/xml/device_description.xml";
}

struct DiscoveryFixture : ::testing::Test {
    std::shared_ptr<BrowserLog> log = std::make_shared<BrowserLog>();
    QStringList hosts;
    std::unique_ptr<Discovery> discovery =
        std::make_unique<Discovery>([this](QString host) { hosts.append(host); },
                                    [log = log] { return std::make_unique<FakeBrowser>(log); });

    void deliver(const QList<ServiceResult>& results) {
        ASSERT_TRUE(log->handler);
        log->handler(results);
    }
};

TEST_F(DiscoveryFixture, BrowsesForTheSpeakerServiceOnlyOnceStarted) {
    EXPECT_EQ(log->made, 0);
    discovery->start();
    EXPECT_EQ(log->started, QStringList{QStringLiteral("_sonos._tcp in local")});
}

TEST_F(DiscoveryFixture, EveryChangeReportsEveryCurrentSpeakerAgain) {
    discovery->start();
    QList<ServiceResult> present{speaker(QStringLiteral("A"), locationOf(10)),
                                 speaker(QStringLiteral("B"), locationOf(11)),
                                 speaker(QStringLiteral("C"), locationOf(12))};
    deliver(present);
    EXPECT_EQ(hosts, (QStringList{"192.168.1.10", "192.168.1.11", "192.168.1.12"}));

    // Three present and one new: four calls, the known ones included.
    hosts.clear();
    present.append(speaker(QStringLiteral("D"), locationOf(13)));
    deliver(present);
    EXPECT_EQ(hosts, (QStringList{"192.168.1.10", "192.168.1.11", "192.168.1.12", "192.168.1.13"}));

    // One leaves: the rest are reported again; the one gone is never withdrawn.
    hosts.clear();
    present.removeAt(1);
    deliver(present);
    EXPECT_EQ(hosts, (QStringList{"192.168.1.10", "192.168.1.12", "192.168.1.13"}));

    // Everything gone: nothing to report.
    hosts.clear();
    deliver({});
    EXPECT_TRUE(hosts.isEmpty());
}

TEST_F(DiscoveryFixture, UnusableResultsAreSkippedAndTheOthersStillReported) {
    discovery->start();
    deliver({withTxt(std::nullopt), speaker(QStringLiteral("A"), locationOf(10)),
             withTxt(TxtRecord{{"bootseq", QByteArray("3")}}), speaker(QStringLiteral("B"), "not a url"),
             speaker(QStringLiteral("C"), "/xml/device_description.xml"),
             speaker(QStringLiteral("D"), locationOf(11))});
    EXPECT_EQ(hosts, (QStringList{"192.168.1.10", "192.168.1.11"}));
}

TEST(DiscoveryHost, ReadsTheHostOfTheTxtLocation) {
    struct Case {
        const char* what;
        std::optional<TxtRecord> txt;
        std::optional<QString> host;
    };
    const auto location = [](QByteArray value) { return TxtRecord{{"location", std::move(value)}}; };
    const Case cases[] = {
        {"no TXT record", std::nullopt, std::nullopt},
        {"empty TXT record", TxtRecord{}, std::nullopt},
        {"no location key", TxtRecord{{"bootseq", QByteArray("1")}, {"hhid", QByteArray("x")}}, std::nullopt},
        {"location without a value", TxtRecord{{"location", std::nullopt}}, std::nullopt},
        {"empty location", location(""), std::nullopt},
        {"not a URL", location("not a url"), std::nullopt},
        {"URL without a host", location("/xml/device_description.xml"), std::nullopt},
        {"scheme only", location("http://"), std::nullopt},
        {"empty host with a port", location("http://:1400/xml/device_description.xml"), std::nullopt},
        {"location not UTF-8", location("http://10.0.0.5\xff:1400/"), std::nullopt},
        {"device description", location("http://10.0.0.5:1400/xml/device_description.xml"),
         QStringLiteral("10.0.0.5")},
        {"no port, no path", location("http://10.0.0.6"), QStringLiteral("10.0.0.6")},
        {"host name", location("http://kitchen.local:1400/x"), QStringLiteral("kitchen.local")},
        {"IPv6 literal", location("http://[fe80::1]:1400/x"), QStringLiteral("fe80::1")},
        {"key in another case", TxtRecord{{"Location", QByteArray("http://10.0.0.7:1400/")}},
         QStringLiteral("10.0.0.7")},
        {"among other keys",
         TxtRecord{
             {"vers", QByteArray("3")}, {"location", QByteArray("http://10.0.0.8:1400/")}, {"sslport", {}}},
         QStringLiteral("10.0.0.8")},
    };
    for (const Case& c : cases) {
        ServiceResult result = withTxt(c.txt);
        EXPECT_EQ(Discovery::hostOf(result), c.host) << c.what;
    }
}

TEST_F(DiscoveryFixture, NoReportReachesAReleasedDiscovery) {
    discovery->start();
    const ServiceBrowser::ResultsChanged handler = log->handler;
    discovery.reset();
    EXPECT_EQ(log->alive, 0);
    handler({speaker(QStringLiteral("A"), locationOf(10))});
    EXPECT_TRUE(hosts.isEmpty());
}

TEST_F(DiscoveryFixture, ReleasingDiscoveryFromItsCallbackEndsTheReport) {
    discovery = std::make_unique<Discovery>(
        [this](QString host) {
            hosts.append(host);
            discovery.reset();
        },
        [log = log] { return std::make_unique<FakeBrowser>(log); });
    discovery->start();
    const ServiceBrowser::ResultsChanged handler = log->handler;
    handler({speaker(QStringLiteral("A"), locationOf(10)), speaker(QStringLiteral("B"), locationOf(11))});
    EXPECT_EQ(hosts, QStringList{"192.168.1.10"});
    EXPECT_EQ(log->alive, 0);
}

TEST_F(DiscoveryFixture, ASecondStartReplacesTheBrowser) {
    discovery->start();
    const ServiceBrowser::ResultsChanged first = log->handler;
    discovery->start();
    EXPECT_EQ(log->made, 2);
    EXPECT_EQ(log->alive, 1);
    deliver({speaker(QStringLiteral("A"), locationOf(10))});
    EXPECT_EQ(hosts, QStringList{"192.168.1.10"});
}

// The real backend where no system bus listens: it reports nothing, says why once, and the
// program goes on. The bus address points at nothing, so no real daemon is ever reached.
class NoBus : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* previous = std::getenv("DBUS_SYSTEM_BUS_ADDRESS"))
            saved_ = QByteArray(previous);
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/tamber-test-bus", 1);
        messages().clear();
        previousHandler_ = qInstallMessageHandler(&NoBus::capture);
    }
    void TearDown() override {
        qInstallMessageHandler(previousHandler_);
        if (saved_)
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved_->constData(), 1);
        else
            ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }

    static QStringList& messages() {
        static QStringList list;
        return list;
    }
    static void capture(QtMsgType, const QMessageLogContext& context, const QString& text) {
        if (context.category && QByteArray(context.category) == "studio.quietforge.tamber.discovery")
            messages().append(text);
    }

private:
    std::optional<QByteArray> saved_;
    QtMessageHandler previousHandler_ = nullptr;
};

TEST_F(NoBus, TheAvahiBrowserReportsNothingAndSaysWhyOnce) {
    AvahiBrowser browser;
    int reports = 0;
    browser.setResultsChangedHandler([&](const QList<ServiceResult>&) { ++reports; });
    browser.start(QStringLiteral("_sonos._tcp"), QStringLiteral("local"));
    browser.start(QStringLiteral("_sonos._tcp"), QStringLiteral("local"));
    QCoreApplication::processEvents();
    EXPECT_EQ(browser.state(), AvahiBrowser::State::Unavailable);
    EXPECT_EQ(reports, 0);
    ASSERT_EQ(messages().size(), 1) << messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(messages().first().contains(QStringLiteral("system bus")))
        << messages().first().toStdString();
}

TEST_F(NoBus, DiscoveryOnTheRealBackendFindsNothingAndGoesOn) {
    QStringList hosts;
    Discovery discovery([&](QString host) { hosts.append(host); });
    discovery.start();
    discovery.start();
    QCoreApplication::processEvents();
    EXPECT_TRUE(hosts.isEmpty());
}

} // namespace
