// The kit's controls: volume slider mapping and drag, step button, sound toggle, editable name,
// the blur-and-fade transition at both ends, key caps, status dots and action menu items.
#include "support/ManualTime.h"
#include "ui/kit/ActionMenuItem.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/Motion.h"
#include "ui/kit/SoundToggle.h"
#include "ui/kit/StatusDot.h"
#include "ui/kit/StepButton.h"
#include "ui/kit/VolumeSlider.h"

#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

QImage grabImage(QWidget& w) {
    QImage image(w.size() * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    w.render(&image);
    return image;
}

TEST(VolumeSliderGeometry, SquareRootFillAndItsInverse) {
    const double w = 300, h = 30, track = 270;
    EXPECT_DOUBLE_EQ(VolumeSlider::track(w, h), track);
    EXPECT_DOUBLE_EQ(VolumeSlider::fillWidth(25, w, h), track / 2 + h); // end halfway along the track
    EXPECT_DOUBLE_EQ(VolumeSlider::fillWidth(0, w, h), h);              // a circle at the leading end
    EXPECT_DOUBLE_EQ(VolumeSlider::fillWidth(100, w, h), w);
    EXPECT_FALSE(VolumeSlider::gripVisible(0, w, h));

    struct Click {
        double x;
        int value;
    };
    const Click clicks[] = {
        {h / 2 + track / 2, 25},
        {h / 2, 0},
        {0, 0},
        {-50, 0},
        {h / 2 + track, 100},
        {w + 40, 100},
        {h / 2 + std::sqrt(0.125) * track, 13}, // exactly 12.5 rounds away from zero
    };
    for (const Click& c : clicks)
        EXPECT_EQ(VolumeSlider::valueAt(c.x, w, h), c.value) << c.x;
    // Narrower than height + 1: a track of 1, values stay in range.
    EXPECT_DOUBLE_EQ(VolumeSlider::track(20, 30), 1);
    for (double x : {-10.0, 15.0, 15.5, 16.0, 100.0}) {
        const int v = VolumeSlider::valueAt(x, 20, 30);
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 100);
    }
}

TEST(VolumeSliderInput, EveryPointerEventReportsAndDraggingSkipsTheAnimation) {
    test::ManualTime time;
    VolumeSlider slider(30);
    slider.resize(300, 30);
    slider.setValue(40); // not on screen yet: it appears with its value, no sweep from 0
    EXPECT_DOUBLE_EQ(slider.shownValue(), 40);
    EXPECT_DOUBLE_EQ(slider.labelRoll(), 1.0);
    slider.show();
    QSignalSpy changed(&slider, &VolumeSlider::changed);
    QTest::mousePress(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(150, 15));
    EXPECT_EQ(changed.size(), 1); // a press without a move reports once
    EXPECT_TRUE(slider.dragging());
    QMouseEvent move(QEvent::MouseMove, QPointF(151, 15), QPointF(151, 15), QPointF(151, 15), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider, &move);
    QCoreApplication::sendEvent(&slider, &move); // the same integer again still reports
    EXPECT_EQ(changed.size(), 3);
    slider.setValue(changed.last().at(0).toInt()); // while dragging: at once, digits too
    EXPECT_DOUBLE_EQ(slider.shownValue(), slider.value());
    EXPECT_DOUBLE_EQ(slider.labelRoll(), 1.0);
    QTest::mouseRelease(&slider, Qt::LeftButton, Qt::NoModifier, QPoint(151, 15));
    EXPECT_FALSE(slider.dragging());
    EXPECT_EQ(changed.size(), 3);

    slider.setValue(80); // after release: animated over 0.3 s, the digits rolling
    time.advance(75ms);
    EXPECT_LT(slider.shownValue(), 80);
    EXPECT_GT(slider.labelRoll(), 0.0);
    EXPECT_LT(slider.labelRoll(), 1.0);
    time.advance(250ms);
    EXPECT_DOUBLE_EQ(slider.shownValue(), 80);
}

