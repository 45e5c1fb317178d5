// The kit's look foundation: ink table and scheme, tiles, text styles and tabular digits, timing
// curves and the hand-stepped driver, the symbol set and bundle icons, the press motion.
#include "protocol/SpeakerModel.h"
#include "support/ManualTime.h"
#include "ui/kit/Blur.h"
#include "ui/kit/BundleIcon.h"
#include "ui/kit/Ink.h"
#include "ui/kit/LayerCache.h"
#include "ui/kit/Motion.h"
#include "ui/kit/OutsetItem.h"
#include "ui/kit/ScaleEffect.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"
#include "ui/kit/Tile.h"
#include "ui/kit/VolumeSlider.h"
#include "ui/kit/WindowWarmUp.h"

#include <QBackingStore>
#include <QFile>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace std::chrono_literals;

namespace {

QImage renderWidget(QWidget& w, double ratio = 1.0) {
    w.ensurePolished();
    if (w.layout())
        w.layout()->activate();
    QImage image(w.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    w.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST(Ink, TableByLevelAndScheme) {
    struct Case {
        InkLevel level;
        Scheme scheme;
        double opacity;
        QRgb base;
    };
    const Case cases[] = {
        {InkLevel::Primary, Scheme::Dark, 0.85, qRgb(255, 255, 255)},
        {InkLevel::Primary, Scheme::Light, 0.85, qRgb(0, 0, 0)},
        {InkLevel::Secondary, Scheme::Dark, 0.62, qRgb(255, 255, 255)},
        {InkLevel::Secondary, Scheme::Light, 0.6, qRgb(0, 0, 0)},
        {InkLevel::Tertiary, Scheme::Dark, 0.4, qRgb(255, 255, 255)},
        {InkLevel::Tertiary, Scheme::Light, 0.4, qRgb(0, 0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(Ink::opacity(c.level, c.scheme), c.opacity);
        const QColor color = Ink::color(c.level, c.scheme);
        EXPECT_EQ(color.rgb(), c.base);
        EXPECT_NEAR(color.alphaF(), c.opacity, 0.002);
    }
}

TEST(Ink, SchemeFollowsTheWidgetsPalette) {
    QWidget dark, light;
    dark.setPalette(Ink::palette(Scheme::Dark));
    light.setPalette(Ink::palette(Scheme::Light));
    EXPECT_EQ(Ink::scheme(&dark), Scheme::Dark);
    EXPECT_EQ(Ink::scheme(&light), Scheme::Light);
    QWidget child(&dark); // children inherit the scheme
    EXPECT_EQ(Ink::scheme(&child), Scheme::Dark);
    EXPECT_EQ(Ink::scheme(nullptr), Scheme::Light); // no appearance at all: light
}

TEST(Tile, EmptyTileIsTwentyFourSquareWithFillAndBorderInside) {
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Dark));
    Tile tile(&root);
    tile.resize(tile.sizeHint());
    EXPECT_EQ(tile.sizeHint(), QSize(24, 24));

    Tile big(&root);
    big.resize(100, 60);
    const QImage image = renderWidget(big);
    EXPECT_NEAR(qAlpha(image.pixel(50, 30)), 15, 1); // primary 0.06
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);         // outside the rounded corner
    // The border adds its own 0.06 along the edge, inside the shape.
    EXPECT_GT(qAlpha(image.pixel(50, 0)), qAlpha(image.pixel(50, 30)));
}

class RedBackdrop : public TileBackdrop {
public:
    void paint(QPainter& painter, const QRectF& rect) override {
        painter.fillRect(rect.adjusted(-10, -10, 10, 10), Qt::red);
    }
};

TEST(Tile, BackdropIsCutAtTheShapeAndLiesUnderTheBorder) {
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Light));
    Tile tile(&root);
    RedBackdrop backdrop;
    tile.setBackdrop(&backdrop);
    tile.resize(100, 60);
    const QImage image = renderWidget(tile);
    EXPECT_EQ(qAlpha(image.pixel(1, 1)), 0);         // cut at the rounded corner
    EXPECT_EQ(image.pixel(50, 30), qRgb(255, 0, 0)); // inside: the backdrop
    const QColor edge = image.pixelColor(50, 0);     // border drawn over it, darker
    EXPECT_LT(edge.red(), 255);

    auto* content = new QWidget;
    content->setFixedSize(50, 20);
    tile.column()->addWidget(content);
    EXPECT_EQ(tile.sizeHint(), QSize(74, 44)); // content plus 12 on each edge
}

