#pragma once

#include "core/Clock.h"
#include "household/SpeakerGroup.h"
#include "ui/kit/LayerCache.h"

#include <QWidget>

#include <optional>

class Household;
class QVariantAnimation;

// The progress row of the now-playing tile: elapsed time, a thin seek bar and the track's
// length. Advances once a second by itself while the group plays, from the position the
// household stored and when it stored it; a drag or click on the bar seeks once, when the
// pointer is let go. Takes no space when the track has no length.
class TrackProgress : public QWidget {
    Q_OBJECT
public:
    static constexpr int height = 12;
    static constexpr int minLabelWidth = 26;
    static constexpr int spacing = 8;

    TrackProgress(Household* household, QWidget* parent = nullptr);
    void setGroup(const SpeakerGroup& group);

    // The position shown at `now`: the drag's value while dragging, else the stored position,
    // advanced by the time since it was taken only in "PLAYING", within 0 … length.
    static double shownPosition(const SpeakerGroup& group, const QDateTime& now,
                                std::optional<double> dragging);
    // "m:ss", or "h:mm:ss" from an hour on, of the whole seconds.
    static QString timeText(double seconds);

    QString elapsedText() const;
    // The instant the bar shows: the last step of its one-second timeline.
    QDateTime shownNow() const;
    QString lengthText() const;
    std::optional<double> dragging() const { return dragging_; }
    bool active() const { return hovering_ || dragging_.has_value(); }
    QRectF barRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void drag(double x);
    void tick();
    void setActiveLook();
    double labelWidth(const QString& text) const;

    Household* household_;
    SpeakerGroup group_;
    std::optional<double> dragging_;
    bool hovering_ = false;
    double activeProgress_ = 0;
    QVariantAnimation* activeAnimation_ = nullptr;
    Clock::Id tick_ = 0;
    QDateTime shownAt_;
    LayerCache layer_;
};
