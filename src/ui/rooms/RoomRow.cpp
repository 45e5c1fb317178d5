#include "ui/rooms/RoomRow.h"

#include "core/Tasks.h"
#include "core/Texts.h"
#include "household/Household.h"
#include "protocol/SpeakerModel.h"
#include "ui/kit/EditableName.h"
#include "ui/kit/Ink.h"
#include "ui/kit/KeyboardFocus.h"
#include "ui/kit/Motion.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/TextStyle.h"
#include "ui/kit/VolumeSlider.h"
#include "ui/rooms/MembershipButton.h"
#include "ui/rooms/RoomSoundView.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace std::chrono_literals;

namespace {

// How long the keyboard map still treats a popover as open after it closed, so the Escape that
// closed it does not also close the panel.
constexpr auto popoverFlagLinger = 200ms;

bool holds(const SpeakerGroup& group, const QString& roomID) {
    for (const Room& member : group.rooms)
        if (member.id == roomID)
            return true;
    return false;
}

} // namespace

RoomRow::RoomRow(const Room& room, const SpeakerGroup& group, bool focused,
                 const RoomsEnvironment& environment, QWidget* parent)
    : QWidget(parent), environment_(environment), room_(room), group_(group), focused_(focused) {
    setAttribute(Qt::WA_Hover);
    // The membership button takes clicks 5 points around its 20-point circle; that margin stands
    // in for the row's own padding on the left, above and below, and for part of the spacing.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 5, 0);
    layout->setSpacing(0);

    membership_ = new MembershipButton(this);
    membership_->setObjectName(QStringLiteral("membership"));
    connect(membership_, &QAbstractButton::clicked, this, &RoomRow::toggleMembership);
    layout->addWidget(membership_);
    layout->addSpacing(3);

    auto* nameColumn = new QWidget(this);
    nameColumn->setFixedWidth(110);
    auto* nameLayout = new QHBoxLayout(nameColumn);
    nameLayout->setContentsMargins(4, 0, 0, 0);
    nameLayout->setSpacing(6);
    name_ = new EditableName(nameColumn);
    name_->setObjectName(QStringLiteral("name"));
    name_->setPlaceholder(L(QStringLiteral("Raumname")));
    name_->setFont(Type::font(TextStyle::Callout));
    connect(name_, &EditableName::editingChanged, this, [this](bool editing) {
        renaming_ = editing;
        refresh();
    });
    connect(name_, &EditableName::committed, this, [this](const QString& name) {
        if (environment_.household)
            Tasks::detach(environment_.household->rename(room_, name), "rename a room");
    });
    nameLayout->addWidget(name_);
    speaker_ = new SymbolButton(QString(), QSizeF(18, 18), nameColumn);
    speaker_->setObjectName(QStringLiteral("speaker"));
    QSizePolicy keep = speaker_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    speaker_->setSizePolicy(keep);
    connect(speaker_, &QAbstractButton::clicked, this, &RoomRow::openSound);
    speakerEffect_ = new QGraphicsOpacityEffect(speaker_);
    speaker_->setGraphicsEffect(speakerEffect_);
    nameLayout->addWidget(speaker_);
    nameLayout->addStretch(1);
    layout->addWidget(nameColumn);
    layout->addSpacing(8);

    volume_ = new VolumeSlider(20, this);
    volume_->setObjectName(QStringLiteral("volume"));
    volumeEffect_ = new QGraphicsOpacityEffect(volume_);
    volume_->setGraphicsEffect(volumeEffect_);
    connect(volume_, &VolumeSlider::changed, this, [this](int value) {
        if (environment_.household)
            environment_.household->setVolume(room_, value);
    });
    layout->addWidget(volume_, 1);
    setSpeakerOpacity(speakerOpacity_);
    setVolumeOpacity(volumeOpacity_);
    volumeMuted_ = room_.muted;
    refresh();
    built_ = true;
}

RoomRow::~RoomRow() {
    // The popover is a window of its own; it goes with its row, without reporting its close.
    if (popover_) {
        popover_->removeEventFilter(this);
        delete popover_.data();
    }
}

void RoomRow::show(const Room& room, const SpeakerGroup& group, bool focused) {
    const bool same = room == room_ && focused == focused_ && holds(group, room.id) == isMember();
    room_ = room;
    group_ = group;
    focused_ = focused;
    if (!same)
        refresh();
}

bool RoomRow::isMember() const {
    return holds(group_, room_.id);
}

double RoomRow::highlight() const {
    if (focused_)
        return 0.08;
    return hovering_ ? 0.05 : 0;
}

double RoomRow::shownHighlight() const {
    return focused_ ? 0.08 : 0.05 * hover_;
}

bool RoomRow::speakerButtonShown() const {
    return isMember() && !renaming_ && (hovering_ || focused_ || room_.muted || soundOpen());
}

std::optional<QString> RoomRow::modelName() const {
    if (!environment_.household)
        return std::nullopt;
    const auto found = environment_.household->models().constFind(room_.id);
    if (found == environment_.household->models().constEnd())
        return std::nullopt;
    return *found;
}

void RoomRow::toggleMembership() {
    if (!environment_.household)
        return;
    // Decided from the membership the row shows at the click.
    Tasks::detach(environment_.household->setMember(room_, group_, !isMember()),
                  "change a room's membership");
}