TEST(Tile, OutsetItemReachesIntoThePadding) {
    // The volume row: a capsule 7 beyond the content column on both sides and below, 3 into
    // the slot above, inside a tile's 12-point padding.
    Tile tile;
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    tile.column()->addLayout(row);
    auto* capsule = new QWidget;
    capsule->setMinimumHeight(30 + 7 - 3);
    capsule->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    OutsetItem::add(row, capsule, QMargins(7, -3, 7, 7), 1);
    tile.resize(336, tile.sizeHint().height());
    tile.layout()->activate();
    EXPECT_EQ(tile.height(), 12 + 30 + 12);
    EXPECT_EQ(capsule->geometry(), QRect(5, 12 + 3, 336 - 10, 30 - 3 + 7));
}

TEST(Motion, CurvesMatchTheCubicsAtSamplePoints) {
    const QEasingCurve panel = Motion::panelCurve();
    const QEasingCurve hover = Motion::hoverCurve();
    const double xs[] = {0.05, 0.1, 0.25, 0.5, 0.75};
    const double panelY[] = {0.20977, 0.39812, 0.77539, 0.96598, 0.99736};
    const double hoverY[] = {0.03296, 0.09480, 0.40849, 0.80241, 0.96046};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(panel.valueForProgress(xs[i]), panelY[i], 2e-4) << xs[i];
        EXPECT_NEAR(hover.valueForProgress(xs[i]), hoverY[i], 2e-4) << xs[i];
    }
    EXPECT_DOUBLE_EQ(panel.valueForProgress(1.0), 1.0);
    EXPECT_EQ(Motion::hover, 200ms);
    EXPECT_EQ(Motion::press, 120ms);
}

TEST(Motion, HandSteppedDriverAdvancesAnimationsExactly) {
    test::ManualTime time;
    QObject owner;
    QVariantAnimation* running = nullptr;
    QList<double> seen;
    double value = 0;
    Motion::animate(&owner, running, 0, 1, 200ms, Motion::panelCurve(), [&](double v) { value = v; });
    for (int i = 0; i < 4; ++i) {
        time.advance(50ms);
        seen << value;
    }
    ASSERT_EQ(seen.size(), 4);
    EXPECT_NEAR(seen[0], 0.7754, 2e-3);
    EXPECT_NEAR(seen[1], 0.9660, 2e-3);
    EXPECT_NEAR(seen[2], 0.9974, 2e-3);
    EXPECT_DOUBLE_EQ(seen[3], 1.0);
    EXPECT_EQ(running, nullptr);

    // A second animation after a pause counts from its own start, not from the gap.
    time.advance(1000ms);
    Motion::animate(&owner, running, 0, 1, 200ms, Motion::panelCurve(), [&](double v) { value = v; });
    time.advance(50ms);
    EXPECT_NEAR(value, 0.7754, 2e-3);
}

TEST(TextStyles, InterAtPixelSizesWithTabularDigits) {
    const QFont caption = Type::font(TextStyle::Caption, QFont::DemiBold);
    EXPECT_EQ(caption.pixelSize(), 10);
    EXPECT_EQ(QFontInfo(caption).family(), QStringLiteral("Inter"));
    EXPECT_EQ(Type::font(TextStyle::Body).pixelSize(), 13);
    EXPECT_EQ(Type::font(TextStyle::Callout).pixelSize(), 12);
    EXPECT_EQ(Type::font(TextStyle::Subheadline).pixelSize(), 11);
    EXPECT_EQ(Type::font(TextStyle::Title3).pixelSize(), 15);
    // Every digit takes the same cell, so numbers do not jitter as they change.
    EXPECT_DOUBLE_EQ(Type::tabularWidth(caption, QStringLiteral("111")),
                     Type::tabularWidth(caption, QStringLiteral("888")));
    EXPECT_DOUBLE_EQ(Type::tabularWidth(caption, QStringLiteral("10:01")),
                     Type::tabularWidth(caption, QStringLiteral("48:48")));
}

TEST(TextStyles, TabularDigitsLookLikeTextDrawnOneCharacterAtATime) {
    // The glyphs are looked up once per font; the picture must be the one of shaped text.
    const QFont font = Type::system(10, QFont::Medium);
    const auto draw = [&](bool shaped, double ratio) {
        QImage image(QSize(80, 20) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::black);
        QPainter painter(&image);
        painter.setPen(QColor(200, 200, 200));
        const QString text = QStringLiteral("1:07:38 min");
        if (!shaped) {
            Type::drawTabular(painter, QPointF(3.25, 14), font, text);
            return image;
        }
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        double x = 3.25;
        for (const QChar c : text) {
            const double advance = metrics.horizontalAdvance(c);
            const double cell = c.isDigit() ? Type::digitCell(font) : advance;
            painter.drawText(QPointF(x + (cell - advance) / 2, 14), QString(c));
            x += cell;
        }
        return image;
    };
    for (const double ratio : {1.0, 2.0}) {
        const QImage expected = draw(true, ratio);
        EXPECT_EQ(draw(false, ratio), expected) << ratio;
        EXPECT_EQ(draw(false, ratio), expected) << ratio; // again, from the table
    }
}

