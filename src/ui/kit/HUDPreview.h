#pragma once

#include <QUrl>
#include <QWidget>

#include <array>
#include <optional>

class Artwork;
class KeyCap;
class QGraphicsOpacityEffect;
class QTimer;
class VolumeSlider;

// A miniature, self-running picture of the volume display for the settings footer: a small
// screen with a menu bar, on which a mini card appears, the volume rises by three taps of the
// volume-up key and falls by three of volume-down, and the card fades; below it the two keys,
// drawn pressed while tapped. One loop lasts 4.8 s. With reduced motion it stands still after
// the three up taps.
//
// Takes: art (or none), base (the volume to start from; clamped to 0…88 so that three steps
// stay within 100), reduce motion. Emits nothing; hidden from assistive technology.
class HUDPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr double loop = 4.8;
    static constexpr std::array<double, 3> upTaps{0.5, 0.8, 1.1};
    static constexpr std::array<double, 3> downTaps{2.3, 2.6, 2.9};
    static constexpr double stillTime = 1.4;

    explicit HUDPreview(QWidget* parent = nullptr);

    void setArt(const std::optional<QUrl>& art);
    void setBase(int base);
    void setReduceMotion(bool on);
    bool reduceMotion() const { return reduceMotion_; }

    // The drawing as pure functions of the time t within the loop.
    static double loopTime(double seconds, bool reduceMotion);
    static int volumeAt(double t, int base);
    static double visibilityAt(double t);
    static bool downPressedAt(double t);
    static bool upPressedAt(double t);

    // The time shown now, and sets the frame for it (tests step it by hand).
    double time() const { return t_; }
    void showTime(double t);
    int shownVolume() const;
    double cardVisibility() const { return visibilityAt(t_); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void tick();
    void updateTimer();
    QRectF screenRect() const;
    QRectF cardRect() const;

    int base_ = 0;
    bool reduceMotion_ = false;
    double t_ = 0;
    QWidget* card_;
    Artwork* artwork_;
    VolumeSlider* slider_;
    QGraphicsOpacityEffect* cardOpacity_;
    KeyCap* downKey_;
    KeyCap* upKey_;
    QTimer* timer_;
};
