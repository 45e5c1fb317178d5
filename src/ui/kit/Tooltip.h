#pragma once

#include <QWidget>

class QVariantAnimation;

// The small dark tooltip bubble: caption-medium white text, padding 8 × 5, black at 0.85 in a
// 7-point rounded rectangle with a white 0.08 inner border; never wraps, never takes the pointer.
// The same in both schemes.
//
// Takes: text; `appear(bool animated)` and `disappear(bool animated)` (scale from 0.96 and fade
// over 0.15 s, anchored at the edge nearest the control: `setAnchorBottom(true)` when above).
class Tooltip : public QWidget {
    Q_OBJECT
public:
    explicit Tooltip(const QString& text, QWidget* parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString& text);
    void setAnchorBottom(bool bottom) { anchorBottom_ = bottom; }

    void appear(bool animated);
    void disappear(bool animated);
    double progress() const { return progress_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    bool anchorBottom_ = false;
    double progress_ = 0;
    QVariantAnimation* animation_ = nullptr;
};
