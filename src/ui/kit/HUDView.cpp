#include "ui/kit/HUDView.h"

#include "core/RenderMode.h"
#include "core/Texts.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/Ink.h"
#include "ui/kit/MutedMark.h"
#include "ui/kit/VisualEffectSurface.h"
#include "ui/kit/VolumeSlider.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace {
constexpr double cardRadius = 20;
constexpr int artSize = 36;
constexpr double artRadius = 12;
constexpr int sliderHeight = 22;
constexpr int leadingPadding = 8;
constexpr int trailingPadding = 15;
constexpr int spacing = 10;
constexpr double mutedOpacity = 0.4;
constexpr double renderDarkGrey = 0.13;
} // namespace

HUDView::HUDView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int m = margin();
    if (!RenderMode::active()) {
        surface_ = new VisualEffectSurface(cardRadius, this);
        surface_->setGeometry(m, m, cardWidth, cardHeight);
    }
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(m + leadingPadding, m, m + trailingPadding, m);
    row->setSpacing(spacing);
    artwork_ = new Artwork(artSize, artRadius, this);
    row->addWidget(artwork_, 0, Qt::AlignVCenter);
    slider_ = new VolumeSlider(sliderHeight, this);
    slider_->setName(L(QStringLiteral("Lautstärke")));
    slider_->setAttribute(Qt::WA_TransparentForMouseEvents);
    dim_ = new QGraphicsOpacityEffect(slider_);
    dim_->setOpacity(1.0);
    dim_->setEnabled(false);
    slider_->setGraphicsEffect(dim_);
    row->addWidget(slider_, 1, Qt::AlignVCenter);
    mark_ = new MutedMark(sliderHeight, this);
    mark_->hide();
    slider_->installEventFilter(this);
    setFixedSize(sizeHint());
}

int HUDView::margin() {
    return RenderMode::active() ? 0 : outerMargin;
}

QSize HUDView::sizeHint() const {
    const int m = margin();
    return {cardWidth + 2 * m, cardHeight + 2 * m};
}

void HUDView::setArt(const std::optional<QUrl>& art) {
    if (art == art_)
        return;
    art_ = art;
    artwork_->setUrl(art);
}

void HUDView::setVolume(int volume) {
    volume_ = volume;
    slider_->setValue(volume);
    mark_->setVolume(volume);
}

void HUDView::setMuted(bool muted) {
    muted_ = muted;
    dim_->setOpacity(muted ? mutedOpacity : 1.0);
    // An idle effect still redirects the slider's painting; off while it changes nothing.
    dim_->setEnabled(muted);
    mark_->setVisible(muted);
    mark_->raise();
}

double HUDView::sliderOpacity() const {
    return dim_->opacity();
}

bool HUDView::eventFilter(QObject* watched, QEvent* event) {
    // The mark follows the slider wherever the row places it.
    if (watched == slider_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        mark_->setGeometry(slider_->geometry());
    return QWidget::eventFilter(watched, event);
}

void HUDView::paintEvent(QPaintEvent*) {
    if (!RenderMode::active())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor solid = Ink::scheme(this) == Scheme::Dark
                             ? QColor::fromRgbF(renderDarkGrey, renderDarkGrey, renderDarkGrey)
                             : QColor(Qt::white);
    QPainterPath card;
    const int m = margin();
    card.addRoundedRect(QRectF(m, m, cardWidth, cardHeight), cardRadius, cardRadius);
    painter.fillPath(card, solid);
}
