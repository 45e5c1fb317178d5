#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <span>

namespace Language {
// True when the user's first preferred language does not begin with "de" (no language at
// all counts as English). Worked out once, on first use.
bool system();
// The rule itself, for a given list of preferred languages.
bool englishFor(const QStringList& uiLanguages);
} // namespace Language

// The program's one table of visible texts: every fixed text is written in German where it is
// used and passes through L(). Format texts hold "%@" placeholders, looked up before the
// values go in (see Texts::fill); singular and plural forms are separate texts.
namespace Texts {

struct Pair {
    const char16_t* german;
    const char16_t* english;
};

// Every pair, in the table's order.
std::span<const Pair> pairs();

// German source text to English text, built once on first use with room for every pair.
const QHash<QString, QString>& english();

// Replaces the "%@" placeholders of `format` in order with `values`; placeholders beyond the
// values stay as they are, surplus values are ignored.
QString fill(const QString& format, const QStringList& values);

} // namespace Texts

// The text to show for a German source text: its English form while English is in use and
// the table holds it, else the text unchanged.
QString L(const QString& german);
