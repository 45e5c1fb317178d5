#include "core/Texts.h"

#include "core/RenderMode.h"

#include <QLocale>

namespace Language {

bool englishFor(const QStringList& uiLanguages) {
    const QString first = uiLanguages.isEmpty() ? QStringLiteral("en") : uiLanguages.first();
    return !first.startsWith(QLatin1String("de"));
}

bool system() {
    static const bool english = englishFor(QLocale::system().uiLanguages());
    return english;
}

} // namespace Language

QString L(const QString& german) {
    if (!RenderMode::active() && !Language::system())
        return german;
    return RenderMode::english().value(german, german);
}

QString fillPlaceholders(QString text, const QStringList& arguments) {
    for (const QString& argument : arguments) {
        const qsizetype at = text.indexOf(QLatin1String("%@"));
        if (at < 0)
            break;
        text.replace(at, 2, argument);
    }
    return text;
}
