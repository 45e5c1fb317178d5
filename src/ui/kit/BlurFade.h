#pragma once

#include <QEasingCurve>
#include <QGraphicsEffect>

#include <chrono>
#include <functional>

class QVariantAnimation;

// The blur-and-fade transition of content that arrives or leaves: at the hidden end the
// content is transparent, blurred by 4 points and `offset` points lower; at the shown end it
// is unchanged. Opacity, blur and offset move together with one progress value on one widget.
//
// Takes: progress (0 hidden … 1 shown), offset. As helpers: insert() installs the effect on a
// widget, runs it to shown (optionally after a delay) and removes itself at the end; remove()
// runs a widget to hidden and then calls `done` (typically deleting the widget).
// The blur is in points (scaled by the device pixel ratio of what it draws); the widget's
// parent should leave it a few points of room, since effects are clipped to the parent.
class BlurFade : public QGraphicsEffect {
    Q_OBJECT
public:
    static constexpr double blurRadius = 4; // points, at the hidden end

    // `blur`: the blur at the hidden end, in points (0 for a plain fade with the offset).
    explicit BlurFade(double offset = 0, QObject* parent = nullptr, double blur = blurRadius);

    double progress() const { return progress_; }
    void setProgress(double progress);
    double offset() const { return offset_; }
    double blur() const { return blur_; }

    // The effect's values at a progress, for tests and for painting it by hand.
    static double opacityAt(double progress) { return progress; }
    static double blurAt(double progress) { return blurRadius * (1 - progress); }
    static double offsetAt(double progress, double offset) { return offset * (1 - progress); }

    QRectF boundingRectFor(const QRectF& rect) const override;

    static BlurFade* insert(QWidget* widget, double offset, std::chrono::milliseconds duration,
                            std::chrono::milliseconds delay = std::chrono::milliseconds(0),
                            const QEasingCurve& curve = QEasingCurve());
    static BlurFade* remove(QWidget* widget, double offset, std::chrono::milliseconds duration,
                            std::function<void()> done, const QEasingCurve& curve = QEasingCurve());

    // The banners' transition: opacity together with a move from `rise` points higher, no blur;
    // otherwise as insert() and remove().
    static BlurFade* slideIn(QWidget* widget, double rise, std::chrono::milliseconds duration,
                             const QEasingCurve& curve = QEasingCurve());
    static BlurFade* slideOut(QWidget* widget, double rise, std::chrono::milliseconds duration,
                              std::function<void()> done, const QEasingCurve& curve = QEasingCurve());

protected:
    void draw(QPainter* painter) override;

private:
    double progress_ = 1;
    double offset_ = 0;
    double blur_ = blurRadius;
};