TEST(LayerCache, RedrawsOnlyWhenTheKeyChangesAndNeverUnderAScale) {
    LayerCache cache;
    int paints = 0;
    QImage target(QSize(20, 20), QImage::Format_ARGB32_Premultiplied);
    const auto draw = [&](const LayerKey& key, const QColor& colour) {
        target.fill(Qt::transparent);
        QPainter painter(&target);
        cache.draw(painter, QSizeF(10, 10), key, [&](QPainter& p) {
            ++paints;
            p.fillRect(QRectF(0, 0, 10, 10), colour);
        });
    };
    draw(LayerKey() << QStringLiteral("a") << 1.0, Qt::red);
    draw(LayerKey() << QStringLiteral("a") << 1.0, Qt::red);
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(target.pixel(5, 5), qRgb(255, 0, 0));
    // Any value that differs is a new picture, also where the bytes would run together.
    draw(LayerKey() << QStringLiteral("a") << 2.0, Qt::green);
    EXPECT_EQ(paints, 2);
    EXPECT_EQ(target.pixel(5, 5), qRgb(0, 255, 0));
    draw(LayerKey() << QStringLiteral("ab") << QStringLiteral(""), Qt::blue);
    draw(LayerKey() << QStringLiteral("a") << QStringLiteral("b"), Qt::blue);
    EXPECT_EQ(paints, 4);
    // Under a scale the drawing goes straight to the painter, in the painter's coordinates.
    target.fill(Qt::transparent);
    QPainter painter(&target);
    painter.scale(2, 2);
    cache.draw(painter, QSizeF(10, 10), LayerKey() << QStringLiteral("a") << QStringLiteral("b"),
               [&](QPainter& p) {
                   ++paints;
                   p.fillRect(QRectF(0, 0, 10, 10), Qt::yellow);
               });
    painter.end();
    EXPECT_EQ(paints, 5);
    EXPECT_EQ(target.pixel(19, 19), qRgb(255, 255, 0));
}

TEST(Blur, SpotSpreadsAlikeAlongRowsAndColumnsAndKeepsItsWeight) {
    // Wider than high, the spot off the middle: the passes down the columns and along the rows
    // work on the image turned on its side, so any mix-up of the two shows.
    QImage dot(41, 23, QImage::Format_ARGB32_Premultiplied);
    dot.fill(Qt::transparent);
    const int cx = 17, cy = 11;
    for (int y = cy - 1; y <= cy + 1; ++y)
        for (int x = cx - 1; x <= cx + 1; ++x)
            reinterpret_cast<QRgb*>(dot.scanLine(y))[x] = qRgba(200, 100, 40, 255);
    QImage out;
    Blur::boxes(dot, 2.5, out);
    ASSERT_EQ(out.size(), dot.size());
    const auto at = [&out](int x, int y) { return reinterpret_cast<const QRgb*>(out.constScanLine(y))[x]; };
    double weight = 0;
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = at(x, y);
            weight += qAlpha(p);
            ASSERT_LE(qRed(p), qAlpha(p)) << x << "," << y; // still premultiplied
            ASSERT_LE(qGreen(p), qRed(p)) << x << "," << y;
        }
    EXPECT_NEAR(weight, 9 * 255, 9 * 255 * 0.05);
    for (int d = 1; d <= 8; ++d) {
        EXPECT_EQ(qAlpha(at(cx + d, cy)), qAlpha(at(cx - d, cy))) << d;
        EXPECT_EQ(qAlpha(at(cx, cy + d)), qAlpha(at(cx, cy - d))) << d;
        EXPECT_NEAR(qAlpha(at(cx + d, cy)), qAlpha(at(cx, cy + d)), 2) << d;
        EXPECT_LE(qAlpha(at(cx + d, cy)), qAlpha(at(cx + d - 1, cy))) << d;
    }
    EXPECT_GT(qAlpha(at(cx, cy)), qAlpha(at(cx + 3, cy)));
    EXPECT_EQ(qAlpha(at(cx + 12, cy)), 0); // three boxes of at most 2 on each side reach 7 away
}

