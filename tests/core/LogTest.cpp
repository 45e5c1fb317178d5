#include "core/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(Log, LinesParseBackAndOldEntriesAreLeftOut) {
    QTemporaryDir dir;
    Log::setFilePath(dir.path() + QStringLiteral("/tamber.log"));
    const QDateTime start = QDateTime::currentDateTimeUtc().addSecs(-1);
    qCInfo(logEvents) << "subscribed" << 3;
    qCWarning(logHousehold, "two\nlines");

    const auto entries = Log::readSince(start);
    ASSERT_EQ(entries.size(), 2);
    EXPECT_EQ(entries[0].category, QStringLiteral("studio.quietforge.tamber.events"));
    EXPECT_EQ(entries[0].level, QStringLiteral("info"));
    EXPECT_EQ(entries[0].message, QStringLiteral("subscribed 3"));
    EXPECT_EQ(entries[1].level, QStringLiteral("warning"));
    EXPECT_EQ(entries[1].message, QStringLiteral("two\nlines"));
    EXPECT_TRUE(Log::readSince(QDateTime::currentDateTimeUtc().addSecs(60)).isEmpty());
    EXPECT_FALSE(Log::parseLine(QStringLiteral("garbage without a time")));
}

TEST(Log, RotatesAtTheSizeLimitKeepingOneOldFile) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/tamber.log");
    Log::setFilePath(path);
    const QString filler(1000, QLatin1Char('x'));
    for (int i = 0; i < 2500; ++i) // about 2.5 MiB in all
        qCDebug(logApp) << filler;
    EXPECT_LE(QFileInfo(path).size(), Log::maxFileSize);
    EXPECT_LE(QFileInfo(path + QStringLiteral(".1")).size(), Log::maxFileSize);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".2")));
    EXPECT_GT(QFileInfo(path).size() + QFileInfo(path + QStringLiteral(".1")).size(), Log::maxFileSize);
}

// A later start that only hands over shares the file with the running program, which keeps it
// open: it appends, and leaves the rotation to the running program.
TEST(Log, AnAppendOnlyWriterNeverRotates) {
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/tamber.log");
    Log::setFilePath(path);
    Log::install(Log::FileUse::appendOnly);
    const QString filler(1000, QLatin1Char('x'));
    for (int i = 0; i < 1200; ++i) // about 1.2 MiB
        qCDebug(logApp) << filler;
    Log::install();
    EXPECT_GT(QFileInfo(path).size(), Log::maxFileSize);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".1")));

    // The program itself rotates again.
    qCDebug(logApp) << filler;
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".1")));
}

// The descriptors of this process that are open on `path`.
QStringList descriptorsOn(const QString& path) {
    QStringList found;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& name : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        if (QFileInfo(fds.filePath(name)).symLinkTarget() == path)
            found.append(name);
    return found;
}

TEST(Log, KeepsItsFileOpenBetweenLines) {
    QTemporaryDir dir;
    const QString path = QFileInfo(dir.path()).canonicalFilePath() + QStringLiteral("/tamber.log");
    Log::setFilePath(path);
    qCInfo(logApp) << "first";
    const QStringList first = descriptorsOn(path);
    ASSERT_EQ(first.size(), 1);
    for (int i = 0; i < 100; ++i)
        qCInfo(logApp) << "more" << i;
    EXPECT_EQ(descriptorsOn(path), first);
    EXPECT_EQ(Log::readSince(QDateTime::currentDateTimeUtc().addSecs(-60)).size(), 101);

    // Another file: the old one is let go.
    Log::setFilePath(path + QStringLiteral(".other"));
    qCInfo(logApp) << "elsewhere";
    EXPECT_TRUE(descriptorsOn(path).isEmpty());
}