void RoomRow::openSound() {
    if (popover_ || !environment_.household || !isMember() || renaming_)
        return;
    clearPopoverFlag_.stop(); // a clear still pending from the last popover must not hide this one
    if (environment_.focus)
        environment_.focus->setPopoverOpen(true);

    auto* window = new QWidget(this, Qt::Popup | Qt::FramelessWindowHint);
    auto* windowLayout = new QVBoxLayout(window);
    windowLayout->setContentsMargins(0, 0, 0, 0);
    soundView_ = new RoomSoundView(*environment_.household, room_, modelName(), window);
    windowLayout->addWidget(soundView_);
    window->adjustSize();
    // Above the speaker button, centred on it.
    const QPoint anchor = speaker_->mapToGlobal(QPoint(speaker_->width() / 2, 0));
    window->move(anchor.x() - window->width() / 2, anchor.y() - window->height());
    window->installEventFilter(this);
    popover_ = window;
    window->show();
    refresh();
}

bool RoomRow::eventFilter(QObject* watched, QEvent* event) {
    // Closing the popover (a click elsewhere, Escape) hides it; it is deleted afterwards.
    if (watched == popover_ && event->type() == QEvent::Hide) {
        popover_->removeEventFilter(this);
        popover_->deleteLater();
        popoverClosed();
    }
    return QWidget::eventFilter(watched, event);
}

void RoomRow::popoverClosed() {
    popover_ = nullptr;
    clearPopoverFlag_.start(popoverFlagLinger, [this] {
        if (environment_.focus && !popover_)
            environment_.focus->setPopoverOpen(false);
    });
    refresh();
}

void RoomRow::refresh() {
    const bool member = isMember();
    membership_->setMember(member, built_);
    membership_->setRowHover(hover_);

    if (!name_->editing())
        name_->setName(room_.name);
    name_->setColor(Ink::color(member ? InkLevel::Primary : InkLevel::Secondary, Ink::scheme(this)));
    showSpeaker(member);
    showVolume(member);
    update();
}

void RoomRow::showSpeaker(bool member) {
    const QString symbol =
        room_.muted ? QStringLiteral("speaker.slash.fill") : SpeakerModel::symbol(modelName());
    if (built_)
        speaker_->replaceSymbol(symbol);
    else
        speaker_->setSymbol(symbol);
    speaker_->setHover(
        {.tooltip = soundOpen() ? std::nullopt : std::optional<QString>(L(QStringLiteral("Klang"))),
         .alignment = Qt::AlignHCenter,
         .padding = 4,
         .shape = HoverShape::Circle,
         .rest = room_.muted ? InkLevel::Primary : InkLevel::Secondary,
         .chrome = true,
         .enabled = true,
         .above = false});
    speaker_->setAccessibleName(room_.muted ? L(QStringLiteral("Ton an")) : L(QStringLiteral("Stumm")));

    // Invisible buttons keep their place; they take clicks only for a member not being renamed.
    speaker_->setVisible(member && !renaming_);
    const double target = speakerButtonShown() ? 1.0 : 0.0;
    // Only the hover fades the button; the other reasons show or hide it at once.
    const bool byHover = built_ && hovering_ != speakerHovering_;
    speakerHovering_ = hovering_;
    if (target == speakerTarget_)
        return;
    speakerTarget_ = target;
    Motion::animate(this, speakerAnimation_, speakerOpacity_, target, byHover ? Motion::hover : 0ms,
                    Motion::hoverCurve(), [this](double opacity) { setSpeakerOpacity(opacity); });
}

void RoomRow::showVolume(bool member) {
    volume_->setValue(room_.volume);
    volume_->setName(room_.name);
    volume_->setHighlighted(focused_);
    volume_->setEnabled(member);
    const double target = !member ? 0.0 : room_.muted ? 0.45 : 1.0;
    // The fade follows the muted flag; a change of membership alone shows at once.
    const bool byMute = built_ && room_.muted != volumeMuted_;
    volumeMuted_ = room_.muted;
    if (target == volumeTarget_ && !byMute)
        return;
    volumeTarget_ = target;
    Motion::animate(this, volumeAnimation_, volumeOpacity_, target, byMute ? Motion::tooltip : 0ms,
                    Motion::panelCurve(), [this](double opacity) { setVolumeOpacity(opacity); });
}

void RoomRow::setSpeakerOpacity(double opacity) {
    speakerOpacity_ = opacity;
    speakerEffect_->setOpacity(opacity);
    speakerEffect_->setEnabled(opacity < 1.0); // drawn directly when fully opaque
}

void RoomRow::setVolumeOpacity(double opacity) {
    volumeOpacity_ = opacity;
    volumeEffect_->setOpacity(opacity);
    volumeEffect_->setEnabled(opacity < 1.0); // drawn directly when fully opaque
}

void RoomRow::setHovering(bool hovering) {
    if (hovering == hovering_)
        return;
    hovering_ = hovering;
    if (hovering)
        raise(); // the capsule reaches past the row's neighbours' edges: draw it above them
    Motion::animate(this, hoverAnimation_, hover_, hovering ? 1.0 : 0.0, Motion::hover, Motion::hoverCurve(),
                    [this](double p) {
                        hover_ = p;
                        membership_->setRowHover(p);
                        update();
                    });
    refresh();
}

void RoomRow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void RoomRow::paintEvent(QPaintEvent*) {
    Ink::fillRounded(this, shownHighlight(), Ink::capsule);
}

void RoomRow::enterEvent(QEnterEvent*) {
    setHovering(true);
}

void RoomRow::leaveEvent(QEvent*) {
    setHovering(false);
}
