#include "app/HotKey.h"

#include "core/Log.h"
#include "platform/KeyGrabber.h"
#include "platform/SettingsStore.h"

#include <QKeyEvent>
#include <QKeySequence>

#include <cmath>

namespace {
const QString codeKey = QStringLiteral("hotkeyCode");
const QString modsKey = QStringLiteral("hotkeyMods");
const QString textKey = QStringLiteral("hotkeyKey");
constexpr quint32 xsymS = 0x73;
constexpr quint32 highestKeyCode = 255;

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

// A stored number that is a whole value within 0…limit.
std::optional<quint32> wholeWithin(std::optional<double> value, double limit) {
    if (!value || !std::isfinite(*value) || *value < 0 || *value > limit || std::floor(*value) != *value)
        return std::nullopt;
    return quint32(*value);
}
} // namespace

QString HotKey::Shortcut::label() const {
    QString out;
    if (modifiers & control)
        out += QStringLiteral("Ctrl+");
    if (modifiers & alt)
        out += QStringLiteral("Alt+");
    if (modifiers & shift)
        out += QStringLiteral("Shift+");
    if (modifiers & super)
        out += QStringLiteral("Super+");
    return out + key;
}

quint16 HotKey::Shortcut::grabModifiers() const {
    quint16 out = 0;
    if (modifiers & control)
        out |= KeyGrabber::controlMask;
    if (modifiers & alt)
        out |= KeyGrabber::altMask;
    if (modifiers & shift)
        out |= KeyGrabber::shiftMask;
    if (modifiers & super)
        out |= KeyGrabber::superMask;
    return out;
}

HotKey::Press HotKey::pressOf(const QKeyEvent& event) {
    Press press;
    press.keyCode = event.nativeScanCode();
    const Qt::KeyboardModifiers mods = event.modifiers();
    if (mods & Qt::ControlModifier)
        press.modifiers |= control;
    if (mods & Qt::AltModifier)
        press.modifiers |= alt;
    if (mods & Qt::ShiftModifier)
        press.modifiers |= shift;
    if (mods & Qt::MetaModifier)
        press.modifiers |= super;
    const int key = event.key();
    if (key == Qt::Key_Space)
        press.characters = QStringLiteral(" ");
    else if (key > Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        press.characters = QChar(key).toLower();
    else if (!isModifierKey(key))
        press.characters = QKeySequence(key).toString(QKeySequence::PortableText);
    return press;
}

HotKey::HotKey(KeyGrabber* grabber, SettingsStore& settings, std::function<void()> action,
               std::function<void()> beep, QObject* parent)
    : QObject(parent), grabber_(grabber), settings_(settings), action_(std::move(action)),
      beep_(std::move(beep)) {
    shortcut_ = load();
    registered_ = grab(shortcut_);
    if (!registered_ && grabber_ && grabber_->available())
        qCInfo(logApp) << "The hot key" << shortcut_.label() << "is held by another program";
}

HotKey::~HotKey() {
    if (registered_)
        ungrab(shortcut_);
}

HotKey::Shortcut HotKey::load() const {
    Shortcut fallback;
    if (grabber_)
        fallback.keyCode = grabber_->keyCodeFor(xsymS).value_or(evdevS);
    const auto code = wholeWithin(settings_.number(codeKey), highestKeyCode);
    const auto text = settings_.text(textKey);
    if (!settings_.contains(codeKey) || !text)
        return fallback;
    const auto mods = settings_.contains(modsKey)
                          ? wholeWithin(settings_.number(modsKey), double(0xFFFFFFFFu))
                          : std::optional<quint32>(0);
    // What the program never writes loads as absent: a bad number, an empty key, or a
    // combination that would take a bare key (or Shift and a key) from every program.
    if (!code || !mods || text->trimmed().isEmpty() || !(*mods & (control | alt | super)))
        return fallback;
    return Shortcut{*code, *mods & modifierMask, *text};
}

bool HotKey::grab(const Shortcut& shortcut) {
    if (!grabber_)
        return false;
    held_ = false;
    return grabber_->grab(shortcut.keyCode, shortcut.grabModifiers(), [this](bool pressed, quint16) {
        // Holding the keys down repeats the press: only the first one toggles the panel.
        const bool repeat = pressed && held_;
        held_ = pressed;
        if (pressed && !repeat && action_)
            action_();
    });
}

void HotKey::ungrab(const Shortcut& shortcut) {
    if (grabber_)
        grabber_->ungrab(shortcut.keyCode, shortcut.grabModifiers());
}

void HotKey::setRecording(bool recording) {
    if (recording_ == recording)
        return;
    recording_ = recording;
    emit changed();
}

bool HotKey::record(const Press& press) {
    if (!(press.modifiers & (control | alt | super)))
        return false;
    const QString upper = press.characters.toUpper();
    if (upper.isEmpty())
        return false;
    const Shortcut next{press.keyCode, press.modifiers & modifierMask,
                        upper == QStringLiteral(" ") ? QStringLiteral("Space") : upper};
    if (registered_)
        ungrab(shortcut_);
    if (!grab(next)) {
        registered_ = grab(shortcut_);
        qCInfo(logApp) << "The hot key" << next.label() << "is taken; keeping" << shortcut_.label();
        if (beep_)
            beep_();
        return false;
    }
    registered_ = true;
    shortcut_ = next;
    settings_.setNumber(codeKey, shortcut_.keyCode);
    settings_.setNumber(modsKey, shortcut_.modifiers);
    settings_.setText(textKey, shortcut_.key);
    recording_ = false;
    emit changed();
    return true;
}
