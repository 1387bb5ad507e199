#include "FuzzSeeds.h"
#include "image/BmpCodec.h"
#include "image/ImageSet.h"
#include "platform/ByteIO.h"
#include "platform/Errors.h"

#include "TestPictures.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

using namespace cvg;

namespace {

// A device-independent bitmap described field by field; the test writes the
// bytes itself so that every header version and depth can be produced.
struct Dib {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    uint32_t clrUsed = 0;
    std::vector<uint32_t> masks; // after a 40-byte header, inside larger ones
    std::vector<QRgb> palette;
    QByteArray bits;
};

QByteArray infoBlock(const Dib& d)
{
    QByteArray out;
    putI32(out, int32_t(d.headerSize));
    if (d.headerSize == 12) {
        putU16(out, uint16_t(d.width));
        putU16(out, uint16_t(d.height));
        putU16(out, 1);
        putU16(out, d.bitCount);
    } else {
        putI32(out, d.width);
        putI32(out, d.height);
        putU16(out, 1);
        putU16(out, d.bitCount);
        putI32(out, int32_t(d.compression));
        putI32(out, int32_t(d.sizeImage));
        putI32(out, 2835);
        putI32(out, 2835);
        putI32(out, int32_t(d.clrUsed));
        putI32(out, 0);
        if (d.headerSize >= 52)
            for (size_t i = 0; i < (d.headerSize >= 56 ? 4u : 3u); ++i)
                putI32(out, int32_t(i < d.masks.size() ? d.masks[i] : 0));
        while (size_t(out.size()) < d.headerSize)
            putU8(out, 0);
        if (d.headerSize == 40)
            for (uint32_t m : d.masks)
                putI32(out, int32_t(m));
    }
    for (QRgb c : d.palette) {
        putU8(out, uint8_t(qBlue(c)));
        putU8(out, uint8_t(qGreen(c)));
        putU8(out, uint8_t(qRed(c)));
        if (d.headerSize != 12)
            putU8(out, 0);
    }
    return out;
}

QByteArray bmpFile(const Dib& d, std::optional<uint32_t> offBits = std::nullopt)
{
    const QByteArray info = infoBlock(d);
    QByteArray out("BM");
    putI32(out, int32_t(14 + info.size() + d.bits.size()));
    putU16(out, 0);
    putU16(out, 0);
    putI32(out, int32_t(offBits.value_or(uint32_t(14 + info.size()))));
    out += info;
    out += d.bits;
    return out;
}

const uchar* bytesOf(const QByteArray& b)
{
    return reinterpret_cast<const uchar*>(b.constData());
}

bool decode(const QByteArray& file, QImage& out)
{
    cvg::test::keepSeed("BmpFuzz", file);
    return decodeBmp(bytesOf(file), size_t(file.size()), out);
}

QByteArray bytes(std::initializer_list<int> list)
{
    QByteArray out;
    for (int b : list)
        out.append(char(b));
    return out;
}

// Stored rows padded to 4 bytes, in the order given (bottom row first for
// a bottom-up bitmap).
QByteArray paddedRows(const std::vector<QByteArray>& rows)
{
    QByteArray out;
    for (QByteArray r : rows) {
        while (r.size() % 4 != 0)
            r.append('\0');
        out += r;
    }
    return out;
}

void setPixel(QImage& image, int x, int y, QRgb c)
{
    uchar* p = image.scanLine(y) + 3 * x;
    p[0] = uchar(qRed(c));
    p[1] = uchar(qGreen(c));
    p[2] = uchar(qBlue(c));
}

QRgb pixelAt(const QImage& image, int x, int y)
{
    const uchar* p = image.constScanLine(y) + 3 * x;
    return qRgb(p[0], p[1], p[2]);
}

// Expected picture from rows of colours, top row first.
QImage picture(const std::vector<std::vector<QRgb>>& rows)
{
    QImage image = newPicture(int(rows[0].size()), int(rows.size()));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            setPixel(image, int(x), int(y), rows[y][x]);
    return image;
}

void expectSame(const QImage& expected, const QImage& actual)
{
    ASSERT_FALSE(actual.isNull());
    EXPECT_EQ(actual.format(), QImage::Format_RGB888);
    ASSERT_EQ(actual.size(), expected.size());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            EXPECT_EQ(pixelAt(actual, x, y), pixelAt(expected, x, y)) << "at " << x << "," << y;
}

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

const std::vector<QRgb> kFour = { qRgb(10, 20, 30), qRgb(200, 0, 0), qRgb(0, 200, 0), qRgb(0, 0, 200) };

} // namespace

