#include "health/Version.h"

#ifndef TAMBER_VERSION
#define TAMBER_VERSION ""
#endif
#ifndef TAMBER_BUILD
#define TAMBER_BUILD ""
#endif

namespace Version {

namespace {
QString orQuestionMark(const char* text) {
    const QString value = QString::fromUtf8(text);
    return value.isEmpty() ? QStringLiteral("?") : value;
}
} // namespace

QString shortVersion() {
    return orQuestionMark(TAMBER_VERSION);
}

QString build() {
    return orQuestionMark(TAMBER_BUILD);
}

QString text() {
    return shortVersion() + QStringLiteral(" (") + build() + QLatin1Char(')');
}

} // namespace Version
