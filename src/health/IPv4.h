#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Dotted IPv4 texts as 32-bit values (first part most significant) and back.
namespace IPv4 {

// Splits at ".", drops empty pieces and pieces that do not read as an unsigned 32-bit decimal
// (an optional sign, then digits only), and needs exactly four values each below 256. So
// "1..2.3.4" and "10.x.0.0.1" read, while "256.1.1.1" and "1.2.3" do not. This is lenient on
// purpose; the system's address parsers would refuse those forms.
std::optional<std::uint32_t> parse(const QString& text);

// The four bytes in decimal joined by ".".
QString format(std::uint32_t value);

} // namespace IPv4
