#include "platform/SettingsStore.h"
#include "settings/SettingsRecords.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace cvg;

TEST(SettingsRecords, MainDefaultsHaveTheStoredLayout)
{
    const QByteArray bytes = MainSettings::defaults().encode();
    ASSERT_EQ(bytes.size(), 286);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    const QByteArray tail = QByteArray::fromHex("01010101"       // four view switches
                                                "00000000"       // saveImageChoice
                                                "00000000"       // transferFormat
                                                "fa000000"       // sheetPanelWidth 250
                                                "00000000"       // tabPosition
                                                "10000000"       // tabHeight 16
                                                "10000000"       // rowHeight 16
                                                "0101");         // multiLineTabs, connectLine
    EXPECT_EQ(bytes.mid(256).toHex().toStdString(), tail.toHex().toStdString());
}

TEST(SettingsRecords, MainRoundTripKeepsReservedBytesAndOddBooleans)
{
    MainSettings s = MainSettings::defaults();
    for (int i = 0; i < 256; ++i)
        s.reserved[size_t(i)] = uint8_t(i * 3 + 1);
    s.showHints = 7; // not 0 or 1: must survive untouched
    s.tabPosition = 3;
    s.sheetPanelWidth = -5;
    const MainSettings back = MainSettings::decode(s.encode());
    EXPECT_TRUE(back == s);
}

TEST(SettingsRecords, ExactSizeRuleWritesDefaultsBack)
{
    MemorySettingsStore store;
    const MainSettings defaults = MainSettings::defaults();

    // Missing: defaults, written at once.
    MainSettings s = loadRecord(store, QStringLiteral("Main"), defaults);
    EXPECT_TRUE(s == defaults);
    EXPECT_EQ(store.values().value(QStringLiteral("Main")), defaults.encode());

    // One byte short or long: treated as missing and overwritten.
    for (int size : {285, 287}) {
        MainSettings odd = defaults;
        odd.sheetPanelWidth = 400;
        QByteArray bytes = odd.encode();
        bytes.resize(size);
        store.setValue(QStringLiteral("Main"), bytes);
        s = loadRecord(store, QStringLiteral("Main"), defaults);
        EXPECT_EQ(s.sheetPanelWidth, 250) << size;
        EXPECT_EQ(store.values().value(QStringLiteral("Main")).size(), 286) << size;
    }

    // Exactly 286: taken as stored.
    MainSettings stored = defaults;
    stored.sheetPanelWidth = 333;
    store.setValue(QStringLiteral("Main"), stored.encode());
    EXPECT_EQ(loadRecord(store, QStringLiteral("Main"), defaults).sheetPanelWidth, 333);
}

TEST(SettingsRecords, UnavailableKeyLeavesRecordAllZeroAndWritesNothing)
{
    MemorySettingsStore store;
    store.setAvailable(false);
    const MainSettings s = loadRecord(store, QStringLiteral("Main"), MainSettings::defaults());
    EXPECT_TRUE(s == MainSettings{});
    saveRecord(store, QStringLiteral("Main"), MainSettings::defaults());
    EXPECT_EQ(store.writeCount(), 0);
}

TEST(SettingsRecords, ToolWindowRecordsHaveTheirSizesAndDefaults)
{
    MemorySettingsStore store;
    TraceRecord traceDefaults;
    traceDefaults.fields = {0, 0, 125, 1};
    TraceRecord t = loadRecord(store, QStringLiteral("Trace"), traceDefaults);
    EXPECT_EQ(t.fields[2], 125);
    EXPECT_EQ(t.fields[3], 1);
    EXPECT_EQ(store.values().value(QStringLiteral("Trace")).toHex().toStdString(),
              "00000000000000007d00000001000000");

    ScopeRecord scopeDefaults;
    scopeDefaults.fields = {0, 0, 8421631};
    EXPECT_EQ(scopeDefaults.encode().toHex().toStdString(), "0000000000000000ff808000");

    PositionRecord pos;
    pos.left() = -20;
    pos.top() = 300;
    EXPECT_EQ(PositionRecord::decode(pos.encode()).fields, pos.fields);
    EXPECT_EQ(pos.encode().size(), 8);
}

TEST(SettingsRecords, DirectoryRecordKeepsPathAndCutsAt255Bytes)
{
    DirectorySettings d = DirectorySettings::defaults(QStringLiteral("/opt/cvg/"));
    EXPECT_EQ(d.path(), QStringLiteral("/opt/cvg/"));
    const QByteArray bytes = d.encode();
    ASSERT_EQ(bytes.size(), 264);
    EXPECT_EQ(uint8_t(bytes[0]), 9);

    d.setPath(QString(300, QLatin1Char('a')));
    EXPECT_EQ(d.path().size(), 255);

    MemorySettingsStore store;
    QByteArray shortValue(263, '\0');
    store.setValue(QStringLiteral("Directory"), shortValue);
    const DirectorySettings loaded =
        loadRecord(store, QStringLiteral("Directory"), DirectorySettings::defaults(QStringLiteral("/prog/")));
    EXPECT_EQ(loaded.path(), QStringLiteral("/prog/"));
    EXPECT_EQ(loaded.left, 0);
}

TEST(SettingsRecords, IniStoreSurvivesReopeningAndKeepsOtherValues)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    {
        QSettingsStore store;
        ASSERT_TRUE(store.available());
        EXPECT_TRUE(store.fileName().startsWith(dir.path()));
        store.setValue(QStringLiteral("Main"), MainSettings::defaults().encode());
        store.setValue(QStringLiteral("Edit"), QByteArray::fromHex("0100000002000000"));
    }
    {
        QSettingsStore store;
        EXPECT_EQ(store.value(QStringLiteral("Main"))->size(), 286);
        store.setValue(QStringLiteral("Edit"), QByteArray::fromHex("0300000004000000"));
    }
    QSettingsStore store;
    EXPECT_EQ(store.value(QStringLiteral("Main")), MainSettings::defaults().encode());
    EXPECT_EQ(store.value(QStringLiteral("Edit"))->toHex().toStdString(), "0300000004000000");
    EXPECT_FALSE(store.value(QStringLiteral("Nothing")).has_value());
}
