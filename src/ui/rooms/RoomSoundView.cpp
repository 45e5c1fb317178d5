#include "ui/rooms/RoomSoundView.h"

#include "core/Texts.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Motion.h"
#include "ui/kit/ScaleEffect.h"
#include "ui/kit/SymbolButton.h"
#include "ui/kit/TextStyle.h"
#include "ui/rooms/EQSlider.h"
#include "ui/rooms/InkLabel.h"
#include "ui/rooms/MiniSwitch.h"
#include "ui/rooms/ValueText.h"

#include <QCoro/QCoroTask>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace {

constexpr double resetHiddenScale = 0.9;

QHBoxLayout* row(QWidget* label, QWidget* control) {
    auto* layout = new QHBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addStretch(1);
    layout->addWidget(control);
    return layout;
}

} // namespace

RoomSoundView::RoomSoundView(Household& household, const Room& room, const std::optional<QString>& model,
                             QWidget* parent)
    : QWidget(parent), household_(household), room_(room) {
    setFixedWidth(232);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(14);

    auto* header = new QHBoxLayout;
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    names->addWidget(new InkLabel(room.name, TextStyle::Callout, InkLevel::Primary, this, QFont::DemiBold));
    if (model)
        names->addWidget(new InkLabel(*model, TextStyle::Caption, InkLevel::Secondary, this));
    header->addLayout(names);
    header->addStretch(1);
    reset_ = new SymbolButton(QStringLiteral("arrow.counterclockwise"), QSizeF(16, 16), this);
    reset_->setObjectName(QStringLiteral("reset"));
    reset_->setHover({.tooltip = L(QStringLiteral("Zurücksetzen")),
                      .alignment = Qt::AlignRight,
                      .padding = 4,
                      .shape = HoverShape::Circle,
                      .rest = InkLevel::Secondary,
                      .chrome = true,
                      .enabled = true,
                      .above = false});
    reset_->setAccessibleName(L(QStringLiteral("Zurücksetzen")));
    QSizePolicy keep = reset_->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    reset_->setSizePolicy(keep);
    connect(reset_, &QAbstractButton::clicked, this, &RoomSoundView::reset);
    resetEffect_ = new ScaleEffect(reset_);
    reset_->setGraphicsEffect(resetEffect_);
    setResetAppearance(0);
    header->addWidget(reset_, 0, Qt::AlignTop);
    column->addLayout(header);

    mute_ = new MiniSwitch(this);
    mute_->setObjectName(QStringLiteral("mute"));
    // The switch asks for nothing itself: every click toggles the live room.
    connect(mute_, &QAbstractButton::clicked, this, [this] { toggleMute(); });
    column->addLayout(row(new InkLabel(L(QStringLiteral("Stumm")), TextStyle::Caption, 0.8, this), mute_));

    loading_ = new QProgressBar(this);
    static_cast<QProgressBar*>(loading_)->setRange(0, 0);
    static_cast<QProgressBar*>(loading_)->setTextVisible(false);
    loading_->setFixedSize(20, 20);
    auto* loadingArea = new QWidget(this);
    loadingArea->setMinimumHeight(112);
    auto* loadingLayout = new QHBoxLayout(loadingArea);
    loadingLayout->addWidget(loading_, 0, Qt::AlignCenter);
    loading_ = loadingArea;
    column->addWidget(loading_);

    failedText_ =
        new InkLabel(L(QStringLiteral("Klang nicht lesbar.")), TextStyle::Caption, InkLevel::Secondary, this);
    column->addWidget(failedText_);

    controls_ = new QWidget(this);
    auto* levels = new QVBoxLayout(controls_);
    levels->setContentsMargins(0, 0, 0, 0);
    levels->setSpacing(14);
    const auto level = [&](const QString& label, EQSlider*& slider, ValueText*& valueLabel,
                           void (RoomSoundView::*set)(int)) {
        auto* box = new QVBoxLayout;
        box->setSpacing(6);
        valueLabel = new ValueText(controls_);
        box->addLayout(row(new InkLabel(label, TextStyle::Caption, 0.8, controls_), valueLabel));
        slider = new EQSlider(16, controls_);
        connect(slider, &EQSlider::changed, this, set);
        box->addWidget(slider);
        levels->addLayout(box);
    };
    level(L(QStringLiteral("Bass")), bass_, bassText_, &RoomSoundView::setBass);
    level(L(QStringLiteral("Höhen")), treble_, trebleText_, &RoomSoundView::setTreble);
    bass_->setObjectName(QStringLiteral("bass"));
    treble_->setObjectName(QStringLiteral("treble"));
    loudness_ = new MiniSwitch(controls_);
    loudness_->setObjectName(QStringLiteral("loudness"));
    connect(loudness_, &QAbstractButton::toggled, this, &RoomSoundView::setLoudness);
    levels->addLayout(
        row(new InkLabel(L(QStringLiteral("Loudness")), TextStyle::Caption, 0.8, controls_), loudness_));
    column->addWidget(controls_);

    connect(&household_, &Household::groupsChanged, this, &RoomSoundView::showMute);
    showMute();
    showSound();
    // Tied to this view: a popover closed before the answer ignores it.
    QCoro::connect(household_.loadSound(room_), this,
                   [this](const std::optional<Household::RoomSound>& sound) { loaded(sound); });
}

