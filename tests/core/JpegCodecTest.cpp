#include "FuzzSeeds.h"
#include "image/JpegCodec.h"
#include "image/BmpCodec.h"
#include "image/ImageSet.h"
#include "platform/Errors.h"

#include "TestPictures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <jpeglib.h>
#include <vector>

using namespace cvg;

namespace {

const uchar* bytesOf(const QByteArray& b)
{
    return reinterpret_cast<const uchar*>(b.constData());
}

bool decode(const QByteArray& file, QImage& out)
{
    cvg::test::keepSeed("JpegFuzz", file);
    return decodeJpeg(bytesOf(file), size_t(file.size()), out);
}

struct StoredForm {
    int components;
    J_COLOR_SPACE input;
    J_COLOR_SPACE stored;
    bool adobeMarker;
};

// A JPEG written by libjpeg itself in the stored form given; fill gives the
// input samples of each pixel.
QByteArray writeJpeg(int w, int h, const StoredForm& form, const std::function<void(int, int, uchar*)>& fill,
    bool progressive = false)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = form.components;
    cinfo.in_color_space = form.input;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, form.stored);
    cinfo.write_Adobe_marker = form.adobeMarker ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 100, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uchar> row(size_t(w * form.components));
    while (cinfo.next_scanline < cinfo.image_height) {
        for (int x = 0; x < w; ++x)
            fill(x, int(cinfo.next_scanline), row.data() + x * form.components);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return out;
}

QRgb pixelAt(const QImage& image, int x, int y)
{
    const uchar* p = image.constScanLine(y) + 3 * x;
    return qRgb(p[0], p[1], p[2]);
}

bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

double meanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int i = 0; i < 3 * a.width(); ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (3.0 * a.width() * a.height());
}

// Offset of the first marker 0xFF m, or -1.
qsizetype markerAt(const QByteArray& jpeg, uchar m)
{
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i)
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) == m)
            return i;
    return -1;
}

// Ink of four 16 x 16 quadrants as cyan, magenta, yellow, black, and the
// colour it should give.
struct Ink {
    uchar c, m, y, k;
    QRgb rgb;
};
const Ink kQuadrants[4] = {
    { 0, 255, 255, 0, qRgb(255, 0, 0) },
    { 255, 0, 255, 0, qRgb(0, 255, 0) },
    { 0, 0, 0, 128, qRgb(127, 127, 127) },
    { 0, 0, 0, 0, qRgb(255, 255, 255) },
};
const Ink& inkAt(int x, int y)
{
    return kQuadrants[(y / 16) * 2 + x / 16];
}

} // namespace

TEST(JpegCodec, EncoderWritesBaselineColourAtQualityNinetyAndDecodesBack)
{
    const QImage graph = test::drawGraph(200, 150);
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(graph, jpeg));
    ASSERT_GT(jpeg.size(), 100);
    EXPECT_EQ(uchar(jpeg[0]), 0xFF);
    EXPECT_EQ(uchar(jpeg[1]), 0xD8);
    EXPECT_EQ(uchar(jpeg[jpeg.size() - 2]), 0xFF);
    EXPECT_EQ(uchar(jpeg[jpeg.size() - 1]), 0xD9);

    // Baseline frame of 200 x 150 with three components, no progressive frame.
    const qsizetype sof = markerAt(jpeg, 0xC0);
    ASSERT_GE(sof, 0);
    EXPECT_EQ(markerAt(jpeg, 0xC2), -1);
    EXPECT_EQ(uchar(jpeg[sof + 4]), 8);
    EXPECT_EQ((uchar(jpeg[sof + 5]) << 8) | uchar(jpeg[sof + 6]), 150);
    EXPECT_EQ((uchar(jpeg[sof + 7]) << 8) | uchar(jpeg[sof + 8]), 200);
    EXPECT_EQ(uchar(jpeg[sof + 9]), 3);

    // Quality 90 scales the standard luminance table to a fifth: its first
    // entries in zig-zag order 16 11 12 14 12 10 16 14 become these.
    const qsizetype dqt = markerAt(jpeg, 0xDB);
    ASSERT_GE(dqt, 0);
    EXPECT_EQ(uchar(jpeg[dqt + 4]), 0); // 8-bit table 0
    const int expected[8] = { 3, 2, 2, 3, 2, 2, 3, 3 };
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(uchar(jpeg[dqt + 5 + i]), expected[i]) << i;
    QByteArray low;
    ASSERT_TRUE(encodeJpeg(graph, low, 50));
    EXPECT_EQ(uchar(low[markerAt(low, 0xDB) + 5]), 16);

    QImage back;
    ASSERT_TRUE(decode(jpeg, back));
    EXPECT_EQ(back.format(), QImage::Format_RGB888);
    ASSERT_EQ(back.size(), graph.size());
    EXPECT_LT(meanDifference(graph, back), 2.0);

    // A flat colour survives within a step or two.
    QImage flat = newPicture(64, 48);
    flat.fill(QColor(200, 100, 50));
    ASSERT_TRUE(encodeJpeg(flat, jpeg));
    ASSERT_TRUE(decode(jpeg, back));
    EXPECT_LE(test::maxChannelDifference(flat, back), 3);

    // Any input format is encoded as colour.
    QByteArray fromArgb;
    ASSERT_TRUE(encodeJpeg(graph.convertToFormat(QImage::Format_ARGB32), fromArgb));
    QByteArray again;
    ASSERT_TRUE(encodeJpeg(graph, again));
    EXPECT_EQ(fromArgb, again);
}