TEST(WindowWarmUp, HiddenWindowOpensOnTheStoreItWasGivenAndChildrenStayPlain) {
    QWidget window;
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.resize(120, 80);
    auto* child = new QWidget(&window);
    WindowWarmUp::prepare(child); // not a window: nothing happens to it
    EXPECT_FALSE(child->testAttribute(Qt::WA_NativeWindow));
    WindowWarmUp::prepare(&window);
    ASSERT_NE(window.backingStore(), nullptr);
    EXPECT_EQ(window.backingStore()->size(), QSize(120, 80));
    EXPECT_FALSE(window.isVisible());
    const auto* image = dynamic_cast<QImage*>(window.backingStore()->paintDevice());
    ASSERT_NE(image, nullptr);
    const uchar* prepared = image->constBits();
    window.show();
    QCoreApplication::processEvents();
    window.repaint();
    // The first frame paints into the prepared store: it was not allocated anew.
    EXPECT_EQ(dynamic_cast<QImage*>(window.backingStore()->paintDevice())->constBits(), prepared);
    EXPECT_FALSE(child->testAttribute(Qt::WA_NativeWindow));
}

// The largest difference of two pictures of one size in any channel of any pixel.
int largestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            largest =
                std::max({largest, std::abs(qRed(p[x]) - qRed(q[x])), std::abs(qGreen(p[x]) - qGreen(q[x])),
                          std::abs(qBlue(p[x]) - qBlue(q[x])), std::abs(qAlpha(p[x]) - qAlpha(q[x]))});
    }
    return largest;
}

TEST(LayerCache, KeepsTextOnlyOnATranslucentGroundAndThenLooksTheSame) {
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Light));
    auto* slider = new VolumeSlider(30, &root);
    slider->setValue(37);
    slider->resize(160, 30);
    QWidget elsewhere;
    EXPECT_FALSE(LayerCache::keepsText(slider));
    const auto picture = [slider](QColor ground) {
        QImage image(QSize(160, 30) * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(ground);
        slider->render(&image);
        return image;
    };
    const QColor translucent(255, 255, 255, 102); // the light surface of the panel
    const QImage direct = picture(translucent);
    LayerCache::setTranslucentGround(&root, true);
    EXPECT_TRUE(LayerCache::keepsText(slider));
    EXPECT_FALSE(LayerCache::keepsText(&elsewhere));
    // Copied from its layer, the slider and its digits come out as drawn straight, to the level
    // (on an opaque ground the digits would differ by up to 40 levels).
    EXPECT_LE(largestDifference(picture(translucent), direct), 1);
    LayerCache::setTranslucentGround(&root, false);
    EXPECT_FALSE(LayerCache::keepsText(slider));
}

TEST(SymbolSet, HoldsEverySymbolTheViewsAndTheModelLookupName) {
    QStringList wanted;
    for (const char* name : {"play.fill",
                             "pause.fill",
                             "forward.fill",
                             "backward.fill",
                             "minus",
                             "plus",
                             "moon.fill",
                             "person.wave.2.fill",
                             "checkmark",
                             "xmark",
                             "chevron.right",
                             "chevron.up.chevron.down",
                             "arrow.up.right",
                             "pencil",
                             "exclamationmark.circle",
                             "tv.fill",
                             "music.note",
                             "speaker.wave.1",
                             "speaker.wave.1.fill",
                             "speaker.wave.3",
                             "speaker.wave.3.fill",
                             "speaker.slash.fill",
                             "arrow.left.arrow.right",
                             "arrow.up.arrow.down",
                             "arrow.counterclockwise",
                             "space",
                             "return",
                             "command"})
        wanted << QString::fromLatin1(name);
    for (const char* model :
         {"Amp", "Arc", "Beam", "Sub", "Move", "Roam", "Five", "Era 300", "Play:1", "One"})
        wanted << SpeakerModel::symbol(QString::fromLatin1(model));
    wanted << SpeakerModel::symbol(std::nullopt);
    for (const QString& name : wanted)
        EXPECT_TRUE(Symbols::exists(name)) << name.toStdString();
    EXPECT_FALSE(Symbols::exists(QStringLiteral("no.such.symbol")));
}

