// The media-key service over a fake display: when the keys are grabbed and released, the
// one-second retry while another program holds them, the grant callback, and the decoding of
// presses (fine step, declined presses).
#include "app/MediaKeys.h"
#include "support/FakeKeyGrabber.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using test::FakeKeyGrabber;

namespace {

class MediaKeysTest : public ::testing::Test {
protected:
    void SetUp() override { Clock::useManual(); }
    void TearDown() override {
        keys.reset();
        Clock::useReal();
    }
    MediaKeys& make() {
        keys = std::make_unique<MediaKeys>(
            &grabber,
            [this](MediaKeys::Key key, bool fine) {
                seen.push_back({key, fine});
                return take;
            },
            [this] { ++granted; });
        keys->setWanted([this] { return wanted; });
        return *keys;
    }

    FakeKeyGrabber grabber;
    std::unique_ptr<MediaKeys> keys;
    bool wanted = true;
    bool take = true;
    int granted = 0;
    std::vector<std::pair<MediaKeys::Key, bool>> seen;
};

} // namespace

TEST_F(MediaKeysTest, FreeKeysAtStartAreGrabbedWithoutAGrant) {
    MediaKeys& k = make();
    k.start();
    EXPECT_TRUE(k.trusted());
    EXPECT_TRUE(grabber.holdsMediaKeys());
    Clock::advance(5s);
    EXPECT_EQ(granted, 0);
}

TEST_F(MediaKeysTest, KeysHeldElsewhereAreTriedEverySecondAndGrantedOnce) {
    grabber.taken.insert(FakeKeyGrabber::muteCode);
    MediaKeys& k = make();
    k.start();
    EXPECT_FALSE(k.trusted());
    // A refused grab leaves none of the three behind.
    EXPECT_TRUE(grabber.grabs.isEmpty());
    const int tries = grabber.grabCalls;
    Clock::advance(1s);
    EXPECT_GT(grabber.grabCalls, tries);
    EXPECT_EQ(granted, 0);

    grabber.taken.clear();
    Clock::advance(999ms);
    EXPECT_FALSE(k.trusted());
    Clock::advance(1ms);
    EXPECT_TRUE(k.trusted());
    EXPECT_TRUE(grabber.holdsMediaKeys());
    EXPECT_EQ(granted, 1);
    Clock::advance(10s);
    EXPECT_EQ(granted, 1);
}

TEST_F(MediaKeysTest, AskingTriesTheGrabsAtOnce) {
    grabber.taken.insert(FakeKeyGrabber::muteCode);
    MediaKeys& k = make();
    k.start();
    k.ask(); // still held elsewhere: nothing changes
    EXPECT_FALSE(k.trusted());
    EXPECT_TRUE(grabber.grabs.isEmpty());
    grabber.taken.clear();
    k.ask(); // free now: taken without waiting for the poll
    EXPECT_TRUE(k.trusted());
    EXPECT_TRUE(grabber.holdsMediaKeys());
}

TEST_F(MediaKeysTest, KeysAreHeldOnlyWhileTheyWouldBeTaken) {
    wanted = false;
    MediaKeys& k = make();
    k.start();
    // Trusted (the grabs succeeded) but let go: the desktop keeps its volume keys.
    EXPECT_TRUE(k.trusted());
    EXPECT_FALSE(k.holding());
    EXPECT_TRUE(grabber.grabs.isEmpty());
    const int tries = grabber.grabCalls;
    Clock::advance(3s);
    EXPECT_EQ(grabber.grabCalls, tries) << "a trusted service does not grab while nothing plays";

    wanted = true;
    k.reevaluate();
    EXPECT_TRUE(grabber.holdsMediaKeys());
    wanted = false;
    k.reevaluate();
    EXPECT_TRUE(grabber.grabs.isEmpty());

    // Another program took the keys meanwhile: trust is lost and regained by the poll.
    grabber.taken.insert(FakeKeyGrabber::raiseCode);
    wanted = true;
    k.reevaluate();
    EXPECT_FALSE(k.trusted());
    grabber.taken.clear();
    Clock::advance(1s);
    EXPECT_TRUE(k.holding());
    EXPECT_EQ(granted, 1);
}

TEST_F(MediaKeysTest, PressesReachTheHandlerWithTheFineStepOnAltAndShiftOnly) {
    make().start();
    const quint16 alt = KeyGrabber::altMask;
    const quint16 shift = KeyGrabber::shiftMask;
    grabber.press(FakeKeyGrabber::raiseCode);
    grabber.press(FakeKeyGrabber::lowerCode, alt | shift);
    grabber.press(FakeKeyGrabber::lowerCode, alt);
    grabber.press(FakeKeyGrabber::muteCode, shift);
    const std::vector<std::pair<MediaKeys::Key, bool>> expected{{MediaKeys::Key::up, false},
                                                                {MediaKeys::Key::down, true},
                                                                {MediaKeys::Key::down, false},
                                                                {MediaKeys::Key::mute, false}};
    EXPECT_EQ(seen, expected);
}

TEST_F(MediaKeysTest, WithoutADisplayNothingIsEverTrusted) {
    grabber.present = false;
    MediaKeys& k = make();
    k.start();
    Clock::advance(3s);
    EXPECT_FALSE(k.available());
    EXPECT_FALSE(k.trusted());
    EXPECT_EQ(granted, 0);
}
