// PNG, GIF, TIFF and WebP: exact pixels, transparency laid over white, and
// refusal of sizes, damage and strangers before anything large is decoded.
#include "image/ModernPicture.h"
#include "image/ImageSet.h"
#include "image/PictureFiles.h"

#include "FuzzSeeds.h"
#include "TestPictures.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace cvg;

namespace {

QByteArray encoded(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format << ": " << writer.errorString().toStdString();
    cvg::test::keepSeed("ModernPictureFuzz", bytes);
    return bytes;
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

std::array<int, 3> rgbAt(const QImage& picture, int x, int y)
{
    const uchar* p = picture.constScanLine(y) + 3 * x;
    return { p[0], p[1], p[2] };
}

// A colour with its opacity and what it must become over white, worked out
// by hand: c * a / 255 + 255 - a, rounded.
struct Translucent {
    int r, g, b, a;
    std::array<int, 3> expected;
};
const Translucent kTranslucent[] = {
    { 200, 100, 50, 128, { 227, 177, 152 } },
    { 1, 0, 254, 128, { 128, 127, 254 } }, // 127.502 rounds up, 254.498 down
    { 0, 0, 0, 1, { 254, 254, 254 } },
    { 0, 0, 0, 254, { 1, 1, 1 } },
    { 10, 20, 30, 0, { 255, 255, 255 } }, // fully transparent: white, whatever its colour
    { 12, 34, 56, 255, { 12, 34, 56 } }, // opaque: unchanged
    { 128, 64, 254, 64, { 223, 207, 255 } },
    { 77, 200, 3, 200, { 115, 212, 57 } },
};

// 4 x 2 pixels of the colours above, not premultiplied.
QImage translucentPicture()
{
    QImage image(4, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 8; ++i) {
        const Translucent& t = kTranslucent[i];
        reinterpret_cast<QRgb*>(image.scanLine(i / 4))[i % 4] = qRgba(t.r, t.g, t.b, t.a);
    }
    return image;
}

void expectFlattened(const QImage& picture, const char* what)
{
    ASSERT_EQ(picture.format(), kPictureFormat) << what;
    ASSERT_EQ(picture.size(), QSize(4, 2)) << what;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(rgbAt(picture, i % 4, i / 4), kTranslucent[i].expected) << what << " pixel " << i;
}

// ---- a GIF written by hand (Qt reads GIF but cannot write it) ----------------

void le16(QByteArray& out, int v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

// LZW data of 2-bit colour indexes, code size 3 throughout: a clear code
// after every two pixels keeps the table from growing.
QByteArray lzw(const std::vector<int>& indexes)
{
    std::vector<int> codes { 4 };
    for (size_t i = 0; i < indexes.size(); ++i) {
        if (i > 0 && i % 2 == 0)
            codes.push_back(4);
        codes.push_back(indexes[i]);
    }
    codes.push_back(5);
    QByteArray packed;
    quint32 bits = 0;
    int count = 0;
    for (int code : codes) {
        bits |= quint32(code) << count;
        count += 3;
        while (count >= 8) {
            packed.append(char(bits & 0xff));
            bits >>= 8;
            count -= 8;
        }
    }
    if (count > 0)
        packed.append(char(bits & 0xff));
    QByteArray blocks;
    for (qsizetype i = 0; i < packed.size(); i += 255) {
        const QByteArray part = packed.mid(i, 255);
        blocks.append(char(part.size()));
        blocks.append(part);
    }
    blocks.append('\0');
    return blocks;
}

struct GifFrame {
    std::vector<int> indexes; // width x height, 0..3
    int transparent = -1;
};

QByteArray gif(int width, int height, const std::array<QRgb, 4>& palette, const std::vector<GifFrame>& frames)
{
    QByteArray out("GIF89a");
    le16(out, width);
    le16(out, height);
    out.append(char(0xF1)); // global table of 4 entries
    out.append('\0');
    out.append('\0');
    for (QRgb c : palette) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    for (const GifFrame& frame : frames) {
        out.append("\x21\xF9\x04", 3);
        out.append(char(frame.transparent >= 0 ? 1 : 0));
        le16(out, 10);
        out.append(char(frame.transparent >= 0 ? frame.transparent : 0));
        out.append('\0');
        out.append(char(0x2C));
        le16(out, 0);
        le16(out, 0);
        le16(out, width);
        le16(out, height);
        out.append('\0');
        out.append(char(2)); // minimum code size
        out.append(lzw(frame.indexes));
    }
    out.append(char(0x3B));
    return out;
}

// ---- a PNG whose header may claim any size ---------------------------------

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data) {
        crc ^= quint8(ch);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFu;
}

void be32(QByteArray& out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((v >> shift) & 0xff));
}

void chunk(QByteArray& out, const char* type, const QByteArray& data)
{
    be32(out, quint32(data.size()));
    const QByteArray body = QByteArray(type) + data;
    out.append(body);
    be32(out, crc32(body));
}

QByteArray pngClaiming(quint32 width, quint32 height)
{
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    be32(ihdr, width);
    be32(ihdr, height);
    ihdr.append("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", QByteArray("\x78\x9c\x63\x00\x00", 5)); // a few rows at most
    chunk(png, "IEND", {});
    return png;
}

} // namespace

