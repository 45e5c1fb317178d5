#pragma once

#include "ui/kit/PressableButton.h"

class QVariantAnimation;

// The round membership button of a room row: a check icon for a member, an empty circle
// otherwise, 20 x 20 inside a 30 x 30 clickable square.
//
// Joining or leaving moves over 0.2 s on the panel curve: the check grows from 0.8 about its
// centre as it fades in (and shrinks as it fades out) while the circle fades the other way. Its
// ink is primary for a member; otherwise tertiary, rising to secondary as the row is hovered (the
// row hands its own hover progress over, so the whole row lights the mark, not the button alone).
class MembershipButton : public PressableButton {
    Q_OBJECT
public:
    explicit MembershipButton(QWidget* parent = nullptr);

    bool member() const { return member_; }
    // `animated` false shows the new membership at once (a row being built).
    void setMember(bool member, bool animated = true);
    // The row's hover progress, 0 … 1.
    void setRowHover(double progress);

    // As drawn at this moment: 0 the circle alone … 1 the check alone.
    double memberProgress() const { return progress_; }
    double checkOpacity() const { return progress_; }
    double checkScale() const;
    double circleOpacity() const { return 1 - progress_; }
    QColor markInk() const;

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;
    bool layerKey(LayerKey& key) const override;

private:
    bool member_ = false;
    double progress_ = 0;
    double rowHover_ = 0;
    QVariantAnimation* memberAnimation_ = nullptr;
};