TEST(VolumeSliderInput, AccessibilityStepsByFourWithinRange) {
    VolumeSlider slider(30);
    QSignalSpy changed(&slider, &VolumeSlider::changed);
    slider.setValue(98);
    slider.increment();
    slider.setValue(3);
    slider.decrement();
    ASSERT_EQ(changed.size(), 2);
    EXPECT_EQ(changed.at(0).at(0).toInt(), 100);
    EXPECT_EQ(changed.at(1).at(0).toInt(), 0);
}

TEST(VolumeSliderLook, FillCoversTheLabelInTheInverseColour) {
    test::ManualTime time;
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Dark));
    VolumeSlider slider(34, &root);
    slider.resize(294, 34);
    slider.setValue(100);
    time.advance(400ms);
    const QImage full = grabImage(slider);
    // Inside the fill, away from the digits: primary 0.92 (white in dark).
    const QColor fill = full.pixelColor(2 * 200, 2 * 17);
    EXPECT_GT(fill.alpha(), 225);
    slider.setValue(0);
    time.advance(400ms);
    const QImage empty = grabImage(slider);
    EXPECT_NEAR(empty.pixelColor(2 * 200, 2 * 17).alpha(), 31, 2); // the track at 0.12
}

TEST(StepButton, TwentyFourSquareAndOneActionPerClick) {
    test::ManualTime time;
    StepButton button(QStringLiteral("plus"));
    EXPECT_EQ(button.sizeHint(), QSize(24, 24));
    button.resize(button.sizeHint());
    button.show();
    int actions = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++actions; });
    QTest::mousePress(&button, Qt::LeftButton);
    time.advance(1s); // held down for a second
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(button.hover()->options().rest, InkLevel::Secondary);
}

TEST(SoundToggle, OpacityTableAndLook) {
    struct Row {
        bool on, hovered;
        double fill, border;
    };
    const Row table[] = {
        {true, true, 0.2, 0}, {true, false, 0.14, 0}, {false, true, 0.07, 0.18}, {false, false, 0, 0.12}};
    for (const Row& r : table) {
        EXPECT_DOUBLE_EQ(SoundToggle::fillOpacity(r.on, r.hovered), r.fill);
        EXPECT_DOUBLE_EQ(SoundToggle::borderOpacity(r.on, r.hovered), r.border);
    }
    test::ManualTime time;
    SoundToggle toggle(QStringLiteral("moon.fill"), QStringLiteral("Nachtmodus"));
    toggle.resize(toggle.sizeHint());
    int clicks = 0;
    QObject::connect(&toggle, &QAbstractButton::clicked, [&] { ++clicks; });
    toggle.click(); // the caller does not change `on`: the look stays
    time.advance(300ms);
    EXPECT_EQ(clicks, 1);
    EXPECT_DOUBLE_EQ(toggle.currentFillOpacity(), 0);
    EXPECT_DOUBLE_EQ(toggle.currentBorderOpacity(), 0.12);
    toggle.setOn(true);
    time.advance(75ms);
    EXPECT_GT(toggle.currentFillOpacity(), 0.0);
    EXPECT_LT(toggle.currentFillOpacity(), 0.14);
    time.advance(100ms);
    EXPECT_DOUBLE_EQ(toggle.currentFillOpacity(), 0.14);
    EXPECT_DOUBLE_EQ(toggle.currentBorderOpacity(), 0);
    EXPECT_GE(toggle.height(), 10 + 10); // 5 above and below the face
}

class Rename : public ::testing::Test {
protected:
    Rename() {
        name.setName(QStringLiteral("Küche"));
        name.resize(200, 24);
        name.show();
        name.activateWindow();
        time.settle();
    }
    void startEditing() { QTest::mouseDClick(&name, Qt::LeftButton, Qt::NoModifier, QPoint(20, 10)); }
    void type(const QString& text) {
        name.field()->clear();
        QTest::keyClicks(name.field(), text);
    }
    test::ManualTime time;
    EditableName name;
    QSignalSpy editing{&name, &EditableName::editingChanged};
    QSignalSpy committed{&name, &EditableName::committed};
};

