#include "app/MediaKeys.h"

#include "core/Log.h"
#include "platform/KeyGrabber.h"
#include "platform/SettingsStore.h"

namespace {
constexpr quint32 keysyms[3] = {MediaKeys::raiseVolume, MediaKeys::lowerVolume, MediaKeys::muteVolume};
constexpr MediaKeys::Key keys[3] = {MediaKeys::Key::up, MediaKeys::Key::down, MediaKeys::Key::mute};
} // namespace

MediaKeys::MediaKeys(KeyGrabber* grabber, Handler handler, std::function<void()> onGranted, QObject* parent)
    : QObject(parent), grabber_(grabber), handler_(std::move(handler)), onGranted_(std::move(onGranted)) {}

MediaKeys::~MediaKeys() {
    Clock::cancel(poll_);
    release();
}

bool MediaKeys::enabled(const SettingsStore& settings) {
    return settings.boolValue(QStringLiteral("volumeKeys")).value_or(true);
}

bool MediaKeys::available() const {
    return grabber_ && grabber_->available();
}

void MediaKeys::start() {
    if (polling_)
        return;
    sync();
    wasTrusted_ = trusted_;
    polling_ = true;
    schedulePoll();
}

void MediaKeys::schedulePoll() {
    poll_ = Clock::schedule(pollInterval, this, [this] {
        poll_ = 0;
        sync();
        schedulePoll();
    });
}

void MediaKeys::sync() {
    if (!available()) {
        setTrusted(false);
        return;
    }
    // Once trusted the grabs are tried again only when they are wanted; while they fail, each
    // poll tries them (and lets them go again when they are not wanted).
    if (trusted_ && !holding_ && !wanted()) {
        wasTrusted_ = true;
        return;
    }
    const bool ok = holding_ || grabAll();
    if (ok && !wasTrusted_ && polling_ && onGranted_)
        onGranted_();
    wasTrusted_ = ok;
    setTrusted(ok);
    if (ok && !wanted())
        release();
}

void MediaKeys::reevaluate() {
    if (!available())
        return;
    if (wanted() && !holding_ && trusted_) {
        if (!grabAll()) {
            wasTrusted_ = false;
            setTrusted(false);
        }
        emit changed();
    } else if (!wanted() && holding_) {
        release();
        emit changed();
    }
}

bool MediaKeys::grabAll() {
    for (int i = 0; i < 3; ++i) {
        const auto code = grabber_->keyCodeFor(keysyms[i]);
        const Key key = keys[i];
        if (!code ||
            !grabber_->grab(*code, KeyGrabber::anyModifier, [this, key](bool pressed, quint16 modifiers) {
                deliver(key, pressed, modifiers);
            })) {
            for (int j = 0; j < i; ++j)
                grabber_->ungrab(codes_[j], KeyGrabber::anyModifier);
            if (!loggedRefusal_)
                qCInfo(logApp) << "The volume keys are held by another program (or missing from the keyboard "
                                  "map); trying again every second";
            loggedRefusal_ = true;
            return false;
        }
        codes_[i] = *code;
    }
    if (loggedRefusal_)
        qCInfo(logApp) << "The volume keys are free again";
    loggedRefusal_ = false;
    holding_ = true;
    return true;
}

void MediaKeys::release() {
    if (!holding_ || !grabber_)
        return;
    for (const quint32 code : codes_)
        grabber_->ungrab(code, KeyGrabber::anyModifier);
    holding_ = false;
}

void MediaKeys::setTrusted(bool trusted) {
    if (trusted_ == trusted)
        return;
    trusted_ = trusted;
    emit changed();
}

void MediaKeys::deliver(Key key, bool pressed, quint16 modifiers) {
    if (!pressed)
        return; // a release follows its press: a grabbed key never reaches the desktop
    // Auto-repeated presses count as presses. Alt and Shift together ask for the fine step.
    const bool fine = (modifiers & KeyGrabber::altMask) && (modifiers & KeyGrabber::shiftMask);
    if (!(handler_ && handler_(key, fine)))
        qCDebug(logApp) << "A volume key was declined while grabbed; it is dropped";
}
