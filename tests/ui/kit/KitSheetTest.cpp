// The rendered sheet of the kit for reviewers: every symbol and bundle icon, and every control,
// in both schemes at device pixel ratio 2, written to build/artifacts/ (not compared).
#include "ui/kit/BundleIcon.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Symbols.h"
#include "ui/kit/TextStyle.h"

#include <QDir>
#include <QDirIterator>
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

} // namespace
