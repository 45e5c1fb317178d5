#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
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

    SettingsStore store(path());
    EXPECT_EQ(store.text(QStringLiteral("hotkeyKey")), QStringLiteral("K"));
    EXPECT_EQ(fileBytes(), before);
    store.setText(QStringLiteral("hotkeyKey"), QStringLiteral("L"));
    EXPECT_TRUE(QJsonDocument::fromJson(fileBytes()).isObject());
}

TEST_F(SettingsStoreTest, UnknownKeysOfANewerVersionAreKept) {
    writeFile(R"({"futureFeature": {"nested": [1, 2, {"deep": true}]}, "onboarded": false})");
    SettingsStore store(path());
    store.setBool(QStringLiteral("onboarded"), true);
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
    EXPECT_EQ(SettingsStore(path()).number(QStringLiteral("n")), 1.5);
}

} // namespace
