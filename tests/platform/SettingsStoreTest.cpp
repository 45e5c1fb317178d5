#include "platform/SettingsStore.h"

#include "support/Await.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.path() + QStringLiteral("/tamber/settings.json"); }
    QByteArray fileBytes() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& bytes) const {
        QDir().mkpath(dir.path() + QStringLiteral("/tamber"));
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(SettingsStoreTest, EveryFormRoundTripsAcrossInstances) {
    const QStringList oneElement{QStringLiteral("192.168.1.20")};
    const QMap<QString, QString> map{{QStringLiteral("RINCON_1"), QStringLiteral("Küche")}};
    const QByteArray data("\x00\x01\xffjson", 7);
    {
        SettingsStore store(path());
        store.setBool(QStringLiteral("onboarded"), true);
        store.setNumber(QStringLiteral("hotkeyCode"), 49);
        store.setText(QStringLiteral("hotkeyKey"), QStringLiteral("Space"));
        store.setTextList(QStringLiteral("knownHosts"), oneElement);
        store.setTextMap(QStringLiteral("groupNames"), map);
        store.setData(QStringLiteral("lastGroups"), data);
        store.setTextList(QStringLiteral("roomOrder"), {});
    }
    SettingsStore again(path());
    EXPECT_EQ(again.boolValue(QStringLiteral("onboarded")), true);
    EXPECT_EQ(again.number(QStringLiteral("hotkeyCode")), 49.0);
    EXPECT_EQ(again.text(QStringLiteral("hotkeyKey")), QStringLiteral("Space"));
    EXPECT_EQ(again.textList(QStringLiteral("knownHosts")), oneElement); // one element stays a list
    EXPECT_EQ(again.textMap(QStringLiteral("groupNames")), map);
    EXPECT_EQ(again.data(QStringLiteral("lastGroups")), data);
    EXPECT_EQ(again.textList(QStringLiteral("roomOrder")), QStringList());
}

TEST_F(SettingsStoreTest, AValueOfAnotherFormReadsAsAbsent) {
    SettingsStore store(path());
    store.setText(QStringLiteral("onboarded"), QStringLiteral("true"));
    store.setTextList(QStringLiteral("mixed"), {QStringLiteral("a")});
    store.setData(QStringLiteral("blob"), QByteArray("x"));
    EXPECT_FALSE(store.boolValue(QStringLiteral("onboarded")));
    EXPECT_FALSE(store.number(QStringLiteral("onboarded")));
    EXPECT_FALSE(store.textList(QStringLiteral("onboarded")));
    EXPECT_FALSE(store.textMap(QStringLiteral("mixed")));
    EXPECT_FALSE(store.textMap(QStringLiteral("blob")));
    EXPECT_FALSE(store.data(QStringLiteral("mixed")));
    EXPECT_FALSE(store.text(QStringLiteral("missing")));

    writeFile(R"({"knownHosts": ["a", 3], "groupNames": {"x": 1}})");
    SettingsStore mixed(path());
    EXPECT_FALSE(mixed.textList(QStringLiteral("knownHosts")));
    EXPECT_FALSE(mixed.textMap(QStringLiteral("groupNames")));
}

TEST_F(SettingsStoreTest, MapsOfTextMapsAreWholeOrAbsent) {
    const QMap<QString, QMap<QString, QString>> memory{
        {QStringLiteral("RINCON_1"),
         {{QStringLiteral("name"), QStringLiteral("Küche")},
          {QStringLiteral("host"), QStringLiteral("10.0.0.2")}}},
        {QStringLiteral("RINCON_2"), {}}};
    {
        SettingsStore store(path());
        store.setTextMaps(QStringLiteral("healthKnownSpeakers"), memory);
    }
    SettingsStore again(path());
    EXPECT_EQ(again.textMaps(QStringLiteral("healthKnownSpeakers")), memory);
    EXPECT_FALSE(again.textMap(QStringLiteral("healthKnownSpeakers")));

    writeFile(R"({"one": {"a": {"x": "y"}, "b": "flat"}, "two": {"a": {"x": 1}}, "three": ["a"],
                 "blob": {"$base64": "eA=="}})");
    SettingsStore mixed(path());
    for (const char* key : {"one", "two", "three", "blob"})
        EXPECT_FALSE(mixed.textMaps(QString::fromLatin1(key))) << key;
}

