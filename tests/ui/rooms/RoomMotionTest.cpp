// How the room row, the EQ slider and the level value move on the hand-stepped driver: each
// animation's start, a frame halfway and its end, and that updates which keep the value an
// animation follows start nothing.
#include "protocol/SpeakerModel.h"
#include "support/ManualTime.h"
#include "support/PointerEvents.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/Motion.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/VolumeSlider.h"
#include "ui/rooms/EQSlider.h"
#include "ui/rooms/MembershipButton.h"
#include "ui/rooms/RoomRow.h"
#include "ui/rooms/ValueText.h"

#include <QDir>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QVariantAnimation>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// The panel curve at a fraction of its duration.
double curve(double t) {
    return Motion::panelCurve().valueForProgress(t);
}
double hoverCurve(double t) {
    return Motion::hoverCurve().valueForProgress(t);
}

// The animations of `owner` itself that are under way.
int running(const QObject& owner) {
    int count = 0;
    for (const QVariantAnimation* animation :
         owner.findChildren<QVariantAnimation*>(Qt::FindDirectChildrenOnly))
        if (animation->state() == QAbstractAnimation::Running)
            ++count;
    return count;
}

// Those of a row and its membership mark and speaker button (the volume slider glides to new
// values on its own).
int running(const RoomRow& row) {
    return running(static_cast<const QObject&>(row)) +
           running(*row.findChild<MembershipButton*>(u"membership"_s)) +
           running(*row.findChild<SymbolButton*>(u"speaker"_s));
}

// Offscreen windows open at the pointer's place: keep the views away from it, so only the test
// hovers them.
constexpr QPoint awayFromThePointer(200, 200);

using test::enter;
using test::leave;

class RowMotion : public ::testing::Test {
protected:
    RowMotion() {
        kitchen = Room{u"K"_s, u"Küche"_s, u"127.0.0.2"_s, 30, false};
        bath = Room{u"B"_s, u"Bad"_s, u"127.0.0.3"_s, 20, false};
        alone.id = u"G:1"_s;
        alone.coordinatorID = bath.id;
        alone.rooms = {bath};
        both = alone;
        both.rooms = {bath, kitchen};
        env.focus = &focus;
    }

    // A shown row of `room` for `group`, with started animations settled.
    std::unique_ptr<RoomRow> row(const Room& room, const SpeakerGroup& group) {
        auto made = std::make_unique<RoomRow>(room, group, false, env);
        made->resize(300, 30);
        made->move(awayFromThePointer);
        made->QWidget::show();
        time.settle();
        return made;
    }

    test::ManualTime time;
    KeyboardFocus focus;
    RoomsEnvironment env;
    Room kitchen;
    Room bath;
    SpeakerGroup alone; // bath alone
    SpeakerGroup both;  // bath and kitchen
};

