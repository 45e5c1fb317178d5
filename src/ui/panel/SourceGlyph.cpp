#include "ui/panel/SourceGlyph.h"

#include "core/Texts.h"
#include "ui/kit/BundleIcon.h"
#include "ui/kit/Hoverable.h"
#include "ui/kit/Symbols.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int edge = 11;
} // namespace

SourceGlyph::SourceGlyph(QWidget* parent) : QWidget(parent) {
    HoverOptions options;
    options.padding = 0;
    options.chrome = false;
    options.enabled = false;
    hover_ = new Hoverable(this, options);
    setFixedSize(edge, edge);
    hide();
}

SourceGlyph::Kind SourceGlyph::kindOf(const SpeakerGroup& group) {
    if (group.spotifyURL)
        return Kind::Spotify;
    if (group.appleMusicURL)
        return Kind::AppleMusic;
    if (group.viaAirPlay)
        return Kind::AirPlay;
    return Kind::None;
}

QString SourceGlyph::tooltip(Kind kind) {
    switch (kind) {
    case Kind::Spotify:
        return QStringLiteral("Spotify");
    case Kind::AppleMusic:
        return QStringLiteral("Apple Music");
    case Kind::AirPlay:
        return L(QStringLiteral("Über AirPlay"));
    case Kind::None:
        break;
    }
    return {};
}

void SourceGlyph::setGroup(const SpeakerGroup& group) {
    const Kind kind = kindOf(group);
    if (kind == kind_)
        return;
    kind_ = kind;
    hover_->setTooltip(kind == Kind::None ? std::nullopt : std::optional<QString>(tooltip(kind)));
    setVisible(kind != Kind::None);
    update();
}

void SourceGlyph::setColor(const QColor& color) {
    if (color == color_)
        return;
    color_ = color;
    update();
}

QSize SourceGlyph::sizeHint() const {
    return {edge, edge};
}

void SourceGlyph::paintSpotify(QPainter& painter, const QRectF& box, const QColor& color) {
    // The arcs are cut out of the disc in a layer of their own, so that they do not punch
    // through what lies beneath.
    const double ratio = Symbols::targetRatio(painter);
    QImage layer((box.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.setRenderHint(QPainter::Antialiasing);
        const double w = box.width();
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QRectF(0, 0, w, w));
        p.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        struct Arc {
            double x0, y0, cx, cy, x1, y1, width;
        };
        const Arc arcs[] = {
            {0.22, 0.36, 0.50, 0.24, 0.78, 0.40, 0.11},
            {0.27, 0.52, 0.50, 0.40, 0.73, 0.56, 0.09},
            {0.32, 0.67, 0.50, 0.55, 0.68, 0.71, 0.075},
        };
        p.setBrush(Qt::NoBrush);
        for (const Arc& arc : arcs) {
            QPen pen(Qt::black, arc.width * w, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
            pen.setMiterLimit(10);
            p.setPen(pen);
            QPainterPath path(QPointF(arc.x0 * w, arc.y0 * w));
            path.quadTo(arc.cx * w, arc.cy * w, arc.x1 * w, arc.y1 * w);
            p.drawPath(path);
        }
    }
    painter.drawImage(box, layer);
}

void SourceGlyph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, edge, edge);
    switch (kind_) {
    case Kind::Spotify:
        paintSpotify(painter, box, color_);
        break;
    case Kind::AppleMusic:
        Symbols::paint(painter, box.adjusted(0.5, 0.5, -0.5, -0.5), QStringLiteral("music.note"), color_);
        break;
    case Kind::AirPlay:
        BundleIcon::paint(painter, box, QStringLiteral("airplay"), color_);
        break;
    case Kind::None:
        break;
    }
}
