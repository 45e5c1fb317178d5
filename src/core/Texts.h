#pragma once

#include <QString>
#include <QStringList>

namespace Language {
// True when the user's first preferred language does not begin with "de" (no language at
// all counts as English). Worked out once, on first use.
bool system();
// The rule itself, for a given list of preferred languages.
bool englishFor(const QStringList& uiLanguages);
} // namespace Language

// The text to show for a German source text: its English form while English is in use and
// the table holds it, else the text unchanged.
QString L(const QString& german);

// Fills a looked-up text: each argument in turn replaces the first "%@" still in the text,
// searched from its start; arguments left over when none remains are dropped.
QString fillPlaceholders(QString text, const QStringList& arguments);