TEST_F(RowMotion, TheFirstValuesShowAtOnce) {
    const auto member = row(kitchen, both);
    auto* mark = member->findChild<MembershipButton*>(u"membership"_s);
    EXPECT_DOUBLE_EQ(mark->memberProgress(), 1.0);
    EXPECT_EQ(mark->markInk(), Ink::color(InkLevel::Primary, Ink::scheme(mark))); // primary at rest
    EXPECT_DOUBLE_EQ(member->volumeOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(member->speakerOpacity(), 0.0);
    EXPECT_EQ(running(*member), 0);

    Room muted = kitchen;
    muted.muted = true;
    const auto mutedRow = row(muted, both);
    EXPECT_DOUBLE_EQ(mutedRow->volumeOpacity(), 0.45);
    EXPECT_DOUBLE_EQ(mutedRow->speakerOpacity(), 1.0);
    EXPECT_DOUBLE_EQ(mutedRow->findChild<SymbolButton*>(u"speaker"_s)->replaceProgress(), 1.0);

    const auto outside = row(kitchen, alone);
    EXPECT_DOUBLE_EQ(outside->findChild<MembershipButton*>(u"membership"_s)->memberProgress(), 0.0);
    EXPECT_DOUBLE_EQ(outside->volumeOpacity(), 0.0);
    EXPECT_EQ(running(*outside), 0);
}

// Joining: the check grows from 0.8 as it fades in, the circle fades out, over 0.2 s; an update
// in the middle that keeps the membership lets the change run on instead of starting it over.
TEST_F(RowMotion, JoiningGrowsTheCheckInAndAnUnrelatedUpdateLetsItRunOn) {
    const auto r = row(kitchen, alone);
    auto* mark = r->findChild<MembershipButton*>(u"membership"_s);
    r->show(kitchen, both, false);
    time.settle();
    EXPECT_DOUBLE_EQ(mark->checkScale(), 0.8);
    EXPECT_DOUBLE_EQ(mark->checkOpacity(), 0.0);
    EXPECT_DOUBLE_EQ(mark->circleOpacity(), 1.0);

    time.advance(50ms);
    EXPECT_NEAR(mark->checkOpacity(), curve(0.25), 0.02);
    EXPECT_NEAR(mark->checkScale(), 0.8 + 0.2 * curve(0.25), 0.005);
    EXPECT_NEAR(mark->circleOpacity(), 1 - curve(0.25), 0.02);

    Room louder = kitchen;
    louder.volume = 55;
    both.rooms = {bath, louder};
    r->show(louder, both, false);
    time.advance(50ms);
    EXPECT_NEAR(mark->memberProgress(), curve(0.5), 0.02); // not back at the start
    time.advance(100ms);
    EXPECT_DOUBLE_EQ(mark->memberProgress(), 1.0);
    EXPECT_EQ(running(*r), 0);

    // Leaving runs it back.
    r->show(louder, alone, false);
    time.settle();
    EXPECT_DOUBLE_EQ(mark->memberProgress(), 1.0);
    time.advance(200ms);
    EXPECT_DOUBLE_EQ(mark->checkOpacity(), 0.0);
    EXPECT_DOUBLE_EQ(mark->circleOpacity(), 1.0);
}

// The slider fades to 0.45 over 0.15 s when the room is muted and back when unmuted; a change of
// membership alone shows at once; other updates start nothing.
TEST_F(RowMotion, MutingFadesTheSliderAndMembershipShowsItAtOnce) {
    const auto r = row(kitchen, both);
    Room muted = kitchen;
    muted.muted = true;
    SpeakerGroup mutedGroup = both;
    mutedGroup.rooms = {bath, muted};
    r->show(muted, mutedGroup, false);
    time.settle();
    EXPECT_DOUBLE_EQ(r->volumeOpacity(), 1.0);
    time.advance(75ms);
    EXPECT_NEAR(r->volumeOpacity(), 1 - 0.55 * curve(0.5), 0.01);
    time.advance(75ms);
    EXPECT_DOUBLE_EQ(r->volumeOpacity(), 0.45);
    time.advance(50ms); // the speaker symbol's cross-fade ends too
    ASSERT_EQ(running(*r), 0);

    Room quieter = muted;
    quieter.volume = 5;
    mutedGroup.rooms = {bath, quieter};
    r->show(quieter, mutedGroup, false);
    EXPECT_EQ(running(*r), 0);
    EXPECT_DOUBLE_EQ(r->volumeOpacity(), 0.45);

    // Unmuting fades back up.
    r->show(kitchen, both, false);
    time.advance(75ms);
    EXPECT_NEAR(r->volumeOpacity(), 0.45 + 0.55 * curve(0.5), 0.01);
    time.advance(75ms);
    EXPECT_DOUBLE_EQ(r->volumeOpacity(), 1.0);

    // Out of the group: gone at once (the mark moves, the slider does not fade).
    r->show(kitchen, alone, false);
    EXPECT_DOUBLE_EQ(r->volumeOpacity(), 0.0);
    EXPECT_FALSE(r->findChild<VolumeSlider*>()->isEnabled());
}

// Hovering lights the capsule, raises the mark of a room outside the group towards secondary and
// fades in the speaker button of a member, all on the hover curve; the keyboard highlight shows at
// once and wins.
TEST_F(RowMotion, HoverLightsTheRowOnTheHoverCurve) {
    const auto member = row(kitchen, both);
    enter(member.get());
    time.settle();
    EXPECT_DOUBLE_EQ(member->shownHighlight(), 0.0);
    EXPECT_DOUBLE_EQ(member->highlight(), 0.05);
    time.advance(50ms);
    EXPECT_NEAR(member->hoverProgress(), hoverCurve(0.25), 0.03);
    EXPECT_NEAR(member->shownHighlight(), 0.05 * hoverCurve(0.25), 0.002);
    EXPECT_NEAR(member->speakerOpacity(), hoverCurve(0.25), 0.03);
    time.advance(150ms);
    EXPECT_DOUBLE_EQ(member->shownHighlight(), 0.05);
    EXPECT_DOUBLE_EQ(member->speakerOpacity(), 1.0);

    member->show(kitchen, both, true);
    EXPECT_DOUBLE_EQ(member->shownHighlight(), 0.08);
    leave(member.get());
    time.advance(200ms);
    EXPECT_DOUBLE_EQ(member->shownHighlight(), 0.08);
    EXPECT_DOUBLE_EQ(member->speakerOpacity(), 1.0); // still shown for the keyboard highlight
    member->show(kitchen, both, false);
    EXPECT_DOUBLE_EQ(member->speakerOpacity(), 0.0); // the highlight leaving hides it at once
    EXPECT_EQ(running(*member), 0);

    const auto outside = row(kitchen, alone);
    auto* mark = outside->findChild<MembershipButton*>(u"membership"_s);
    const Scheme scheme = Ink::scheme(mark);
    EXPECT_EQ(mark->markInk(), Ink::color(InkLevel::Tertiary, scheme));
    enter(outside.get());
    time.advance(200ms);
    EXPECT_EQ(mark->markInk(), Ink::color(InkLevel::Secondary, scheme));
    EXPECT_DOUBLE_EQ(outside->speakerOpacity(), 0.0); // no speaker button outside the group
}

// Muting swaps the speaker symbol with a cross-fade; an update with the same symbol starts none.
TEST_F(RowMotion, TheSpeakerSymbolCrossFadesWhenTheRoomIsMuted) {
    const auto r = row(kitchen, both);
    auto* speaker = r->findChild<SymbolButton*>(u"speaker"_s);
    const QString before = speaker->symbol();
    EXPECT_EQ(before, SpeakerModel::symbol(std::nullopt));
    Room muted = kitchen;
    muted.muted = true;
    r->show(muted, both, false);
    time.settle();
    EXPECT_EQ(speaker->symbol(), u"speaker.slash.fill"_s);
    EXPECT_EQ(speaker->replacedSymbol(), before);
    EXPECT_DOUBLE_EQ(speaker->replaceProgress(), 0.0);
    time.advance(100ms);
    EXPECT_NEAR(speaker->replaceProgress(), curve(0.5), 0.02);
    time.advance(100ms);
    EXPECT_DOUBLE_EQ(speaker->replaceProgress(), 1.0);

    Room louder = muted;
    louder.volume = 70;
    r->show(louder, both, false);
    EXPECT_DOUBLE_EQ(speaker->replaceProgress(), 1.0);
    EXPECT_EQ(running(*speaker), 0);
}

// Frames of the membership change, dark and light, at 0, 25, 50, 100 and 200 ms.
TEST_F(RowMotion, DrawsTheMembershipChange) {
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    const double ratio = 2;
    const QList<std::chrono::milliseconds> stops{0ms, 25ms, 25ms, 50ms, 100ms};
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        const auto r = row(kitchen, alone);
        r->setPalette(Ink::palette(scheme));
        r->setAutoFillBackground(true);
        QImage strip(QSize(r->width(), r->height() * 2 * int(stops.size())) * ratio,
                     QImage::Format_ARGB32_Premultiplied);
        strip.setDevicePixelRatio(ratio);
        strip.fill(Ink::palette(scheme).color(QPalette::Window));
        QPainter painter(&strip);
        int y = 0;
        for (const SpeakerGroup& group : {both, alone}) {
            r->show(kitchen, group, false);
            time.settle();
            for (const auto stop : stops) {
                time.advance(stop);
                r->render(&painter, QPoint(0, y));
                y += r->height();
            }
        }
        painter.end();
        const QString name = scheme == Scheme::Dark ? u"dark"_s : u"light"_s;
        EXPECT_TRUE(strip.save(QStringLiteral(TAMBER_ARTIFACTS_DIR "/rooms-membership-") + name + u".png"_s));
    }
}

