#include "ui/kit/HUDPreview.h"

#include "core/Clock.h"
#include "core/Texts.h"
#include "ui/kit/Artwork.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyCap.h"
#include "ui/kit/VolumeSlider.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr double pressLength = 0.14;
constexpr double screenHeight = 118;
constexpr double screenRadius = 8;
constexpr double menuBarHeight = 16;
constexpr double cardWidth = 150;
constexpr double cardHeight = 34;
constexpr double cardRadius = 12;
constexpr double cardBottom = 14;
constexpr int keyWidth = 22;
constexpr int rowSpacing = 10;
constexpr int step = 4;
constexpr int highestBase = 88;
constexpr int frameMs = 16;

int tapsUpTo(const std::array<double, 3>& taps, double t) {
    return int(std::count_if(taps.begin(), taps.end(), [t](double tap) { return tap <= t; }));
}

bool pressedAt(const std::array<double, 3>& taps, double t) {
    return std::any_of(taps.begin(), taps.end(),
                       [t](double tap) { return t >= tap && t < tap + pressLength; });
}

QColor grey(double level) {
    return QColor::fromRgbF(float(level), float(level), float(level));
}
} // namespace

HUDPreview::HUDPreview(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QString());
    card_ = new QWidget(this);
    card_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* cardRow = new QHBoxLayout(card_);
    cardRow->setContentsMargins(5, 0, 9, 0);
    cardRow->setSpacing(7);
    artwork_ = new Artwork(24, 7, card_);
    cardRow->addWidget(artwork_, 0, Qt::AlignVCenter);
    slider_ = new VolumeSlider(14, card_);
    slider_->setName(L(QStringLiteral("Lautstärke")));
    cardRow->addWidget(slider_, 1, Qt::AlignVCenter);
    card_->setFixedSize(int(cardWidth), int(cardHeight));
    cardOpacity_ = new QGraphicsOpacityEffect(card_);
    card_->setGraphicsEffect(cardOpacity_);

    downKey_ = new KeyCap(this);
    downKey_->setSymbols({QStringLiteral("speaker.wave.1")});
    downKey_->setFaceWidth(keyWidth);
    upKey_ = new KeyCap(this);
    upKey_->setSymbols({QStringLiteral("speaker.wave.3")});
    upKey_->setFaceWidth(keyWidth);

    timer_ = new QTimer(this);
    timer_->setInterval(frameMs);
    connect(timer_, &QTimer::timeout, this, &HUDPreview::tick);
    showTime(0);
}

void HUDPreview::setArt(const std::optional<QUrl>& art) {
    if (artwork_->url() != art)
        artwork_->setUrl(art);
}

void HUDPreview::setBase(int base) {
    base_ = base;
    showTime(t_);
}

void HUDPreview::setReduceMotion(bool on) {
    reduceMotion_ = on;
    updateTimer();
    tick();
}

double HUDPreview::loopTime(double seconds, bool reduceMotion) {
    if (reduceMotion)
        return stillTime;
    const double t = std::fmod(seconds, loop);
    return t < 0 ? t + loop : t;
}

int HUDPreview::volumeAt(double t, int base) {
    return std::clamp(base, 0, highestBase) + step * (tapsUpTo(upTaps, t) - tapsUpTo(downTaps, t));
}

double HUDPreview::visibilityAt(double t) {
    if (t < 0.5)
        return 0;
    if (t < 0.62)
        return (t - 0.5) / 0.12;
    if (t < 4.1)
        return 1;
    return std::max(0.0, 1 - 4 * (t - 4.1));
}

bool HUDPreview::downPressedAt(double t) {
    return pressedAt(downTaps, t);
}

bool HUDPreview::upPressedAt(double t) {
    return pressedAt(upTaps, t);
}

int HUDPreview::shownVolume() const {
    return volumeAt(t_, base_);
}

void HUDPreview::tick() {
    const double seconds = double(Clock::now().toMSecsSinceEpoch()) / 1000.0;
    showTime(loopTime(seconds, reduceMotion_));
}

void HUDPreview::showTime(double t) {
    t_ = t;
    slider_->setValue(volumeAt(t, base_));
    const double v = visibilityAt(t);
    cardOpacity_->setOpacity(v);
    cardOpacity_->setEnabled(v < 1);
    card_->setVisible(v > 0);
    downKey_->setHighlighted(downPressedAt(t));
    upKey_->setHighlighted(upPressedAt(t));
    resizeEvent(nullptr);
    update();
}