TEST(BmpCodec, PaletteDepthsUnpackBitsMostSignificantFirstWithRowPadding)
{
    // 1 bit, 3 x 2, literal bytes: bottom row 101, top row 011.
    {
        Dib d;
        d.width = 3;
        d.height = 2;
        d.bitCount = 1;
        d.palette = { qRgb(1, 2, 3), qRgb(250, 240, 230) };
        d.bits = bytes({ 0xA0, 0, 0, 0, 0x60, 0xFF, 0xFF, 0xFF });
        QImage out;
        ASSERT_TRUE(decode(bmpFile(d), out));
        const QRgb a = d.palette[0], b = d.palette[1];
        expectSame(picture({ { a, b, b }, { b, a, b } }), out);
    }
    // 4 bits, 5 x 1: nibbles 1 2 3 0 2, the low nibble of the last byte unused.
    {
        Dib d;
        d.width = 5;
        d.height = 1;
        d.bitCount = 4;
        d.palette = kFour;
        d.bits = bytes({ 0x12, 0x30, 0x2F, 0 });
        QImage out;
        ASSERT_TRUE(decode(bmpFile(d), out));
        expectSame(picture({ { kFour[1], kFour[2], kFour[3], kFour[0], kFour[2] } }), out);
    }
    // Every palette depth with a width that crosses byte and padding boundaries.
    for (int bpp : { 1, 2, 4, 8 }) {
        const int w = 13, h = 5, colours = 1 << bpp;
        Dib d;
        d.width = w;
        d.height = h;
        d.bitCount = uint16_t(bpp);
        for (int i = 0; i < colours; ++i)
            d.palette.push_back(qRgb(i, 255 - i, (i * 37) & 0xFF));
        std::vector<QByteArray> stored;
        QImage expected = newPicture(w, h);
        for (int r = 0; r < h; ++r) { // r: stored row, bottom first
            QByteArray row((w * bpp + 7) / 8, '\0');
            for (int x = 0; x < w; ++x) {
                const int index = (x * 3 + r * 5) % colours;
                const int bit = x * bpp;
                row[bit / 8] = char(uchar(row[bit / 8]) | (index << (8 - bpp - bit % 8)));
                setPixel(expected, x, h - 1 - r, d.palette[size_t(index)]);
            }
            stored.push_back(row);
        }
        d.bits = paddedRows(stored);
        QImage out;
        ASSERT_TRUE(decode(bmpFile(d), out)) << bpp;
        expectSame(expected, out);
    }
}

TEST(BmpCodec, ShortPalettesFromClrUsedAndComputedOffsets)
{
    // 8 bits with a palette of three colours; index 7 lies outside it and
    // reads black.
    Dib d;
    d.width = 4;
    d.height = 1;
    d.bitCount = 8;
    d.clrUsed = 3;
    d.palette = { qRgb(1, 1, 1), qRgb(9, 8, 7), qRgb(100, 110, 120) };
    d.bits = bytes({ 2, 1, 0, 7 });
    const QImage expected = picture({ { d.palette[2], d.palette[1], d.palette[0], kBlack } });
    QImage out;
    ASSERT_TRUE(decode(bmpFile(d), out));
    expectSame(expected, out);

    // A file whose offset field is zero: the bits follow the three entries.
    ASSERT_TRUE(decode(bmpFile(d, 0u), out));
    expectSame(expected, out);

    // The offset is honoured even when a gap lies before the bits.
    Dib gap = d;
    gap.bits = bytes({ 0x55, 0x55, 0x55, 0x55 }) + d.bits;
    ASSERT_TRUE(decode(bmpFile(gap, uint32_t(14 + infoBlock(d).size() + 4)), out));
    expectSame(expected, out);

    // 24 bits with an optional colour table: the table only moves the bits.
    Dib table;
    table.width = 1;
    table.height = 1;
    table.clrUsed = 2;
    table.palette = { qRgb(5, 5, 5), qRgb(6, 6, 6) };
    table.bits = bytes({ 30, 20, 10, 0 });
    ASSERT_TRUE(decode(bmpFile(table, 0u), out));
    expectSame(picture({ { qRgb(10, 20, 30) } }), out);
}

