// Artwork in render mode (its own executable: render mode is set once and never cleared): any
// URL shows the drawn demo picture without loading it; no URL shows the placeholder after the
// grace period.
#include "core/RenderMode.h"
#include "support/ManualTime.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/CoverImage.h"

#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

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
    const QColor top = image.pixelColor(50, 10); // the demo picture's warm sky
    EXPECT_GT(top.red(), 200);
    EXPECT_GT(top.alpha(), 250);

    art.setUrl(std::nullopt);
    time.advance(1600ms);
    EXPECT_TRUE(art.cover().missing());
}

} // namespace
