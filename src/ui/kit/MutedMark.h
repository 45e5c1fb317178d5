#pragma once

#include <QWidget>

// The mute mark over the volume display's slider: an exclamation-mark circle 8 points in from
// the slider's trailing end. Where the slider's fill reaches under it, it shows in the
// text-background colour so that it stays legible on the fill; elsewhere in the primary ink at
// 70 %. Lies exactly over the slider and takes no input.
//
// Takes: volume (0…100), the slider's control height. Emits nothing.
class MutedMark : public QWidget {
    Q_OBJECT
public:
    MutedMark(double height, QWidget* parent = nullptr);
    void setVolume(int volume);
    int volume() const { return volume_; }
    // The fill length the slider draws for `volume` at the given size.
    static double fill(int volume, double width, double height);
    // Where the mark's symbol lies within a slider of the given size.
    static QRectF markRect(double width, double height);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double height_;
    int volume_ = 0;
};