TEST(BmpCodec, Rle8RunsAbsoluteDeltaEarlyEndsAndSkippedPixelsWhite)
{
    Dib d;
    d.width = 6;
    d.height = 4;
    d.bitCount = 8;
    d.compression = 1;
    d.clrUsed = 4;
    d.palette = kFour;
    d.bits = bytes({
        3, 1, 0, 3, 2, 3, 2, 0, 0, 0, // row 0: run of 1, absolute 2 3 2 (padded), end of line
        2, 2, 0, 0, // row 1: run of 2, early end of line
        0, 2, 3, 1, // delta: right 3, up 1 (row 2 skipped)
        5, 3, 0, 1 // row 3: run of 5 clipped at the edge, end of bitmap
    });
    const QRgb c1 = kFour[1], c2 = kFour[2], c3 = kFour[3], w = kWhite;
    const QImage expected = picture({
        { w, w, w, c3, c3, c3 },
        { w, w, w, w, w, w },
        { c2, c2, w, w, w, w },
        { c1, c1, c1, c2, c3, c2 },
    });
    QImage out;
    ASSERT_TRUE(decode(bmpFile(d), out));
    expectSame(expected, out);

    // The same stream top-down fills rows from the top.
    Dib top = d;
    top.height = -4;
    ASSERT_TRUE(decode(bmpFile(top), out));
    expectSame(expected.mirrored(false, true), out);

    // An early end of bitmap leaves the rest white.
    Dib early = d;
    early.bits = bytes({ 2, 3, 0, 1 });
    ASSERT_TRUE(decode(bmpFile(early), out));
    expectSame(
        picture({ { w, w, w, w, w, w }, { w, w, w, w, w, w }, { w, w, w, w, w, w }, { c3, c3, w, w, w, w } }),
        out);

    // A delta past the last row ends the picture as well.
    Dib past = d;
    past.bits = bytes({ 1, 1, 0, 2, 0, 9 });
    ASSERT_TRUE(decode(bmpFile(past), out));
    EXPECT_EQ(pixelAt(out, 0, 3), c1);
    EXPECT_EQ(pixelAt(out, 1, 3), w);

    // A stream that stops before its end (no end of bitmap, rows left) is damaged.
    Dib cut = d;
    cut.bits = d.bits.left(d.bits.size() - 2);
    EXPECT_FALSE(decode(bmpFile(cut), out));
    EXPECT_TRUE(out.isNull());
    Dib halfDelta = d;
    halfDelta.bits = bytes({ 0, 2, 3 });
    EXPECT_FALSE(decode(bmpFile(halfDelta), out));
    Dib shortAbsolute = d;
    shortAbsolute.bits = bytes({ 0, 5, 1, 2 });
    EXPECT_FALSE(decode(bmpFile(shortAbsolute), out));
}

TEST(BmpCodec, Rle4NibbleRunsAndPaddedAbsoluteRuns)
{
    Dib d;
    d.width = 7;
    d.height = 2;
    d.bitCount = 4;
    d.compression = 2;
    d.clrUsed = 5;
    d.palette = { qRgb(0, 0, 0), qRgb(11, 0, 0), qRgb(0, 22, 0), qRgb(0, 0, 33), qRgb(44, 44, 44) };
    d.bits = bytes({
        5, 0x12, 0, 3, 0x30, 0x10, 0, 0, // row 0: 1 2 1 2 1, absolute 3 0 (1 clipped), end of line
        0, 5, 0x01, 0x23, 0x40, 0, 0, 1 // row 1: absolute 0 1 2 3 4 (padded), end of bitmap
    });
    const auto& p = d.palette;
    const QImage expected = picture({
        { p[0], p[1], p[2], p[3], p[4], kWhite, kWhite },
        { p[1], p[2], p[1], p[2], p[1], p[3], p[0] },
    });
    QImage out;
    ASSERT_TRUE(decode(bmpFile(d), out));
    expectSame(expected, out);

    // The image size field bounds the stream: cut before the end of bitmap.
    Dib bounded = d;
    bounded.sizeImage = 12;
    EXPECT_FALSE(decode(bmpFile(bounded), out));

    // Run-length compression needs its own depth.
    Dib wrongDepth = d;
    wrongDepth.bitCount = 8;
    EXPECT_FALSE(decode(bmpFile(wrongDepth), out));
}

