#include "platform/X11KeyGrabber.h"

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>

namespace {
constexpr quint16 lockMask = XCB_MOD_MASK_LOCK;
constexpr quint16 numLockMask = XCB_MOD_MASK_2;
constexpr std::array<quint16, 4> lockVariants{0, lockMask, numLockMask, lockMask | numLockMask};
constexpr quint16 meaningfulMask =
    KeyGrabber::shiftMask | KeyGrabber::controlMask | KeyGrabber::altMask | KeyGrabber::superMask;

// The modifier sets one grab is placed with: the lock variants, or once for "any modifier".
std::array<quint16, 4> variantsOf(quint16 modifiers, int& count) {
    if (modifiers == KeyGrabber::anyModifier) {
        count = 1;
        return {KeyGrabber::anyModifier, 0, 0, 0};
    }
    count = int(lockVariants.size());
    std::array<quint16, 4> out{};
    for (std::size_t i = 0; i < lockVariants.size(); ++i)
        out[i] = quint16(modifiers | lockVariants[i]);
    return out;
}
} // namespace

X11KeyGrabber::X11KeyGrabber(xcb_connection_t* connection) : connection_(connection) {
    if (!connection_ || xcb_connection_has_error(connection_))
        return;
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    if (screens.rem > 0)
        root_ = screens.data->root;
}

X11KeyGrabber::~X11KeyGrabber() {
    if (!available())
        return;
    for (auto it = grabs_.cbegin(); it != grabs_.cend(); ++it)
        ungrabVariants(it.key().first, it.key().second);
    xcb_flush(connection_);
}

bool X11KeyGrabber::grab(quint32 keyCode, quint16 modifiers, Callback callback) {
    if (!available() || keyCode > 255)
        return false;
    const auto key = std::make_pair(keyCode, modifiers);
    if (grabs_.contains(key)) {
        grabs_[key] = std::move(callback);
        return true;
    }
    int count = 0;
    const auto variants = variantsOf(modifiers, count);
    std::array<xcb_void_cookie_t, 4> cookies{};
    for (int i = 0; i < count; ++i)
        cookies[std::size_t(i)] =
            xcb_grab_key_checked(connection_, 0, root_, variants[std::size_t(i)], xcb_keycode_t(keyCode),
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    bool refused = false;
    for (int i = 0; i < count; ++i) {
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookies[std::size_t(i)])) {
            refused = true;
            std::free(error);
        }
    }
    if (refused) {
        // Some variants may have been granted before the refusal: none of them stays.
        ungrabVariants(keyCode, modifiers);
        xcb_flush(connection_);
        return false;
    }
    grabs_.insert(key, std::move(callback));
    return true;
}

void X11KeyGrabber::ungrab(quint32 keyCode, quint16 modifiers) {
    if (!available() || !grabs_.remove(std::make_pair(keyCode, modifiers)))
        return;
    ungrabVariants(keyCode, modifiers);
    xcb_flush(connection_);
}

void X11KeyGrabber::ungrabVariants(quint32 keyCode, quint16 modifiers) const {
    int count = 0;
    const auto variants = variantsOf(modifiers, count);
    for (int i = 0; i < count; ++i)
        xcb_ungrab_key(connection_, xcb_keycode_t(keyCode), root_, variants[std::size_t(i)]);
}

std::optional<quint32> X11KeyGrabber::keyCodeFor(quint32 keysym) const {
    if (!available())
        return std::nullopt;
    const xcb_setup_t* setup = xcb_get_setup(connection_);
    const xcb_keycode_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        connection_, xcb_get_keyboard_mapping(connection_, first, quint8(count)), nullptr);
    if (!reply)
        return std::nullopt;
    std::optional<quint32> found;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(reply);
    const int perKey = reply->keysyms_per_keycode;
    for (int code = 0; code < count && !found; ++code) {
        for (int column = 0; column < perKey; ++column) {
            if (syms[code * perKey + column] == keysym) {
                found = quint32(first + code);
                break;
            }
        }
    }
    std::free(reply);
    return found;
}

bool X11KeyGrabber::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    Q_UNUSED(result)
    if (eventType != "xcb_generic_event_t" || grabs_.isEmpty())
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const quint8 type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    return deliver(type, key->detail, key->state, key->event);
}

bool X11KeyGrabber::deliver(quint8 type, quint32 keyCode, quint16 state, quint32 window) {
    if (window != root_)
        return false;
    const quint16 modifiers = state & meaningfulMask;
    auto it = grabs_.constFind(std::make_pair(keyCode, modifiers));
    if (it == grabs_.cend())
        it = grabs_.constFind(std::make_pair(keyCode, anyModifier));
    // A release belongs to the grab its press went to, whatever modifiers were let go first.
    if (type == XCB_KEY_RELEASE) {
        const auto down = down_.constFind(keyCode);
        if (down != down_.cend())
            it = grabs_.constFind(down.value());
        down_.remove(keyCode);
    } else if (it != grabs_.cend()) {
        down_.insert(keyCode, it.key());
    }
    if (it == grabs_.cend())
        return false;
    // A copy: the callback may ungrab (and so destroy) its own entry.
    const Callback callback = it.value();
    if (callback)
        callback(type == XCB_KEY_PRESS, modifiers);
    return true;
}
