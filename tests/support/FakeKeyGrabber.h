#pragma once

#include "platform/KeyGrabber.h"

#include <QHash>
#include <QMap>
#include <QSet>

#include <utility>

namespace test {

// Key grabs without a display: keys listed in `taken` are held by "another program", and
// press() delivers a key as the display would.
struct FakeKeyGrabber : KeyGrabber {
    static constexpr quint32 raiseCode = 123;
    static constexpr quint32 lowerCode = 122;
    static constexpr quint32 muteCode = 121;
    static constexpr quint32 sCode = 39;

    bool present = true;
    QSet<quint32> taken;
    QMap<std::pair<quint32, quint16>, Callback> grabs;
    int grabCalls = 0;
    QHash<quint32, quint32> keymap{
        {0x73, sCode}, {0x1008FF13, raiseCode}, {0x1008FF11, lowerCode}, {0x1008FF12, muteCode}};

    bool available() const override { return present; }
    bool grab(quint32 keyCode, quint16 modifiers, Callback callback) override {
        ++grabCalls;
        if (!present || taken.contains(keyCode))
            return false;
        grabs.insert({keyCode, modifiers}, std::move(callback));
        return true;
    }
    void ungrab(quint32 keyCode, quint16 modifiers) override { grabs.remove({keyCode, modifiers}); }
    std::optional<quint32> keyCodeFor(quint32 keysym) const override {
        if (keymap.contains(keysym))
            return keymap.value(keysym);
        return std::nullopt;
    }

    bool holds(quint32 keyCode, quint16 modifiers) const { return grabs.contains({keyCode, modifiers}); }
    bool holdsMediaKeys() const {
        return holds(raiseCode, anyModifier) && holds(lowerCode, anyModifier) && holds(muteCode, anyModifier);
    }
    // Delivers a press (and release) of a grabbed key; false when nothing of ours holds it.
    bool press(quint32 keyCode, quint16 modifiers = 0) {
        auto it = grabs.find({keyCode, modifiers});
        if (it == grabs.end())
            it = grabs.find({keyCode, anyModifier});
        if (it == grabs.end())
            return false;
        const Callback callback = it.value();
        callback(true, modifiers);
        callback(false, modifiers);
        return true;
    }
};

} // namespace test
