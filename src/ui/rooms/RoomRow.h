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
class SymbolButton;
class VolumeSlider;

// One room of the room list: membership button, editable name, the speaker button that opens the
// room's sound popover, and the volume slider. The list keeps one row per room id and updates it
// in place, so hover, an open popover and a rename in progress survive new values.
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

    RoomsEnvironment environment_;
    Room room_;
    SpeakerGroup group_;
    bool focused_ = false;
    bool hovering_ = false;
    bool renaming_ = false;

    MembershipButton* membership_ = nullptr;
    EditableName* name_ = nullptr;
    SymbolButton* speaker_ = nullptr;
    VolumeSlider* volume_ = nullptr;
    QGraphicsOpacityEffect* volumeOpacity_ = nullptr;
    QPointer<QWidget> popover_;
    QPointer<RoomSoundView> soundView_;
    Debounce clearPopoverFlag_{this};
};