TEST_F(Rename, UnchangedReturnCommitsNothingButReportsBothEdges) {
    startEditing();
    ASSERT_TRUE(name.editing());
    EXPECT_EQ(name.field()->text(), QStringLiteral("Küche"));
    QTest::keyClick(name.field(), Qt::Key_Return);
    EXPECT_FALSE(name.editing());
    EXPECT_EQ(committed.size(), 0);
    ASSERT_EQ(editing.size(), 2);
    EXPECT_TRUE(editing.at(0).at(0).toBool());
    EXPECT_FALSE(editing.at(1).at(0).toBool());
}

TEST_F(Rename, ReturnCommitsTheTrimmedNameExactlyOnce) {
    startEditing();
    type(QStringLiteral("  Bad  "));
    QTest::keyClick(name.field(), Qt::Key_Return);
    name.field()->clearFocus(); // the focus loss that follows finds editing over
    ASSERT_EQ(committed.size(), 1);
    EXPECT_EQ(committed.at(0).at(0).toString(), QStringLiteral("Bad"));
}

TEST_F(Rename, EmptyNameOnlyWhereAllowed) {
    for (const bool allowed : {false, true}) {
        committed.clear();
        name.setAllowsEmpty(allowed);
        startEditing();
        type(QString());
        QTest::keyClick(name.field(), Qt::Key_Return);
        EXPECT_FALSE(name.editing());
        EXPECT_EQ(committed.size(), allowed ? 1 : 0);
        if (allowed) {
            EXPECT_EQ(committed.at(0).at(0).toString(), QString());
        }
    }
}

TEST_F(Rename, EscapeAbandonsAndTheFollowingFocusLossCommitsNothing) {
    startEditing();
    type(QStringLiteral("Flur"));
    QTest::keyClick(name.field(), Qt::Key_Escape);
    name.field()->clearFocus();
    EXPECT_FALSE(name.editing());
    EXPECT_EQ(committed.size(), 0);
    EXPECT_EQ(editing.size(), 2);
}

TEST_F(Rename, FocusLossCommits) {
    startEditing();
    type(QStringLiteral("Flur"));
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(name.field(), &out);
    ASSERT_EQ(committed.size(), 1);
    EXPECT_EQ(committed.at(0).at(0).toString(), QStringLiteral("Flur"));
}

TEST(RenameTrim, OnlyHorizontalWhitespaceGoes) {
    EXPECT_EQ(EditableName::trimHorizontal(QStringLiteral(" \t\u00a0\u2003Bad\u3000 ")),
              QStringLiteral("Bad"));
    EXPECT_EQ(EditableName::trimHorizontal(QStringLiteral("\nBad \n")), QStringLiteral("\nBad \n"));
    EXPECT_EQ(EditableName::trimHorizontal(QStringLiteral("  \n  ")), QStringLiteral("\n"));
}

TEST_F(Rename, HintAfterPointSevenSecondsOnlyAndGoneWhenEditing) {
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&name, &enter);
    time.advance(500ms);
    QCoreApplication::sendEvent(&name, &leave);
    time.advance(1s);
    EXPECT_FALSE(name.hinting());
    QCoreApplication::sendEvent(&name, &enter);
    time.advance(800ms);
    EXPECT_TRUE(name.hinting());
    time.advance(200ms);
    EXPECT_DOUBLE_EQ(name.hintProgress(), 1.0);
    const QImage hinted = grabImage(name); // blurred, faded name with the pencil
    EXPECT_FALSE(hinted.isNull());
    startEditing();
    EXPECT_FALSE(name.hinting());
    EXPECT_TRUE(name.editing());
}

