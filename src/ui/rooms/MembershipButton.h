#pragma once

#include "ui/kit/PressableButton.h"

// The round membership button of a room row: a check icon for a member, an empty circle
// otherwise. Laid out at 20 x 20; it takes clicks 5 points around that.
class MembershipButton : public PressableButton {
    Q_OBJECT
public:
    explicit MembershipButton(QWidget* parent = nullptr);

    bool member() const { return member_; }
    void setMember(bool member);

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;

private:
    bool member_ = false;
};