TEST_F(SettingsStoreTest, ACorruptFileIsKeptAsideAndNeverOverwritten) {
    writeFile("{\"knownHosts\": [\"10.0.0.2\"");
    SettingsStore store(path());
    EXPECT_FALSE(store.textList(QStringLiteral("knownHosts")));
    store.setBool(QStringLiteral("onboarded"), true);
    store.flush();

    const QStringList aside = QDir(dir.path() + QStringLiteral("/tamber"))
                                  .entryList({QStringLiteral("settings.json.corrupt-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.path() + QStringLiteral("/tamber/") + aside.first());
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("{\"knownHosts\": [\"10.0.0.2\""));
    EXPECT_EQ(SettingsStore(path()).boolValue(QStringLiteral("onboarded")), true);
}

TEST_F(SettingsStoreTest, AnInterruptedWriteLeavesThePreviousFileWhole) {
    {
        SettingsStore store(path());
        store.setText(QStringLiteral("hotkeyKey"), QStringLiteral("K"));
    }
    const QByteArray before = fileBytes();
    // What a crash in the middle of a write leaves behind: a partial temporary file beside it.
    QFile partial(path() + QStringLiteral(".Xa81kq"));
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write("{\"hotkeyKey\": \"J\", \"onboar");
    partial.close();

    // Not the temporary of a write: kept.
    for (const char* name : {".bak", ".Xa81kq~", ".corrupt-20261210-101010-001"}) {
        QFile other(path() + QString::fromLatin1(name));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    }

    SettingsStore store(path());
    EXPECT_EQ(store.text(QStringLiteral("hotkeyKey")), QStringLiteral("K"));
    EXPECT_EQ(fileBytes(), before);
    // The temporary is removed at start, so that they cannot pile up.
    const QStringList left = QDir(dir.path() + QStringLiteral("/tamber")).entryList(QDir::Files);
    EXPECT_EQ(QSet<QString>(left.begin(), left.end()),
              (QSet<QString>{QStringLiteral("settings.json"), QStringLiteral("settings.json.Xa81kq~"),
                             QStringLiteral("settings.json.bak"),
                             QStringLiteral("settings.json.corrupt-20261210-101010-001")}));
    store.setText(QStringLiteral("hotkeyKey"), QStringLiteral("L"));
    store.flush();
    EXPECT_TRUE(QJsonDocument::fromJson(fileBytes()).isObject());
}

TEST_F(SettingsStoreTest, UnknownKeysOfANewerVersionAreKept) {
    writeFile(R"({"futureFeature": {"nested": [1, 2, {"deep": true}]}, "onboarded": false})");
    SettingsStore store(path());
    store.setBool(QStringLiteral("onboarded"), true);
    store.flush();
    const QJsonObject saved = QJsonDocument::fromJson(fileBytes()).object();
    EXPECT_EQ(saved.value(QStringLiteral("futureFeature"))
                  .toObject()
                  .value(QStringLiteral("nested"))
                  .toArray()
                  .size(),
              3);
    EXPECT_TRUE(saved.value(QStringLiteral("onboarded")).toBool());
}

TEST_F(SettingsStoreTest, AnUnusableFolderRunsWithDefaultsInMemory) {
    writeFile("");
    // A plain file where the folder should be: nothing can be written below it.
    const QString blocked = path() + QStringLiteral("/settings.json");
    SettingsStore store(blocked);
    store.setBool(QStringLiteral("onboarded"), true);
    EXPECT_EQ(store.boolValue(QStringLiteral("onboarded")), true);
    EXPECT_FALSE(QFile::exists(blocked));
}

TEST_F(SettingsStoreTest, NonFiniteNumbersAreNeverWritten) {
    SettingsStore store(path());
    store.setNumber(QStringLiteral("n"), 1.5);
    store.setNumber(QStringLiteral("n"), std::numeric_limits<double>::infinity());
    store.flush();
    EXPECT_EQ(SettingsStore(path()).number(QStringLiteral("n")), 1.5);
}

// Setters that change nothing write nothing; changes are written together a moment later, or
// at once by flush(), and at the latest when the application is about to quit.
TEST_F(SettingsStoreTest, OnlyChangesAreWrittenTogetherAndFlushedAtQuit) {
    SettingsStore store(path());
    for (int i = 0; i < 100; ++i)
        store.setNumber(QStringLiteral("volume"), i);
    store.setText(QStringLiteral("hotkeyKey"), QStringLiteral("K"));
    EXPECT_FALSE(QFile::exists(path())) << "not written at every change";
    ASSERT_TRUE(store.hasPendingChanges());
    ASSERT_TRUE(test::waitUntil([&] { return !store.hasPendingChanges(); }));
    const QJsonObject saved = QJsonDocument::fromJson(fileBytes()).object();
    EXPECT_EQ(saved.value(QStringLiteral("volume")).toDouble(), 99);
    EXPECT_EQ(saved.value(QStringLiteral("hotkeyKey")).toString(), QStringLiteral("K"));

    // The same values again: nothing to write.
    store.setNumber(QStringLiteral("volume"), 99);
    store.setText(QStringLiteral("hotkeyKey"), QStringLiteral("K"));
    store.setData(QStringLiteral("lastGroups"), "abc");
    store.flush();
    store.setData(QStringLiteral("lastGroups"), "abc");
    store.remove(QStringLiteral("missing"));
    EXPECT_FALSE(store.hasPendingChanges());

    store.setBool(QStringLiteral("onboarded"), true);
    ASSERT_TRUE(store.hasPendingChanges());
    QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit", Qt::DirectConnection);
    EXPECT_FALSE(store.hasPendingChanges());
    EXPECT_EQ(SettingsStore(path()).boolValue(QStringLiteral("onboarded")), true);
}

// A file far larger than any settings this program writes is not read (that would hold up the
// start): it is kept aside whole and the store starts empty.
TEST_F(SettingsStoreTest, AnOversizedFileIsKeptAsideUnread) {
    QByteArray huge = R"({"onboarded": true, "padding": ")";
    huge += QByteArray(SettingsStore::maxFileSize, 'p') + "\"}";
    writeFile(huge);
    SettingsStore store(path());
    EXPECT_FALSE(store.boolValue(QStringLiteral("onboarded")));
    const QStringList aside = QDir(dir.path() + QStringLiteral("/tamber"))
                                  .entryList({QStringLiteral("settings.json.too-large-*")}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(QFileInfo(dir.path() + QStringLiteral("/tamber/") + aside.first()).size(), huge.size());
    store.setBool(QStringLiteral("onboarded"), false);
    store.flush();
    EXPECT_EQ(SettingsStore(path()).boolValue(QStringLiteral("onboarded")), false);

    // A file of exactly the limit is still read.
    writeFile(huge.left(SettingsStore::maxFileSize - 2) + "\"}");
    EXPECT_EQ(SettingsStore(path()).boolValue(QStringLiteral("onboarded")), true);
}

} // namespace
