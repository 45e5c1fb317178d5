// The footer in render mode (its own executable: render mode is set once and never cleared):
// drawn switches in place of the real ones, the login switch drawn from the amount the renderer
// sets, and neither the accessibility notice nor the volume display's preview.
#include "core/RenderMode.h"
#include "support/FakeFooterSettings.h"
#include "support/ManualTime.h"
#include "ui/kit/HUDPreview.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/rooms/DrawnSwitch.h"
#include "ui/rooms/FooterRowFrame.h"
#include "ui/rooms/KeyboardFooter.h"
#include "ui/rooms/MiniSwitch.h"

#include <QDir>
#include <QEnterEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

constexpr double ratio = 2;

class RenderModeFooter : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RenderMode::setActive(); }
    void SetUp() override {
        settings.trusted = false; // would show the notice outside render mode
        focus.setShortcutsOpen(true);
    }
    void TearDown() override { RenderMode::setLogin(1); }

    // The switch drawn alone at ratio 2 on the panel's ground of `scheme`.
    static QImage draw(DrawnSwitch& drawn, Scheme scheme) {
        drawn.setPalette(Ink::palette(scheme));
        QImage image(drawn.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Ink::palette(scheme).color(QPalette::Window));
        QPainter painter(&image);
        drawn.render(&painter);
        return image;
    }
    // How much bluer than red the picture is at a point given in points.
    static int blueness(const QImage& image, double x, double y) {
        const QColor c = image.pixelColor(int(x * ratio), int(y * ratio));
        return c.blue() - c.red();
    }
    static bool white(const QImage& image, double x, double y) {
        const QColor c = image.pixelColor(int(x * ratio), int(y * ratio));
        return std::min({c.red(), c.green(), c.blue()}) > 235;
    }

    test::ManualTime time;
    test::FooterEnvironment fixture;
    KeyboardFocus& focus = fixture.focus;
    test::FakeFooterSettings& settings = fixture.settings;
    RoomsEnvironment& env = fixture.env;
};

TEST_F(RenderModeFooter, ShowsNoNoticeNoPreviewAndDrawnSwitches) {
    settings.setVolumeKeys(false); // the picture shows it on whatever is stored
    settings.setVolumeKeys(true);
    KeyboardFooter footer(env);
    footer.show();
    EXPECT_FALSE(footer.accessibilityNoticeShown());
    EXPECT_FALSE(footer.findChild<QWidget*>(u"accessibilityNotice"_s)->isVisibleTo(&footer));
    EXPECT_EQ(footer.findChild<MiniSwitch*>(), nullptr);
    EXPECT_NE(footer.findChild<DrawnSwitch*>(u"volumeKeys"_s), nullptr);
    EXPECT_NE(footer.findChild<DrawnSwitch*>(u"login"_s), nullptr);

    QWidget* row = footer.rowFrame(FooterRow::volumeKeys);
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(row, &enter);
    time.advance(700ms);
    EXPECT_FALSE(footer.findChild<HUDPreview*>()->isVisibleTo(&footer));
}

TEST_F(RenderModeFooter, TheVolumeKeysSwitchIsDrawnOn) {
    settings.setVolumeKeys(false);
    KeyboardFooter footer(env);
    auto* drawn = footer.findChild<DrawnSwitch*>(u"volumeKeys"_s);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->size(), QSize(26, 15));
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        const QImage image = draw(*drawn, scheme);
        EXPECT_GT(blueness(image, 4, 7.5), 200);  // the accent track
        EXPECT_TRUE(white(image, 18.5, 7.5));     // the knob over the trailing end
        EXPECT_GT(blueness(image, 18.5, 1), 200); // inset 1.5 from the top: track above the knob
        EXPECT_GT(blueness(image, 25, 7.5), 150); // and 1.5 of track beyond its end
    }
}

TEST_F(RenderModeFooter, TheLoginSwitchFollowsTheRenderersAmount) {
    KeyboardFooter footer(env);
    auto* drawn = footer.findChild<DrawnSwitch*>(u"login"_s);
    ASSERT_TRUE(drawn);
    struct Case {
        double amount;
        double knobCentre; // 1.5 + 11 p + 6
        double trackX;     // a point of the track the knob leaves free
        int minBlue;
        int maxBlue;
    };
    const Case cases[] = {
        {0, 7.5, 22, -10, 10},   // off: the faint capsule only
        {0.5, 13, 3.5, 80, 180}, // half: the accent at half strength
        {1, 18.5, 4, 220, 255},  // on: the accent
    };
    for (const Case& c : cases) {
        RenderMode::setLogin(c.amount);
        const QImage image = draw(*drawn, Scheme::Dark);
        EXPECT_TRUE(white(image, c.knobCentre, 7.5)) << c.amount;
        const int blue = blueness(image, c.trackX, 7.5);
        EXPECT_GE(blue, c.minBlue) << c.amount;
        EXPECT_LE(blue, c.maxBlue) << c.amount;
    }
    // The knob's free side at half: 5.5 points moved, so the point just before it is track.
    RenderMode::setLogin(0.5);
    const QImage half = draw(*drawn, Scheme::Dark);
    EXPECT_FALSE(white(half, 6.5, 7.5));
    EXPECT_TRUE(white(half, 8, 7.5));
}

TEST_F(RenderModeFooter, DrawsTheExpandedFooterInBothSchemes) {
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    focus.setHintsOpen(true);
    RenderMode::setLogin(1); // as render mode starts: both switches on
    for (Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        QWidget tile;
        tile.setPalette(Ink::palette(scheme));
        tile.setAutoFillBackground(true);
        auto* column = new QVBoxLayout(&tile);
        column->setContentsMargins(0, 0, 0, 0); // the footer holds the panel's padding itself
        column->addWidget(new KeyboardFooter(env));
        tile.resize(320, tile.sizeHint().height());
        tile.show();
        QImage image(tile.size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        tile.render(&image);
        const QString name = scheme == Scheme::Dark ? u"dark"_s : u"light"_s;
        EXPECT_TRUE(
            image.save(QStringLiteral(TAMBER_ARTIFACTS_DIR "/rooms-footer-render-") + name + u".png"_s));
    }
}

} // namespace
