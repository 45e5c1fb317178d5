#pragma once

#include <QUrl>
#include <QWidget>

#include <optional>

class Artwork;
class MutedMark;
class QGraphicsOpacityEffect;
class VisualEffectSurface;
class VolumeSlider;

// The volume display's card: the group's artwork (36, radius 12) and a volume bar (height 22)
// on a 260 × 52 rounded surface (radius 20), padded 8 before and 15 after. While muted the
// bar is dimmed to 40 % and the mute mark lies over it. Outside render mode a transparent
// margin of 28 surrounds the card (316 × 108 in all); in render mode there is none and the
// surface is solid (grey 0.13 dark, white light) instead of the translucent one.
//
// Takes: art (or none; an equal URL is not assigned again, so it does not reload), volume,
// muted. Emits nothing; takes no input.
class HUDView : public QWidget {
    Q_OBJECT
public:
    static constexpr int cardWidth = 260;
    static constexpr int cardHeight = 52;
    static constexpr int outerMargin = 28;

    explicit HUDView(QWidget* parent = nullptr);

    // The margin around the card: 28, or none in render mode.
    static int margin();

    void setArt(const std::optional<QUrl>& art);
    void setVolume(int volume);
    void setMuted(bool muted);
    std::optional<QUrl> art() const { return art_; }
    int volume() const { return volume_; }
    bool muted() const { return muted_; }
    double sliderOpacity() const;
    const MutedMark* mark() const { return mark_; }
    const VolumeSlider* slider() const { return slider_; }
    const Artwork* artwork() const { return artwork_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<QUrl> art_;
    int volume_ = 0;
    bool muted_ = false;
    VisualEffectSurface* surface_ = nullptr;
    Artwork* artwork_;
    VolumeSlider* slider_;
    MutedMark* mark_;
    QGraphicsOpacityEffect* dim_;
};
