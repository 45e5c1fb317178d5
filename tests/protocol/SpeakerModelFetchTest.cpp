#include "protocol/SpeakerModel.h"

#include "support/Await.h"
#include "support/SpeakerSimulator.h"
#include "support/TestNet.h"

#include <gtest/gtest.h>

namespace {

const QString descriptionPath = QStringLiteral("/xml/device_description.xml");

class SpeakerModelFetch : public ::testing::Test {
protected:
    void SetUp() override {
        auto household = sim::FakeHousehold::solo({host});
        household.speakers[0].modelName = "Sonos Arc Ultra";
        sim = std::make_unique<sim::SpeakerSimulator>(household);
    }

    const QString host = test::loopback(2);
    std::unique_ptr<sim::SpeakerSimulator> sim;
};

TEST_F(SpeakerModelFetch, ReadsTheModelName) {
    EXPECT_EQ(test::run(SpeakerModel::fetch(host)), std::optional<QString>("Sonos Arc Ultra"));
    const auto sent = sim->requests();
    ASSERT_EQ(sent.size(), 1);
    EXPECT_EQ(sent[0].method, "GET");
    EXPECT_EQ(sent[0].path, descriptionPath.toUtf8());
}

TEST_F(SpeakerModelFetch, NothingForPagesWithoutTheName) {
    const std::pair<const char*, sim::Fault> cases[] = {
        {"404 with an HTML page", sim::Fault::httpStatus(404)},
        {"200 with an empty body", sim::Fault::emptyOk()},
        {"500 with a fault body", sim::Fault::upnp("501")},
    };
    for (const auto& [name, fault] : cases) {
        sim->setFault(host, descriptionPath, fault);
        EXPECT_EQ(test::run(SpeakerModel::fetch(host)), std::nullopt) << name;
    }
    // A page with the element counts whatever its status.
    sim->setFault(host, descriptionPath, sim::Fault{sim::Fault::Kind::none, 200, {}, {}, -1});
    sim->update([](sim::FakeHousehold& household) { household.speakers[0].modelName = "Sonos Era 100"; });
    EXPECT_EQ(test::run(SpeakerModel::fetch(host)), std::optional<QString>("Sonos Era 100"));
}

TEST_F(SpeakerModelFetch, NothingWhenUnreachable) {
    EXPECT_EQ(test::run(SpeakerModel::fetch("not a host")), std::nullopt);
    EXPECT_EQ(test::run(SpeakerModel::fetch(host + "/other")), std::nullopt);
    EXPECT_TRUE(sim->requests().isEmpty());
    sim->setOffline(host, true);
    EXPECT_EQ(test::run(SpeakerModel::fetch(host)), std::nullopt);
    sim->setOffline(host, false);
    // Silent: nothing once the 3 s limit has passed.
    sim->setFault(host, descriptionPath, sim::Fault::silence());
    EXPECT_EQ(test::run(SpeakerModel::fetch(host)), std::nullopt);
}

} // namespace
