#pragma once

#include "ui/kit/PressableButton.h"
#include "ui/kit/TextStyle.h"

// A pressable text label ("Alle", "Bericht senden"), drawn in the button's ink.
class TextButton : public PressableButton {
    Q_OBJECT
public:
    TextButton(const QString& text, TextStyle style, QWidget* parent = nullptr);

protected:
    void paintContent(QPainter& painter, const QRectF& rect) override;
};