class SliderMotion : public ::testing::Test {
protected:
    SliderMotion() {
        slider.resize(216, 16); // track length 200: x = 108 + 10 v
        slider.move(awayFromThePointer);
        QObject::connect(&slider, &EQSlider::changed, &slider, &EQSlider::setValue); // the owner's echo
        slider.show();
        time.settle();
    }
    test::ManualTime time;
    EQSlider slider{16};
};

TEST_F(SliderMotion, AValueGlidesThereOver180ms) {
    slider.setValue(6);
    time.settle();
    EXPECT_DOUBLE_EQ(slider.shownValue(), 0.0);
    EXPECT_DOUBLE_EQ(slider.fillOpacity(), 0.0);
    time.advance(90ms);
    EXPECT_NEAR(slider.shownValue(), 6 * curve(0.5), 0.1);
    EXPECT_NEAR(slider.fillOpacity(), curve(0.5), 0.02);
    time.advance(90ms);
    EXPECT_DOUBLE_EQ(slider.shownValue(), 6.0);
    EXPECT_DOUBLE_EQ(slider.fillOpacity(), 1.0);

    slider.setValue(6); // the same value: nothing moves
    EXPECT_EQ(running(slider), 0);

    slider.setValue(0);
    time.advance(180ms);
    EXPECT_DOUBLE_EQ(slider.fillOpacity(), 0.0); // no fill at the centre

    // Not on screen yet (a popover still loading): it appears with its value.
    slider.hide();
    slider.setValue(-7);
    EXPECT_DOUBLE_EQ(slider.shownValue(), -7.0);
    EXPECT_DOUBLE_EQ(slider.fillOpacity(), 1.0);
}

