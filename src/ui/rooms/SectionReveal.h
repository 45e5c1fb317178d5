#pragma once

#include <QEasingCurve>
#include <QObject>
#include <QPointer>
#include <QSize>

#include <chrono>

class BlurFade;
class QVariantAnimation;
class QWidget;

// Brings one section of a column in and out: while it arrives its height opens from 0 to its
// natural height and it fades in (blurred as well when given a blur), so the sections below
// slide down instead of jumping; leaving runs the same way back and hides it at the end.
//
// Takes: the section (hidden or shown as it stands), the blur at the hidden end in points (0 for
// a plain fade); setShown(shown, duration) with the panel curve. A duration of 0 switches at
// once. Emits: stepped() after each change of progress (the column re-reads its height).
class SectionReveal : public QObject {
    Q_OBJECT
public:
    explicit SectionReveal(QWidget* section, double blur = 0);

    bool shown() const { return shown_; }
    // 0 hidden … 1 shown; between while the transition runs.
    double progress() const { return progress_; }
    // The section's opacity as drawn (1 once no effect is needed).
    double opacity() const;
    bool running() const { return animation_ != nullptr; }

    void setShown(bool shown, std::chrono::milliseconds duration);

signals:
    void stepped();

private:
    void apply(double progress);
    void release();
    int naturalHeight() const;

    QPointer<QWidget> section_;
    double blur_ = 0;
    bool shown_ = false;
    double progress_ = 0;
    QVariantAnimation* animation_ = nullptr;
    QPointer<BlurFade> effect_;
    bool constrained_ = false;
    QSize minimum_;
    QSize maximum_;
};
