#pragma once

#include "ui/kit/TextStyle.h"

#include "ui/kit/Ink.h"

#include <QLabel>

#include <optional>

// A text in a text style drawn in the primary colour at a fixed opacity of the scheme it is
// shown in; it follows scheme changes of its window.
class InkLabel : public QLabel {
    Q_OBJECT
public:
    InkLabel(const QString& text, TextStyle style, double opacity, QWidget* parent = nullptr,
             QFont::Weight weight = QFont::Normal);
    // In the ink of a level instead (its opacity differs between the schemes).
    InkLabel(const QString& text, TextStyle style, InkLevel level, QWidget* parent = nullptr,
             QFont::Weight weight = QFont::Normal);

    void setOpacity(double opacity);
    void setLevel(InkLevel level);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyInk();

    std::optional<InkLevel> level_;
    double opacity_ = 1.0;
};
