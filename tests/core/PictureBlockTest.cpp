#include "image/PictureBlock.h"
#include "image/ImageSet.h"
#include "image/JpegCodec.h"
#include "image/JpegExtensions.h"

#include "TestPictures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
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

QImage decoded(const QByteArray& jpeg)
{
    QImage picture;
    EXPECT_TRUE(decodeJpeg(bytesOf(jpeg), size_t(jpeg.size()), picture));
    return picture;
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
    // Every byte but our segments is the record and the JPEG as always, and
    // a JPEG decoder passes over the segments.
    EXPECT_EQ(block.left(12), encodeResizeRecord(record));
    EXPECT_FALSE(test::extensionSegments(block.mid(12)).empty());
    EXPECT_EQ(test::withoutExtensionSegments(block.mid(12)), jpeg);
    EXPECT_EQ(test::differingPixels(decoded(block.mid(12)), decoded(jpeg)), 0);

    ImageSet read = freshSet();
    read.correctedImage = test::patternPicture(3, 3);
    ResizeRecord readRecord;
    ASSERT_TRUE(decodePictureBlock(bytesOf(block), size_t(block.size()), read, readRecord));
    EXPECT_EQ(readRecord, record);
    EXPECT_EQ(read.workingImage.format(), QImage::Format_RGB888);
    // The picture as it was, not as the JPEG gives it back.
    EXPECT_EQ(test::differingPixels(read.workingImage, set.workingImage), 0);
    EXPECT_GT(test::differingPixels(decoded(jpeg), set.workingImage), 0);
    EXPECT_TRUE(read.unresizedImage.isNull());
    EXPECT_EQ(test::differingPixels(read.correctedImage, test::patternPicture(3, 3)), 0);

    // Saved again, the block is the same to the byte.
    QByteArray second;
    ASSERT_TRUE(encodePictureBlock(read, readRecord, second));
    EXPECT_EQ(second, block);
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
    EXPECT_EQ(test::withoutExtensionSegments(block.mid(12)), jpeg);

    ImageSet read = freshSet();
    ResizeRecord readRecord;
    ASSERT_TRUE(decodePictureBlock(bytesOf(block), size_t(block.size()), read, readRecord));
    EXPECT_EQ(readRecord, record);
    EXPECT_EQ(test::differingPixels(read.unresizedImage, set.unresizedImage), 0);
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

TEST(PictureBlock, RecordsTravelInSegmentsAndDamagedOnesAreLeftOut)
{
    ImageSet set = freshSet();
    set.workingImage = test::drawGraph(160, 120);
    // A record of three segments' length, with bytes of every value.
    ExtensionRecord page;
    page.type = ExtensionType::PageFractions;
    page.number = 3;
    for (int i = 0; i < 150000; ++i)
        page.payload.append(char(i * 7));
    QByteArray block;
    ASSERT_TRUE(encodePictureBlock(set, ResizeRecord {}, block, { page }));
    const QByteArray stream = block.mid(12);
    const auto segments = test::extensionSegments(stream);
    ASSERT_EQ(segments.size(), 4u); // the picture's copy, then the page's three parts
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(set.workingImage, jpeg));
    const FoundExtensions found = findExtensions(bytesOf(stream), size_t(stream.size()));
    EXPECT_EQ(found.plainChecksum, checksum(bytesOf(jpeg), size_t(jpeg.size())));
    ASSERT_EQ(found.records.size(), 2u);
    EXPECT_EQ(found.records[1].payload, page.payload);

    // Each damage leaves the picture the JPEG's or the exact one, as said,
    // and passes on only the records that are whole.
    auto read = [&](const QByteArray& s, const QImage& expected, size_t records, const char* what) {
        ImageSet got = freshSet();
        ResizeRecord r;
        std::vector<ExtensionRecord> extra;
        const QByteArray damaged = block.left(12) + s;
        ASSERT_TRUE(decodePictureBlock(bytesOf(damaged), size_t(damaged.size()), got, r,
            [&extra](std::vector<ExtensionRecord> found) { extra = std::move(found); }))
            << what;
        EXPECT_EQ(test::differingPixels(got.workingImage, expected), 0) << what;
        EXPECT_EQ(extra.size(), records) << what;
    };
    read(stream, set.workingImage, 1, "as written");
    const auto [copyBegin, copyEnd] = segments[0];
    QByteArray flipped = stream;
    flipped[copyEnd - 20] = char(flipped[copyEnd - 20] ^ 1);
    read(flipped, decoded(jpeg), 1, "the copy damaged");
    QByteArray gap = stream;
    gap.remove(segments[2].first, segments[2].second - segments[2].first);
    read(gap, set.workingImage, 0, "a part missing");
    QByteArray future = stream;
    future[segments[1].first + 12] = 2; // version
    read(future, set.workingImage, 0, "a version to come");
    QByteArray twice = stream;
    twice.insert(segments[3].second, stream.mid(segments[1].first, segments[3].second - segments[1].first));
    read(twice, set.workingImage, 0, "the record twice");
    // Another program wrote a new picture and passed our segments on.
    QByteArray other;
    ASSERT_TRUE(encodeJpeg(test::patternPicture(160, 120), other));
    const QByteArray spliced
        = other.left(20) + stream.mid(copyBegin, segments[3].second - copyBegin) + other.mid(20);
    read(spliced, decoded(other), 1, "a picture replaced");
}

TEST(PictureBlock, ChecksumIsTheStandardCrcAtEveryLengthAlignmentAndSplit)
{
    std::mt19937 random(11);
    QByteArray data(300000, '\0');
    for (char& c : data)
        c = char(random());
    const uchar* p = bytesOf(data);
    auto reference
        = [](const uchar* from, size_t n, uLong crc) { return uint32_t(crc32(crc, from, uInt(n))); };
    // Lengths around every step of the folding (16, 64 and their neighbours)
    // and long runs, from every alignment within a vector.
    std::vector<size_t> lengths;
    for (size_t n = 0; n <= 200; ++n)
        lengths.push_back(n);
    for (size_t n : { 255, 256, 257, 1023, 4096, 65535, 65536, 65537, 299984 })
        lengths.push_back(n);
    for (size_t offset = 0; offset < 16; ++offset)
        for (size_t n : lengths)
            ASSERT_EQ(checksum(p + offset, n), reference(p + offset, n, 0)) << offset << " " << n;
    // Continued over pieces, as the writer checks a page in chunks.
    for (size_t split : { 1, 15, 63, 64, 65, 1000, 150001 }) {
        const uint32_t first = checksum(p, split);
        EXPECT_EQ(
            checksum(p + split, size_t(data.size()) - split, first), reference(p, size_t(data.size()), 0))
            << split;
    }
    // All zeros and all ones, where a wrong constant shows least.
    for (char fill : { '\0', '\xff' }) {
        const QByteArray same(4096 + 48, fill);
        EXPECT_EQ(
            checksum(bytesOf(same), size_t(same.size())), reference(bytesOf(same), size_t(same.size()), 0));
    }
}