RoomSoundView::State RoomSoundView::state() const {
    if (sound_)
        return State::loaded;
    return failed_ ? State::failed : State::loading;
}

bool RoomSoundView::resetShown() const {
    return sound_ && (sound_->bass != 0 || sound_->treble != 0 || !sound_->loudness);
}

Room RoomSoundView::currentRoom() const {
    for (const Room& room : household_.allRooms())
        if (room.id == room_.id)
            return room;
    return room_;
}

QString RoomSoundView::valueText(int value) {
    return ValueText::format(value);
}

double RoomSoundView::resetScale() const {
    return resetHiddenScale + (1 - resetHiddenScale) * resetAppear_;
}

void RoomSoundView::loaded(const std::optional<Household::RoomSound>& sound) {
    sound_ = sound;
    failed_ = !sound;
    showSound();
}

void RoomSoundView::setBass(int level) {
    if (sound_)
        sound_->bass = level;
    household_.setBass(room_, level);
    showSound();
}

void RoomSoundView::setTreble(int level) {
    if (sound_)
        sound_->treble = level;
    household_.setTreble(room_, level);
    showSound();
}

void RoomSoundView::setLoudness(bool on) {
    if (sound_)
        sound_->loudness = on;
    household_.setLoudness(room_, on);
    showSound();
}

void RoomSoundView::reset() {
    sound_ = Household::RoomSound{.bass = 0, .treble = 0, .loudness = true};
    household_.setBass(room_, 0);
    household_.setTreble(room_, 0);
    household_.setLoudness(room_, true);
    showSound();
}

void RoomSoundView::toggleMute() {
    household_.toggleMute(currentRoom());
    showMute();
}

void RoomSoundView::showMute() {
    const QSignalBlocker block(mute_);
    mute_->setChecked(currentRoom().muted);
}

void RoomSoundView::showSound() {
    // The controls take the loaded values before they appear, so they do not move into them.
    if (sound_) {
        const auto showLevel = [](EQSlider* slider, ValueText* label, int value) {
            slider->setValue(value);
            label->setValue(value);
        };
        showLevel(bass_, bassText_, sound_->bass);
        showLevel(treble_, trebleText_, sound_->treble);
        const QSignalBlocker block(loudness_);
        loudness_->setChecked(sound_->loudness);
    }
    const State now = state();
    loading_->setVisible(now == State::loading);
    failedText_->setVisible(now == State::failed);
    controls_->setVisible(now == State::loaded);
    showReset();
}

void RoomSoundView::showReset() {
    const bool offered = resetShown();
    if (offered == resetOffered_)
        return; // the sound changed but not whether it is off its defaults: nothing moves
    resetOffered_ = offered;
    // Clicks and assistive technology follow the offer at once; the looks follow the curve.
    reset_->setAttribute(Qt::WA_TransparentForMouseEvents, !offered);
    Motion::animate(this, resetAnimation_, resetAppear_, offered ? 1.0 : 0.0, Motion::tooltip,
                    Motion::panelCurve(), [this](double p) { setResetAppearance(p); });
}

void RoomSoundView::setResetAppearance(double progress) {
    resetAppear_ = progress;
    resetEffect_->setOpacity(progress);
    resetEffect_->setScale(resetScale());
    resetEffect_->setEnabled(progress < 1); // drawn directly once fully shown
    reset_->setVisible(progress > 0 || resetOffered_);
}
