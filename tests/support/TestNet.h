#pragma once

#include <QString>

#ifndef TAMBER_TEST_NET
#define TAMBER_TEST_NET 250
#endif

namespace test {
// The loopback address 127.<net>.0.<n> reserved for this test executable (see tests/CMakeLists.txt).
inline QString loopback(int n) {
    return QStringLiteral("127.%1.0.%2").arg(TAMBER_TEST_NET).arg(n);
}
} // namespace test
