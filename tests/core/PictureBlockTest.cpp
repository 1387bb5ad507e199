#include "image/PictureBlock.h"
#include "image/ImageSet.h"
#include "image/JpegCodec.h"

#include "TestPictures.h"

#include <gtest/gtest.h>

#include <utility>

using namespace cvg;

namespace {

const uchar* bytesOf(const QByteArray& b)
{
    return reinterpret_cast<const uchar*>(b.constData());
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

ImageSet freshSet()
{
    ImageSet set;
    InitImageSet(set);
    return set;
}

} // namespace

TEST(PictureBlock, ResizeRecordIsTwelveLittleEndianBytesWithPaddingKept)
{
    ResizeRecord r;
    r.resized = true;
    r.padding = { 0xAA, 0xBB, 0xCC };
    r.width = 0x01020304;
    r.height = -2;
    const QByteArray expected = bytes({ 1, 0xAA, 0xBB, 0xCC, 4, 3, 2, 1, 0xFE, 0xFF, 0xFF, 0xFF });
    EXPECT_EQ(encodeResizeRecord(r), expected);
    EXPECT_EQ(encodeResizeRecord(ResizeRecord {}), QByteArray(12, '\0'));

    ResizeRecord back;
    ASSERT_TRUE(decodeResizeRecord(bytesOf(expected), 12, back));
    EXPECT_EQ(back, r);

    // Any non-zero flag byte reads as resized and is written back as 1.
    QByteArray two = expected;
    two[0] = 2;
    ASSERT_TRUE(decodeResizeRecord(bytesOf(two), 12, back));
    EXPECT_TRUE(back.resized);
    EXPECT_EQ(encodeResizeRecord(back), expected);

    ResizeRecord untouched;
    untouched.width = 7;
    EXPECT_FALSE(decodeResizeRecord(bytesOf(expected), 11, untouched));
    EXPECT_FALSE(decodeResizeRecord(nullptr, 12, untouched));
    EXPECT_EQ(untouched.width, 7);
}

TEST(PictureBlock, UnresizedDocumentStoresAndReadsTheWorkingPicture)
{
    ImageSet set = freshSet();
    set.workingImage = test::drawGraph(160, 120);
    set.unresizedImage = test::patternPicture(10, 10); // not stored: not resized
    ResizeRecord record;
    record.width = 160;
    record.height = 120;
    record.padding = { 1, 2, 3 };

    QByteArray block;
    ASSERT_TRUE(encodePictureBlock(set, record, block));
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(set.workingImage, jpeg));
    EXPECT_EQ(block, encodeResizeRecord(record) + jpeg);

    ImageSet read = freshSet();
    read.correctedImage = test::patternPicture(3, 3);
    ResizeRecord readRecord;
    ASSERT_TRUE(decodePictureBlock(bytesOf(block), size_t(block.size()), read, readRecord));
    EXPECT_EQ(readRecord, record);
    EXPECT_EQ(read.workingImage.size(), QSize(160, 120));
    EXPECT_EQ(read.workingImage.format(), QImage::Format_RGB888);
    QImage decoded;
    ASSERT_TRUE(decodeJpeg(bytesOf(jpeg), size_t(jpeg.size()), decoded));
    EXPECT_EQ(test::differingPixels(read.workingImage, decoded), 0);
    EXPECT_TRUE(read.unresizedImage.isNull());
    EXPECT_EQ(test::differingPixels(read.correctedImage, test::patternPicture(3, 3)), 0);

    // Saved again, the decoded picture is encoded once more: the block is
    // the record and the stream of what was read.
    QByteArray second;
    ASSERT_TRUE(encodePictureBlock(read, readRecord, second));
    QByteArray reencoded;
    ASSERT_TRUE(encodeJpeg(read.workingImage, reencoded));
    EXPECT_EQ(second.mid(12), reencoded);
}

TEST(PictureBlock, ResizedDocumentStoresTheUnresizedPictureAndRebuildsTheWorkingOne)
{
    ImageSet set = freshSet();
    set.unresizedImage = test::patternPicture(40, 30);
    set.workingImage = newPicture(80, 45);
    StretchPicture(set.unresizedImage, set.workingImage);
    ResizeRecord record;
    record.resized = true;
    record.width = 80;
    record.height = 45;

    QByteArray block;
    ASSERT_TRUE(encodePictureBlock(set, record, block));
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(set.unresizedImage, jpeg));
    EXPECT_EQ(block.mid(12), jpeg);

    ImageSet read = freshSet();
    ResizeRecord readRecord;
    ASSERT_TRUE(decodePictureBlock(bytesOf(block), size_t(block.size()), read, readRecord));
    EXPECT_EQ(readRecord, record);
    ASSERT_EQ(read.unresizedImage.size(), QSize(40, 30));
    ASSERT_EQ(read.workingImage.size(), QSize(80, 45));
    // Every working pixel repeats a pixel of the decoded unresized picture.
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 80; ++x) {
            const uchar* w = read.workingImage.constScanLine(y) + 3 * x;
            const uchar* u = read.unresizedImage.constScanLine(y * 30 / 45) + 3 * (x / 2);
            ASSERT_TRUE(w[0] == u[0] && w[1] == u[1] && w[2] == u[2]) << x << "," << y;
        }
}

TEST(PictureBlock, EmptyPicturesAndDamagedBlocksFailWithoutChangingTheDocument)
{
    // Nothing to encode: the writer fails (the document writer reports it).
    ImageSet empty = freshSet();
    QByteArray block("x");
    EXPECT_FALSE(encodePictureBlock(empty, ResizeRecord {}, block));
    EXPECT_TRUE(block.isEmpty());
    ImageSet resizedButEmpty = freshSet();
    resizedButEmpty.workingImage = test::patternPicture(4, 4);
    ResizeRecord resized;
    resized.resized = true;
    resized.width = 4;
    resized.height = 4;
    EXPECT_FALSE(encodePictureBlock(resizedButEmpty, resized, block));

    ImageSet set = freshSet();
    set.workingImage = test::patternPicture(24, 16);
    ASSERT_TRUE(encodePictureBlock(set, ResizeRecord {}, block));

    const QImage before = test::patternPicture(5, 5);
    ResizeRecord beforeRecord;
    beforeRecord.width = 5;
    beforeRecord.height = 5;
    auto expectUnchanged = [&](const QByteArray& damaged, const char* what) {
        ImageSet read = freshSet();
        read.workingImage = before;
        ResizeRecord r = beforeRecord;
        EXPECT_FALSE(decodePictureBlock(bytesOf(damaged), size_t(damaged.size()), read, r)) << what;
        EXPECT_EQ(test::differingPixels(read.workingImage, before), 0) << what;
        EXPECT_TRUE(read.unresizedImage.isNull()) << what;
        EXPECT_EQ(r, beforeRecord) << what;
    };
    expectUnchanged(block.left(5), "inside the record");
    expectUnchanged(block.left(12), "right after the record");
    expectUnchanged(block.left(block.size() / 2), "inside the stream");
    expectUnchanged(block.left(block.size() - 1), "without the end marker");

    // A resized record whose size no resize can give is a damaged file.
    for (auto [w, h] : { std::pair { 0, 10 }, { 10, 0 }, { -5, 10 }, { 40000, 10 }, { 20000, 20000 } }) {
        ResizeRecord bad;
        bad.resized = true;
        bad.width = w;
        bad.height = h;
        QByteArray damaged = encodeResizeRecord(bad) + block.mid(12);
        expectUnchanged(damaged, "impossible size");
    }
}