TEST(JpegCodec, GreyscaleGivesGreyPixelsAndCmykYcckAreConverted)
{
    // Greyscale: one component, every pixel grey.
    const QByteArray grey = writeJpeg(40, 24, { 1, JCS_GRAYSCALE, JCS_GRAYSCALE, false },
        [](int x, int, uchar* p) { p[0] = uchar(x * 6); });
    QImage out;
    ASSERT_TRUE(decode(grey, out));
    ASSERT_EQ(out.size(), QSize(40, 24));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            const QRgb c = pixelAt(out, x, y);
            ASSERT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << x << "," << y;
            EXPECT_NEAR(qRed(c), x * 6, 4) << x << "," << y;
        }

    // Adobe CMYK and YCCK store the ink inverted (255 = none); plain CMYK
    // without the Adobe marker stores it as it is.
    const StoredForm forms[] = {
        { 4, JCS_CMYK, JCS_CMYK, true },
        { 4, JCS_CMYK, JCS_YCCK, true },
        { 4, JCS_CMYK, JCS_CMYK, false },
    };
    for (const StoredForm& form : forms) {
        const bool inverted = form.adobeMarker;
        const QByteArray jpeg = writeJpeg(32, 32, form, [&](int x, int y, uchar* p) {
            const Ink& ink = inkAt(x, y);
            const uchar v[4] = { ink.c, ink.m, ink.y, ink.k };
            for (int i = 0; i < 4; ++i)
                p[i] = inverted ? uchar(255 - v[i]) : v[i];
        });
        ASSERT_TRUE(decode(jpeg, out)) << form.stored << " " << form.adobeMarker;
        ASSERT_EQ(out.size(), QSize(32, 32));
        for (int q = 0; q < 4; ++q) {
            const int x = (q % 2) * 16 + 8, y = (q / 2) * 16 + 8;
            EXPECT_TRUE(near(pixelAt(out, x, y), kQuadrants[q].rgb, 6))
                << "form " << form.stored << "/" << form.adobeMarker << " quadrant " << q << ": " << std::hex
                << pixelAt(out, x, y);
        }
    }

    // A progressive stream decodes too.
    const QByteArray progressive = writeJpeg(
        48, 32, { 3, JCS_RGB, JCS_YCbCr, false },
        [](int x, int y, uchar* p) {
            p[0] = uchar(x * 5);
            p[1] = uchar(y * 7);
            p[2] = 90;
        },
        true);
    ASSERT_GE(markerAt(progressive, 0xC2), 0);
    ASSERT_TRUE(decode(progressive, out));
    EXPECT_TRUE(near(pixelAt(out, 20, 10), qRgb(100, 70, 90), 6));

    // A component layout with no colour meaning is refused.
    const QByteArray twoComponents = writeJpeg(
        16, 16, { 2, JCS_UNKNOWN, JCS_UNKNOWN, false }, [](int, int, uchar* p) { p[0] = p[1] = 9; });
    EXPECT_FALSE(decode(twoComponents, out));
    EXPECT_TRUE(out.isNull());
}

