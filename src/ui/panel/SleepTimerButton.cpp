#include "ui/panel/SleepTimerButton.h"

#include "core/RenderMode.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "ui/kit/ActionMenuItem.h"
#include "ui/kit/BundleIcon.h"
#include "ui/kit/TextStyle.h"

#include <QCursor>
#include <QMenu>
#include <QPainter>

#include <cmath>

using namespace std::chrono_literals;

namespace {
constexpr double iconEdge = 16;
constexpr double spacing = 4;
const int durations[] = {15, 30, 60};

QFont labelFont() {
    return Type::font(TextStyle::Caption);
}
} // namespace

SleepTimerButton::SleepTimerButton(Household* household, QWidget* parent)
    : PressableButton(parent), household_(household) {
    connect(this, &QAbstractButton::clicked, this, &SleepTimerButton::showMenu);
    restyle();
}

QString SleepTimerButton::format(double seconds) {
    if (seconds >= 60)
        return QStringLiteral("%1 min").arg(static_cast<qint64>(std::ceil(seconds / 60)));
    return QStringLiteral("%1 s").arg(static_cast<qint64>(std::trunc(seconds)));
}

std::optional<double> SleepTimerButton::remaining(const SpeakerGroup& group, const QDateTime& now) {
    if (!group.sleepRemaining)
        return std::nullopt;
    return std::max(0.0, *group.sleepRemaining - group.sleepAt.msecsTo(now) / 1000.0);
}

QString SleepTimerButton::label() const {
    const auto left = remaining(group_, RenderMode::now());
    return left ? format(*left) : QString();
}

void SleepTimerButton::setGroup(const SpeakerGroup& group) {
    const QSize before = sizeHint();
    group_ = group;
    restyle();
    // Every poll of the group lands here: only a label of another width relays the window out.
    if (sizeHint() != before)
        updateGeometry();
    update();
}

void SleepTimerButton::restyle() {
    const bool running = group_.sleepRemaining.has_value();
    if (running_ == running)
        return;
    running_ = running;
    HoverOptions options;
    options.tooltip = running ? L(QStringLiteral("Sleep-Timer läuft")) : L(QStringLiteral("Sleep-Timer"));
    options.alignment = Qt::AlignHCenter;
    options.padding = 6;
    options.shape = running ? HoverShape::Capsule : HoverShape::Circle;
    options.rest = running ? InkLevel::Secondary : InkLevel::Tertiary;
    setHover(options);
}

QSizeF SleepTimerButton::contentSize() const {
    const QString text = label();
    if (text.isEmpty())
        return {iconEdge, iconEdge};
    return {iconEdge + spacing + std::ceil(Type::tabularWidth(labelFont(), text)), iconEdge};
}

void SleepTimerButton::paintContent(QPainter& painter, const QRectF& rect) {
    paintLayerContent(painter, rect);
    paintLabel(painter, rect);
}

bool SleepTimerButton::layerKey(LayerKey& key) const {
    // The icon, and on a translucent ground the label too (it changes once a minute, in the
    // last minute once a second); elsewhere the label is drawn over the layer.
    if (LayerCache::keepsText(this))
        key << true << label();
    return true;
}

void SleepTimerButton::paintLayerContent(QPainter& painter, const QRectF& rect) {
    BundleIcon::paint(painter, QRectF(rect.left(), rect.top(), iconEdge, iconEdge), QStringLiteral("sleep"),
                      ink());
    if (LayerCache::keepsText(this))
        paintLabel(painter, rect);
}

void SleepTimerButton::paintOverLayer(QPainter& painter, const QRectF& rect) {
    if (!LayerCache::keepsText(this))
        paintLabel(painter, rect);
}

void SleepTimerButton::paintLabel(QPainter& painter, const QRectF& rect) {
    const QString text = label();
    if (text.isEmpty())
        return;
    const QColor colour = ink();
    painter.setPen(colour);
    const QRectF box(rect.left() + iconEdge + spacing, rect.top(), rect.width() - iconEdge - spacing,
                     rect.height());
    Type::drawTabular(painter, box, Qt::AlignLeft | Qt::AlignVCenter, labelFont(), text);
}

QMenu* SleepTimerButton::makeMenu(QWidget* parent) const {
    auto* menu = new QMenu(parent);
    menu->addSection(L(QStringLiteral("Sleep-Timer")));
    // The handlers keep the group as it was when the menu opened.
    const SpeakerGroup group = group_;
    Household* household = household_;
    menu->addAction(new ActionMenuItem(
        L(QStringLiteral("Aus")), !group.sleepRemaining.has_value(),
        [household, group] {
            if (household)
                household->setSleepTimer(group, std::nullopt);
        },
        menu));
    for (int minutes : durations)
        menu->addAction(new ActionMenuItem(
            QStringLiteral("%1 ").arg(minutes) + L(QStringLiteral("Minuten")), false,
            [household, group, minutes] {
                if (household)
                    household->setSleepTimer(group, minutes);
            },
            menu));
    return menu;
}

void SleepTimerButton::showMenu() {
    QMenu* menu = makeMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->exec(QCursor::pos());
}

void SleepTimerButton::tick() {
    tick_ = Clock::schedule(1s, this, [this] { tick(); });
    const QSize before = sizeHint();
    update();
    if (sizeHint() != before)
        updateGeometry();
}

void SleepTimerButton::showEvent(QShowEvent* event) {
    PressableButton::showEvent(event);
    Clock::cancel(tick_);
    tick_ = Clock::schedule(1s, this, [this] { tick(); });
}

void SleepTimerButton::hideEvent(QHideEvent* event) {
    PressableButton::hideEvent(event);
    Clock::cancel(tick_);
    tick_ = 0;
}
