#pragma once

#include "household/SpeakerGroup.h"
#include "ui/kit/Tile.h"
#include "ui/panel/FavoritesList.h"
#include "ui/panel/Marquee.h"
#include "ui/panel/PanelEnvironment.h"

#include <QPointer>

class EditableName;
class GroupSwitcher;
class MusicAppShortcuts;
class OpenSource;
class PlayingWaves;
class QGridLayout;
class QHBoxLayout;
class SleepTimerButton;
class SoundToggle;
class SourceGlyph;
class StepButton;
class SymbolButton;
class TrackProgress;
class VolumeSlider;

// The active group's tile: cover and titles (both links into the music source), the editable
// group name with the group switcher, the source badge and the scrolling subtitle, the sleep
// timer and the transport; below them the favourites and music-app shortcuts while nothing is
// loaded, the progress row, the TV sound switches and the group volume. It changes nothing
// itself: every action is a household operation, every value comes from the group it shows.
class NowPlaying : public Tile {
    Q_OBJECT
public:
    static constexpr double gap = 32;
    static constexpr double speed = 28;

    NowPlaying(const SpeakerGroup& group, const PanelEnvironment& environment, QWidget* parent = nullptr);

    void setGroup(const SpeakerGroup& group);
    const SpeakerGroup& group() const { return group_; }

    // The subtitle under the name.
    static QString subtitle(const SpeakerGroup& group);
    static bool playing(const SpeakerGroup& group);
    static bool idle(const SpeakerGroup& group);
    static bool tvSilent(const SpeakerGroup& group);
    static bool tvAtmos(const SpeakerGroup& group);

    // Parts, for the tests and the panel's key handling.
    SymbolButton* playButton() const { return play_; }
    SymbolButton* skipButton(bool forward) const { return forward ? next_ : previous_; }
    StepButton* stepButton(bool up) const { return up ? plus_ : minus_; }
    VolumeSlider* slider() const { return slider_; }
    SoundToggle* nightToggle() const { return night_; }
    SoundToggle* speechToggle() const { return speech_; }
    EditableName* name() const { return name_; }
    SleepTimerButton* sleepTimer() const { return sleep_; }
    TrackProgress* progress() const { return progress_; }
    OpenSource* cover() const { return cover_; }
    OpenSource* subtitleLink() const { return subtitleLink_; }
    Marquee* marquee() const { return marquee_; }
    SourceGlyph* glyph() const { return glyph_; }
    QWidget* idleSection() const { return idle_; }
    QWidget* tvRow() const { return tvRow_; }
    QWidget* volumeRow() const;
    bool volumeHasKeyboard() const;
    QString favoritesKey() const { return favoritesKey_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    class VolumeRow;
    void refresh();
    void setSubtitle(const QString& text);
    void reloadFavoritesIfDue();
    void updateInk();

    SpeakerGroup group_;
    PanelEnvironment environment_;
    bool tv_ = false;
    OpenSource* cover_;
    EditableName* name_;
    QHBoxLayout* nameLine_;
    GroupSwitcher* switcher_ = nullptr;
    SourceGlyph* glyph_;
    OpenSource* subtitleLink_;
    QWidget* subtitleBox_;
    QGridLayout* subtitleGrid_;
    QPointer<Marquee> marquee_;
    QWidget* controls_;
    SleepTimerButton* sleep_;
    SymbolButton* previous_;
    SymbolButton* play_;
    SymbolButton* next_;
    QWidget* idle_;
    QPointer<FavoritesList> favorites_;
    MusicAppShortcuts* apps_;
    TrackProgress* progress_;
    QWidget* tvRow_;
    SoundToggle* night_;
    SoundToggle* speech_;
    VolumeRow* volumeRow_;
    StepButton* minus_;
    VolumeSlider* slider_;
    StepButton* plus_;
    QString favoritesKey_;
};
