#pragma once

#include <QStringView>
#include <QtGlobal>

#include <optional>

// Whole decimal numbers written as text, as speakers and HTTP peers write them: ASCII digits
// after an optional sign and nothing else (no white space, no "0x", no fraction or exponent,
// no digits of other scripts).
namespace DecimalInteger {

// Whether a leading "+" is taken besides "-".
enum class Plus { accepted, refused };

// The number; nothing for any other text and for a number beyond the 64-bit signed range.
std::optional<qint64> read(QStringView text, Plus plus = Plus::accepted);

// The same within the range of int; a number outside it does not read.
std::optional<int> readInt(QStringView text, Plus plus = Plus::accepted);

} // namespace DecimalInteger
