#pragma once

#include "platform/KeyGrabber.h"

#include <QAbstractNativeEventFilter>
#include <QHash>

#include <utility>

struct xcb_connection_t;

// Key grabs on the root window of an X11 display. Each grab is placed four times, with and
// without Caps Lock and Num Lock, so that the lock keys do not hide a press. A grab that the
// server refuses (BadAccess: another client holds that key) is undone entirely.
//
// Presses reach it through the application's native event filter: install it with
// QCoreApplication::installNativeEventFilter. Grabbed key events go to the root window only
// and are consumed here. Without a connection (no X11 display) nothing is available.
class X11KeyGrabber : public KeyGrabber, public QAbstractNativeEventFilter {
public:
    // `connection` may be null; the grabs use the first screen's root window.
    explicit X11KeyGrabber(xcb_connection_t* connection);
    ~X11KeyGrabber() override;
    X11KeyGrabber(const X11KeyGrabber&) = delete;
    X11KeyGrabber& operator=(const X11KeyGrabber&) = delete;

    bool available() const override { return connection_ != nullptr && root_ != 0; }
    bool grab(quint32 keyCode, quint16 modifiers, Callback callback) override;
    void ungrab(quint32 keyCode, quint16 modifiers) override;
    std::optional<quint32> keyCodeFor(quint32 keysym) const override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    // Passes `event` (an xcb key press or release) to its grab's callback; false when no grab of
    // ours owns it.
    bool deliver(quint8 type, quint32 keyCode, quint16 state, quint32 window);
    void ungrabVariants(quint32 keyCode, quint16 modifiers) const;

    xcb_connection_t* connection_;
    quint32 root_ = 0;
    QHash<std::pair<quint32, quint16>, Callback> grabs_;
    // Keys down, by key code: the grab their press went to.
    QHash<quint32, std::pair<quint32, quint16>> down_;
};
