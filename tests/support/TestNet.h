#pragma once

#include <QString>

#ifndef TAMBER_TEST_NET
#define TAMBER_TEST_NET "127.253.253"
#endif

namespace test {
// The loopback address TAMBER_TEST_NET.<n>, in the network reserved for this test executable
// (see tests/CMakeLists.txt); n from 2 to 254.
inline QString loopback(int n) {
    return QStringLiteral(TAMBER_TEST_NET ".%1").arg(n);
}
} // namespace test
