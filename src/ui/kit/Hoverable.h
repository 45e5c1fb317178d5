#pragma once

#include "core/Clock.h"
#include "ui/kit/Ink.h"
#include "ui/kit/Tooltip.h"

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QPainter;
class QVariantAnimation;
class QWidget;

enum class HoverShape { Circle, Capsule };

// The eight choices every hoverable control states.
struct HoverOptions {
    std::optional<QString> tooltip;             // bubble text (already through L()); none: no bubble
    Qt::Alignment alignment = Qt::AlignHCenter; // AlignLeft, AlignHCenter or AlignRight
    double padding = 6;                         // points around the control
    HoverShape shape = HoverShape::Circle;      // chrome shape and padding rule
    InkLevel rest = InkLevel::Secondary;        // ink while not hovered
    bool chrome = true;                         // draw the hover circle / capsule
    bool enabled = true;                        // hovering raises the ink and lights the chrome
    bool above = false;                         // bubble above (true) or below the control

    bool operator==(const HoverOptions&) const = default;
};

// Hover feedback for one control widget: the ink rising from its resting level to primary, the
// soft chrome shape behind it, and the delayed tooltip bubble (0.45 s, at once within 0.4 s of
// the last hide, suppressed by a click until the pointer leaves).
//
// Takes: the control (watched for Enter, Leave, Hide), HoverOptions. The control gives itself
// `margins(options)` as padding (the whole padded rectangle is the hit area), paints
// `paintChrome()` behind its content and draws its content in `ink()`.
// Emits: changed() on every animation step (repaint), hoverChanged(bool), tipShownChanged(bool).
// The bubble is a child of the control's top-level widget (the panel root).
class Hoverable : public QObject {
    Q_OBJECT
public:
    Hoverable(QWidget* control, const HoverOptions& options);
    ~Hoverable() override;

    static QMargins margins(const HoverOptions& options);
    QMargins margins() const { return margins(options_); }

    const HoverOptions& options() const { return options_; }
    void setOptions(const HoverOptions& options);
    void setTooltip(const std::optional<QString>& tooltip);

    bool hovering() const { return hovering_; }
    bool tipShown() const { return showTip_; }
    bool instant() const { return instant_; }
    bool clicked() const { return clicked_; }
    double progress() const { return progress_; } // 0 at rest, 1 fully hovered (hover curve)

    QColor ink() const;
    void paintChrome(QPainter& painter, const QRectF& paddedRect) const;
    Tooltip* bubble() const { return bubble_; }

    // The hover handler; the event filter calls it, tests and composite views may too.
    void setHovering(bool inside);

signals:
    void changed();
    void hoverChanged(bool hovering);
    void tipShownChanged(bool shown);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchClicks(bool active);
    void setShowTip(bool show, bool animated);
    void placeBubble();
    void cancelDelay();

    QPointer<QWidget> control_;
    HoverOptions options_;
    bool hovering_ = false;
    bool showTip_ = false;
    bool instant_ = false;
    bool clicked_ = false;
    bool monitoring_ = false;
    Clock::Id tipDelay_ = 0;
    double progress_ = 0;
    QVariantAnimation* progressAnimation_ = nullptr;
    QPointer<Tooltip> bubble_;
};