TEST(BmpCodec, SixteenBitDefaultAndBitfieldMasks)
{
    // Default 5-5-5.
    Dib d;
    d.width = 4;
    d.height = 1;
    d.bitCount = 16;
    d.bits = bytes({ 0x00, 0x7C, 0xE0, 0x03, 0x21, 0x04, 0x10, 0x42 });
    QImage out;
    ASSERT_TRUE(decode(bmpFile(d), out));
    expectSame(picture({ { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(8, 8, 8), qRgb(132, 132, 132) } }), out);

    // 5-6-5 given as three masks after a 40-byte header.
    Dib m565 = d;
    m565.compression = 3;
    m565.masks = { 0xF800, 0x07E0, 0x001F };
    m565.bits = bytes({ 0x00, 0xF8, 0xE0, 0x07, 0x20, 0x00, 0x10, 0x84 });
    ASSERT_TRUE(decode(bmpFile(m565), out));
    expectSame(picture({ { qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 4, 0), qRgb(132, 130, 132) } }), out);

    // 4-4-4 with the masks inside a 56-byte header, the alpha bits ignored.
    Dib m444 = d;
    m444.headerSize = 56;
    m444.width = 2;
    m444.compression = 3;
    m444.masks = { 0x0F00, 0x00F0, 0x000F, 0xF000 };
    m444.bits = bytes({ 0xF0, 0xF0, 0x23, 0x01 });
    ASSERT_TRUE(decode(bmpFile(m444), out));
    expectSame(picture({ { qRgb(0, 255, 0), qRgb(17, 34, 51) } }), out);

    // Masks in a V4 header apply only with bitfield compression.
    Dib v4Plain = d;
    v4Plain.headerSize = 108;
    v4Plain.masks = { 0xF800, 0x07E0, 0x001F };
    ASSERT_TRUE(decode(bmpFile(v4Plain), out));
    EXPECT_EQ(pixelAt(out, 0, 0), qRgb(255, 0, 0));

    // A mask that is not one run of bits is refused.
    Dib broken = m565;
    broken.masks = { 0xF0F0, 0x0F00, 0x000F };
    EXPECT_FALSE(decode(bmpFile(broken), out));
    // Bitfields without room for the masks are refused.
    Dib noMasks = m565;
    noMasks.masks.clear();
    noMasks.bits.clear();
    EXPECT_FALSE(decode(bmpFile(noMasks), out));
}

TEST(BmpCodec, TwentyFourAndThirtyTwoBitsBottomUpTopDownAndBitfields)
{
    // 24 bits, 2 x 2, blue-green-red with 2 padding bytes a row.
    Dib d;
    d.width = 2;
    d.height = 2;
    d.bits = bytes({ 3, 2, 1, 6, 5, 4, 0, 0, 30, 20, 10, 60, 50, 40, 0, 0 });
    const QImage bottomUp
        = picture({ { qRgb(10, 20, 30), qRgb(40, 50, 60) }, { qRgb(1, 2, 3), qRgb(4, 5, 6) } });
    QImage out;
    ASSERT_TRUE(decode(bmpFile(d), out));
    expectSame(bottomUp, out);
    Dib top = d;
    top.height = -2;
    ASSERT_TRUE(decode(bmpFile(top), out));
    expectSame(bottomUp.mirrored(false, true), out);

    // The last row may lack its padding; any less is truncated.
    Dib lean = d;
    lean.bits.chop(2);
    ASSERT_TRUE(decode(bmpFile(lean), out));
    expectSame(bottomUp, out);
    lean.bits.chop(1);
    EXPECT_FALSE(decode(bmpFile(lean), out));

    // 32 bits plain: blue, green, red, unused.
    Dib x32;
    x32.width = 2;
    x32.height = 1;
    x32.bitCount = 32;
    x32.bits = bytes({ 3, 2, 1, 0xFF, 6, 5, 4, 0x80 });
    ASSERT_TRUE(decode(bmpFile(x32), out));
    expectSame(picture({ { qRgb(1, 2, 3), qRgb(4, 5, 6) } }), out);

    // 32 bits, masks in a 52-byte header, red in the lowest byte.
    Dib swapped = x32;
    swapped.headerSize = 52;
    swapped.compression = 3;
    swapped.masks = { 0x000000FF, 0x0000FF00, 0x00FF0000 };
    ASSERT_TRUE(decode(bmpFile(swapped), out));
    expectSame(picture({ { qRgb(3, 2, 1), qRgb(6, 5, 4) } }), out);

    // 10-10-10 masks keep the 8 high bits of each channel.
    Dib wide = x32;
    wide.width = 1;
    wide.compression = 3;
    wide.masks = { 0x3FF00000, 0x000FFC00, 0x000003FF };
    QByteArray px;
    putI32(px, int32_t((0x3FFu << 20) | (0x200u << 10) | 0x004u));
    wide.bits = px;
    ASSERT_TRUE(decode(bmpFile(wide), out));
    expectSame(picture({ { qRgb(255, 128, 1) } }), out);

    // Alpha bitfields: four masks after a 40-byte header.
    Dib alpha = x32;
    alpha.compression = 6;
    alpha.masks = { 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000 };
    ASSERT_TRUE(decode(bmpFile(alpha), out));
    expectSame(picture({ { qRgb(1, 2, 3), qRgb(4, 5, 6) } }), out);
}

