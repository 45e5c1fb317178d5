// The volume display on the offscreen platform with hand-stepped time: how long it stays,
// its fade and a press during the fade, where it goes, what it announces, the card's mute
// mark, the settings preview's loop; and pictures of the card in both schemes.
#include "app/VolumeHUD.h"
#include "core/Texts.h"
#include "support/ManualTime.h"
#include "ui/kit/HUDPreview.h"
#include "ui/kit/HUDView.h"
#include "ui/kit/Ink.h"
#include "ui/kit/MutedMark.h"
#include "ui/kit/VolumeSlider.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class VolumeHUDTest : public ::testing::Test {
protected:
    VolumeHUDTest() {
        hud.announce = [this](const QString& text) { announced << text; };
        hud.screenArea = [this] { return area; };
    }

    test::ManualTime time;
    VolumeHUD hud;
    QStringList announced;
    std::optional<QRect> area = QRect(0, 0, 1280, 800);
};

} // namespace

TEST_F(VolumeHUDTest, PressesHalfASecondApartKeepItShownThenItFadesAndGoes) {
    for (int i = 0; i < 3; ++i) {
        hud.show(std::nullopt, 40 + i, false);
        time.advance(500ms);
        EXPECT_TRUE(hud.isVisible());
        EXPECT_DOUBLE_EQ(hud.opacity(), 1.0);
    }
    // 0.5 s after the third press: 0.7 s more before the fade begins.
    time.advance(690ms);
    EXPECT_FALSE(hud.fading());
    EXPECT_DOUBLE_EQ(hud.opacity(), 1.0);
    time.advance(20ms);
    EXPECT_TRUE(hud.fading());
    time.advance(120ms);
    EXPECT_LT(hud.opacity(), 1.0);
    EXPECT_GT(hud.opacity(), 0.0);
    EXPECT_TRUE(hud.isVisible());
    time.advance(150ms);
    EXPECT_FALSE(hud.isVisible());
}

TEST_F(VolumeHUDTest, APressDuringTheFadeBringsItBackAndTheOldTimerHidesNothing) {
    hud.show(std::nullopt, 40, false);
    time.advance(1300ms);
    ASSERT_TRUE(hud.fading());
    hud.show(std::nullopt, 44, false);
    EXPECT_FALSE(hud.fading());
    EXPECT_DOUBLE_EQ(hud.opacity(), 1.0);
    time.advance(1000ms);
    EXPECT_TRUE(hud.isVisible());
    EXPECT_DOUBLE_EQ(hud.opacity(), 1.0);
    time.advance(500ms);
    EXPECT_FALSE(hud.isVisible());
}

TEST_F(VolumeHUDTest, SitsCentredWithTheCard80PointsAboveTheFreeAreasBottom) {
    EXPECT_EQ(hud.size(), QSize(316, 108));
    hud.show(std::nullopt, 10, false);
    // Card bottom = window bottom − 28 = 800 − 80.
    EXPECT_EQ(hud.pos(), QPoint(640 - 158, 800 - 80 + 28 - 108));
    EXPECT_EQ(VolumeHUD::placement(QRect(100, 30, 1000, 700), QSize(316, 108)),
              QPoint(600 - 158, 730 - 52 - 108));
    // Without a screen the window stays where it was.
    area.reset();
    hud.show(std::nullopt, 12, false);
    EXPECT_EQ(hud.pos(), QPoint(640 - 158, 800 - 80 + 28 - 108));
    EXPECT_EQ(hud.view().volume(), 12);
    EXPECT_EQ(announced.size(), 2);
}

TEST_F(VolumeHUDTest, AnnouncesTheVolumeOrMuteAndDimsTheBarWhileMuted) {
    hud.show(std::nullopt, 40, false);
    hud.show(std::nullopt, 0, true);
    EXPECT_EQ(announced, QStringList({L(QStringLiteral("Lautstärke")) + QStringLiteral(" 40"),
                                      L(QStringLiteral("Stumm"))}));
    EXPECT_EQ(VolumeHUD::announcement(40, false), QStringLiteral("Volume 40"));
    EXPECT_EQ(VolumeHUD::announcement(7, true), QStringLiteral("Mute"));
    EXPECT_DOUBLE_EQ(hud.view().sliderOpacity(), 0.4);
    EXPECT_TRUE(hud.view().mark()->isVisibleTo(&hud));
    hud.show(std::nullopt, 5, false);
    EXPECT_DOUBLE_EQ(hud.view().sliderOpacity(), 1.0);
    EXPECT_FALSE(hud.view().mark()->isVisibleTo(&hud));
}