TEST(ModernPicture, PluginsForAllFourFormatsAreInstalled)
{
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    for (const char* format : { "png", "gif", "tiff", "webp" })
        EXPECT_TRUE(formats.contains(format)) << format;
}

TEST(ModernPicture, OpaquePicturesArriveExactly)
{
    const QImage source = test::patternPicture(37, 23);
    for (const char* format : { "png", "tiff" }) {
        QImage picture;
        ASSERT_TRUE(decodeModernPicture(encoded(source, format), picture)) << format;
        EXPECT_EQ(picture.format(), kPictureFormat) << format;
        EXPECT_EQ(test::differingPixels(picture, source), 0) << format;
    }
    // WebP at quality 100 is lossless.
    QImage picture;
    ASSERT_TRUE(decodeModernPicture(encoded(source, "webp", 100), picture));
    EXPECT_EQ(picture.format(), kPictureFormat);
    EXPECT_EQ(test::differingPixels(picture, source), 0);

    // A picture of 16 bits a channel: 257 * c is c exactly.
    QImage deep(2, 1, QImage::Format_RGBA64);
    reinterpret_cast<QRgba64*>(deep.scanLine(0))[0]
        = QRgba64::fromRgba64(257 * 9, 257 * 99, 257 * 199, 65535);
    reinterpret_cast<QRgba64*>(deep.scanLine(0))[1] = QRgba64::fromRgba64(257 * 200, 0, 0, 257 * 128);
    ASSERT_TRUE(decodeModernPicture(encoded(deep, "png"), picture));
    EXPECT_EQ(rgbAt(picture, 0, 0), (std::array<int, 3> { 9, 99, 199 }));
    EXPECT_EQ(rgbAt(picture, 1, 0), (std::array<int, 3> { 227, 127, 127 }));
}

