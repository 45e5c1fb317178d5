#pragma once

#include <QString>

// The program's version as the build set it; "?" for a part the build left empty.
namespace Version {
QString shortVersion();
QString build();
// "<short version> (<build>)"
QString text();
} // namespace Version
