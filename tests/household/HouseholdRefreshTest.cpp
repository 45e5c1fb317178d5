#include "household/HouseholdFixture.h"
#include "household/HouseholdKeys.h"
#include "household/HouseholdTexts.h"
#include "protocol/Network.h"
#include "protocol/SonosError.h"
#include "protocol/TransportError.h"
#include "support/Await.h"

using namespace Qt::StringLiterals;

namespace {

std::exception_ptr noAnswer() {
    return std::make_exception_ptr(TransportError(QNetworkReply::ConnectionRefusedError, u"refused"_s));
}
std::exception_ptr refused501() {
    return std::make_exception_ptr(SonosError(u"GetZoneGroupState failed (UPnP 501)"_s, u"501"_s));
}

class HouseholdRefresh : public HouseholdFixture {
protected:
    void SetUp() override {
        HouseholdFixture::SetUp();
        settings->setTextList(HouseholdKeys::knownHosts, {u"h2"_s, u"h1"_s});
        topology = {group(u"G1"_s, {room(u"A"_s, u"a"_s)}), group(u"G2"_s, {room(u"B"_s, u"b"_s)})};
    }
    void refresh() { test::run(household->refresh()); }
};

TEST_F(HouseholdRefresh, NoKnownHostShowsTheSearchingTextEveryTime) {
    settings->remove(HouseholdKeys::knownHosts);
    Household& h = make();
    refresh();
    refresh();
    EXPECT_EQ(h.error(), HouseholdTexts::searching());
    EXPECT_EQ(probe().failedRefreshes(), 2);
    EXPECT_TRUE(asked.isEmpty());
}

TEST_F(HouseholdRefresh, TheFirstHostThatAnswersWinsAndFailuresBeforeItStaySilent) {
    failing.insert(u"h2"_s, noAnswer());
    Household& h = make();
    refresh();
    EXPECT_EQ(asked, (QStringList{u"h2"_s, u"h1"_s}));
    EXPECT_FALSE(h.error());
    EXPECT_EQ(probe().failedRefreshes(), 0);
    EXPECT_TRUE(h.live());
    ASSERT_EQ(h.groups().size(), 2);
    EXPECT_EQ(SpeakerGroup::decodeList(*settings->data(HouseholdKeys::lastGroups))->size(), 2);
}

// The text follows the last host's failure: no answer gives a reachability text (which one
// depends on a VPN), an answer that reports failure gives its own description.
TEST_F(HouseholdRefresh, FailureTextsOfAHouseholdThatWasNeverLive) {
    struct Case {
        const char* name;
        std::exception_ptr last;
        bool vpn;
        QString text;
    };
    const Case cases[] = {
        {"no answer", noAnswer(), false, HouseholdTexts::unreachable()},
        {"no answer with VPN", noAnswer(), true, HouseholdTexts::unreachableVpn()},
        {"failure reply", refused501(), false, u"GetZoneGroupState failed (UPnP 501)"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        failing = {{u"h2"_s, refused501()}, {u"h1"_s, c.last}};
        interfaces.vpn = c.vpn;
        household.reset();
        Household& h = make();
        refresh();
        EXPECT_EQ(h.error(), c.text);
        EXPECT_TRUE(h.groups().isEmpty());
    }
    // Hosts that answer with no usable group read like speakers that did not answer.
    failing.clear();
    interfaces.vpn = false;
    topology.clear();
    household.reset();
    Household& h = make();
    refresh();
    EXPECT_EQ(h.error(), HouseholdTexts::unreachable());
}

TEST_F(HouseholdRefresh, ALiveHouseholdShowsOnlyTheThirdFailureInARow) {
    Household& h = make();
    refresh();
    failing = {{u"h2"_s, noAnswer()}, {u"h1"_s, noAnswer()}};
    refresh();
    refresh();
    EXPECT_FALSE(h.error());
    EXPECT_EQ(h.groups().size(), 2); // the last state stays
    refresh();
    EXPECT_EQ(h.error(), HouseholdTexts::unreachable());
    // A success clears the refresh's own text, and the count.
    failing.clear();
    refresh();
    EXPECT_FALSE(h.error());
    EXPECT_EQ(probe().failedRefreshes(), 0);
    // ... but not a text of something else.
    h.setError(u"Play failed (UPnP 701)"_s);
    refresh();
    EXPECT_EQ(h.error(), u"Play failed (UPnP 701)"_s);
}

TEST_F(HouseholdRefresh, AResultOverlappingAMembershipChangeIsDroppedYetCountsAsSuccess) {
    Household& h = make();
    pollAnswer = [this](SpeakerGroup g) {
        // A membership change begins and ends while the groups are read.
        probe().schedule().membershipBegan();
        probe().schedule().membershipEnded();
        return g;
    };
    failing.insert(u"h2"_s, noAnswer());
    refresh();
    EXPECT_TRUE(h.groups().isEmpty());
    EXPECT_FALSE(settings->contains(HouseholdKeys::lastGroups));
    EXPECT_TRUE(h.live());
    EXPECT_EQ(probe().failedRefreshes(), 0);
}

TEST_F(HouseholdRefresh, ModelsAreLookedUpOnceAndRetriedAfterAFailedLookup) {
    models.insert(u"host-A"_s, u"Sonos One"_s);
    Household& h = make();
    refresh();
    refresh();
    EXPECT_EQ(h.models().value(u"A"_s), u"Sonos One"_s);
    EXPECT_EQ(settings->textMap(HouseholdKeys::roomModels)->value(u"A"_s), u"Sonos One"_s);
    EXPECT_EQ(modelAsked.count(u"host-A"_s), 1);
    EXPECT_EQ(modelAsked.count(u"host-B"_s), 2); // nothing found: asked again
}

TEST_F(HouseholdRefresh, RunClearsAnyTextOnSuccessAndShowsTheFailureText) {
    Household& h = make();
    h.setError(u"something else"_s);
    test::run(probe().run([]() -> QCoro::Task<void> { co_return; }));
    EXPECT_FALSE(h.error());
    test::run(probe().run([]() -> QCoro::Task<void> {
        std::rethrow_exception(noAnswer());
        co_return;
    }));
    EXPECT_EQ(h.error(), HouseholdTexts::unreachable());
    test::run(probe().run([]() -> QCoro::Task<void> {
        std::rethrow_exception(refused501());
        co_return;
    }));
    EXPECT_EQ(h.error(), u"GetZoneGroupState failed (UPnP 501)"_s);
}

} // namespace
