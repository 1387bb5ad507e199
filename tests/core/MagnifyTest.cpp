// The magnification's factor arithmetic, typing rules, adoption and undo.
#include "TestPictures.h"

#include "image/Magnify.h"

#include <gtest/gtest.h>

using namespace cvg;
using cvg::test::differingPixels;
using cvg::test::patternPicture;

TEST(MagnifyTest, FactorsDivideWithoutRemainderOrMultiply)
{
    const char* texts[kFactorCount]
        = { "1/6倍", "1/5倍", "1/4倍", "1/3倍", "1/2倍", "等倍", "2倍", "3倍", "4倍", "5倍", "6倍" };
    const int widths[kFactorCount] = { 106, 128, 160, 213, 320, 640, 1280, 1920, 2560, 3200, 3840 };
    const int heights[kFactorCount] = { 80, 96, 120, 160, 240, 480, 960, 1440, 1920, 2400, 2880 };
    for (int i = 0; i < kFactorCount; ++i) {
        EXPECT_EQ(factorText(i), QString::fromUtf8(texts[i])) << i;
        EXPECT_EQ(applyFactor(i, 640), widths[i]) << i;
        EXPECT_EQ(applyFactor(i, 480), heights[i]) << i;
    }
    EXPECT_EQ(factorText(kSameSizeFactor), QStringLiteral("等倍"));
    // Small sides may shrink to nothing; the dialog's accept refuses that.
    EXPECT_EQ(applyFactor(0, 5), 0);
    // An index outside the list changes nothing.
    EXPECT_EQ(applyFactor(-1, 640), 640);
    EXPECT_EQ(applyFactor(kFactorCount, 640), 640);
    EXPECT_EQ(factorText(kFactorCount), QString());
}

TEST(MagnifyTest, SizeTextsAreSignedDecimalIntegersOnly)
{
    EXPECT_EQ(parseSizeText(QStringLiteral("100")), 100);
    EXPECT_EQ(parseSizeText(QStringLiteral("+7")), 7);
    EXPECT_EQ(parseSizeText(QStringLiteral("-5")), -5);
    EXPECT_EQ(parseSizeText(QStringLiteral("00012")), 12);
    EXPECT_EQ(parseSizeText(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(parseSizeText(QStringLiteral("-2147483648")), -2147483647 - 1);
    for (const char* bad : { "", "-", "+", "1a", " 1", "1 ", "1.5", "0x10", "2147483648", "-2147483649",
             "99999999999999999999", "１２" })
        EXPECT_FALSE(parseSizeText(QString::fromUtf8(bad)).has_value()) << bad;
}

TEST(MagnifyTest, KeepRatioUsesIntegerArithmeticOnThePictureSize)
{
    // 640 x 480: width 100 gives height 75, width 1 gives 0.
    EXPECT_EQ(ratioSide(100, 640, 480), 75);
    EXPECT_EQ(ratioSide(1, 640, 480), 0);
    EXPECT_EQ(ratioSide(213, 640, 480), 159); // 102240 / 640 = 159.75
    // The other way round: height 75 gives width 100.
    EXPECT_EQ(ratioSide(75, 480, 640), 100);
    // A negative number is an integer too; the division drops towards zero.
    EXPECT_EQ(ratioSide(-5, 640, 480), -3);
    // The product is formed in 64 bits.
    EXPECT_EQ(ratioSide(2147483647, 1, 32768), 2147483647LL * 32768);
    EXPECT_FALSE(ratioSide(100, 0, 480).has_value());

    EXPECT_FALSE(freeSizeAllowed(0));
    EXPECT_TRUE(freeSizeAllowed(1));
    EXPECT_TRUE(freeSizeAllowed(10000));
    EXPECT_FALSE(freeSizeAllowed(10001));
    EXPECT_FALSE(freeSizeAllowed(-3));
}

TEST(MagnifyTest, ResizedPictureRepeatsAndDropsPixels)
{
    const QImage source = patternPicture(4, 2);
    const QImage doubled = resizedPicture(source, 8, 4);
    ASSERT_EQ(doubled.size(), QSize(8, 4));
    EXPECT_EQ(doubled.format(), kPictureFormat);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(doubled.pixel(x, row), source.pixel(x / 2, row / 2)) << x << "," << row;
    const QImage halved = resizedPicture(patternPicture(6, 6), 3, 3);
    EXPECT_EQ(halved.pixel(1, 2), patternPicture(6, 6).pixel(2, 4));
    EXPECT_TRUE(resizedPicture(source, 0, 4).isNull());
    EXPECT_TRUE(resizedPicture(source, 4, -1).isNull());
}

TEST(MagnifyTest, TwoAdoptedResizesThenUndoKeepsOneStep)
{
    ImageSet images;
    InitImageSet(images);
    images.workingImage = patternPicture(640, 480);
    ResizeRecord record;

    const QImage first = resizedPicture(images.workingImage, 1280, 960);
    AdoptResize(images, record, first);
    EXPECT_EQ(images.workingImage.size(), QSize(1280, 960));
    EXPECT_EQ(images.unresizedImage.size(), QSize(640, 480));
    EXPECT_EQ(images.correctedImage.size(), QSize(1280, 960));
    EXPECT_EQ(record, (ResizeRecord { true, {}, 1280, 960 }));

    const QImage second = resizedPicture(images.workingImage, 213, 160);
    AdoptResize(images, record, second);
    EXPECT_EQ(images.unresizedImage.size(), QSize(1280, 960));
    EXPECT_EQ(record, (ResizeRecord { true, {}, 213, 160 }));

    // Undo goes back to the picture of the first resize, not the original.
    EXPECT_TRUE(UndoResize(images, record));
    EXPECT_EQ(differingPixels(images.workingImage, first), 0);
    EXPECT_EQ(record, (ResizeRecord { false, {}, 1280, 960 }));
    // The corrected picture still holds the last resized picture.
    EXPECT_EQ(differingPixels(images.correctedImage, second), 0);

    // A second undo changes nothing.
    EXPECT_FALSE(UndoResize(images, record));
    EXPECT_EQ(images.workingImage.size(), QSize(1280, 960));
    EXPECT_EQ(record, (ResizeRecord { false, {}, 1280, 960 }));
}
