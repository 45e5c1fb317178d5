#pragma once

#include "core/Clock.h"
#include "household/Room.h"
#include "household/SpeakerGroup.h"
#include "ui/rooms/RoomSoundView.h"
#include "ui/rooms/RoomsEnvironment.h"

#include <QPointer>
#include <QWidget>

class EditableName;
class MembershipButton;
class QGraphicsOpacityEffect;
class QVariantAnimation;
class SymbolButton;
class VolumeSlider;

// One room of the room list: membership button, editable name, the speaker button that opens the
// room's sound popover, and the volume slider. The list keeps one row per room id and updates it
// in place, so hover, an open popover and a rename in progress survive new values.
//
// Motion: hovering lights the capsule, the membership mark's ink and the speaker button with the
// hover curve; a change of membership moves the mark (0.2 s); muting or unmuting fades the volume
// slider to 0.45 or back (0.15 s); a new speaker symbol cross-fades in. Updates that do not change
// what an animation follows leave it alone. Other changes (keyboard highlight, renaming, an open
// popover, membership for the slider) show at once.
class RoomRow : public QWidget {
    Q_OBJECT
public:
    RoomRow(const Room& room, const SpeakerGroup& group, bool focused, const RoomsEnvironment& environment,
            QWidget* parent = nullptr);
    ~RoomRow() override;

    // New values for the row; nothing is redrawn when they equal the shown ones.
    void show(const Room& room, const SpeakerGroup& group, bool focused);

    const Room& room() const { return room_; }
    bool isMember() const;
    bool hovering() const { return hovering_; }
    bool renaming() const { return renaming_; }
    bool soundOpen() const { return popover_ != nullptr; }
    RoomSoundView* soundView() const { return soundView_; }
    QWidget* popover() const { return popover_; }
    // The capsule's fill: the keyboard highlight wins over hovering.
    double highlight() const;
    bool speakerButtonShown() const;

    // As drawn at this moment.
    double hoverProgress() const { return hover_; }
    double shownHighlight() const;
    double speakerOpacity() const { return speakerOpacity_; }
    double volumeOpacity() const { return volumeOpacity_; }

    void openSound();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QString> modelName() const;
    void toggleMembership();
    void popoverClosed();
    void refresh();
    void setHovering(bool hovering);
    void showSpeaker(bool member);
    void showVolume(bool member);
    void setSpeakerOpacity(double opacity);
    void setVolumeOpacity(double opacity);

    RoomsEnvironment environment_;
    Room room_;
    SpeakerGroup group_;
    bool focused_ = false;
    bool hovering_ = false;
    bool renaming_ = false;
    bool built_ = false; // the first values show at once

    double hover_ = 0; // hover curve progress
    QVariantAnimation* hoverAnimation_ = nullptr;
    bool speakerHovering_ = false; // the hover state the speaker button's opacity last followed
    double speakerTarget_ = 0;
    double speakerOpacity_ = 0;
    QVariantAnimation* speakerAnimation_ = nullptr;
    bool volumeMuted_ = false; // the muted flag the slider's opacity last followed
    double volumeTarget_ = 1;
    double volumeOpacity_ = 1;
    QVariantAnimation* volumeAnimation_ = nullptr;

    MembershipButton* membership_ = nullptr;
    EditableName* name_ = nullptr;
    SymbolButton* speaker_ = nullptr;
    VolumeSlider* volume_ = nullptr;
    QGraphicsOpacityEffect* volumeEffect_ = nullptr;
    QGraphicsOpacityEffect* speakerEffect_ = nullptr;
    QPointer<QWidget> popover_;
    QPointer<RoomSoundView> soundView_;
    Debounce clearPopoverFlag_{this};
};