TEST(BlurFade, BothEndsAndTheInsertion) {
    EXPECT_DOUBLE_EQ(BlurFade::opacityAt(0), 0);
    EXPECT_DOUBLE_EQ(BlurFade::blurAt(0), 4);
    EXPECT_DOUBLE_EQ(BlurFade::offsetAt(0, 6), 6);
    EXPECT_DOUBLE_EQ(BlurFade::opacityAt(1), 1);
    EXPECT_DOUBLE_EQ(BlurFade::blurAt(1), 0);
    EXPECT_DOUBLE_EQ(BlurFade::offsetAt(1, 6), 0);

    test::ManualTime time;
    QWidget root;
    root.resize(100, 60);
    root.setPalette(Ink::palette(Scheme::Light));
    auto* content = new QWidget(&root);
    content->setGeometry(30, 20, 40, 20);
    content->setAutoFillBackground(true);
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    content->setPalette(red);
    root.show();

    const auto centre = [&] { return root.grab().toImage().pixelColor(50, 30); };
    BlurFade* effect =
        BlurFade::insert(content, 6, Motion::swapIn, Motion::swapInDelay, Motion::panelCurve());
    time.settle();
    EXPECT_EQ(centre().red(), centre().green()); // hidden: nothing red yet
    time.advance(100ms);                         // the delay
    EXPECT_DOUBLE_EQ(effect->progress(), 0.0);
    time.advance(150ms);
    EXPECT_GT(effect->progress(), 0.9);
    time.advance(200ms);
    EXPECT_EQ(content->graphicsEffect(), nullptr); // removed at the end: plain painting again
    EXPECT_EQ(centre(), QColor(Qt::red));

    bool done = false;
    BlurFade::remove(
        content, 0, Motion::swapOut, [&] { done = true; }, Motion::panelCurve());
    time.advance(150ms);
    EXPECT_TRUE(done);
    EXPECT_EQ(centre().red(), centre().green()); // gone
}

TEST(KeyCap, SizesAndHighlight) {
    test::ManualTime time;
    KeyCap footer;
    footer.setText(QStringLiteral("esc"));
    footer.setFaceWidth(30);
    EXPECT_EQ(footer.sizeHint().width(), 40);
    EXPECT_GE(footer.sizeHint().height(), 18);
    footer.setText(QStringLiteral("a very wide face text"));
    EXPECT_EQ(footer.sizeHint().width(), 40); // the fixed width holds
    KeyCap narrow;
    narrow.setText(QStringLiteral("i"));
    EXPECT_EQ(narrow.sizeHint().width(), 22); // 12-point minimum face
    EXPECT_NEAR(narrow.sizeHint().height(), 18, 1);
    KeyCap symbols;
    symbols.setSymbols({QStringLiteral("command"), QStringLiteral("arrow.left.arrow.right")});
    EXPECT_EQ(symbols.sizeHint().width(), 10 + 2 + 10 + 10);

    footer.setHighlighted(true);
    EXPECT_DOUBLE_EQ(footer.faceOpacity(), 1.0); // at once
    EXPECT_DOUBLE_EQ(footer.fillOpacity(), 0.10);
    time.advance(75ms);
    EXPECT_GT(footer.fillOpacity(), 0.10);
    time.advance(100ms);
    EXPECT_DOUBLE_EQ(footer.fillOpacity(), 0.18);
}

TEST(StatusDot, ColourPerLevelAndVisibleBorder) {
    for (const Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        QWidget root;
        root.setPalette(Ink::palette(scheme));
        for (const StatusLevel level : {StatusLevel::Ok, StatusLevel::Warning, StatusLevel::Problem}) {
            StatusDot dot(level, 20, &root);
            dot.resize(dot.sizeHint());
            const QImage image = grabImage(dot);
            const QColor centre = image.pixelColor(20, 30);
            const QColor want = StatusDot::color(level);
            EXPECT_NEAR(centre.red(), want.red(), 40);
            EXPECT_NEAR(centre.green(), want.green(), 40);
            EXPECT_NEAR(centre.blue(), want.blue(), 40);
        }
    }
}

TEST(ActionMenuItem, CheckedItemRunsItsHandlerOnceAndHasNoShortcut) {
    int runs = 0;
    QMenu menu;
    auto* item = new ActionMenuItem(
        QStringLiteral("15 min"), true, [&] { ++runs; }, &menu);
    auto* other = new ActionMenuItem(
        QStringLiteral("30 min"), false, [&] { runs += 10; }, &menu);
    menu.addAction(item);
    menu.addAction(other);
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(other->isChecked());
    EXPECT_TRUE(item->shortcut().isEmpty());
    item->trigger();
    EXPECT_EQ(runs, 1);
}

} // namespace
