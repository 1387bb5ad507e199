// The document's lossless picture copy: exact both ways, readable by any PNG
// reader, and refusing anything damaged before it allocates.
#include "TestPictures.h"

#include "image/ImageSet.h"
#include "image/PngCodec.h"

#include <QBuffer>
#include <QImageWriter>
#include <gtest/gtest.h>
#include <zlib.h>

using namespace cvg;

namespace {

const uchar* bytesOf(const QByteArray& b) { return reinterpret_cast<const uchar*>(b.constData()); }

QImage noise(int width, int height)
{
    QImage image = newPicture(width, height);
    uint32_t state = 12345;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < 3 * width; ++i) {
            state = state * 1103515245u + 12345u;
            image.scanLine(y)[i] = uchar(state >> 24);
        }
    return image;
}

QByteArray qtPng(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

} // namespace

TEST(PngCodec, ExactBothWaysWithAnyPngReaderAndWriter)
{
    // Odd widths, one pixel, rows longer than deflate's window, noise.
    const QImage pictures[] = { test::drawGraph(300, 200), test::patternPicture(37, 23), test::patternPicture(1, 1),
        test::patternPicture(11000, 3), noise(64, 48), test::patternPicture(1, 300) };
    for (const QImage& picture : pictures) {
        SCOPED_TRACE(testing::Message() << picture.width() << " x " << picture.height());
        QByteArray png;
        ASSERT_TRUE(encodePng(picture, png));
        QImage back;
        ASSERT_TRUE(decodePng(bytesOf(png), size_t(png.size()), back));
        EXPECT_EQ(back.format(), kPictureFormat);
        EXPECT_EQ(test::differingPixels(back, picture), 0);
        EXPECT_EQ(test::differingPixels(QImage::fromData(png, "PNG"), picture), 0);
        // The general writer picks its row filters freely; all five read.
        const QByteArray theirs = qtPng(picture);
        ASSERT_TRUE(decodePng(bytesOf(theirs), size_t(theirs.size()), back));
        EXPECT_EQ(test::differingPixels(back, picture), 0);
    }
    // A graph is mostly paper: its copy is a small part of its pixels.
    QByteArray graph;
    ASSERT_TRUE(encodePng(test::drawGraph(800, 600), graph));
    EXPECT_LT(graph.size(), 800 * 600 * 3 / 20);
    QByteArray empty("x");
    EXPECT_FALSE(encodePng(QImage(), empty));
    EXPECT_TRUE(empty.isEmpty());
}

TEST(PngCodec, DamagedOrForeignStreamsAreRefused)
{
    QByteArray png;
    ASSERT_TRUE(encodePng(test::patternPicture(20, 12), png));
    QImage out;
    for (qsizetype n = 0; n < png.size(); ++n)
        ASSERT_FALSE(decodePng(bytesOf(png), size_t(n), out)) << "cut at " << n;
    for (qsizetype i = 8; i < png.size(); i += 7) {
        QByteArray bad = png;
        bad[i] = char(bad[i] ^ 0x10);
        EXPECT_FALSE(decodePng(bytesOf(bad), size_t(bad.size()), out)) << "byte " << i;
        EXPECT_TRUE(out.isNull());
    }
    // A header claiming more pixels than any picture may have, its CRC right.
    QByteArray huge = png;
    const uchar size[8] = { 0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0 }; // 100000 x 100000
    huge.replace(16, 8, reinterpret_cast<const char*>(size), 8);
    const uLong crc = crc32(0, bytesOf(huge) + 12, 17);
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = char(crc >> (24 - 8 * i));
    EXPECT_FALSE(decodePng(bytesOf(huge), size_t(huge.size()), out));
    // Palettes and 16-bit channels are not what the copy holds.
    QImage indexed = test::patternPicture(8, 8).convertToFormat(QImage::Format_Indexed8);
    const QByteArray palette = qtPng(indexed);
    EXPECT_FALSE(decodePng(bytesOf(palette), size_t(palette.size()), out));
    const QByteArray deep = qtPng(test::patternPicture(8, 8).convertToFormat(QImage::Format_RGBX64));
    EXPECT_FALSE(decodePng(bytesOf(deep), size_t(deep.size()), out));
}