void HUDPreview::updateTimer() {
    if (isVisible() && !reduceMotion_)
        timer_->start();
    else
        timer_->stop();
}

void HUDPreview::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    updateTimer();
    tick();
}

void HUDPreview::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    updateTimer();
}

QSize HUDPreview::sizeHint() const {
    return {240, int(screenHeight) + rowSpacing + downKey_->sizeHint().height() + 1};
}

QRectF HUDPreview::screenRect() const {
    return {0, 0, double(width()), screenHeight};
}

QRectF HUDPreview::cardRect() const {
    const QRectF screen = screenRect();
    return {screen.center().x() - cardWidth / 2, screen.bottom() - cardBottom - cardHeight, cardWidth,
            cardHeight};
}

void HUDPreview::resizeEvent(QResizeEvent*) {
    card_->move(cardRect().topLeft().toPoint());
    const int keysTop = int(screenHeight) + rowSpacing;
    // A pressed key sits one point lower.
    downKey_->move(0, keysTop + (downKey_->highlighted() ? 1 : 0));
    upKey_->move(downKey_->sizeHint().width() + 6, keysTop + (upKey_->highlighted() ? 1 : 0));
    downKey_->resize(downKey_->sizeHint());
    upKey_->resize(upKey_->sizeHint());
}

void HUDPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = Ink::scheme(this) == Scheme::Dark;
    const QRectF screen = screenRect();
    QPainterPath shape;
    shape.addRoundedRect(screen, screenRadius, screenRadius);
    painter.save();
    painter.setClipPath(shape);
    QLinearGradient gradient(screen.topLeft(), screen.bottomRight());
    gradient.setColorAt(0, dark ? grey(0.22) : QColor::fromRgbF(0.94f, 0.92f, 0.91f));
    gradient.setColorAt(1,
                        dark ? QColor::fromRgbF(0.16f, 0.16f, 0.19f) : QColor::fromRgbF(0.88f, 0.88f, 0.90f));
    painter.fillRect(screen, gradient);

    // The menu bar: status icon and clock at the trailing end.
    const Scheme scheme = dark ? Scheme::Dark : Scheme::Light;
    const QRectF bar(screen.left(), screen.top(), screen.width(), menuBarHeight);
    painter.fillRect(bar, Ink::primary(scheme, 0.04));
    QFont font = this->font();
    font.setPixelSize(8);
    font.setWeight(QFont::Medium);
    painter.setFont(font);
    const QDateTime now = Clock::now().toLocalTime();
    const QLocale locale = QLocale::system();
    const QString clock = locale.toString(now, QStringLiteral("ddd d MMM")) + QLatin1Char(' ') +
                          locale.toString(now.time(), QLocale::ShortFormat);
    const double clockWidth = painter.fontMetrics().horizontalAdvance(clock);
    const QRectF clockBox(bar.right() - 8 - clockWidth, bar.top(), clockWidth, menuBarHeight);
    painter.setPen(Ink::color(InkLevel::Secondary, scheme));
    painter.drawText(clockBox, Qt::AlignVCenter | Qt::AlignLeft, clock);
    const QRectF icon(clockBox.left() - 6 - 9, bar.center().y() - 4.5, 9, 9);
    QPainterPath iconShape;
    iconShape.addRoundedRect(icon, 2.5, 2.5);
    painter.fillPath(iconShape, Ink::primary(scheme, 0.55));
    painter.setBrush(dark ? Qt::black : Qt::white);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(icon.center(), 1.5, 1.5);

    // The mini card's surface and shadow; its content is drawn by its own widgets above.
    const double v = visibilityAt(t_);
    if (v > 0) {
        painter.setOpacity(v);
        const QRectF card = cardRect();
        QPainterPath shadow;
        shadow.addRoundedRect(card.translated(0, 3).adjusted(-1, -1, 1, 1), cardRadius, cardRadius);
        painter.fillPath(shadow, QColor::fromRgbF(0, 0, 0, 0.14f));
        QPainterPath surface;
        surface.addRoundedRect(card, cardRadius, cardRadius);
        painter.fillPath(surface, dark ? grey(0.13) : QColor(Qt::white));
    }
    painter.restore();
    painter.setPen(QPen(Ink::primary(scheme, 0.08), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(screen.adjusted(0.5, 0.5, -0.5, -0.5), screenRadius - 0.5, screenRadius - 0.5);
}
