#pragma once

#include "ui/kit/LayerCache.h"

#include <QWidget>

// The panel's backing surface where the system gives no blurred material: a rounded, painted
// fill in the scheme's window colour, slightly translucent when a compositor draws the window
// translucently, opaque otherwise. It looks the same whether or not the panel is active.
//
// Takes: corner radius, translucent (the window layer knows whether a compositor runs).
// Emits nothing. Put the panel's content in a layout on it or on a sibling above it.
class VisualEffectSurface : public QWidget {
    Q_OBJECT
public:
    explicit VisualEffectSurface(double radius = 28, QWidget* parent = nullptr);

    void setRadius(double radius);
    void setTranslucent(bool translucent);
    bool translucent() const { return translucent_; }
    QColor fill() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double radius_;
    bool translucent_ = true;
    LayerCache layer_;
};
