#pragma once

#include "ui/kit/EasedFlag.h"
#include "ui/kit/Motion.h"

#include <QWidget>

#include <functional>

class QHBoxLayout;
class QVariantAnimation;

// One settings row of the footer: a caption on the left, a control on the right, a rounded
// highlight that is stronger while the keyboard focus sits on the row than while the pointer
// hovers it (the hover fill comes and goes with the hover animation). A click anywhere on the
// row runs its action.
class FooterRowFrame : public QWidget {
    Q_OBJECT
public:
    FooterRowFrame(const QString& caption, std::function<void()> action, QWidget* parent = nullptr);

    QHBoxLayout* content() const { return content_; }
    void setKeyed(bool keyed);
    bool keyed() const { return keyed_; }
    double fill() const { return keyed_ ? 0.08 : hover_.isOn() ? 0.05 : 0; }
    // The fill as drawn while a hover change animates.
    double drawnFill() const { return keyed_ ? 0.08 : 0.05 * hover_.progress(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setHovering(bool hovering);

    std::function<void()> action_;
    QHBoxLayout* content_ = nullptr;
    bool keyed_ = false;
    EasedFlag hover_{this, Motion::hover, Motion::hoverCurve(), [this] { update(); }};
};
