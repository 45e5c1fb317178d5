#pragma once

#include <QWidget>

#include <optional>

class QVariantAnimation;

// The number beside a bass or treble slider: "+3", "0", "-4" in the caption font with monospaced
// digits, tertiary at 0 and secondary otherwise, aligned to the trailing edge. The first value is
// shown as it is; every later one rolls in over 0.15 s: the characters that changed (counted from
// the right) leave upwards and arrive from below when the value rises, the other way when it falls,
// while the ink moves to the new value's level.
class ValueText : public QWidget {
    Q_OBJECT
public:
    explicit ValueText(QWidget* parent = nullptr);

    static QString format(int value);

    std::optional<int> value() const { return value_; }
    void setValue(int value);
    QString text() const { return value_ ? format(*value_) : QString(); }

    double roll() const { return roll_; } // 1 when the characters are at rest
    QColor ink() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<int> value_;
    int previous_ = 0;
    double roll_ = 1;
    QVariantAnimation* rollAnimation_ = nullptr;
};
