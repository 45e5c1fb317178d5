#pragma once

#include "core/Clock.h"
#include "ui/kit/FrameBeat.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

// One line of text that scrolls when it is wider than its box: it rests 2.5 s at its start,
// slides left at `speed` points per second until a second copy, `gap` points behind, stands
// where the first began, jumps back unseen and rests again. A scrolling line fades out over its
// last 12 points, and over its first 8 while it is away from rest. A line that fits, or any line
// with reduce motion on, stands still and is cut at the edge without an ellipsis. The slide
// steps on the panel's frame beat; the text is rasterised once and moved as pixels.
class Marquee : public QWidget {
    Q_OBJECT
public:
    static constexpr auto rest = std::chrono::milliseconds(2500);

    Marquee(const QString& text, double gap, double speed, QWidget* parent = nullptr);
    QString text() const { return text_; }
    void setColor(const QColor& color);
    void setReduceMotion(bool on);

    // What the line does at the current widths.
    struct Plan {
        bool scrolls = false;
        double distance = 0;                  // text width + gap
        std::chrono::milliseconds duration{}; // of one slide
    };
    static Plan plan(double textWidth, double boxWidth, double gap, double speed, bool reduceMotion);
    Plan plan() const;
    double textWidth() const { return textWidth_; }
    double offset() const { return offset_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void measure();
    void restart();
    void slide(quint64 generation);
    void stopSliding();
    void step();
    // The text once, as pixels at `ratio`, `textMargin` points of room before it.
    const QImage& textImage(double ratio, const QColor& colour);
    // The edge fade over a `device`-sized frame; `fadeIn` adds the fade of the leading edge.
    const QImage& edgeMask(const QSize& device, double ratio, bool fadeIn);

    QString text_;
    double gap_;
    double speed_;
    bool reduceMotion_ = false;
    QColor color_;
    double textWidth_ = 0;
    double offset_ = 0;
    bool scrolls_ = false;
    quint64 generation_ = 0;
    Clock::Id pending_ = 0;
    FrameBeat::Id beat_ = 0;
    Clock::Instant slideStart_{};
    double slideDistance_ = 0;
    std::chrono::milliseconds slideDuration_{};
    // Pixels kept between frames: the text, the edge fade for each state of the leading edge,
    // and the frame composed from them.
    QImage textImage_;
    QFont textFont_;
    QRgb textColour_ = 0;
    QImage masks_[2]; // without and with the leading fade
    QImage layer_;
};
