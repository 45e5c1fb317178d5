#pragma once

#include <QStringList>
#include <QWidget>

#include <optional>

class QVariantAnimation;

// A drawn key cap: a text ("A", "esc", "1–9") or a row of symbols ("command" and
// "arrow.left.arrow.right", 2 points apart) in the 10-point semibold face, on a 5-point rounded
// fill. Padding 5 left and right, 3 above and below; the face is at least 12 × 12, or exactly
// `width` wide when given (a footer cap with width 30 is 40 wide).
//
// Takes: text or symbols, width (optional), highlighted (fill 0.18 instead of 0.10, animated
// over 0.15 s with the panel curve; the face's opacity 1.0 instead of 0.8 switches at once).
// Emits nothing.
class KeyCap : public QWidget {
    Q_OBJECT
public:
    explicit KeyCap(QWidget* parent = nullptr);

    void setText(const QString& text);
    void setSymbols(const QStringList& symbols);
    void setFaceWidth(std::optional<double> width);
    bool highlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    double fillOpacity() const { return fill_; }
    double faceOpacity() const { return highlighted_ ? 1.0 : 0.8; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSizeF faceSize() const;

    QString text_;
    QStringList symbols_;
    std::optional<double> width_;
    bool highlighted_ = false;
    double fill_ = 0.10;
    QVariantAnimation* animation_ = nullptr;
};