TEST_F(VolumeHUDTest, TheSameArtworkIsNotAssignedAgain) {
    const QUrl art(QStringLiteral("http://127.0.0.1:1/art.jpg"));
    hud.show(art, 40, false);
    const Artwork* artwork = hud.view().artwork();
    EXPECT_EQ(hud.view().art(), art);
    hud.show(QUrl(QStringLiteral("http://127.0.0.1:1/art.jpg")), 44, false);
    EXPECT_EQ(hud.view().artwork(), artwork);
    EXPECT_EQ(hud.view().art(), art);
    hud.show(std::nullopt, 48, false);
    EXPECT_FALSE(hud.view().art().has_value());
}

TEST(MutedMarkTest, TheFillReachesTheMarkOnlyAtHighVolumes) {
    const double w = 192;
    const double h = 22;
    const QRectF mark = MutedMark::markRect(w, h);
    EXPECT_DOUBLE_EQ(mark.right(), w - 8);
    EXPECT_DOUBLE_EQ(MutedMark::fill(0, w, h), h);
    EXPECT_LT(MutedMark::fill(0, w, h), mark.left());
    EXPECT_DOUBLE_EQ(MutedMark::fill(100, w, h), w);
    EXPECT_GT(MutedMark::fill(100, w, h), mark.right());
    EXPECT_DOUBLE_EQ(MutedMark::fill(49, w, h), VolumeSlider::fillWidth(49, w, h));
}

TEST(HUDPreviewTest, TheLoopStepsThreeUpAndThreeDownFromTheClampedBase) {
    const struct {
        double t;
        int from95;
        int fromMinus5;
        bool up;
        bool down;
        double v;
    } frames[] = {
        {0.0, 88, 0, false, false, 0},   {0.5, 92, 4, true, false, 0},     {0.65, 92, 4, false, false, 1},
        {0.56, 92, 4, true, false, 0.5}, {0.62, 92, 4, true, false, 1},    {0.8, 96, 8, true, false, 1},
        {1.1, 100, 12, true, false, 1},  {1.25, 100, 12, false, false, 1}, {2.3, 96, 8, false, true, 1},
        {2.9, 88, 0, false, true, 1},    {4.1, 88, 0, false, false, 1},    {4.225, 88, 0, false, false, 0.5},
        {4.35, 88, 0, false, false, 0},  {4.79, 88, 0, false, false, 0},
    };
    for (const auto& f : frames) {
        EXPECT_EQ(HUDPreview::volumeAt(f.t, 95), f.from95) << f.t;
        EXPECT_EQ(HUDPreview::volumeAt(f.t, -5), f.fromMinus5) << f.t;
        EXPECT_EQ(HUDPreview::upPressedAt(f.t), f.up) << f.t;
        EXPECT_EQ(HUDPreview::downPressedAt(f.t), f.down) << f.t;
        EXPECT_NEAR(HUDPreview::visibilityAt(f.t), f.v, 1e-9) << f.t;
    }
    EXPECT_NEAR(HUDPreview::loopTime(9.7, false), 0.1, 1e-9);
    // Reduced motion: one still frame after the three up taps, card fully shown, no key down.
    const double still = HUDPreview::loopTime(9.7, true);
    EXPECT_EQ(HUDPreview::volumeAt(still, 30), 42);
    EXPECT_DOUBLE_EQ(HUDPreview::visibilityAt(still), 1);
    EXPECT_FALSE(HUDPreview::upPressedAt(still) || HUDPreview::downPressedAt(still));
}

TEST(VolumeHUDPictures, TheCardInBothSchemes) {
    test::ManualTime time;
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    for (const Scheme scheme : {Scheme::Dark, Scheme::Light}) {
        VolumeHUD hud;
        hud.announce = [](const QString&) {};
        hud.setPalette(Ink::palette(scheme));
        HUDPreview preview;
        preview.setPalette(Ink::palette(scheme));
        preview.setBase(40);
        preview.resize(240, preview.sizeHint().height());
        QImage sheet(QSize(316 * 2 + 240 + 40, 2 * 108 + 20) * 2, QImage::Format_ARGB32_Premultiplied);
        sheet.setDevicePixelRatio(2);
        sheet.fill(scheme == Scheme::Dark ? QColor(60, 60, 66) : QColor(200, 204, 210));
        QPainter painter(&sheet);
        const struct {
            int volume;
            bool muted;
            QPoint at;
        } cards[] = {
            {40, false, {0, 0}}, {100, false, {316, 0}}, {0, true, {0, 118}}, {100, true, {316, 118}}};
        for (const auto& c : cards) {
            hud.show(std::nullopt, c.volume, c.muted);
            time.advance(400ms);
            hud.render(&painter, c.at);
        }
        preview.showTime(1.2);
        time.advance(400ms);
        preview.render(&painter, QPoint(316 * 2 + 20, 0));
        painter.end();
        const QString name = scheme == Scheme::Dark ? QStringLiteral("volume-display-dark.png")
                                                    : QStringLiteral("volume-display-light.png");
        EXPECT_TRUE(sheet.save(QStringLiteral(TAMBER_ARTIFACTS_DIR) + QLatin1Char('/') + name));
    }
}