TEST(SymbolSet, GlyphsTakeTheInkColour) {
    QImage image(QSize(32, 32), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    ASSERT_TRUE(
        Symbols::paint(painter, QRectF(0, 0, 16, 16), QStringLiteral("pause.fill"), QColor(255, 0, 0)));
    EXPECT_FALSE(Symbols::paint(painter, QRectF(0, 0, 16, 16), QStringLiteral("nope"), Qt::red));
    painter.end();
    // The left bar of the pause glyph, fully inside: pure ink.
    EXPECT_EQ(image.pixel(10, 16), qRgb(255, 0, 0));
    EXPECT_EQ(qAlpha(image.pixel(16, 16)), 0); // gap between the bars
}

TEST(SymbolSet, ButtonsAtRestShowTheirCurrentSymbolAndInk) {
    // A button at rest is copied from a layer: each change must show, never an old picture.
    SymbolButton button(QStringLiteral("play.fill"), QSizeF(16, 16));
    button.resize(button.sizeHint());
    const QImage play = renderWidget(button, 2);
    EXPECT_EQ(renderWidget(button, 2), play);
    button.setSymbol(QStringLiteral("pause.fill"));
    const QImage pause = renderWidget(button, 2);
    EXPECT_NE(pause, play);
    SymbolButton fresh(QStringLiteral("pause.fill"), QSizeF(16, 16));
    fresh.resize(fresh.sizeHint());
    EXPECT_EQ(renderWidget(fresh, 2), pause);
    button.setRestLevel(InkLevel::Tertiary);
    EXPECT_NE(renderWidget(button, 2), pause);
    button.setSymbol(QStringLiteral("play.fill"));
    button.setRestLevel(InkLevel::Primary);
    EXPECT_EQ(renderWidget(button, 2), play);
}

TEST(BundleIcons, EveryNamedIconLoadsOnceAndAMissTakesNoSpace) {
    for (const char* name :
         {"menubar", "menubar-idle", "airplay", "quit", "sleep", "more", "ci-check-circle", "ci-arrow-left",
          "ci-arrow-right", "ci-checkmark", "ci-play", "ci-speaker", "ci-airplay-audio"})
        EXPECT_NE(BundleIcon::image(QString::fromLatin1(name)), nullptr) << name;
    BundleIcon small(QStringLiteral("quit"), 11), large(QStringLiteral("quit"), 16);
    EXPECT_EQ(small.sizeHint(), QSize(11, 11));
    EXPECT_EQ(large.sizeHint(), QSize(16, 16));
    EXPECT_EQ(BundleIcon::image(QStringLiteral("quit")), BundleIcon::image(QStringLiteral("quit")));

    BundleIcon missing(QStringLiteral("no-such-icon"), 16);
    EXPECT_EQ(missing.sizeHint(), QSize(0, 0));
    EXPECT_EQ(BundleIcon::image(QStringLiteral("no-such-icon")), nullptr);
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/tamber.svg"))); // the program's own icon
}

class Probe : public SymbolButton {
public:
    using SymbolButton::SymbolButton;
    double paintedScale = 1;
};

TEST(Pressable, PressShrinksToPointNineSixAndReturnsWithThePanelCurve) {
    test::ManualTime time;
    QWidget root;
    Probe button(QStringLiteral("play.fill"), QSizeF(20, 20), &root);
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    button.resize(button.sizeHint());
    button.setDown(true);
    emit button.pressed();
    time.advance(30ms);
    EXPECT_NEAR(button.pressProgress(), Motion::panelCurve().valueForProgress(0.25), 0.02);
    // Released before the press finished: it returns from where it was, over 0.12 s.
    emit button.released();
    time.advance(120ms);
    EXPECT_DOUBLE_EQ(button.pressProgress(), 0.0);
    button.setDown(false);
    button.click();
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.autoRepeat());
}

// A child widget (a cover beside painted text) shrinks with the content, about the button's
// centre; a popup of the button and a child with an effect of its own are left alone.
TEST(Pressable, ChildWidgetsShrinkAboutTheButtonsCentre) {
    test::ManualTime time;
    QWidget root;
    Probe button(QStringLiteral("play.fill"), QSizeF(60, 20), &root);
    button.resize(100, 40);
    auto* cover = new QWidget(&button);
    cover->setGeometry(10, 10, 20, 20);
    auto* faded = new QWidget(&button);
    auto* own = new QGraphicsOpacityEffect;
    faded->setGraphicsEffect(own);
    auto* popup = new QWidget(&button, Qt::Popup);

    button.setDown(true);
    emit button.pressed();
    time.advance(200ms);
    auto* effect = qobject_cast<ScaleEffect*>(cover->graphicsEffect());
    ASSERT_TRUE(effect);
    EXPECT_DOUBLE_EQ(effect->scale(), Motion::pressScale);
    // The button's centre (50, 20) in the cover's coordinates.
    EXPECT_EQ(effect->anchor(), QPointF(40, 10));
    EXPECT_EQ(faded->graphicsEffect(), own);
    EXPECT_FALSE(popup->graphicsEffect());

    emit button.released();
    time.advance(200ms);
    EXPECT_FALSE(cover->graphicsEffect()); // at rest it paints directly again
}

} // namespace
