#pragma once

#include <QObject>

// Whether the panel is shown, for the views inside it. Opening shows the content at once;
// closing with `animated` asks the content to fade out over `fadeOut` before the window goes.
class PanelPresence : public QObject {
    Q_OBJECT
public:
    static constexpr int fadeOutMs = 200; // ease-out

    using QObject::QObject;

    bool shown() const { return shown_; }
    void setShown(bool shown, bool animated = false);

signals:
    // After the value was stored; `animated` tells the content to fade rather than jump.
    void shownChanged(bool shown, bool animated);

private:
    bool shown_ = false;
};