TEST(BmpCodec, EveryHeaderVersionReadsTheSamePicture)
{
    const std::vector<QRgb> palette = { qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(7, 7, 7) };
    const QImage expected
        = picture({ { palette[2], palette[0], palette[1] }, { palette[1], palette[1], palette[0] } });
    for (uint32_t size : { 12u, 40u, 52u, 56u, 64u, 108u, 124u }) {
        Dib d;
        d.headerSize = size;
        d.width = 3;
        d.height = 2;
        d.bitCount = 8;
        if (size == 12) {
            // The first OS/2 header has no colour count: a full table of 3-byte entries.
            d.palette.assign(256, qRgb(0, 0, 0));
            std::copy(palette.begin(), palette.end(), d.palette.begin());
        } else {
            d.clrUsed = 3;
            d.palette = palette;
        }
        d.bits = bytes({ 1, 1, 0, 0, 2, 0, 1, 0 });
        QImage out;
        ASSERT_TRUE(decode(bmpFile(d), out)) << size;
        expectSame(expected, out);
    }
    // Header sizes of no known version, and the second OS/2 header's own
    // compressions (Huffman, 24-bit run length), are refused.
    for (uint32_t size : { 0u, 16u, 20u, 41u, 100u }) {
        QByteArray file("BM");
        putI32(file, 200);
        putI32(file, 0);
        putI32(file, 0);
        putI32(file, int32_t(size));
        file += QByteArray(180, '\x01');
        QImage out;
        EXPECT_FALSE(decode(file, out)) << size;
    }
    Dib huffman;
    huffman.headerSize = 64;
    huffman.width = 8;
    huffman.height = 1;
    huffman.bitCount = 1;
    huffman.compression = 3;
    huffman.palette = { kBlack, kWhite };
    huffman.bits = QByteArray(4, '\0');
    QImage out;
    EXPECT_FALSE(decode(bmpFile(huffman), out));
    huffman.compression = 4;
    huffman.bitCount = 24;
    EXPECT_FALSE(decode(bmpFile(huffman), out));
}

