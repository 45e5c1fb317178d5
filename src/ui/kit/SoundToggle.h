#pragma once

#include "ui/kit/PressableButton.h"

class QVariantAnimation;

// A capsule on/off button with a glyph and a short label (the TV sound options). On: a filled
// capsule without border; off: only a border until the pointer enters. Primary ink when on or
// hovered, else secondary.
//
// Takes: symbol, label (already through L()), on (from the caller on every change; animated
// over 0.15 s). Emits: clicked(); the caller flips the option and passes `on` back.
class SoundToggle : public PressableButton {
    Q_OBJECT
public:
    SoundToggle(const QString& symbol, const QString& label, QWidget* parent = nullptr);

    bool isOn() const { return on_; }
    void setOn(bool on);
    bool hovering() const { return hovering_; }

    // Fill and border opacity of the capsule for a state.
    static double fillOpacity(bool on, bool hovered);
    static double borderOpacity(bool on, bool hovered);
    double currentFillOpacity() const;
    double currentBorderOpacity() const;

    QSizeF contentSize() const override;

protected:
    void paintBackground(QPainter& painter) override;
    void paintContent(QPainter& painter, const QRectF& rect) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString symbol_;
    QString label_;
    bool on_ = false;
    bool hovering_ = false;
    double onProgress_ = 0;
    double hoverProgress_ = 0;
    QVariantAnimation* onAnimation_ = nullptr;
    QVariantAnimation* hoverAnimation_ = nullptr;
};
