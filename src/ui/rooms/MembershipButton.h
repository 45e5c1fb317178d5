#pragma once

#include "ui/kit/PressableButton.h"

// The round membership button of a room row: a check icon for a member, an empty circle
// otherwise, 20 x 20 inside a 30 x 30 clickable square.
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
