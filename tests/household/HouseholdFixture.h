#pragma once

#include "core/Clock.h"
#include "support/FakeInterfaces.h"
#include "support/HouseholdProbe.h"

#include <QCoro/QCoroTask>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;

inline Room room(const QString& id, const QString& name, int volume = 0) {
    return Room{
        .id = id, .name = name, .host = QStringLiteral("host-") + id, .volume = volume, .muted = false};
}

inline SpeakerGroup group(const QString& id, const QList<Room>& rooms,
                          const QString& state = QStringLiteral("STOPPED")) {
    SpeakerGroup g{.id = id, .coordinatorID = rooms.isEmpty() ? QString() : rooms.first().id, .rooms = rooms};
    g.state = state;
    return g;
}

// A DNS-SD browser the test reports results through.
struct FakeBrowser : ServiceBrowser {
    explicit FakeBrowser(ServiceBrowser::ResultsChanged& out) : out(out) {}
    void setResultsChangedHandler(ResultsChanged handler) override { out = std::move(handler); }
    void start(const QString&, const QString&) override {}
    ServiceBrowser::ResultsChanged& out;
};

inline ServiceResult announced(const QString& host) {
    const QByteArray location = "http://" + host.toLatin1() + ":1400/xml/device_description.xml";
    return ServiceResult{.name = host,
                         .type = QStringLiteral("_sonos._tcp"),
                         .domain = QStringLiteral("local"),
                         .interfaceIndex = 1,
                         .txt = TxtRecord{TxtEntry{"location", location}}};
}

// A household over a private settings file on manual time, with fake speaker reads that
// count what they are asked and never touch the network.
class HouseholdFixture : public ::testing::Test {
protected:
    void SetUp() override { Clock::useManual(); }
    void TearDown() override {
        household.reset();
        // Lets every waiting task see that its household is gone and end.
        Clock::advance(60s);
        Clock::useReal();
    }

    Household& make() {
        Household::SpeakerAccess access{
            .topology = [this](QString host) -> QCoro::Task<QList<SpeakerGroup>> {
                asked.append(host);
                if (const auto failure = failing.constFind(host); failure != failing.cend())
                    std::rethrow_exception(*failure);
                QList<SpeakerGroup> answer = topology; // co_return moves from what it is given
                co_return answer;
            },
            .poll = [this](SpeakerGroup g) -> QCoro::Task<SpeakerGroup> {
                polled.append(g.id);
                if (pollAnswer)
                    co_return pollAnswer(g);
                co_return g;
            },
            .model = [this](QString host) -> QCoro::Task<std::optional<QString>> {
                modelAsked.append(host);
                co_return models.value(host);
            },
            .browser = [this]() -> std::unique_ptr<ServiceBrowser> {
                return std::make_unique<FakeBrowser>(browse);
            },
            .call = {},
            .interfaces = interfaces.reader(),
        };
        household = std::make_unique<Household>(*settings, access);
        return *household;
    }
    HouseholdProbe probe() { return HouseholdProbe{*household}; }

    TempSettings settings;
    FakeInterfaces interfaces;
    std::unique_ptr<Household> household;
    QList<SpeakerGroup> topology;
    QStringList asked;
    QStringList polled;
    QHash<QString, std::exception_ptr> failing; // host -> what asking it throws
    std::function<SpeakerGroup(SpeakerGroup)> pollAnswer;
    QStringList modelAsked;
    ServiceBrowser::ResultsChanged browse;
    QHash<QString, std::optional<QString>> models;
};
