#pragma once

#include <QAbstractButton>

// A small on/off switch (26 x 15) without a title, for the settings rows of the rooms' views.
class MiniSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit MiniSwitch(QWidget* parent = nullptr);

    QSize sizeHint() const override { return {26, 15}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
