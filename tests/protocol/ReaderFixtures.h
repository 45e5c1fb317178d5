#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <optional>

namespace test {

// The captured speaker replies shared by the project, found through TAMBER_FIXTURES_DIR.
inline QString fixturesDir() {
    return QStringLiteral(TAMBER_FIXTURES_DIR);
}

inline bool fixturesPresent() {
    return QDir(fixturesDir()).exists();
}

// The bytes of one captured reply, or nothing when the file is missing.
inline std::optional<QByteArray> fixture(const QString& name) {
    QFile file(fixturesDir() + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

} // namespace test

#define SKIP_WITHOUT_FIXTURES()                                                                              \
    do {                                                                                                     \
        if (!test::fixturesPresent())                                                                        \
            GTEST_SKIP() << "captured speaker replies not found at " << TAMBER_FIXTURES_DIR;                 \
    } while (false)
