#pragma once

#include "household/Household.h"
#include "household/Room.h"

#include <QWidget>

#include <optional>

class EQSlider;
class MiniSwitch;
class InkLabel;
class QVariantAnimation;
class ScaleEffect;
class SymbolButton;
class ValueText;

// The sound settings of one room in its popover: reads bass, treble and loudness from the speaker
// when built, shows loading, failed or the controls, and hands every change to the household. The
// mute switch follows the household's live room; the other controls show the popover's own copy.
// The reset button fades and scales in and out (0.9 … 1) over 0.15 s as the sound leaves or
// returns to its defaults; it takes clicks only while it is offered.
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
    // The reset button as drawn at this moment: opacity 0 … 1 and scale 0.9 … 1.
    double resetOpacity() const { return resetAppear_; }
    double resetScale() const;

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
    void showReset();
    void setResetAppearance(double progress);

    Household& household_;
    Room room_;
    std::optional<Household::RoomSound> sound_;
    bool failed_ = false;

    SymbolButton* reset_ = nullptr;
    ScaleEffect* resetEffect_ = nullptr;
    bool resetOffered_ = false;
    double resetAppear_ = 0; // 0 hidden … 1 shown
    QVariantAnimation* resetAnimation_ = nullptr;
    MiniSwitch* mute_ = nullptr;
    QWidget* loading_ = nullptr;
    InkLabel* failedText_ = nullptr;
    QWidget* controls_ = nullptr;
    EQSlider* bass_ = nullptr;
    EQSlider* treble_ = nullptr;
    ValueText* bassText_ = nullptr;
    ValueText* trebleText_ = nullptr;
    MiniSwitch* loudness_ = nullptr;
};
