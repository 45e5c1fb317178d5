#pragma once

#include "household/Household.h"
#include "household/Room.h"

#include <QWidget>

#include <optional>

class EQSlider;
class MiniSwitch;
class InkLabel;
class SymbolButton;

// The sound settings of one room in its popover: reads bass, treble and loudness from the speaker
// when built, shows loading, failed or the controls, and hands every change to the household. The
// mute switch follows the household's live room; the other controls show the popover's own copy.
class RoomSoundView : public QWidget {
    Q_OBJECT
public:
    enum class State { loading, failed, loaded };

    RoomSoundView(Household& household, const Room& room, const std::optional<QString>& model,
                  QWidget* parent = nullptr);

    State state() const;
    const std::optional<Household::RoomSound>& sound() const { return sound_; }
    // Whether the reset button is offered: the loaded sound is off its defaults.
    bool resetShown() const;

    // The room of the household with the stored id, or the stored room when none has it.
    Room currentRoom() const;

    // "+3", "0", "-4".
    static QString valueText(int value);

    void setBass(int level);
    void setTreble(int level);
    void setLoudness(bool on);
    void reset();
    void toggleMute();

private:
    void loaded(const std::optional<Household::RoomSound>& sound);
    void showSound();
    void showMute();

    Household& household_;
    Room room_;
    std::optional<Household::RoomSound> sound_;
    bool failed_ = false;

    SymbolButton* reset_ = nullptr;
    MiniSwitch* mute_ = nullptr;
    QWidget* loading_ = nullptr;
    InkLabel* failedText_ = nullptr;
    QWidget* controls_ = nullptr;
    EQSlider* bass_ = nullptr;
    EQSlider* treble_ = nullptr;
    InkLabel* bassText_ = nullptr;
    InkLabel* trebleText_ = nullptr;
    MiniSwitch* loudness_ = nullptr;
};