TEST(BmpCodec, DamagedAndHostileFilesAreRefusedWithoutCrashing)
{
    Dib base;
    base.width = 4;
    base.height = 3;
    base.bitCount = 8;
    base.clrUsed = 2;
    base.palette = { kBlack, kWhite };
    base.bits = QByteArray(12, '\x01');
    const QByteArray good = bmpFile(base);
    QImage out;
    ASSERT_TRUE(decode(good, out));

    // Every shorter prefix of the file fails.
    for (qsizetype n = 0; n < good.size(); ++n)
        EXPECT_FALSE(decode(good.left(n), out)) << n;
    EXPECT_TRUE(out.isNull());
    EXPECT_FALSE(decodeBmp(nullptr, 100, out));

    auto refused = [&](const Dib& d, const char* what, std::optional<uint32_t> off = std::nullopt) {
        QImage image;
        EXPECT_FALSE(decode(bmpFile(d, off), image)) << what;
        EXPECT_TRUE(image.isNull()) << what;
    };
    QByteArray magic = good;
    magic[1] = 'A';
    EXPECT_FALSE(decode(magic, out));
    refused(base, "offset past the end", uint32_t(good.size() + 1));

    Dib d = base;
    d.width = 0;
    refused(d, "zero width");
    d = base;
    d.height = 0;
    refused(d, "zero height");
    d = base;
    d.width = -4;
    refused(d, "negative width");
    d = base;
    d.width = 32769;
    d.height = 1;
    refused(d, "too wide");
    d = base;
    d.width = 20000;
    d.height = 20000;
    refused(d, "too many pixels");
    d = base;
    d.height = INT32_MIN;
    refused(d, "smallest height");
    d = base;
    d.width = 10000;
    d.height = 10000;
    d.bitCount = 24;
    d.palette.clear();
    d.clrUsed = 0;
    refused(d, "bits far shorter than the size");
    for (uint16_t bpp : { 0, 3, 5, 12, 48, 64 }) {
        d = base;
        d.bitCount = bpp;
        refused(d, "depth");
    }
    d = base;
    d.compression = 4; // JPEG inside a bitmap
    refused(d, "jpeg");
    d.compression = 5; // PNG inside a bitmap
    refused(d, "png");
    d.compression = 77;
    refused(d, "unknown compression");
    d = base;
    d.bitCount = 24;
    d.compression = 3;
    d.masks = { 0xFF, 0xFF00, 0xFF0000 };
    refused(d, "bitfields on 24 bits");
    d = base;
    d.compression = 1;
    d.bitCount = 4;
    refused(d, "run length 8 on 4 bits");
    d = base;
    d.clrUsed = 0xFFFFFFFFu;
    refused(d, "palette larger than the file without an offset", 0u);

    // A header size larger than the file.
    QByteArray huge = good;
    huge[14] = char(0xFF);
    huge[15] = char(0xFF);
    huge[16] = char(0xFF);
    huge[17] = char(0x7F);
    EXPECT_FALSE(decode(huge, out));

    // Random damage to valid files of every kind: never a crash or a read past
    // the end (the sanitizer build watches), and what decodes is a valid picture.
    std::vector<QByteArray> seeds = { good };
    Dib rle;
    rle.width = 6;
    rle.height = 4;
    rle.bitCount = 8;
    rle.compression = 1;
    rle.clrUsed = 4;
    rle.palette = kFour;
    rle.bits = bytes({ 3, 1, 0, 3, 2, 3, 2, 0, 0, 0, 2, 2, 0, 0, 0, 2, 3, 1, 5, 3, 0, 1 });
    seeds.push_back(bmpFile(rle));
    Dib masks;
    masks.width = 3;
    masks.height = 2;
    masks.bitCount = 16;
    masks.compression = 3;
    masks.masks = { 0xF800, 0x07E0, 0x001F };
    masks.bits = QByteArray(16, '\x5A');
    seeds.push_back(bmpFile(masks));
    std::mt19937 random(1234);
    int decoded = 0;
    for (int i = 0; i < 3000; ++i) {
        QByteArray file = seeds[size_t(i) % seeds.size()];
        const int changes = 1 + int(random() % 4);
        for (int c = 0; c < changes; ++c)
            file[qsizetype(random() % size_t(file.size()))] = char(random() & 0xFF);
        if (random() % 4 == 0)
            file.truncate(qsizetype(random() % size_t(file.size())));
        QImage image;
        if (decode(file, image)) {
            ++decoded;
            EXPECT_EQ(image.format(), QImage::Format_RGB888);
            EXPECT_TRUE(pictureSizeAllowed(image.width(), image.height()));
        } else {
            EXPECT_TRUE(image.isNull());
        }
    }
    EXPECT_GT(decoded, 0);
}

TEST(BmpCodec, DeviceIndependentBitmapGivenAsInfoAndBits)
{
    Dib d;
    d.width = 2;
    d.height = 1;
    d.bitCount = 8;
    d.clrUsed = 2;
    d.palette = { qRgb(1, 2, 3), qRgb(4, 5, 6) };
    d.bits = bytes({ 1, 0, 0, 0 });
    const QByteArray info = infoBlock(d);
    QImage out;
    ASSERT_TRUE(decodeDib(bytesOf(info), size_t(info.size()), bytesOf(d.bits), size_t(d.bits.size()), out));
    expectSame(picture({ { d.palette[1], d.palette[0] } }), out);

    EXPECT_FALSE(decodeDib(bytesOf(info), size_t(info.size()), bytesOf(d.bits), 1, out));
    EXPECT_FALSE(decodeDib(bytesOf(info), 39, bytesOf(d.bits), size_t(d.bits.size()), out));
    EXPECT_FALSE(decodeDib(nullptr, 0, bytesOf(d.bits), size_t(d.bits.size()), out));
    EXPECT_TRUE(out.isNull());

    // A palette shorter than the block declares: the missing entry is black.
    ASSERT_TRUE(
        decodeDib(bytesOf(info), size_t(info.size()) - 4, bytesOf(d.bits), size_t(d.bits.size()), out));
    expectSame(picture({ { kBlack, d.palette[0] } }), out);
}

