#pragma once

#include <QDateTime>
#include <QEasingCurve>
#include <QPointF>

#include <chrono>
#include <functional>
#include <optional>

class QObject;
class QVariantAnimation;

// The panel's motion vocabulary: the two timing curves, every duration by purpose, the press
// scale, and the shared memory of when a tooltip last hid.
//
// Delays are never QPauseAnimation (it runs on wall-clock time and ignores a hand-stepped
// driver): they go through core/Clock, animations through QVariantAnimation.
namespace Motion {
using namespace std::chrono_literals;

// The house curve, cubic (0.23, 1) (0.32, 1): fast start, soft settle, no overshoot.
QEasingCurve panelCurve();
// Hover feedback, cubic (0.25, 0.1) (0.25, 1), always over `hover`.
QEasingCurve hoverCurve();
// The platform's standard ease-out (0, 0, 0.58, 1) and ease-in-out (0.42, 0, 0.58, 1).
QEasingCurve easeOut();
QEasingCurve easeInOut();

// Durations of the panel curve, by user.
inline constexpr auto press = 120ms;           // pressable controls; equaliser
inline constexpr auto swapOut = 140ms;         // removal half of the content swap
inline constexpr auto tooltip = 150ms;         // tooltip appearance; progress bar; rows; key caps; toggles
inline constexpr auto soundToggle = 150ms;     // sound toggle's on state
inline constexpr auto keyCap = 150ms;          // key cap fill
inline constexpr auto equaliser = 180ms;       // the equaliser's second animation
inline constexpr auto nameHint = 200ms;        // editable name's rename hint
inline constexpr auto coverMissing = 200ms;    // cover placeholder
inline constexpr auto roomRow = 200ms;         // room rows
inline constexpr auto column = 220ms;          // panel column; keyboard footer; health window
inline constexpr auto nowPlaying = 250ms;      // now-playing tile
inline constexpr auto swapIn = 300ms;          // insertion half of the content swap (after swapInDelay)
inline constexpr auto swapInDelay = 100ms;     // delay before the insertion half
inline constexpr auto volumeSlider = 300ms;    // volume slider value
inline constexpr auto coverCrossFade = 300ms;  // cover image cross-fade
inline constexpr auto subtitle = 300ms;        // now-playing subtitle change
inline constexpr auto onboardingShort = 400ms; // onboarding
inline constexpr auto onboardingLong = 450ms;  // onboarding
// Hover curve duration.
inline constexpr auto hover = 200ms;

// Pressed controls shrink to this scale.
inline constexpr double pressScale = 0.96;

// Hover and tooltip timing.
inline constexpr auto tooltipDelay = 450ms; // pointer resting before a tooltip shows
inline constexpr auto tooltipWarm = 400ms;  // a tooltip within this of the last hide shows at once
inline constexpr auto nameHintDelay = 700ms;
inline constexpr auto coverGrace = 1500ms; // a cover URL gone keeps the old picture this long

// Starts a QVariantAnimation on `owner` from the current value `from` to `to` over `duration`
// with `curve`, calling `step` with every value (and the end value). The previous animation
// returned for the same purpose is passed in `running` and is stopped and replaced.
QVariantAnimation* animate(QObject* owner, QVariantAnimation*& running, double from, double to,
                           std::chrono::milliseconds duration, const QEasingCurve& curve,
                           std::function<void(double)> step);

} // namespace Motion

// When a showing tooltip last hid; none (the distant past) until the first one hides, so the
// first tooltip of a run always waits the full delay.
namespace TooltipWarmth {
std::optional<QDateTime> lastHidden();
void setLastHidden(const QDateTime& when);
void reset(); // back to the distant past (tests)
} // namespace TooltipWarmth
