// Hover feedback and tooltips: ink and chrome, padding rules, the delay, warmth and click rules
// of the bubble, its placement, on the manual clock and the hand-stepped driver.
#include "support/EventCount.h"
#include "support/ManualTime.h"
#include "support/PointerEvents.h"
#include "ui/kit/Hoverable.h"
#include "ui/kit/Motion.h"
#include "ui/kit/SymbolButton.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

using test::enter;
using test::leave;

void leftPress(QWidget* w) {
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

class Hover : public ::testing::Test {
protected:
    Hover() {
        TooltipWarmth::reset();
        root.resize(300, 200);
        for (auto*& b : buttons) {
            b = new SymbolButton(QStringLiteral("moon.fill"), QSizeF(16, 16), &root);
            b->setHover(options());
            b->resize(b->sizeHint());
        }
        buttons[0]->move(20, 30);
        buttons[1]->move(60, 30);
        root.show();
        time.settle();
    }
    static HoverOptions options() {
        HoverOptions o;
        o.tooltip = QStringLiteral("Sleep-Timer");
        return o;
    }
    Hoverable& hover(int i) { return *buttons[i]->hover(); }

    test::ManualTime time;
    QWidget root;
    SymbolButton* buttons[2] = {};
};

TEST_F(Hover, PaddingRulesByShape) {
    HoverOptions capsule;
    capsule.shape = HoverShape::Capsule;
    capsule.padding = 6;
    EXPECT_EQ(Hoverable::margins(capsule), QMargins(9, 4, 9, 4));
    HoverOptions circle;
    circle.padding = 5;
    EXPECT_EQ(Hoverable::margins(circle), QMargins(5, 5, 5, 5));
    EXPECT_EQ(buttons[0]->size(), QSize(28, 28)); // 16 + 2 × 6
}

TEST_F(Hover, InkRisesWithTheHoverCurveAndChromeLights) {
    const QColor rest = Ink::color(InkLevel::Secondary, Ink::scheme(buttons[0]));
    EXPECT_EQ(hover(0).ink(), rest);
    enter(buttons[0]);
    time.advance(50ms);
    EXPECT_NEAR(hover(0).progress(), 0.408, 0.03);
    time.advance(150ms);
    EXPECT_DOUBLE_EQ(hover(0).progress(), 1.0);
    EXPECT_EQ(hover(0).ink(), Ink::color(InkLevel::Primary, Ink::scheme(buttons[0])));
    leave(buttons[0]);
    time.advance(200ms);
    EXPECT_EQ(hover(0).ink(), rest);

    // Disabled: the ink stays at rest, but the tooltip still works.
    HoverOptions off = options();
    off.enabled = false;
    buttons[1]->setHover(off);
    enter(buttons[1]);
    time.advance(500ms);
    EXPECT_EQ(hover(1).ink(), rest);
    EXPECT_TRUE(hover(1).tipShown());
}

TEST_F(Hover, BubbleWaitsTheDelayAndSitsBelowTheControl) {
    enter(buttons[0]);
    time.advance(440ms);
    EXPECT_FALSE(hover(0).tipShown());
    time.advance(15ms);
    ASSERT_TRUE(hover(0).tipShown());
    EXPECT_FALSE(hover(0).instant());
    Tooltip* bubble = hover(0).bubble();
    ASSERT_NE(bubble, nullptr);
    EXPECT_EQ(bubble->parentWidget(), &root);
    EXPECT_EQ(bubble->y(), 30 + 28 + 6); // control top + padded height + 6
    EXPECT_NEAR(bubble->geometry().center().x(), buttons[0]->geometry().center().x(), 1);
    time.advance(150ms);
    EXPECT_DOUBLE_EQ(bubble->progress(), 1.0);
    // A delayed bubble fades out over 0.15 s.
    leave(buttons[0]);
    time.advance(50ms);
    EXPECT_GT(bubble->progress(), 0.0);
    EXPECT_TRUE(bubble->isVisible());
    time.advance(150ms);
    EXPECT_FALSE(bubble->isVisible());
}

TEST_F(Hover, LeavingEarlyShowsNothingAndLeavesWarmthAlone) {
    enter(buttons[0]);
    time.advance(300ms);
    leave(buttons[0]);
    time.advance(1s);
    EXPECT_FALSE(hover(0).tipShown());
    EXPECT_FALSE(TooltipWarmth::lastHidden().has_value());
}

TEST_F(Hover, NextControlWithinWarmPeriodShowsAtOnceAtExactlyPointFourItWaits) {
    for (const auto gap : {300ms, 400ms}) {
        TooltipWarmth::reset();
        enter(buttons[0]);
        time.advance(600ms);
        leave(buttons[0]);
        time.advance(gap);
        enter(buttons[1]);
        EXPECT_EQ(hover(1).tipShown(), gap < 400ms) << gap.count();
        EXPECT_EQ(hover(1).instant(), gap < 400ms);
        leave(buttons[1]);
        time.advance(1s);
    }
    // A warm bubble also vanishes at once.
    enter(buttons[0]);
    time.advance(600ms);
    leave(buttons[0]);
    time.advance(100ms);
    enter(buttons[1]);
    ASSERT_TRUE(hover(1).instant());
    time.settle();
    leave(buttons[1]);
    time.settle();
    EXPECT_FALSE(hover(1).bubble()->isVisible());
}

TEST_F(Hover, ClockSetBackDoesNotMakeEveryTooltipInstant) {
    TooltipWarmth::setLastHidden(Clock::now().addSecs(3600)); // the wall clock went back an hour
    enter(buttons[0]);
    EXPECT_FALSE(hover(0).tipShown());
    time.advance(460ms);
    EXPECT_TRUE(hover(0).tipShown());
    EXPECT_FALSE(hover(0).instant());
}

TEST_F(Hover, ClickHidesAtOnceAndSuppressesUntilLeave) {
    enter(buttons[0]);
    time.advance(600ms);
    ASSERT_TRUE(hover(0).tipShown());
    leftPress(buttons[0]);
    EXPECT_FALSE(hover(0).tipShown());
    EXPECT_FALSE(hover(0).bubble()->isVisible());          // no fade
    EXPECT_FALSE(TooltipWarmth::lastHidden().has_value()); // a click does not stamp
    time.advance(1s);
    EXPECT_FALSE(hover(0).tipShown());
    leave(buttons[0]);
    enter(buttons[0]);
    time.advance(440ms);
    EXPECT_FALSE(hover(0).tipShown()); // normal delay again
    time.advance(20ms);
    EXPECT_TRUE(hover(0).tipShown());
}

TEST_F(Hover, ClickDuringTheWaitCancelsTheShowAndTheMonitorGoesWithTheView) {
    enter(buttons[0]);
    time.advance(200ms);
    leftPress(&root);
    time.advance(1s);
    EXPECT_FALSE(hover(0).tipShown());
    leave(buttons[0]);

    enter(buttons[1]);
    buttons[1]->hide(); // the view disappears while hovered
    time.advance(1s);
    EXPECT_FALSE(hover(1).tipShown());
    leftPress(&root); // no monitor left to react
    EXPECT_FALSE(hover(1).clicked());
}

TEST_F(Hover, ControlWithoutTextStillStampsWarmth) {
    HoverOptions silent = options();
    silent.tooltip.reset();
    silent.above = true;
    buttons[0]->setHover(silent);
    enter(buttons[0]);
    time.advance(500ms);
    EXPECT_TRUE(hover(0).tipShown());
    EXPECT_EQ(hover(0).bubble(), nullptr);
    leave(buttons[0]);
    EXPECT_TRUE(TooltipWarmth::lastHidden().has_value());
}

TEST_F(Hover, BubbleAboveSitsThirtyOneHigher) {
    HoverOptions above = options();
    above.above = true;
    above.alignment = Qt::AlignLeft;
    buttons[0]->setHover(above);
    enter(buttons[0]);
    time.advance(500ms);
    ASSERT_NE(hover(0).bubble(), nullptr);
    EXPECT_EQ(hover(0).bubble()->pos(), QPoint(20, 30 - 31));
}

} // namespace

TEST_F(Hover, RestatingTheSameOptionsCostsNoLayoutPass) {
    // Views restate their hover options on every poll of the model; only a change of padding may
    // relay the window out.
    test::EventCount requests(QEvent::LayoutRequest);
    root.installEventFilter(&requests);
    QCoreApplication::sendPostedEvents();
    requests.count = 0;
    buttons[0]->setHover(options());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(requests.count, 0);
    HoverOptions wider = options();
    wider.padding = 10;
    buttons[0]->setHover(wider);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(requests.count, 1);
    EXPECT_EQ(hover(0).options().padding, 10);
}
