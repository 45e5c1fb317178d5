// The rendered sheet of the kit for reviewers: every symbol and bundle icon, and every control,
// in both schemes at device pixel ratio 2, written to build/artifacts/ (not compared).
#include "support/ManualTime.h"
#include "support/PointerEvents.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/BlurFade.h"
#include "ui/kit/BundleIcon.h"
#include "ui/kit/CoverImage.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/RouteButton.h"
#include "ui/kit/SoundToggle.h"
#include "ui/kit/StatusDot.h"
#include "ui/kit/StepButton.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TVArtwork.h"
#include "ui/kit/TextStyle.h"
#include "ui/kit/Tile.h"
#include "ui/kit/VisualEffectSurface.h"
#include "ui/kit/VolumeSlider.h"

#include <QDir>
#include <QDirIterator>
#include <QEnterEvent>
#include <QLabel>
#include <QList>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QString artifact(const QString& name) {
    QDir().mkpath(QStringLiteral(TAMBER_ARTIFACTS_DIR));
    return QStringLiteral(TAMBER_ARTIFACTS_DIR "/") + name;
}

QStringList iconNames() {
    QStringList out;
    QDirIterator it(QStringLiteral(":/icons"), {QStringLiteral("*.svg")});
    while (it.hasNext())
        out << QFileInfo(it.next()).completeBaseName();
    out.sort();
    return out;
}

