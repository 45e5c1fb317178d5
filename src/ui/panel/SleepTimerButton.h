#pragma once

#include "core/Clock.h"
#include "household/SpeakerGroup.h"
#include "ui/kit/PressableButton.h"

#include <optional>

class Household;
class QMenu;

// The sleep-timer button of the now-playing tile: the "sleep" icon, and while a timer runs the
// time left beside it, counted down once a second. A click pops up a menu at the pointer that
// turns the timer off or sets 15, 30 or 60 minutes.
class SleepTimerButton : public PressableButton {
    Q_OBJECT
public:
    SleepTimerButton(Household* household, QWidget* parent = nullptr);
    void setGroup(const SpeakerGroup& group);

    // "N min" (rounded up) from a minute on, else "N s" (whole seconds).
    static QString format(double seconds);
    // The time left at `now`, never below 0; none without a timer.
    static std::optional<double> remaining(const SpeakerGroup& group, const QDateTime& now);
    // The label text now ("" without a timer).
    QString label() const;
    // The menu for the group as it is now; the caller owns it.
    QMenu* makeMenu(QWidget* parent) const;

    QSizeF contentSize() const override;

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;
    bool layerKey(LayerKey& key) const override;
    void paintLayerContent(QPainter& painter, const QRectF& rect) override;
    void paintOverLayer(QPainter& painter, const QRectF& rect) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void paintLabel(QPainter& painter, const QRectF& rect);
    void showMenu();
    void tick();
    void restyle();

    Household* household_;
    SpeakerGroup group_;
    std::optional<bool> running_;
    Clock::Id tick_ = 0;
};
