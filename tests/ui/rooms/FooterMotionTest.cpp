// The footer's and the searching tile's transitions, stepped by hand: every animation is looked at
// on its way (it has left its start and not reached its end, on the curve it should follow) and
// at its end (the state it settles in, with nothing left over from the transition).
#include "core/Texts.h"
#include "support/FakeFooterSettings.h"
#include "support/ManualTime.h"
#include "support/PointerEvents.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/HUDPreview.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/Motion.h"
#include "ui/kit/PanelPresence.h"
#include "ui/rooms/FooterCloseButton.h"
#include "ui/rooms/FooterRowFrame.h"
#include "ui/rooms/KeyboardFooter.h"
#include "ui/rooms/MiniSwitch.h"
#include "ui/rooms/SearchingTile.h"
#include "ui/rooms/SectionReveal.h"

#include <QAbstractButton>
#include <QEnterEvent>
#include <QLayout>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

// How far a panel-curve animation of `total` is after `elapsed`. The curve has done most of its
// way by half time, so the checks look a quarter of the way in, where a jump to the end shows;
// the hand-stepped clock moves in 1 ms slices, so an animation that a timer starts begins
// within a millisecond of it.
double panelAt(std::chrono::milliseconds elapsed, std::chrono::milliseconds total) {
    return Motion::panelCurve().valueForProgress(double(elapsed.count()) / double(total.count()));
}

using test::enter;
using test::leave;

