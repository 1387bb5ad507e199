#include "platform/Cp932.h"

#include <gtest/gtest.h>

using namespace cvg;

TEST(Cp932, JapaneseRoundTripsAndUnmappableBecomesQuestionMark)
{
    const QString caption = QStringLiteral("測定データ①ｶﾅ");
    const QByteArray bytes = toCp932(caption);
    // 測 = 91 AA, 定 = 92 E8, ① = 87 40 (a Windows extension), half-width ｶ = B6.
    EXPECT_EQ(bytes.left(4).toHex().toStdString(), "91aa92e8");
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("8740")));
    EXPECT_EQ(fromCp932(bytes), caption);

    // An emoji has no place in the code page: kept as "?", not dropped.
    EXPECT_EQ(toCp932(QStringLiteral("a😀b")), QByteArray("a?b"));
    EXPECT_EQ(toCp932(QStringLiteral("Page0")), QByteArray("Page0"));
}

TEST(Cp932, BrokenBytesDecodeWithReplacementAndCutKeepsCharactersWhole)
{
    EXPECT_EQ(fromCp932(QByteArray::fromHex("41ff42")), QStringLiteral("A\uFFFDB"));
    // A lead byte at the end of the input has no trail byte.
    EXPECT_EQ(fromCp932(QByteArray::fromHex("4191")), QStringLiteral("A\uFFFD"));

    const QByteArray two = toCp932(QStringLiteral("ああ")); // 4 bytes
    EXPECT_EQ(cutCp932(two, 3), two.left(2));
    EXPECT_EQ(cutCp932(two, 4), two);
    EXPECT_EQ(cutCp932(QByteArray(300, 'x'), 255).size(), 255);
}