// While dragging the knob follows the pointer at once and grows to 1.12 over 0.12 s; the track
// lightens with it and both return when the drag ends.
TEST_F(SliderMotion, DraggingFollowsThePointerAndGrowsTheKnob) {
    QTest::mousePress(&slider, Qt::LeftButton, {}, QPoint(188, 8));
    EXPECT_EQ(slider.value(), 8);
    EXPECT_DOUBLE_EQ(slider.shownValue(), 8.0); // no glide under the pointer
    time.settle();
    EXPECT_DOUBLE_EQ(slider.knobScale(), 1.0);
    time.advance(60ms);
    EXPECT_NEAR(slider.knobScale(), 1 + 0.12 * curve(0.5), 0.003);
    EXPECT_NEAR(slider.trackOpacity(), 0.12 + 0.04 * curve(0.5), 0.002);
    QTest::mouseMove(&slider, QPoint(78, 8));
    EXPECT_DOUBLE_EQ(slider.shownValue(), -3.0);
    time.advance(60ms);
    EXPECT_DOUBLE_EQ(slider.knobScale(), 1.12);
    EXPECT_DOUBLE_EQ(slider.trackOpacity(), 0.16);

    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(78, 8));
    time.advance(60ms);
    EXPECT_NEAR(slider.knobScale(), 1.12 - 0.12 * curve(0.5), 0.003);
    time.advance(60ms);
    EXPECT_DOUBLE_EQ(slider.knobScale(), 1.0);

    // A double click ends at the centre after its second click, gliding there.
    QTest::mouseDClick(&slider, Qt::LeftButton, {}, QPoint(78, 8));
    QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(78, 8));
    EXPECT_EQ(slider.value(), 0);
    time.settle();
    EXPECT_DOUBLE_EQ(slider.shownValue(), -3.0);
    time.advance(180ms);
    EXPECT_DOUBLE_EQ(slider.shownValue(), 0.0);
}

TEST_F(SliderMotion, HoverLightensTheTrackOnTheHoverCurve) {
    enter(&slider);
    time.settle();
    EXPECT_DOUBLE_EQ(slider.trackOpacity(), 0.12);
    time.advance(50ms);
    EXPECT_NEAR(slider.trackOpacity(), 0.12 + 0.04 * hoverCurve(0.25), 0.002);
    time.advance(150ms);
    EXPECT_DOUBLE_EQ(slider.trackOpacity(), 0.16);
    leave(&slider);
    time.advance(200ms);
    EXPECT_DOUBLE_EQ(slider.trackOpacity(), 0.12);
}

// The level's number: the first value stands, later ones roll in over 0.15 s with the ink moving
// to the new value's level; the same value again rolls nothing.
TEST(ValueTextMotion, ANewValueRollsInAndTheInkFollows) {
    test::ManualTime time;
    ValueText text;
    text.move(awayFromThePointer);
    text.show();
    text.setValue(0);
    EXPECT_EQ(text.text(), u"0"_s);
    EXPECT_DOUBLE_EQ(text.roll(), 1.0);
    const Scheme scheme = Ink::scheme(&text);
    EXPECT_EQ(text.ink(), Ink::color(InkLevel::Tertiary, scheme));

    text.setValue(3);
    time.settle();
    EXPECT_EQ(text.text(), u"+3"_s);
    EXPECT_DOUBLE_EQ(text.roll(), 0.0);
    time.advance(75ms);
    EXPECT_NEAR(text.roll(), curve(0.5), 0.02);
    EXPECT_EQ(text.ink(), Ink::mix(Ink::color(InkLevel::Tertiary, scheme),
                                   Ink::color(InkLevel::Secondary, scheme), text.roll()));
    time.advance(75ms);
    EXPECT_DOUBLE_EQ(text.roll(), 1.0);
    EXPECT_EQ(text.ink(), Ink::color(InkLevel::Secondary, scheme));

    text.setValue(3);
    EXPECT_EQ(running(text), 0);
    EXPECT_EQ(ValueText::format(-4), u"-4"_s);
}

} // namespace
