#include "app/VolumeHUD.h"

#include "core/Texts.h"
#include "ui/kit/HUDView.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QVariantAnimation>

VolumeHUD::VolumeHUD(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Tamber volume"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    view_ = new HUDView(this);
    column->addWidget(view_);
    setFixedSize(view_->sizeHint());

    fade_ = new QVariantAnimation(this);
    fade_->setDuration(int(fadeFor.count()));
    fade_->setStartValue(1.0);
    fade_->setEndValue(0.0);
    connect(fade_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setOpacity(value.toDouble()); });
    // Only a fade that ran to its end hides the window; a show stops it first.
    connect(fade_, &QVariantAnimation::finished, this, [this] { hide(); });

    announce = [this](const QString& text) { postAlert(text); };
    screenArea = []() -> std::optional<QRect> {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            return screen->availableGeometry();
        return std::nullopt;
    };
}

VolumeHUD::~VolumeHUD() {
    Clock::cancel(hideTask_);
}

QPoint VolumeHUD::placement(const QRect& available, QSize window) {
    // The card lies `margin` inside the window; its lower edge is `cardLift` above the area's bottom.
    const int margin = (window.height() - HUDView::cardHeight) / 2;
    const int x = available.x() + available.width() / 2 - window.width() / 2;
    const int y = available.y() + available.height() - (cardLift - margin) - window.height();
    return {x, y};
}

QString VolumeHUD::announcement(int volume, bool muted) {
    if (muted)
        return L(QStringLiteral("Stumm"));
    return L(QStringLiteral("Lautstärke")) + QLatin1Char(' ') + QString::number(volume);
}

bool VolumeHUD::fading() const {
    return fade_->state() == QAbstractAnimation::Running;
}

void VolumeHUD::show(const std::optional<QUrl>& art, int volume, bool muted) {
    view_->setArt(art);
    view_->setVolume(volume);
    view_->setMuted(muted);
    if (const auto area = screenArea ? screenArea() : std::nullopt)
        move(placement(*area, size()));
    fade_->stop();
    setOpacity(1.0);
    QWidget::show();
    raise();
    if (announce)
        announce(announcement(volume, muted));
    Clock::cancel(hideTask_);
    hideTask_ = Clock::schedule(visibleFor, this, [this] {
        hideTask_ = 0;
        startFade();
    });
}

void VolumeHUD::startFade() {
    fade_->stop();
    fade_->start();
}

void VolumeHUD::setOpacity(double opacity) {
    opacity_ = opacity;
    setWindowOpacity(opacity);
}

void VolumeHUD::postAlert(const QString& text) {
    // Assistive technology reads the alert's object: its name carries the text.
    view_->setAccessibleName(text);
    QAccessibleEvent event(view_, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}
