#include "ui/kit/Artwork.h"

#include "core/RenderMode.h"
#include "ui/kit/CoverImage.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Symbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

Artwork::Artwork(double size, std::optional<double> cornerRadius, QWidget* parent)
    : QWidget(parent), size_(size), radius_(cornerRadius), cover_(new CoverImage(this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(cover_, &CoverImage::changed, this, qOverload<>(&QWidget::update));
}

void Artwork::setUrl(const std::optional<QUrl>& url) {
    if (url != url_)
        update();
    url_ = url;
    if (RenderMode::active() && url)
        return; // any URL selects the demo picture; nothing is loaded
    cover_->setUrl(url);
}

std::optional<QUrl> Artwork::url() const {
    return url_;
}

double Artwork::radius() const {
    return radius_.value_or(defaultRadius(size_));
}

QSize Artwork::sizeHint() const {
    const int side = static_cast<int>(std::ceil(size_));
    return QSize(side, side);
}

void Artwork::showEvent(QShowEvent*) {
    cover_->reappear();
}

const QImage& Artwork::demoPicture() {
    // 256 × 256: a three-colour gradient running down and to the right at 60 degrees below the
    // horizontal, and a white disc of 46 in the upper right quarter.
    static const QImage picture = [] {
        constexpr double side = 256;
        QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF centre(side / 2, side / 2);
        const QPointF direction(std::cos(std::numbers::pi / 3), std::sin(std::numbers::pi / 3));
        // The gradient spans the square's extent along its direction.
        const double half = (std::abs(direction.x()) + std::abs(direction.y())) * side / 2;
        QLinearGradient gradient(centre - direction * half, centre + direction * half);
        gradient.setColorAt(0, QColor::fromRgbF(0.95F, 0.62F, 0.45F));
        gradient.setColorAt(0.5, QColor::fromRgbF(0.55F, 0.32F, 0.52F));
        gradient.setColorAt(1, QColor::fromRgbF(0.16F, 0.18F, 0.36F));
        p.fillRect(image.rect(), gradient);
        // 150 from the left edge and, with its lowest point, 150 above the bottom edge.
        constexpr double disc = 46;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromRgbF(1, 1, 1, 0.85F));
        p.drawEllipse(QRectF(150, side - 150 - disc, disc, disc));
        return image;
    }();
    return picture;
}

const QImage& Artwork::scaledFor(const QImage& source, int which, double ratio) {
    Scaled& slot = scaled_[which];
    if (slot.key != source.cacheKey() || slot.ratio != ratio || slot.image.isNull()) {
        const int device = std::max(1, static_cast<int>(std::lround(size_ * ratio)));
        // Scaled to fill: the shorter side fits, the longer one is cut in the middle.
        QImage filled =
            source.scaled(device, device, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        filled = filled.copy((filled.width() - device) / 2, (filled.height() - device) / 2, device, device)
                     .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Cut the rounded corners once here rather than clipping every frame. DestinationIn
        // acts only where the source paints, so the mask is a full-size image.
        QImage mask(device, device, QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        {
            QPainter m(&mask);
            m.setRenderHint(QPainter::Antialiasing);
            QPainterPath shape;
            shape.addRoundedRect(QRectF(0, 0, device, device), radius() * ratio, radius() * ratio);
            m.fillPath(shape, Qt::white);
        }
        {
            QPainter p(&filled);
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.drawImage(0, 0, mask);
        }
        filled.setDevicePixelRatio(ratio);
        slot = {source.cacheKey(), ratio, filled};
    }
    return slot.image;
}

void Artwork::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn once per state and copied on the many repaints of what lies behind it.
    LayerKey key;
    key << width() << height() << size_ << radius() << Ink::scheme(this) << RenderMode::active()
        << url_.has_value() << cover_->crossFade() << cover_->placeholder() << cover_->shown().cacheKey()
        << cover_->previous().cacheKey();
    layer_.draw(painter, QSizeF(size()), key, [this](QPainter& p) { paintArtwork(p); });
}

void Artwork::paintArtwork(QPainter& painter) {
    const Scheme scheme = Ink::scheme(this);
    const QRectF box((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    QPainterPath shape;
    shape.addRoundedRect(box, radius(), radius());
    const double ratio = Symbols::targetRatio(painter);

    if (RenderMode::active() && url_) {
        painter.drawImage(box.topLeft(), scaledFor(demoPicture(), 0, ratio));
        return;
    }
    painter.fillPath(shape, Ink::primary(scheme, 0.08)); // visible while there is no picture
    const double fade = cover_->crossFade();
    if (!cover_->previous().isNull() && fade < 1) {
        painter.setOpacity(1 - fade);
        painter.drawImage(box.topLeft(), scaledFor(cover_->previous(), 1, ratio));
    }
    if (!cover_->shown().isNull()) {
        painter.setOpacity(fade);
        painter.drawImage(box.topLeft(), scaledFor(cover_->shown(), 0, ratio));
    }
    const double placeholder = cover_->shown().isNull() ? cover_->placeholder() : 0;
    if (placeholder > 0) {
        painter.setOpacity(placeholder);
        const double glyph = std::clamp(size_ * 0.36, 8.0, 18.0);
        Symbols::paint(painter, QRectF(box.center() - QPointF(glyph / 2, glyph / 2), QSizeF(glyph, glyph)),
                       QStringLiteral("music.note"), Ink::color(InkLevel::Secondary, scheme));
    }
}