TEST(BmpCodec, WriterProducesTheExactUncompressedBottomUpLayout)
{
    const QImage image = picture({ { qRgb(1, 2, 3), qRgb(4, 5, 6) }, { qRgb(7, 8, 9), qRgb(10, 11, 12) } });
    const QByteArray expected = bytes({
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, // size, width, height, planes, depth
        0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // compression, image size, resolution
        0, 0, 0, 0, 0, 0, 0, 0, // colours used, important
        9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0, // bottom row first, padded
    });
    EXPECT_EQ(encodeBmp(image), expected);

    // Any input format is written as 24 bits.
    EXPECT_EQ(encodeBmp(image.convertToFormat(QImage::Format_ARGB32)), expected);
    EXPECT_TRUE(encodeBmp(QImage()).isEmpty());

    // Round trips at widths with every padding.
    for (int w : { 1, 2, 3, 4, 37 }) {
        const QImage source = test::patternPicture(w, 23);
        QImage back;
        const QByteArray file = encodeBmp(source);
        EXPECT_EQ(file.size(), 54 + ((w * 3 + 3) / 4 * 4) * 23);
        ASSERT_TRUE(decode(file, back));
        EXPECT_EQ(test::differingPixels(source, back), 0) << w;
    }
}

TEST(BmpCodec, LoadAndSaveFilesAndRefuseAnEmptyPicture)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());

    // A palette bitmap read from a file is held as 24 bits and saved as 24 bits.
    Dib d;
    d.width = 3;
    d.height = 1;
    d.bitCount = 8;
    d.clrUsed = 2;
    d.palette = { qRgb(9, 9, 9), qRgb(200, 100, 50) };
    d.bits = bytes({ 1, 0, 1, 0 });
    const QString palettePath = dir.filePath("palette.bmp");
    {
        QFile f(palettePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bmpFile(d));
    }
    QImage loaded;
    ASSERT_TRUE(LoadBmpPicture(palettePath, loaded));
    EXPECT_EQ(loaded.format(), QImage::Format_RGB888);
    const QString copyPath = dir.filePath("copy.bmp");
    SaveBmpPicture(copyPath, loaded);
    QFile copy(copyPath);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QByteArray written = copy.readAll();
    ASSERT_GE(written.size(), 54);
    EXPECT_EQ(getU16(bytesOf(written) + 28), 24);
    EXPECT_EQ(written, encodeBmp(loaded));

    // Missing and damaged files leave an empty picture.
    QImage missing = test::patternPicture(2, 2);
    EXPECT_FALSE(LoadBmpPicture(dir.filePath("none.bmp"), missing));
    EXPECT_TRUE(missing.isNull());
    {
        QFile f(dir.filePath("bad.bmp"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bmpFile(d).left(60));
    }
    QImage bad = test::patternPicture(2, 2);
    EXPECT_FALSE(LoadBmpPicture(dir.filePath("bad.bmp"), bad));
    EXPECT_TRUE(bad.isNull());

    // An empty picture is refused with a clear message and nothing is written,
    // not even over an existing file.
    const QString emptyPath = dir.filePath("empty.bmp");
    try {
        SaveBmpPicture(emptyPath, newPicture(0, 0));
        ADD_FAILURE() << "no error for an empty picture";
    } catch (const CvgError& e) {
        EXPECT_EQ(e.userText(), QStringLiteral("保存する画像がありません。"));
    }
    EXPECT_FALSE(QFile::exists(emptyPath));
    EXPECT_THROW(SaveBmpPicture(copyPath, QImage()), CvgError);
    QFile again(copyPath);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), written);

    // A file that cannot be created reaches the general error report.
    const QString noFolder = dir.filePath("no/such/folder/x.bmp");
    try {
        SaveBmpPicture(noFolder, loaded);
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const CvgError& e) {
        EXPECT_TRUE(
            e.userText().startsWith(QStringLiteral("ファイル \"%1\" を作成できません。").arg(noFolder)))
            << e.userText().toStdString();
    }
}