// Lets the layouts take the heights the transitions gave them.
void layOut(QWidget& widget) {
    for (int pass = 0; pass < 4; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    widget.layout()->activate();
}

bool between(double value, double low, double high) {
    return value > low && value < high;
}

class FooterMotion : public ::testing::Test {
protected:
    void SetUp() override {
        host.setPalette(Ink::palette(Scheme::Dark));
        // Placed by hand: a window whose layout follows the footer's every step would ask the
        // platform for new size limits at each one.
        footer = new KeyboardFooter(env, &host);
        footer->setGeometry(12, 10, 296, 700);
        host.resize(320, 720);
        host.show();
        layOut(*footer);
    }
    // The height the footer asks of the panel.
    int height() {
        layOut(*footer);
        return footer->sizeHint().height();
    }

    test::ManualTime time{1ms};
    test::FooterEnvironment fixture;
    KeyboardFocus& focus = fixture.focus;
    test::FakeFooterSettings& settings = fixture.settings;
    RoomsEnvironment& env = fixture.env;
    // An open footer in `window` while the volume keys are on but not granted: the notice shows.
    KeyboardFooter& openWithoutTheKeys(QWidget& window) {
        settings.trusted = false;
        focus.setShortcutsOpen(true);
        auto* placed = new KeyboardFooter(env, &window);
        window.show();
        return *placed;
    }

    QWidget host;
    KeyboardFooter* footer = nullptr;
};

TEST_F(FooterMotion, OpensAndClosesWithTheIconAndPanelCrossingOver) {
    const int collapsed = height();
    QWidget* more = footer->findChild<QWidget*>(u"more"_s);
    ASSERT_TRUE(more);

    // A click on the pill opens it over 0.22 s.
    QTest::mouseClick(footer, Qt::LeftButton, {}, QPoint(10, collapsed / 2));
    EXPECT_TRUE(focus.shortcutsOpen());
    time.advance(55ms);
    layOut(*footer);
    const double early = panelAt(55ms, Motion::column);
    EXPECT_NEAR(footer->panelReveal().progress(), early, 0.04);
    EXPECT_NEAR(footer->collapsedReveal().progress(), 1 - early, 0.04);
    EXPECT_TRUE(between(footer->panelReveal().opacity(), 0, 1));
    EXPECT_TRUE(between(footer->collapsedReveal().opacity(), 0, 1));
    const int opening = height();
    EXPECT_GT(opening, collapsed);

    time.advance(165ms);
    layOut(*footer);
    EXPECT_DOUBLE_EQ(footer->panelReveal().progress(), 1);
    EXPECT_FALSE(footer->collapsedReveal().running());
    EXPECT_FALSE(more->isVisibleTo(footer));
    EXPECT_GT(height(), opening);
    // Settled: the panel draws directly again, with no transition effect left on it.
    EXPECT_EQ(footer->closeButton()->parentWidget()->graphicsEffect(), nullptr);

    // The close button closes it over the same curve, back to the pill's height.
    static_cast<QAbstractButton*>(footer->closeButton())->click();
    time.advance(55ms);
    layOut(*footer);
    EXPECT_NEAR(footer->panelReveal().progress(), 1 - early, 0.04);
    EXPECT_TRUE(more->isVisibleTo(footer));
    time.advance(165ms);
    layOut(*footer);
    EXPECT_EQ(height(), collapsed);
    EXPECT_FALSE(footer->closeButton()->isVisibleTo(footer));
    EXPECT_EQ(more->graphicsEffect(), nullptr);
}

TEST_F(FooterMotion, HoverFillsComeAndGoOverTheHoverAnimation) {
    const double half = Motion::hoverCurve().valueForProgress(0.5);
    enter(footer);
    EXPECT_DOUBLE_EQ(footer->backgroundFill(), 0.05); // the target at once ...
    time.advance(Motion::hover / 2);
    EXPECT_NEAR(footer->drawnBackgroundFill(), 0.05 * half, 0.004); // ... the picture on the way
    time.advance(Motion::hover / 2);
    EXPECT_DOUBLE_EQ(footer->drawnBackgroundFill(), 0.05);
    focus.setOnFooter(true);
    EXPECT_DOUBLE_EQ(footer->drawnBackgroundFill(), 0.08); // the keyboard's fill wins at once
    focus.setOnFooter(false);
    leave(footer);
    time.advance(Motion::hover);
    EXPECT_DOUBLE_EQ(footer->drawnBackgroundFill(), 0);

    focus.setShortcutsOpen(true);
    time.advance(Motion::column);
    auto* close = static_cast<FooterCloseButton*>(footer->closeButton());
    EXPECT_DOUBLE_EQ(close->circleFill(), 0.06);
    close->hover()->setHovering(true);
    time.advance(Motion::hover / 2);
    EXPECT_TRUE(between(close->circleFill(), 0.06, 0.14));
    time.advance(Motion::hover / 2);
    EXPECT_DOUBLE_EQ(close->circleFill(), 0.14);
    close->hover()->setHovering(false);
    time.advance(Motion::hover);
    EXPECT_DOUBLE_EQ(close->circleFill(), 0.06);
    focus.setOnFooter(true); // no row: the keyboard sits on the close button
    EXPECT_DOUBLE_EQ(close->circleFill(), 0.14);

    FooterRowFrame* row = footer->rowFrame(FooterRow::login);
    enter(row);
    time.advance(Motion::hover / 2);
    EXPECT_TRUE(between(row->drawnFill(), 0, 0.05));
    time.advance(Motion::hover / 2);
    EXPECT_DOUBLE_EQ(row->drawnFill(), 0.05);
    focus.setFooterRow(int(FooterRow::login));
    EXPECT_DOUBLE_EQ(row->drawnFill(), 0.08);
}

TEST_F(FooterMotion, TheChevronTurnsAsTheHintsOpen) {
    focus.setShortcutsOpen(true);
    time.advance(Motion::column);
    const int closedHints = height();
    QTest::mouseClick(footer->rowFrame(FooterRow::hints), Qt::LeftButton, {}, QPoint(10, 5));
    ASSERT_TRUE(focus.hintsOpen());
    time.advance(55ms);
    layOut(*footer);
    const double early = panelAt(55ms, Motion::column);
    EXPECT_NEAR(footer->chevronAngle(), 90 * early, 4);
    EXPECT_NEAR(footer->hintsReveal().progress(), early, 0.04);
    EXPECT_GT(height(), closedHints);
    time.advance(165ms);
    EXPECT_DOUBLE_EQ(footer->chevronAngle(), 90);
    EXPECT_DOUBLE_EQ(footer->hintsReveal().opacity(), 1);

    focus.setHintsOpen(false); // the keyboard map's toggle turns it back the same way
    time.advance(55ms);
    EXPECT_NEAR(footer->chevronAngle(), 90 * (1 - early), 4);
    time.advance(165ms);
    layOut(*footer);
    EXPECT_DOUBLE_EQ(footer->chevronAngle(), 0);
    EXPECT_EQ(height(), closedHints);
}

TEST_F(FooterMotion, ThePreviewFadesInSlowerThanItLeaves) {
    focus.setShortcutsOpen(true);
    time.advance(Motion::column);
    QWidget* row = footer->rowFrame(FooterRow::volumeKeys);
    enter(row);
    time.advance(350ms);
    ASSERT_TRUE(footer->volumePreview());
    time.advance(75ms);
    EXPECT_NEAR(footer->previewReveal().progress(), panelAt(75ms, 300ms), 0.04);
    time.advance(225ms);
    EXPECT_DOUBLE_EQ(footer->previewReveal().progress(), 1);

    leave(row);
    time.advance(55ms);
    EXPECT_NEAR(footer->previewReveal().progress(), 1 - panelAt(55ms, 220ms), 0.04);
    time.advance(165ms);
    EXPECT_FALSE(footer->findChild<HUDPreview*>()->isVisibleTo(footer));
}

TEST_F(FooterMotion, TheNoticeBlursAwayOnceTheKeysAreGranted) {
    QWidget window;
    KeyboardFooter& untrusted = openWithoutTheKeys(window);
    auto* notice = untrusted.findChild<QWidget*>(u"accessibilityNotice"_s);
    ASSERT_TRUE(notice->isVisibleTo(&untrusted));

    settings.trusted = true;
    time.advance(1000ms + 75ms); // the poll's answer, then a quarter of the 0.3 s change
    EXPECT_FALSE(untrusted.accessibilityNoticeShown());
    auto* effect = qobject_cast<BlurFade*>(notice->graphicsEffect());
    ASSERT_TRUE(effect);
    EXPECT_DOUBLE_EQ(effect->blur(), BlurFade::blurRadius);
    EXPECT_DOUBLE_EQ(effect->offset(), 0);
    EXPECT_NEAR(effect->progress(), 1 - panelAt(75ms, 300ms), 0.04);
    time.advance(225ms);
    EXPECT_FALSE(notice->isVisibleTo(&untrusted));
    EXPECT_EQ(notice->graphicsEffect(), nullptr);
}

TEST_F(FooterMotion, TheNoticeFollowsTheVolumeKeysSwitchAtOnce) {
    QWidget window;
    KeyboardFooter& untrusted = openWithoutTheKeys(window);
    auto* notice = untrusted.findChild<QWidget*>(u"accessibilityNotice"_s);
    settings.setVolumeKeys(false);
    EXPECT_FALSE(notice->isVisibleTo(&untrusted));
    settings.setVolumeKeys(true);
    EXPECT_TRUE(notice->isVisibleTo(&untrusted));
    EXPECT_EQ(notice->graphicsEffect(), nullptr);
}

TEST(SectionRevealMotion, OpensAFixedSectionAndGivesItsSizeBack) {
    test::ManualTime time{1ms};
    QWidget column;
    auto* layout = new QVBoxLayout(&column);
    auto* section = new QWidget(&column);
    section->setFixedSize(40, 60);
    section->hide();
    layout->addWidget(section);
    column.show();
    SectionReveal reveal(section);
    reveal.setShown(true, 300ms);
    time.advance(75ms);
    const double early = panelAt(75ms, 300ms);
    EXPECT_TRUE(section->isVisible());
    EXPECT_NEAR(section->maximumHeight(), 60 * early, 3);
    EXPECT_EQ(section->minimumHeight(), 0);
    reveal.setShown(false, 300ms); // turns back from where it is, without a jump
    EXPECT_NEAR(reveal.progress(), early, 0.04);
    reveal.setShown(true, 300ms);
    time.advance(300ms);
    EXPECT_EQ(section->minimumSize(), QSize(40, 60));
    EXPECT_EQ(section->maximumSize(), QSize(40, 60));
    EXPECT_EQ(section->graphicsEffect(), nullptr);
    reveal.setShown(false, 0ms);
    EXPECT_FALSE(section->isVisible());
    EXPECT_EQ(section->maximumSize(), QSize(40, 60));
}

TEST(KeyCapMotion, OnlyTheFillAnimates) {
    test::ManualTime time{1ms};
    KeyCap cap;
    cap.setText(u"A"_s);
    const QSize size = cap.sizeHint();
    cap.setHighlighted(true);
    EXPECT_DOUBLE_EQ(cap.faceOpacity(), 1.0); // at once
    EXPECT_DOUBLE_EQ(cap.fillOpacity(), 0.10);
    time.advance(37ms);
    EXPECT_NEAR(cap.fillOpacity(), 0.10 + 0.08 * panelAt(37ms, Motion::keyCap), 0.006);
    EXPECT_EQ(cap.sizeHint(), size);
    time.advance(113ms);
    EXPECT_DOUBLE_EQ(cap.fillOpacity(), 0.18);
    cap.setHighlighted(false);
    EXPECT_DOUBLE_EQ(cap.faceOpacity(), 0.8);
    time.advance(Motion::keyCap);
    EXPECT_DOUBLE_EQ(cap.fillOpacity(), 0.10);
}

TEST(SwitchMotion, AShownSwitchSlidesAnUnshownOneJumps) {
    test::ManualTime time{1ms};
    MiniSwitch hidden;
    hidden.setChecked(true);
    EXPECT_DOUBLE_EQ(hidden.onAmount(), 1.0);

    MiniSwitch shown;
    shown.show();
    shown.setChecked(true);
    time.advance(37ms);
    EXPECT_NEAR(shown.onAmount(), panelAt(37ms, Motion::tooltip), 0.01);
    EXPECT_LT(shown.onAmount(), 1.0);
    time.advance(Motion::tooltip);
    EXPECT_DOUBLE_EQ(shown.onAmount(), 1.0);
    shown.setChecked(false);
    time.advance(Motion::tooltip);
    EXPECT_DOUBLE_EQ(shown.onAmount(), 0.0);
}

struct TileCase {
    bool opener;
};

class SearchingTileMotion : public ::testing::TestWithParam<TileCase> {};

TEST_P(SearchingTileMotion, TheHintArrivesOverThreeTenthsOfASecond) {
    test::ManualTime time{1ms};
    PanelPresence presence;
    int opened = 0;
    RoomsEnvironment env;
    env.presence = &presence;
    if (GetParam().opener)
        env.openNetworkSettings = [&opened] { ++opened; };
    QWidget window;
    auto* placed = new SearchingTile(env, &window);
    SearchingTile& tile = *placed;
    tile.resize(280, 200);
    window.show();
    presence.setShown(true);
    time.advance(10s);
    ASSERT_TRUE(tile.searchedLong());
    EXPECT_EQ(tile.text(), L(u"Nichts gefunden. Ist lokales Netzwerk erlaubt?"_s));
    time.advance(75ms);
    const double early = panelAt(75ms, 300ms);
    EXPECT_NEAR(tile.hintReveal().progress(), early, 0.04);
    EXPECT_NEAR(tile.searchingReveal().progress(), 1 - early, 0.04);
    time.advance(225ms);
    EXPECT_DOUBLE_EQ(tile.hintReveal().opacity(), 1);
    EXPECT_DOUBLE_EQ(tile.searchingReveal().progress(), 0);
    EXPECT_EQ(tile.findChild<QWidget*>(u"text"_s)->isVisibleTo(&tile), false);

    QAbstractButton* button = tile.settingsButton();
    EXPECT_EQ(button != nullptr, GetParam().opener);
    if (button) {
        EXPECT_EQ(button->text(), L(u"Einstellungen öffnen"_s));
        EXPECT_TRUE(button->isVisibleTo(&tile));
        button->click();
        EXPECT_EQ(opened, 1);
    }

    presence.setShown(false); // searching again, back the same way
    time.advance(300ms);
    EXPECT_DOUBLE_EQ(tile.searchingReveal().progress(), 1);
    EXPECT_FALSE(tile.findChild<QWidget*>(u"hint"_s)->isVisibleTo(&tile));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutNetworkSettings, SearchingTileMotion,
                         ::testing::Values(TileCase{true}, TileCase{false}));

} // namespace