TEST(Sheet, SymbolsAndIconsInBothSchemes) {
    Symbols::ensureResources();
    const QStringList symbols = Symbols::names();
    const QStringList icons = iconNames();
    ASSERT_FALSE(symbols.isEmpty());
    const int columns = 8, cellW = 120, cellH = 44;
    const int rows = static_cast<int>((symbols.size() + icons.size() + columns - 1) / columns);
    QImage image(QSize(columns * cellW * 2, rows * cellH) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    for (int s = 0; s < 2; ++s) {
        const Scheme scheme = s == 0 ? Scheme::Dark : Scheme::Light;
        const QRectF half(s * columns * cellW, 0, columns * cellW, rows * cellH);
        p.fillRect(half, Ink::palette(scheme).color(QPalette::Window));
        int i = 0;
        const auto cell = [&](const QString& name, bool icon) {
            const QPointF at(half.left() + (i % columns) * cellW, (i / columns) * cellH);
            const QColor ink = Ink::color(InkLevel::Primary, scheme);
            if (icon)
                BundleIcon::paint(p, QRectF(at + QPointF(8, 6), QSizeF(16, 16)), name, ink);
            else
                Symbols::paint(p, QRectF(at + QPointF(8, 6), QSizeF(16, 16)), name, ink);
            if (icon)
                BundleIcon::paint(p, QRectF(at + QPointF(32, 9), QSizeF(10, 10)), name, ink);
            else
                Symbols::paint(p, QRectF(at + QPointF(32, 9), QSizeF(10, 10)), name, ink);
            p.setPen(Ink::color(InkLevel::Secondary, scheme));
            p.setFont(Type::font(TextStyle::Caption));
            p.drawText(QRectF(at + QPointF(4, 26), QSizeF(cellW - 8, 14)), Qt::AlignLeft, name);
            ++i;
        };
        for (const QString& name : symbols)
            cell(name, false);
        for (const QString& name : icons)
            cell(name, true);
    }
    p.end();
    EXPECT_TRUE(image.save(artifact(QStringLiteral("kit-symbols.png"))));
}

using namespace std::chrono_literals;

using test::enter;

// One scheme's sheet: every control in its resting and its interesting states.
class Sheet : public QWidget {
public:
    explicit Sheet(Scheme scheme) {
        setPalette(Ink::palette(scheme));
        setAutoFillBackground(true);
        resize(760, 560);
    }
    template <typename W> W* place(W* widget, int x, int y, const QString& caption = QString()) {
        widget->setParent(this);
        widget->move(x, y);
        widget->resize(widget->sizeHint());
        widget->show();
        if (!caption.isEmpty()) {
            auto* label = new QLabel(caption, this);
            label->setFont(Type::font(TextStyle::Caption));
            QPalette p = palette();
            p.setColor(QPalette::WindowText, Ink::color(InkLevel::Tertiary, Ink::scheme(this)));
            label->setPalette(p);
            label->move(x, y - 14);
            label->adjustSize();
            label->show();
        }
        return widget;
    }
};

void buildSheet(Sheet& sheet, test::ManualTime& time) {
    // Row 1: a tile with a slider between step buttons, the slider at three values.
    auto* tile = sheet.place(new Tile, 16, 24, QStringLiteral("Tile: step buttons, slider 28 (hovered)"));
    tile->resize(340, 58);
    auto* minus = new StepButton(QStringLiteral("minus"), tile);
    auto* slider = new VolumeSlider(34, tile);
    auto* plus = new StepButton(QStringLiteral("plus"), tile);
    minus->setGeometry(12, 17, 24, 24);
    slider->setGeometry(40, 12, 260, 34);
    plus->setGeometry(304, 17, 24, 24);
    slider->setValue(28);
    enter(slider);
    enter(plus);

    auto* zero =
        sheet.place(new VolumeSlider(22), 380, 30, QStringLiteral("Slider 0 / 100 / focused 64, height 22"));
    zero->resize(160, 22);
    auto* full = sheet.place(new VolumeSlider(22), 560, 30);
    full->resize(160, 22);
    full->setValue(100);
    auto* focused = sheet.place(new VolumeSlider(22), 380, 60);
    focused->resize(160, 22);
    focused->setValue(64);
    focused->setHighlighted(true);

    // Row 2: sound toggles, transport-like symbol buttons, tooltip.
    auto* off = sheet.place(new SoundToggle(QStringLiteral("moon.fill"), QStringLiteral("Nachtmodus")), 16,
                            120, QStringLiteral("Sound toggles: off, off hovered, on"));
    Q_UNUSED(off);
    auto* offHover = sheet.place(
        new SoundToggle(QStringLiteral("person.wave.2.fill"), QStringLiteral("Sprache")), 120, 120);
    enter(offHover);
    auto* on =
        sheet.place(new SoundToggle(QStringLiteral("moon.fill"), QStringLiteral("Nachtmodus")), 210, 120);
    on->setOn(true);

    int x = 340;
    HoverOptions transport;
    transport.rest = InkLevel::Primary;
    for (const char* name : {"backward.fill", "pause.fill", "forward.fill"}) {
        auto* b =
            sheet.place(new SymbolButton(QString::fromLatin1(name), QSizeF(18, 18)), x, 114,
                        x == 340 ? QStringLiteral("Symbol buttons, sleep hovered with tooltip") : QString());
        b->setHover(transport);
        if (x == 374)
            enter(b);
        x += 34;
    }
    HoverOptions sleep;
    sleep.tooltip = QStringLiteral("Sleep-Timer");
    sleep.rest = InkLevel::Tertiary;
    auto* sleepButton = sheet.place(new SymbolButton(QString(), QSizeF(16, 16)), x + 8, 114);
    sleepButton->setBundleIcon(QStringLiteral("sleep"));
    sleepButton->setHover(sleep);
    enter(sleepButton);
    auto* route = sheet.place(new RouteButton, x + 60, 150, QStringLiteral("Route"));
    HoverOptions routeHover;
    routeHover.rest = InkLevel::Secondary;
    route->setHover(routeHover);

    // Row 3: editable names.
    auto* name =
        sheet.place(new EditableName, 16, 210, QStringLiteral("Editable name: plain, hint, editing"));
    name->setFont(Type::font(TextStyle::Body, QFont::DemiBold));
    name->setName(QStringLiteral("Wohnzimmer + 1"));
    name->resize(name->sizeHint());
    auto* hinted = sheet.place(new EditableName, 150, 210);
    hinted->setFont(Type::font(TextStyle::Body, QFont::DemiBold));
    hinted->setName(QStringLiteral("Küche"));
    hinted->resize(hinted->sizeHint());
    enter(hinted);
    auto* editing = sheet.place(new EditableName, 250, 210);
    editing->setFont(Type::font(TextStyle::Body, QFont::DemiBold));
    editing->setName(QStringLiteral("Bad"));
    editing->setPlaceholder(QStringLiteral("Name"));
    editing->beginEditing();
    editing->resize(editing->sizeHint());

    // BlurFade frames of one line.
    const double frames[] = {0.0, 0.35, 0.7, 1.0};
    for (int i = 0; i < 4; ++i) {
        auto* line = sheet.place(new QLabel(QStringLiteral("Late Summer – The Quiet Rooms")),
                                 380 + (i % 2) * 190, 200 + (i / 2) * 30,
                                 i == 0 ? QStringLiteral("BlurFade 0, 0.35, 0.7, 1 (offset 6)") : QString());
        line->setFont(Type::font(TextStyle::Caption));
        auto* effect = new BlurFade(6);
        effect->setProgress(frames[i]);
        line->setGraphicsEffect(effect);
    }

    // Row 4: key caps, status dots, bundle icons.
    auto* cap = sheet.place(new KeyCap, 16, 300, QStringLiteral("Key caps, status dots, icons"));
    cap->setText(QStringLiteral("esc"));
    cap->setFaceWidth(30);
    cap->resize(cap->sizeHint());
    auto* lit = sheet.place(new KeyCap, 64, 300);
    lit->setText(QStringLiteral("A"));
    lit->setFaceWidth(30);
    lit->setHighlighted(true);
    lit->resize(lit->sizeHint());
    auto* keys = sheet.place(new KeyCap, 112, 300);
    keys->setSymbols({QStringLiteral("command"), QStringLiteral("arrow.left.arrow.right")});
    keys->resize(keys->sizeHint());
    auto* space = sheet.place(new KeyCap, 160, 300);
    space->setSymbols({QStringLiteral("space")});
    space->setFaceWidth(30);
    space->resize(space->sizeHint());
    int dx = 220;
    for (const StatusLevel level : {StatusLevel::Ok, StatusLevel::Warning, StatusLevel::Problem}) {
        sheet.place(new StatusDot(level, 10), dx, 304);
        dx += 18;
    }
    for (const char* icon : {"quit", "airplay", "more", "ci-check-circle", "menubar"}) {
        sheet.place(new BundleIcon(QString::fromLatin1(icon), 16), dx + 8, 301);
        dx += 26;
    }

    // Row 5: artwork (picture, placeholder, TV) and the surface.
    const QUrl demo(QStringLiteral("http://sheet.invalid/demo.png"));
    CoverImage::store(demo, Artwork::demoPicture());
    auto* art =
        sheet.place(new Artwork(50), 16, 380, QStringLiteral("Artwork 50, placeholder 38, TV 50, cover 24"));
    art->setUrl(demo);
    auto* missing = sheet.place(new Artwork(38), 80, 386);
    missing->setUrl(QUrl(QStringLiteral("file:///not/allowed.png")));
    sheet.place(new TVArtwork(50), 130, 380);
    auto* small = sheet.place(new Artwork(24), 192, 393);
    small->setUrl(demo);
    auto* surface = sheet.place(new VisualEffectSurface(28), 380, 360, QStringLiteral("Surface with a tile"));
    surface->resize(340, 120);
    auto* inner = new Tile(surface);
    inner->setGeometry(8, 8, 324, 104);

    time.advance(1s);
}

TEST(Sheet, SliderDigitsRollFrames) {
    test::ManualTime time;
    QWidget root;
    root.setPalette(Ink::palette(Scheme::Dark));
    root.setAutoFillBackground(true);
    root.resize(5 * 170 + 10, 50);
    QList<VolumeSlider*> sliders;
    for (int i = 0; i < 5; ++i) {
        auto* slider = new VolumeSlider(34, &root);
        slider->setGeometry(5 + i * 170, 8, 160, 34);
        slider->setValue(9);
        sliders << slider;
    }
    root.show();
    time.advance(400ms);
    // Frames of 9 → 10 at 0, 30, 60, 120 and 300 ms.
    const int at[] = {0, 30, 60, 120, 300};
    for (int i = 0; i < 5; ++i)
        sliders[i]->setValue(10);
    QImage out(root.size() * 2, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(2);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    int now = 0;
    for (int i = 0; i < 5; ++i) {
        time.advance(std::chrono::milliseconds(at[i] - now));
        now = at[i];
        QImage frame(root.size() * 2, QImage::Format_ARGB32_Premultiplied);
        frame.setDevicePixelRatio(2);
        root.render(&frame);
        const QRectF cell(5 + i * 170, 0, 170, 50);
        painter.drawImage(cell, frame, QRectF(cell.topLeft() * 2, cell.size() * 2));
    }
    painter.end();
    EXPECT_TRUE(out.save(artifact(QStringLiteral("kit-slider-roll.png"))));
}

TEST(Sheet, EveryControlInBothSchemesAtRatioTwo) {
    test::ManualTime time;
    QImage out(QSize(760 * 2, 560) * 2, QImage::Format_ARGB32_Premultiplied);
    out.setDevicePixelRatio(2);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    for (int s = 0; s < 2; ++s) {
        Sheet sheet(s == 0 ? Scheme::Dark : Scheme::Light);
        buildSheet(sheet, time);
        sheet.show();
        time.advance(1s);
        const QPixmap shot = sheet.grab();
        QImage image(sheet.size() * 2, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2);
        image.fill(Qt::transparent);
        sheet.render(&image);
        painter.drawImage(QPointF(s * 760, 0), image);
        Q_UNUSED(shot);
    }
    painter.end();
    EXPECT_TRUE(out.save(artifact(QStringLiteral("kit-sheet.png"))));
}

} // namespace
