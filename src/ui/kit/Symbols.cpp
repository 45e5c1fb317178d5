#include "ui/kit/Symbols.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <map>
#include <memory>

static void initKitResources() {
    Q_INIT_RESOURCE(kit);
}

namespace Symbols {
namespace {

// Parsed SVGs by resource path, kept for the run (owned here, freed at exit).
std::map<QString, std::unique_ptr<QSvgRenderer>>& renderers() {
    static std::map<QString, std::unique_ptr<QSvgRenderer>> cache;
    return cache;
}

// Tinted rasters by (path, device size, colour); cleared whole when it grows large.
QHash<QString, QImage>& rasters() {
    static QHash<QString, QImage> cache;
    return cache;
}

QImage tinted(QSvgRenderer* svg, const QString& path, QSize device, double ratio, const QColor& color) {
    const QString key = QStringLiteral("%1|%2x%3|%4|%5")
                            .arg(path)
                            .arg(device.width())
                            .arg(device.height())
                            .arg(ratio)
                            .arg(color.rgba(), 8, 16);
    auto& cache = rasters();
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        svg->render(&p, QRectF(QPointF(0, 0), QSizeF(device)));
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(image.rect(), color);
    }
    image.setDevicePixelRatio(ratio);
    if (cache.size() > 512)
        cache.clear();
    cache.insert(key, image);
    return image;
}

} // namespace

void ensureResources() {
    static const bool done = [] {
        initKitResources();
        return true;
    }();
    Q_UNUSED(done);
}

QString path(const QString& name) {
    return QStringLiteral(":/symbols/%1.svg").arg(name);
}

bool exists(const QString& name) {
    ensureResources();
    return !name.isEmpty() && QFile::exists(path(name));
}

QStringList names() {
    ensureResources();
    QStringList out;
    const auto files = QDir(QStringLiteral(":/symbols")).entryList({QStringLiteral("*.svg")}, QDir::Files);
    for (const QString& file : files)
        out << file.chopped(4);
    out.sort();
    return out;
}

QSvgRenderer* renderer(const QString& resourcePath) {
    ensureResources();
    auto& cache = renderers();
    auto it = cache.find(resourcePath);
    if (it != cache.end())
        return it->second.get();
    if (!QFile::exists(resourcePath))
        return nullptr;
    auto svg = std::make_unique<QSvgRenderer>(resourcePath);
    if (!svg->isValid())
        return nullptr;
    svg->setAspectRatioMode(Qt::KeepAspectRatio);
    return cache.emplace(resourcePath, std::move(svg)).first->second.get();
}

double targetRatio(const QPainter& painter) {
    if (const QPaintEngine* engine = painter.paintEngine())
        if (const QPaintDevice* device = engine->paintDevice())
            return device->devicePixelRatio();
    return painter.device() ? painter.device()->devicePixelRatio() : 1.0;
}

bool paintResource(QPainter& painter, const QRectF& rect, const QString& resourcePath, const QColor& color) {
    QSvgRenderer* svg = renderer(resourcePath);
    if (!svg)
        return false;
    if (rect.isEmpty() || color.alpha() == 0)
        return true;
    // Fit the SVG's own box into rect, keep its aspect, centre, snap to device pixels.
    const QSizeF box = svg->viewBoxF().size().isEmpty() ? QSizeF(16, 16) : svg->viewBoxF().size();
    const QSizeF fitted = box.scaled(rect.size(), Qt::KeepAspectRatio);
    const double ratio = targetRatio(painter);
    const double r = ratio > 0 ? ratio : 1.0;
    const QSize device(std::max(1, static_cast<int>(std::lround(fitted.width() * r))),
                       std::max(1, static_cast<int>(std::lround(fitted.height() * r))));
    const QSizeF logical(device.width() / r, device.height() / r);
    QPointF topLeft(rect.center().x() - logical.width() / 2, rect.center().y() - logical.height() / 2);
    // Snap to the device grid when the painter only translates.
    if (painter.transform().type() <= QTransform::TxTranslate) {
        const QPointF mapped = painter.transform().map(topLeft) * r;
        const QPointF snapped(std::round(mapped.x()), std::round(mapped.y()));
        topLeft += (snapped - mapped) / r;
    }
    const QImage image = tinted(svg, resourcePath, device, r, color);
    painter.drawImage(QRectF(topLeft, logical), image);
    return true;
}

bool paint(QPainter& painter, const QRectF& rect, const QString& name, const QColor& color) {
    if (name.isEmpty())
        return false;
    return paintResource(painter, rect, path(name), color);
}

} // namespace Symbols