TEST(JpegCodec, DamagedTruncatedAndHostileStreamsFail)
{
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(test::patternPicture(40, 30), jpeg));
    QImage out;
    ASSERT_TRUE(decode(jpeg, out));

    // Every cut, even one that only loses the end-of-image marker, fails.
    for (qsizetype n = 0; n < jpeg.size(); ++n) {
        QImage image = test::patternPicture(2, 2);
        EXPECT_FALSE(decode(jpeg.left(n), image)) << n;
        EXPECT_TRUE(image.isNull()) << n;
    }
    EXPECT_FALSE(decodeJpeg(nullptr, 10, out));

    // Scan data that stops early but is closed properly is corrupt data that
    // libjpeg only warns about: still a failure.
    const qsizetype sos = markerAt(jpeg, 0xDA);
    ASSERT_GT(sos, 0);
    QByteArray shortScan = jpeg.left(sos + (jpeg.size() - sos) / 3);
    shortScan.append(char(0xFF)).append(char(0xD9));
    EXPECT_FALSE(decode(shortScan, out));

    // Not a JPEG at all.
    EXPECT_FALSE(decode(encodeBmp(test::patternPicture(8, 8)), out));
    EXPECT_FALSE(decode(QByteArray(500, '\xFF'), out));

    // Sizes beyond the limit are refused from the header alone.
    const qsizetype sof = markerAt(jpeg, 0xC0);
    ASSERT_GT(sof, 0);
    auto withSize = [&](int w, int h) {
        QByteArray b = jpeg;
        b[sof + 5] = char(h >> 8);
        b[sof + 6] = char(h & 0xFF);
        b[sof + 7] = char(w >> 8);
        b[sof + 8] = char(w & 0xFF);
        return b;
    };
    EXPECT_FALSE(decode(withSize(65535, 65535), out));
    EXPECT_FALSE(decode(withSize(40000, 8), out));
    EXPECT_FALSE(decode(withSize(30000, 30000), out));
    // The same stream told it is larger runs out of data: a failure.
    EXPECT_FALSE(decode(withSize(80, 60), out));
    EXPECT_TRUE(out.isNull());
}

TEST(JpegCodec, FilesRoundTripAndAnEmptyPictureIsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage graph = test::drawGraph(120, 90);
    const QString path = dir.filePath("graph.jpg");
    SaveJpegPicture(path, graph);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray expected;
    ASSERT_TRUE(encodeJpeg(graph, expected));
    EXPECT_EQ(file.readAll(), expected);

    QImage loaded;
    ASSERT_TRUE(LoadJpegPicture(path, loaded));
    EXPECT_EQ(loaded.size(), graph.size());
    EXPECT_EQ(loaded.format(), QImage::Format_RGB888);

    // Missing files and bitmaps named .jpg leave an empty picture.
    QImage missing = graph;
    EXPECT_FALSE(LoadJpegPicture(dir.filePath("none.jpg"), missing));
    EXPECT_TRUE(missing.isNull());
    {
        QFile bmp(dir.filePath("bitmap.jpg"));
        ASSERT_TRUE(bmp.open(QIODevice::WriteOnly));
        bmp.write(encodeBmp(graph));
    }
    QImage wrong = graph;
    EXPECT_FALSE(LoadJpegPicture(dir.filePath("bitmap.jpg"), wrong));
    EXPECT_TRUE(wrong.isNull());

    // Empty picture: no stream, a clear message, no file.
    QByteArray none("x");
    EXPECT_FALSE(encodeJpeg(QImage(), none));
    EXPECT_TRUE(none.isEmpty());
    EXPECT_FALSE(encodeJpeg(newPicture(0, 0), none));
    const QString emptyPath = dir.filePath("empty.jpg");
    try {
        SaveJpegPicture(emptyPath, newPicture(0, 0));
        ADD_FAILURE() << "no error for an empty picture";
    } catch (const CvgError& e) {
        EXPECT_EQ(e.userText(), QStringLiteral("保存する画像がありません。"));
    }
    EXPECT_FALSE(QFile::exists(emptyPath));

    const QString noFolder = dir.filePath("missing/graph.jpg");
    try {
        SaveJpegPicture(noFolder, graph);
        ADD_FAILURE() << "no error for a missing folder";
    } catch (const CvgError& e) {
        EXPECT_TRUE(
            e.userText().startsWith(QStringLiteral("ファイル \"%1\" を作成できません。").arg(noFolder)));
    }
}