TEST(ModernPicture, TransparencyIsLaidOverWhite)
{
    const QImage source = translucentPicture();
    QImage picture;
    ASSERT_TRUE(decodeModernPicture(encoded(source, "png"), picture));
    expectFlattened(picture, "png");
    ASSERT_TRUE(decodeModernPicture(encoded(source, "tiff"), picture));
    expectFlattened(picture, "tiff");
    ASSERT_TRUE(decodeModernPicture(encoded(source, "webp", 100), picture));
    expectFlattened(picture, "webp");

    // The same from pictures held in memory, premultiplied or not.
    expectFlattened(pictureFromImage(source), "ARGB32");
    expectFlattened(pictureFromImage(source.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
        "ARGB32_Premultiplied");
    expectFlattened(pictureFromImage(source.convertToFormat(QImage::Format_RGBA8888)), "RGBA8888");
    // Without alpha nothing is laid over anything.
    const QImage opaque = test::patternPicture(5, 4).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(test::differingPixels(pictureFromImage(opaque), test::patternPicture(5, 4)), 0);
    EXPECT_TRUE(pictureFromImage(QImage()).isNull());
    EXPECT_TRUE(pictureFromImage(QImage(kMaxPictureSide + 1, 1, QImage::Format_ARGB32)).isNull());
}

TEST(ModernPicture, GifGivesItsFirstFrameWithTransparencyWhite)
{
    const std::array<QRgb, 4> palette { qRgb(10, 20, 30), qRgb(200, 0, 0), qRgb(0, 150, 0), qRgb(1, 2, 3) };
    GifFrame first { { 0, 1, 2, 3, 3, 2, 1, 0 }, 3 };
    GifFrame second { { 1, 1, 1, 1, 1, 1, 1, 1 }, -1 };
    QImage picture;
    ASSERT_TRUE(decodeModernPicture(gif(4, 2, palette, { first, second }), picture));
    ASSERT_EQ(picture.format(), kPictureFormat);
    ASSERT_EQ(picture.size(), QSize(4, 2));
    const std::array<int, 3> expected[8] = {
        { 10, 20, 30 },
        { 200, 0, 0 },
        { 0, 150, 0 },
        { 255, 255, 255 },
        { 255, 255, 255 },
        { 0, 150, 0 },
        { 200, 0, 0 },
        { 10, 20, 30 },
    };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(rgbAt(picture, i % 4, i / 4), expected[i]) << "pixel " << i;
}

TEST(ModernPicture, RefusesSizesDamageAndStrangers)
{
    QImage picture = test::patternPicture(3, 3);
    // Sizes that no reader may allocate are refused from the header alone.
    EXPECT_FALSE(decodeModernPicture(pngClaiming(100000, 100000), picture));
    EXPECT_FALSE(decodeModernPicture(pngClaiming(30000, 30000), picture)); // sides fit, pixels do not
    EXPECT_FALSE(decodeModernPicture(pngClaiming(kMaxPictureSide + 1, 1), picture));
    EXPECT_FALSE(decodeModernPicture(pngClaiming(0, 5), picture));
    // An allowed size with too little data is damage, not a picture.
    EXPECT_FALSE(decodeModernPicture(pngClaiming(64, 64), picture));
    // What failed left the output alone.
    EXPECT_EQ(picture.size(), QSize(3, 3));

    const QByteArray good = encoded(test::patternPicture(40, 30), "png");
    EXPECT_FALSE(decodeModernPicture(good.left(good.size() / 2), picture)); // truncated
    QByteArray flipped = good;
    flipped[flipped.size() / 2] = char(~flipped[flipped.size() / 2]); // CRC no longer matches
    EXPECT_FALSE(decodeModernPicture(flipped, picture));
    EXPECT_FALSE(decodeModernPicture(QByteArray(), picture));
    EXPECT_FALSE(decodeModernPicture(QByteArray(1000, '\x55'), picture));
    EXPECT_FALSE(decodeModernPicture(QByteArray("GIF89a"), picture));
    EXPECT_FALSE(decodeModernPicture(QByteArray("RIFF\x10\0\0\0WEBPVP8 ", 16), picture));
    EXPECT_FALSE(decodeModernPicture(QByteArray("II*\0\x08\0\0\0\0\0", 10), picture));
    // Formats outside the four are not read here, even though Qt knows them.
    EXPECT_FALSE(decodeModernPicture(encoded(test::patternPicture(8, 8), "bmp"), picture));
    EXPECT_FALSE(decodeModernPicture(encoded(test::patternPicture(8, 8), "jpg"), picture));
    EXPECT_EQ(picture.size(), QSize(3, 3));
}

TEST(ModernPicture, LoadsFilesByContent)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage source = test::patternPicture(21, 13);

    // A GIF called ".png" is still one of the four: it is read.
    const std::array<QRgb, 4> palette { qRgb(1, 1, 1), qRgb(2, 2, 2), qRgb(3, 3, 3), qRgb(4, 4, 4) };
    const QString misnamed = dir.filePath(QStringLiteral("really-a-gif.png"));
    writeAll(misnamed, gif(2, 1, palette, { GifFrame { { 2, 1 }, -1 } }));
    QImage picture;
    ASSERT_TRUE(LoadModernPicture(misnamed, picture));
    EXPECT_EQ(rgbAt(picture, 0, 0), (std::array<int, 3> { 3, 3, 3 }));

    const QString tiff = dir.filePath(QStringLiteral("p.tif"));
    writeAll(tiff, encoded(source, "tiff"));
    ASSERT_TRUE(LoadModernPicture(tiff, picture));
    EXPECT_EQ(test::differingPixels(picture, source), 0);

    // Failures leave a new, empty picture, as every reader of the program does.
    const QString bitmap = dir.filePath(QStringLiteral("bitmap.png"));
    writeAll(bitmap, encoded(source, "bmp"));
    EXPECT_FALSE(LoadModernPicture(bitmap, picture));
    EXPECT_TRUE(picture.size().isEmpty());
    EXPECT_FALSE(LoadModernPicture(dir.filePath(QStringLiteral("missing.png")), picture));
    EXPECT_TRUE(picture.size().isEmpty());

    // A file beyond the size limit is not read at all (sparse: no disk used).
    const QString huge = dir.filePath(QStringLiteral("huge.png"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(encoded(source, "png"));
        ASSERT_TRUE(f.resize(kMaxPictureFileBytes + 1));
    }
    EXPECT_FALSE(LoadModernPicture(huge, picture));
    EXPECT_TRUE(picture.size().isEmpty());

    EXPECT_TRUE(isModernPictureExtension(QStringLiteral(".tiff")));
    EXPECT_TRUE(isModernPictureExtension(QStringLiteral(".webp")));
    EXPECT_FALSE(isModernPictureExtension(QStringLiteral(".PNG")));
    EXPECT_FALSE(isModernPictureExtension(QStringLiteral(".jpeg")));
    EXPECT_FALSE(isModernPictureExtension(QString()));
}

TEST(ModernPicture, LargePicturesBeyondQtsDefaultLimitAreRead)
{
    // 8200 x 8200 decodes to 269 MB of 32-bit pixels, above the 256 MB that
    // Qt allows unless told otherwise.
    QImage white(8200, 8200, kPictureFormat);
    ASSERT_FALSE(white.isNull());
    white.fill(Qt::white);
    white.scanLine(8199)[3 * 8199] = 7;
    QImage picture;
    ASSERT_TRUE(decodeModernPicture(encoded(white, "png"), picture));
    EXPECT_EQ(picture.size(), QSize(8200, 8200));
    EXPECT_EQ(rgbAt(picture, 8199, 8199), (std::array<int, 3> { 7, 255, 255 }));
}
