// Render mode's scripted clock: views that show time read the fixed epoch advanced by the
// scene's time, whatever the wall clock says. Render mode cannot be left again, so this runs
// in an executable of its own.
#include "core/RenderMode.h"
#include "support/ManualTime.h"
#include "ui/kit/Ink.h"
#include "ui/panel/SleepTimerButton.h"
#include "ui/panel/TrackProgress.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

SpeakerGroup playing() {
    SpeakerGroup group;
    group.id = u"G"_s;
    group.rooms = {Room{.id = u"R1"_s, .name = u"Küche"_s, .host = u"127.0.0.1"_s}};
    group.coordinatorID = u"R1"_s;
    group.title = u"Song"_s;
    group.state = u"PLAYING"_s;
    group.hasTrack = true;
    return group;
}

TEST(ScriptedClock, EpochPlusSceneTimeWhileRenderingTheWallClockBefore) {
    test::ManualTime time;
    EXPECT_EQ(RenderMode::now(), Clock::now());
    EXPECT_EQ(RenderMode::login(), 1.0);

    RenderMode::setActive();
    EXPECT_EQ(RenderMode::epoch(), QDateTime(QDate(2026, 5, 9), QTime(6, 13, 17, 800), Qt::UTC));
    RenderMode::setTime(2.5);
    EXPECT_EQ(RenderMode::now(), QDateTime(QDate(2026, 5, 9), QTime(6, 13, 20, 300), Qt::UTC));
    Clock::setWallClock(Clock::now().addSecs(3600)); // the wall clock has no say
    EXPECT_EQ(RenderMode::now(), QDateTime(QDate(2026, 5, 9), QTime(6, 13, 20, 300), Qt::UTC));
    RenderMode::setTime(0);
    EXPECT_EQ(RenderMode::now(), RenderMode::epoch());
}

TEST(ScriptedClock, ProgressAndSleepTimerFollowTheScene) {
    test::ManualTime time;
    RenderMode::setActive();
    RenderMode::setTime(0);
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Dark));
    TrackProgress progress(nullptr, &root);
    SleepTimerButton sleep(nullptr, &root);
    root.show();

    SpeakerGroup group = playing();
    group.duration = 200;
    group.position = 10;
    group.positionAt = RenderMode::epoch();
    group.sleepRemaining = 600;
    group.sleepAt = RenderMode::epoch();
    progress.setGroup(group);
    sleep.setGroup(group);
    EXPECT_EQ(progress.elapsedText(), u"0:10"_s);

    RenderMode::setTime(62.5);
    EXPECT_EQ(progress.elapsedText(), u"1:12"_s);
    EXPECT_EQ(sleep.label(), SleepTimerButton::format(537.5));
    Clock::setWallClock(Clock::now().addSecs(600));
    EXPECT_EQ(progress.elapsedText(), u"1:12"_s);
    RenderMode::setTime(0);
}

} // namespace
