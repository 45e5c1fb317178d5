#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// A small on/off switch (26 x 15) without a title, for the settings rows of the rooms' views.
// Drawn like the drawn switch of render mode; a change of state slides the knob and fades the
// accent over 0.15 s.
class MiniSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit MiniSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {26, 15}; }
    // How far the switch is drawn as on: 0 off, 1 on, between while it moves.
    double onAmount() const { return amount_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double amount_ = 0;
    QVariantAnimation* animation_ = nullptr;
};
