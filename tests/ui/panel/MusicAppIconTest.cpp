// The music apps' icons: a path or a theme name from the entry; in render mode each is drawn
// once into 72 × 72 pixels shown at 18 × 18 points. Render mode cannot be left again, so this
// runs in an executable of its own.
#include "core/RenderMode.h"
#include "ui/panel/MusicAppShortcuts.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(MusicAppIcon, AFileIconAsItIsAndRasterisedInRenderMode) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage picture(256, 256, QImage::Format_ARGB32);
    picture.fill(QColor(30, 215, 96));
    const QString path = dir.filePath(u"app.png"_s);
    ASSERT_TRUE(picture.save(path));
    const DesktopApp entry{u"app.desktop"_s, {}, path, u"app"_s, {}};

    EXPECT_TRUE(MusicAppShortcuts::iconOf(DesktopApp{}).isNull());
    const QIcon plain = MusicAppShortcuts::iconOf(entry);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(plain.availableSizes(), QList<QSize>{QSize(256, 256)});

    RenderMode::setActive();
    const QIcon drawn = MusicAppShortcuts::iconOf(entry);
    ASSERT_EQ(drawn.availableSizes().size(), 1);
    const QPixmap pixmap = drawn.pixmap(QSize(18, 18), 4.0);
    EXPECT_EQ(pixmap.size(), QSize(72, 72));
    EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), 4.0);
    EXPECT_EQ(pixmap.toImage().pixelColor(36, 36), QColor(30, 215, 96));
    // A missing file stays an icon without pictures rather than an empty bitmap.
    EXPECT_TRUE(
        MusicAppShortcuts::iconOf(DesktopApp{u"x.desktop"_s, {}, dir.filePath(u"none.png"_s), u"x"_s, {}})
            .pixmap(QSize(18, 18), 4.0)
            .isNull());
}

} // namespace
