#pragma once

#include <QWidget>

// A whole number from -10 to 10 with a marked centre, for bass and treble. It draws the value it
// is given and reports each new value under the pointer through `changed`; the owner stores it and
// hands it back with setValue. A double click resets to 0.
class EQSlider : public QWidget {
    Q_OBJECT
public:
    explicit EQSlider(int height = 16, QWidget* parent = nullptr);

    int value() const { return value_; }
    void setValue(int value);
    bool dragging() const { return dragging_; }

    // Assistive adjustment: one step, reported even at the bound.
    void increment();
    void decrement();

    // The x position of a value in a control of this size.
    static double position(int value, double width, double height);
    // The value under the pointer at x.
    static int valueAt(double x, double width, double height);

    QSize sizeHint() const override;

signals:
    void changed(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void report(double x);

    int value_ = 0;
    int height_;
    bool hovering_ = false;
    bool dragging_ = false;
};
