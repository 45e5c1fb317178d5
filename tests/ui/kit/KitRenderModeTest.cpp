// Artwork in render mode (its own executable: render mode is set once and never cleared): any
// URL shows the drawn demo picture without loading it; no URL shows the placeholder after the
// grace period. Text is never kept in layers for a still.
#include "core/RenderMode.h"
#include "support/ManualTime.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/CoverImage.h"
#include "ui/kit/LayerCache.h"

#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

TEST(RenderModeArtwork, AnyUrlShowsTheDemoPictureAndNothingIsFetched) {
    RenderMode::setActive();
    test::ManualTime time;
    QTcpServer server; // would see a connection if anything were fetched
    ASSERT_TRUE(server.listen(QHostAddress(QStringLiteral(TAMBER_TEST_NET ".1"))));
    Artwork art(50);
    art.resize(art.sizeHint());
    art.setUrl(QUrl(QStringLiteral("http://" TAMBER_TEST_NET ".1:%1/cover.png").arg(server.serverPort())));
    QTest::qWait(50);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_FALSE(art.cover().loading());
    QImage image(QSize(100, 100), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    art.render(&image);
    // The 256-point picture scaled to 50 points: its upper left is the warm end of the
    // gradient, the disc centred at (173, 83) of the picture is near white.
    const QColor warm = image.pixelColor(20, 20);
    EXPECT_GT(warm.red(), 180);
    EXPECT_GT(warm.red() - warm.blue(), 50);
    EXPECT_GT(warm.alpha(), 250);
    const QColor disc = image.pixelColor(68, 32);
    EXPECT_GT(std::min({disc.red(), disc.green(), disc.blue()}), 220);

    art.setUrl(std::nullopt);
    time.advance(1600ms);
    EXPECT_TRUE(art.cover().missing());
}

TEST(RenderModeLayers, StillsNeverKeepTextInLayers) {
    RenderMode::setActive();
    QWidget root;
    auto* part = new QWidget(&root);
    LayerCache::setTranslucentGround(&root, true);
    EXPECT_FALSE(LayerCache::keepsText(part)); // a still's surface is opaque
}

} // namespace
