// The metafile player: detection, natural size, record chains, and what the
// records draw. Every metafile is assembled here byte by byte.
#include "FuzzSeeds.h"
#include "MetafileWriter.h"
#include "image/MetafilePlayer.h"
#include "image/ImageSet.h"
#include "platform/ByteIO.h"
#include "platform/Cp932.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

namespace cvg {
namespace {

using test::Bytes;
using test::Emf;
using test::Wmf;

// ---- A small metafile writer --------------------------------------------------

constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);

// ---- Reading pictures --------------------------------------------------------

QImage playOk(const QByteArray& bytes, double dpi = 96)
{
    QImage out;
    cvg::test::keepSeed("MetafileFuzz", QByteArray(3, '\0') + bytes);
    EXPECT_TRUE(playMetafile(bytes, dpi, out));
    EXPECT_EQ(out.format(), QImage::Format_RGB888);
    return out;
}

QRgb at(const QImage& image, int x, int y)
{
    const uchar* p = image.constScanLine(y) + 3 * x;
    return qRgb(p[0], p[1], p[2]);
}

// Bounding box of the pixels of one colour, or a null rectangle.
QRect boundsOf(const QImage& image, QRgb color)
{
    QRect r;
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            if (qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]) == color)
                r |= QRect(x, y, 1, 1);
    }
    return r;
}

qint64 countIf(const QImage& image, const QRect& area, const std::function<bool(QRgb)>& test)
{
    qint64 n = 0;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y) {
        const uchar* row = image.constScanLine(y);
        for (int x = a.left(); x <= a.right(); ++x)
            n += test(qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2])) ? 1 : 0;
    }
    return n;
}

bool dark(QRgb c)
{
    return qRed(c) < 128 && qGreen(c) < 128 && qBlue(c) < 128;
}

// Within one pixel on every side: mapped coordinates may round either way.
void expectNear(const QRect& actual, const QRect& expected)
{
    ASSERT_FALSE(actual.isNull()) << "nothing drawn";
    EXPECT_NEAR(actual.left(), expected.left(), 1);
    EXPECT_NEAR(actual.top(), expected.top(), 1);
    EXPECT_NEAR(actual.right(), expected.right(), 1);
    EXPECT_NEAR(actual.bottom(), expected.bottom(), 1);
}

QSize sizeOf(const QByteArray& bytes, double dpi = 96)
{
    QImage out;
    cvg::test::keepSeed("MetafileFuzz", QByteArray(3, '\0') + bytes);
    if (!playMetafile(bytes, dpi, out))
        return QSize(-1, -1);
    return out.size();
}

// ---- Detection and natural size ------------------------------------------------

TEST(MetafilePlayerTest, EnhancedNaturalSizeIsFrameTimesDevicePixelsOverMillimetres)
{
    // 10 pixels a millimetre: 2000 x 1000 hundredths are 200 x 100 pixels.
    EXPECT_EQ(sizeOf(Emf(2000, 1000).bytes()), QSize(200, 100));
    // A typical screen reference device: 10000 * 1920 / 50800 = 377.95,
    // 5000 * 1080 / 28600 = 188.81.
    EXPECT_EQ(sizeOf(Emf(10000, 5000).device(1920, 1080, 508, 286).bytes()), QSize(378, 189));
    // One pixel a millimetre: halves round to even, and the frame's origin
    // does not matter, only its extent (2050 -> 20.5 -> 20, 1150 -> 11.5 -> 12).
    EXPECT_EQ(sizeOf(Emf(1550, 1350, -500, 200).device(1, 1, 1, 1).bytes()), QSize(20, 12));
    EXPECT_EQ(sizeOf(Emf(1050, 1049).device(1, 1, 1, 1).bytes()), QSize(10, 10));
    EXPECT_EQ(sizeOf(Emf(1051, 1250).device(1, 1, 1, 1).bytes()), QSize(11, 12));
    // The screen's resolution plays no part for enhanced metafiles.
    EXPECT_EQ(sizeOf(Emf(2000, 1000).bytes(), 144), QSize(200, 100));
    // Empty, inverted and absurd frames and reference devices are refused.
    EXPECT_EQ(sizeOf(Emf(0, 1000).bytes()), QSize(-1, -1));
    EXPECT_EQ(sizeOf(Emf(-2000, 1000).bytes()), QSize(-1, -1));
    EXPECT_EQ(sizeOf(Emf(2000, 1000).device(1000, 1000, 0, 100).bytes()), QSize(-1, -1));
    EXPECT_EQ(sizeOf(Emf(2000, 1000).device(-1000, 1000, 100, 100).bytes()), QSize(-1, -1));
    EXPECT_EQ(sizeOf(Emf(2000000000, 1000).bytes()), QSize(-1, -1)); // 200 million pixels wide
}

TEST(MetafilePlayerTest, PlaceableNaturalSizeGoesThroughHundredthsOfMillimetres)
{
    // 1440 units an inch: one inch by half an inch at 96 and 120 pixels an inch.
    EXPECT_EQ(sizeOf(Wmf(1440, 720).bytes(), 96), QSize(96, 48));
    EXPECT_EQ(sizeOf(Wmf(1440, 720).bytes(), 120), QSize(120, 60));
    // Units per inch 0 counts as 96, the same as 96 itself.
    EXPECT_EQ(sizeOf(Wmf(96, 48, 0).bytes(), 96), QSize(96, 48));
    EXPECT_EQ(sizeOf(Wmf(96, 48, 96).bytes(), 96), QSize(96, 48));
    EXPECT_EQ(sizeOf(Wmf(96, 48, 0).bytes(), 120), QSize(120, 60));
    // The bounding box's origin does not matter.
    EXPECT_EQ(sizeOf(Wmf(1000, 500, 1440, -440, -220).bytes(), 96), QSize(96, 48));
    // Each step rounds half to even: at 127 pixels an inch a hundredth of a
    // millimetre is a twentieth of a pixel (30 -> 1.5 -> 2, 50 -> 2.5 -> 2,
    // 70 -> 3.5 -> 4); 2540 units an inch keep the millimetre step exact.
    EXPECT_EQ(sizeOf(Wmf(30, 50, 2540).bytes(), 127), QSize(2, 2));
    EXPECT_EQ(sizeOf(Wmf(70, 110, 2540).bytes(), 127), QSize(4, 6));
    // 5080 units an inch: 3 units are 1.5 hundredths, rounded to 2 before the
    // pixels are computed (2 * 2540 / 2540 = 2, where 1.5 would give 2 too,
    // but 5 units: 2.5 -> 2 hundredths -> 2 pixels).
    EXPECT_EQ(sizeOf(Wmf(5, 3, 5080).bytes(), 2540), QSize(2, 2));
    // A non-integer result at 96 pixels an inch: 1000 units at 1440 an inch
    // are 1764 hundredths (1763.9) and 66.67 pixels.
    EXPECT_EQ(sizeOf(Wmf(1000, 1000).bytes(), 96), QSize(67, 67));
    // An unusable resolution falls back to 96 pixels an inch.
    EXPECT_EQ(sizeOf(Wmf(1440, 720).bytes(), 0), QSize(96, 48));
    EXPECT_EQ(sizeOf(Wmf(1440, 720).bytes(), std::numeric_limits<double>::quiet_NaN()), QSize(96, 48));
    // Empty and inverted boxes are refused.
    EXPECT_EQ(sizeOf(Wmf(0, 720).bytes(), 96), QSize(-1, -1));
    EXPECT_EQ(sizeOf(Wmf(-1440, 720).bytes(), 96), QSize(-1, -1));
}

TEST(MetafilePlayerTest, DetectionByHeaderNotByName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    const QByteArray emf = Emf(2000, 1000).solidRect(kRed, 20, 20, 60, 60).bytes();
    const QByteArray wmf = Wmf(1440, 720).brush(kBlue).select(0).rectangle(0, 0, 720, 720).bytes();

    // An enhanced metafile called ".wmf" is read as enhanced, and a
    // placeable one called ".emf" as placeable.
    QImage out;
    EXPECT_TRUE(LoadMetafilePicture(write("enhanced.wmf", emf), 96, out));
    EXPECT_EQ(out.size(), QSize(200, 100));
    EXPECT_EQ(at(out, 40, 40), kRed);
    EXPECT_TRUE(LoadMetafilePicture(write("placeable.emf", wmf), 96, out));
    EXPECT_EQ(out.size(), QSize(96, 48));
    EXPECT_EQ(at(out, 20, 20), kBlue);

    // A Windows metafile without the placeable header is refused, and so are
    // a wrong checksum, a wrong key and things that are no metafile at all.
    const QByteArray plain = Wmf(1440, 720).brush(kBlue).bytes(true, false);
    QByteArray wrongKey = wmf;
    wrongKey[0] = char(0xD6);
    QByteArray wrongSignature = emf;
    wrongSignature[40] = 'X';
    const QByteArray notMeta = QByteArray("BM") + QByteArray(200, 'x');
    const std::vector<QByteArray> refused = { plain, Wmf(1440, 720).bytes(true, true, false), wrongKey,
        wrongSignature, notMeta, QByteArray(), emf.left(60) };
    for (const QByteArray& bytes : refused) {
        out = QImage(5, 5, QImage::Format_RGB888);
        EXPECT_FALSE(LoadMetafilePicture(write("refused.wmf", bytes), 96, out));
        EXPECT_TRUE(out.isNull() || out.size().isEmpty()) << "a refused file leaves an empty picture";
    }
    // A missing file is a failure, not an exception.
    EXPECT_FALSE(LoadMetafilePicture(dir.filePath("missing.emf"), 96, out));
    EXPECT_TRUE(out.size().isEmpty());
}

// ---- Record chains ----------------------------------------------------------------

TEST(MetafilePlayerTest, BrokenRecordChainsAreRefused)
{
    const QByteArray good = Emf().solidRect(kRed, 20, 20, 60, 60).bytes();
    EXPECT_EQ(sizeOf(good), QSize(200, 100));

    // No end record; cut anywhere in the last record; a size of 0, below 8,
    // not a multiple of 4, or past the end of the file.
    EXPECT_EQ(sizeOf(Emf().solidRect(kRed, 20, 20, 60, 60).bytes(false)), QSize(-1, -1));
    for (int cut = 1; cut < 20; ++cut)
        EXPECT_EQ(sizeOf(good.left(good.size() - cut)), QSize(-1, -1)) << cut;
    for (uint32_t size : { 0u, 4u, 10u, 26u, 0x7FFFFFF0u, 0xFFFFFFFCu }) {
        // The rectangle record follows the 88-byte header; its size field is
        // at byte 92.
        QByteArray broken = Emf().rec(43, Bytes().box(1, 2, 3, 4)).bytes();
        broken.replace(92, 4, Bytes().u32(size).b);
        EXPECT_EQ(sizeOf(broken), QSize(-1, -1)) << size;
    }
    // The header record itself claiming more than the file holds.
    QByteArray header = good;
    header[4] = char(0xFF);
    header[5] = char(0xFF);
    EXPECT_EQ(sizeOf(header), QSize(-1, -1));

    // Placeable metafiles: words instead of bytes, the same rules.
    const QByteArray wmf = Wmf(1440, 720).brush(kBlue).bytes();
    EXPECT_EQ(sizeOf(wmf), QSize(96, 48));
    EXPECT_EQ(sizeOf(Wmf(1440, 720).brush(kBlue).bytes(false)), QSize(-1, -1));
    for (int cut = 1; cut < 8; ++cut)
        EXPECT_EQ(sizeOf(wmf.left(wmf.size() - cut)), QSize(-1, -1)) << cut;
    for (uint32_t words : { 0u, 1u, 2u, 1000u, 0x7FFFFFFFu, 0xFFFFFFFFu }) {
        EXPECT_EQ(sizeOf(Wmf(1440, 720).raw(Bytes().u32(words).u16(0x02FC).u16(0).u32(0).u16(0).b).bytes()),
            QSize(-1, -1))
            << words;
    }
    // A metafile header that is not nine words long.
    QByteArray badHeader = wmf;
    badHeader[24] = 10;
    EXPECT_EQ(sizeOf(badHeader), QSize(-1, -1));
}

TEST(MetafilePlayerTest, HostileRecordsAreSkippedWithoutHarm)
{
    // Counts far beyond what their records hold, sizes that make the
    // arithmetic overflow, indices out of every table: each such record is
    // skipped and the rest of the file still draws.
    Emf e;
    e.rec(4, Bytes().box(0, 0, 0, 0).u32(0xFFFFFFFF).i32(1).i32(1)); // polyline
    e.rec(87, Bytes().box(0, 0, 0, 0).u32(0x40000000).i16(1).i16(1)); // polyline16
    e.rec(8, Bytes().box(0, 0, 0, 0).u32(0x3FFFFFFF).u32(2).u32(1).u32(1)); // polypolygon
    e.rec(8,
        Bytes()
            .box(0, 0, 0, 0)
            .u32(2)
            .u32(3)
            .u32(2)
            .u32(0xFFFFFFFF)
            .i32(0)
            .i32(0)
            .i32(5)
            .i32(5)
            .i32(9)
            .i32(9));
    e.rec(56, Bytes().box(0, 0, 0, 0).u32(0x20000000).i32(0).i32(0)); // polydraw
    e.rec(84,
        Bytes()
            .box(0, 0, 0, 0)
            .u32(1)
            .f32(1)
            .f32(1)
            .i32(10)
            .i32(10)
            .u32(0xFFFFFFF0)
            .u32(76)
            .u32(0)
            .box(0, 0, 0, 0)
            .u32(0x7FFFFFF0)); // text
    e.rec(84,
        Bytes()
            .box(0, 0, 0, 0)
            .u32(1)
            .f32(1)
            .f32(1)
            .i32(10)
            .i32(10)
            .u32(2)
            .u32(0xFFFFFFFE)
            .u32(0)
            .box(0, 0, 0, 0)
            .u32(0));
    e.rec(81,
        Bytes()
            .box(0, 0, 0, 0)
            .i32(0)
            .i32(0)
            .i32(0)
            .i32(0)
            .i32(1)
            .i32(1)
            .u32(0xFFFFFFF0)
            .u32(40)
            .u32(0xFFFFFFF0)
            .u32(4)
            .u32(0)
            .u32(0xCC0020)
            .i32(10)
            .i32(10)); // stretchdibits
    e.rec(75, Bytes().u32(0xFFFFFFF0).u32(5).u32(32)); // clip region
    e.rec(75, Bytes().u32(48).u32(1).u32(32).u32(1).u32(0x10000000).u32(16).box(0, 0, 0, 0).box(0, 0, 9, 9));
    e.rec(37, Bytes().u32(0x7FFFFFFF)).rec(40, Bytes().u32(0xFFFFFFFF)).rec(37, Bytes().u32(0x800000FF));
    e.rec(38, Bytes().u32(0xFFFFFFF0).u32(0).i32(1).i32(0).color(kRed)); // pen at an absurd index
    e.rec(34, Bytes().i32(-5)).rec(34, Bytes().i32(0x7FFFFFFF)); // restore without save
    e.rec(118, Bytes().box(0, 0, 0, 0).u32(0x10000000).u32(1).u32(0)); // gradient
    e.rec(9999, Bytes().u32(1)).rec(70, Bytes().u32(4).raw("EMF+")); // unknown, comment
    e.rec(35, Bytes().f32(std::numeric_limits<float>::quiet_NaN()).f32(0).f32(0).f32(1).f32(0).f32(0));
    e.rec(35, Bytes().f32(0).f32(0).f32(0).f32(0).f32(0).f32(0)); // singular transform
    e.rec(9, Bytes()).rec(43, Bytes().i32(1)); // too short to read
    e.solidRect(kRed, 20, 20, 60, 60);
    const QImage out = playOk(QByteArray(e.bytes()));
    EXPECT_EQ(at(out, 40, 40), kRed);
    EXPECT_EQ(at(out, 100, 50), kWhite);

    // The same for placeable metafiles.
    Wmf w(200, 100, 96);
    w.rec(0x0324, Bytes().i16(0x7FFF).i16(1).i16(1)); // polygon
    w.rec(0x0538, Bytes().u16(3).u16(0xFFFF).u16(0xFFFF).u16(2)); // polypolygon
    w.rec(0x0521, Bytes().i16(0x7FFF).raw("ab")); // textout
    w.rec(0x0A32, Bytes().i16(5).i16(5).i16(0x7FFF).u16(6).i16(0).i16(0).i16(9).i16(9));
    w.rec(0x0A32, Bytes().i16(5).i16(5).i16(-3).u16(0));
    w.rec(0x0F43,
        Bytes()
            .u32(0xCC0020)
            .u16(0)
            .i16(1)
            .i16(1)
            .i16(0)
            .i16(0)
            .i16(9)
            .i16(9)
            .i16(0)
            .i16(0)
            .u32(0xFFFFFFF0)
            .i32(1)
            .i32(1)); // stretchdib
    w.rec(0x06FF, Bytes().u16(0).u16(6).u32(0).u16(0).u16(0xFFFF).u16(0).i16(0).i16(0).i16(9).i16(9));
    w.select(0xFFFF).remove(0xFFFF).rec(0x012C, Bytes().u16(0));
    w.rec(0x0127, Bytes().i16(-100)).rec(0x020C, Bytes().i16(0).i16(0)); // zero extent ignored
    w.rec(0x0626, Bytes().u16(15).u16(4).raw("abcd")).rec(0x7777); // escape, unknown
    w.brush(kRed).select(1).rec(0x02FA, Bytes().u16(5).i16(0).i16(0).color(0)).select(2);
    w.rectangle(20, 20, 60, 60);
    const QImage wOut = playOk(w.bytes());
    EXPECT_EQ(at(wOut, 40, 40), kRed);
    EXPECT_EQ(at(wOut, 100, 50), kWhite);
}

TEST(MetafilePlayerTest, AbsurdGeometryStaysBoundedAndDrawsWhatIsVisible)
{
    // Coordinates near the 32-bit limits, a dashed pen along them, a world
    // transform that scales by a billion and a huge ellipse: the player cuts
    // everything to the picture's neighbourhood, so this finishes at once and
    // the visible parts are right.
    Emf e;
    e.pen(2, 1 /*dash*/, 0, kBlack).select(2);
    e.points(4, { QPoint(-2000000000, 50), QPoint(2000000000, 50) });
    e.pen(3, 0, 0, kBlue).select(3);
    // A line from far outside crossing the picture at row 20 keeps its slope.
    e.points(4, { QPoint(-1000000000, 20), QPoint(1000000000, 20) });
    e.brush(1, 0, kRed).select(1).nullPen();
    e.ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
    e.rec(35, Bytes().f32(1e9f).f32(0).f32(0).f32(1e9f).f32(0).f32(0));
    e.rectangle(0, 0, 1, 1);
    const QImage out = playOk(e.bytes());
    EXPECT_EQ(out.size(), QSize(200, 100));
    // The huge ellipse covers everything drawn before it, and the scaled
    // rectangle is red too.
    EXPECT_EQ(at(out, 100, 50), kRed);
    EXPECT_EQ(at(out, 5, 95), kRed);

    Emf lines;
    lines.pen(3, 0, 0, kBlue).select(3);
    lines.points(4, { QPoint(-1000000000, 20), QPoint(1000000000, 20) });
    lines.pen(2, 1, 0, kBlack).select(2);
    lines.points(4, { QPoint(-2000000000, 60), QPoint(2000000000, 60) });
    const QImage l = playOk(lines.bytes());
    expectNear(boundsOf(l, kBlue), QRect(0, 20, 200, 1));
    // The dashed line is dashed: black and white alternate along its row.
    const qint64 blackOnRow = countIf(l, QRect(0, 58, 200, 3), [](QRgb c) { return c == kBlack; });
    EXPECT_GT(blackOnRow, 100);
    EXPECT_LT(blackOnRow, 190);
}

TEST(MetafilePlayerTest, EndlessWorkIsRefused)
{
    // Thousands of full-picture rectangles are far more
    // work than any plot needs: the read fails instead of running for hours.
    Emf e(10000, 10000); // 1000 x 1000 pixels
    e.brush(1, 0, kRed).select(1);
    for (int i = 0; i < 5000; ++i)
        e.rectangle(-10, -10, 2000, 2000);
    QImage out;
    EXPECT_FALSE(playMetafile(e.bytes(), 96, out));
    EXPECT_TRUE(out.size().isEmpty());
    // Many small shapes are fine.
    Emf small;
    small.brush(1, 0, kRed).select(1);
    for (int i = 0; i < 20000; ++i)
        small.ellipse(i % 190, (i / 190) % 90, i % 190 + 5, (i / 190) % 90 + 5);
    EXPECT_EQ(sizeOf(small.bytes()), QSize(200, 100));
}

// ---- Drawing --------------------------------------------------------------------------

TEST(MetafilePlayerTest, ShapesLandOnTheirPixelsUnderEveryMappingMode)
{
    // Device units map onto the picture at (width - 1) / width, 199/200 and
    // 99/100 here; the expected rectangles are in picture pixels.
    struct Case {
        const char* name;
        std::function<void(Emf&)> setup;
        QRect box; // logical rectangle drawn
        QRect expected;
    };
    const std::vector<Case> cases = {
        { "text", [](Emf&) {}, QRect(QPoint(20, 20), QPoint(60, 60)), QRect(20, 20, 40, 40) },
        { "text with origins", [](Emf& e) { e.windowOrg(10, 0).viewportOrg(0, 10); },
            QRect(QPoint(30, 20), QPoint(70, 60)), QRect(20, 30, 40, 40) },
        { "anisotropic upward y",
            [](Emf& e) { e.mapMode(8).windowExt(1000, 1000).viewportExt(200, -100).viewportOrg(0, 100); },
            QRect(QPoint(100, 100), QPoint(300, 300)), QRect(20, 70, 40, 20) },
        { "isotropic takes the smaller scale",
            [](Emf& e) { e.mapMode(7).windowExt(100, 100).viewportExt(200, 100); },
            QRect(QPoint(10, 10), QPoint(50, 50)), QRect(10, 10, 40, 40) },
        { "low metric, tenths of a millimetre upward", [](Emf& e) { e.mapMode(2); },
            QRect(QPoint(10, -10), QPoint(50, -50)), QRect(10, 10, 40, 40) },
        { "high metric", [](Emf& e) { e.mapMode(3); }, QRect(QPoint(100, -100), QPoint(500, -500)),
            QRect(10, 10, 40, 40) },
        { "low english, hundredths of an inch", [](Emf& e) { e.mapMode(4); },
            QRect(QPoint(10, -10), QPoint(30, -30)), QRect(25, 25, 51, 51) },
        { "twips", [](Emf& e) { e.mapMode(6); }, QRect(QPoint(144, -144), QPoint(432, -432)),
            QRect(25, 25, 51, 51) },
        { "world scale and shift",
            [](Emf& e) { e.rec(35, Bytes().f32(2).f32(0).f32(0).f32(2).f32(10).f32(0)); },
            QRect(QPoint(5, 5), QPoint(25, 25)), QRect(20, 10, 40, 40) },
        { "world transform multiplied onto the page",
            [](Emf& e) {
                e.mapMode(8).windowExt(1, 1).viewportExt(2, 2);
                e.rec(36, Bytes().f32(1).f32(0).f32(0).f32(1).f32(5).f32(5).u32(4));
                e.rec(36, Bytes().f32(2).f32(0).f32(0).f32(1).f32(0).f32(0).u32(2));
            },
            QRect(QPoint(0, 0), QPoint(10, 20)), QRect(10, 10, 40, 40) },
        { "saved and restored state",
            [](Emf& e) {
                e.rec(33).windowOrg(0, 0).rec(33).viewportOrg(50, 50).rec(34, Bytes().i32(-1));
                e.rec(33).viewportOrg(-70, 0).rec(34, Bytes().i32(1)).rec(34, Bytes().i32(-1));
            },
            QRect(QPoint(20, 20), QPoint(60, 60)), QRect(20, 20, 40, 40) },
    };
    for (const Case& c : cases) {
        Emf e;
        c.setup(e);
        e.solidRect(kRed, c.box.left(), c.box.top(), c.box.right(), c.box.bottom());
        const QImage out = playOk(e.bytes());
        SCOPED_TRACE(c.name);
        // expected is in device units; scale it the way the player must.
        const QRect dev = c.expected;
        const QRect pic(QPoint(qRound(dev.left() * 0.995), qRound(dev.top() * 0.99)),
            QPoint(qRound((dev.left() + dev.width()) * 0.995) - 1,
                qRound((dev.top() + dev.height()) * 0.99) - 1));
        // With the null pen the rectangle is one pixel smaller on the right
        // and bottom, as the platform draws it.
        expectNear(boundsOf(out, kRed), pic.adjusted(0, 0, -1, -1));
    }
}

TEST(MetafilePlayerTest, PensBrushesAndFillModes)
{
    // A one-pixel black outline around a hatched and a plain fill.
    Emf e;
    e.pen(2, 0, 0, kBlack).select(2);
    e.brush(1, 0, kBlue).select(1).rectangle(10, 10, 50, 50);
    e.brush(3, 2, kRed, 4 /*cross*/).select(3).rectangle(60, 10, 100, 50);
    e.rec(18, Bytes().u32(1)); // transparent background for the next hatch
    e.brush(4, 2, kRed, 0 /*horizontal*/).select(4).rectangle(110, 10, 150, 50);
    e.select(0x80000005).rectangle(160, 10, 190, 50); // null brush: outline only
    const QImage out = playOk(e.bytes());
    EXPECT_EQ(at(out, 30, 30), kBlue);
    EXPECT_EQ(at(out, 10, 30), kBlack); // left edge
    EXPECT_EQ(at(out, 30, 10), kBlack); // top edge
    EXPECT_EQ(at(out, 30, 55), kWhite);
    const QRect hatch(62, 12, 36, 36);
    const qint64 red = countIf(out, hatch, [](QRgb c) { return c == kRed; });
    const qint64 white = countIf(out, hatch, [](QRgb c) { return c == kWhite; });
    EXPECT_GT(red, 100);
    EXPECT_GT(white, 300);
    EXPECT_EQ(red + white, qint64(hatch.width()) * hatch.height());
    // Horizontal hatching: whole rows red, the rows between untouched.
    const QRect rows(112, 12, 36, 36);
    int redRows = 0;
    for (int y = rows.top(); y <= rows.bottom(); ++y) {
        const qint64 n
            = countIf(out, QRect(rows.left(), y, rows.width(), 1), [](QRgb c) { return c == kRed; });
        EXPECT_TRUE(n == 0 || n == rows.width()) << y;
        redRows += n > 0;
    }
    EXPECT_GT(redRows, 2);
    EXPECT_LT(redRows, 12);
    EXPECT_EQ(at(out, 175, 30), kWhite);
    EXPECT_GE(countIf(out, QRect(157, 30, 5, 1), [](QRgb c) { return c == kBlack; }), 1);

    // Wide pens are as wide as their logical width on the picture; a null
    // pen draws nothing; dashes leave gaps.
    Emf lines;
    lines.pen(2, 0, 10, kBlack).select(2).points(4, { QPoint(10, 30), QPoint(190, 30) });
    lines.pen(3, 5, 10, kBlack).select(3).points(4, { QPoint(10, 60), QPoint(190, 60) });
    lines.pen(4, 0, 1, kBlue).select(4).points(87, { QPoint(10, 80), QPoint(190, 80) }, false);
    const QImage l = playOk(lines.bytes());
    const qint64 column = countIf(l, QRect(100, 0, 1, 50), dark);
    EXPECT_GE(column, 9);
    EXPECT_LE(column, 11);
    EXPECT_EQ(countIf(l, QRect(0, 50, 200, 20), dark), 0);
    expectNear(boundsOf(l, kBlue), QRect(10, 80, 179, 1));

    // Alternate and winding fills of two nested squares of the same
    // orientation: the alternate fill leaves the hole.
    for (int mode : { 1, 2 }) {
        Emf p;
        p.rec(19, Bytes().u32(uint32_t(mode))).brush(1, 0, kGreen).select(1).nullPen();
        Bytes pp;
        pp.box(0, 0, 0, 0).u32(2).u32(8).u32(4).u32(4);
        for (QPoint q : { QPoint(10, 10), QPoint(90, 10), QPoint(90, 90), QPoint(10, 90), QPoint(30, 30),
                 QPoint(70, 30), QPoint(70, 70), QPoint(30, 70) })
            pp.i32(q.x()).i32(q.y());
        p.rec(8, pp);
        const QImage img = playOk(p.bytes());
        EXPECT_EQ(at(img, 20, 50), kGreen);
        EXPECT_EQ(at(img, 50, 50), mode == 1 ? kWhite : kGreen) << mode;
    }
}

TEST(MetafilePlayerTest, EllipsesArcsChordsPiesAndPaths)
{
    Emf e;
    e.brush(1, 0, kRed).select(1).nullPen();
    e.ellipse(10, 10, 90, 90);
    // A pie from the right-hand radial to the upper one, counterclockwise:
    // the upper-right quarter.
    e.brush(2, 0, kBlue).select(2);
    e.rec(47, Bytes().box(110, 10, 190, 90).i32(190).i32(50).i32(150).i32(10));
    const QImage out = playOk(e.bytes());
    EXPECT_EQ(at(out, 50, 50), kRed);
    EXPECT_EQ(at(out, 13, 13), kWhite); // corner of the box, outside the ellipse
    EXPECT_EQ(at(out, 167, 33), kBlue);
    EXPECT_EQ(at(out, 133, 33), kWhite);
    EXPECT_EQ(at(out, 167, 67), kWhite);

    // Clockwise, the same radials give the other three quarters.
    Emf cw;
    cw.brush(2, 0, kBlue).select(2).nullPen().rec(57, Bytes().u32(2));
    cw.rec(47, Bytes().box(110, 10, 190, 90).i32(190).i32(50).i32(150).i32(10));
    const QImage c = playOk(cw.bytes());
    EXPECT_EQ(at(c, 167, 33), kWhite);
    EXPECT_EQ(at(c, 133, 33), kBlue);
    EXPECT_EQ(at(c, 133, 67), kBlue);
    EXPECT_EQ(at(c, 167, 67), kBlue);

    // A chord cuts along the line between the two points; an arc only strokes.
    Emf ch;
    ch.brush(2, 0, kBlue).select(2).nullPen();
    ch.rec(46, Bytes().box(10, 10, 90, 90).i32(90).i32(50).i32(10).i32(50)); // upper half
    ch.pen(3, 0, 0, kBlack).select(3);
    ch.rec(45, Bytes().box(110, 10, 190, 90).i32(190).i32(50).i32(110).i32(50));
    const QImage h = playOk(ch.bytes());
    EXPECT_EQ(at(h, 50, 30), kBlue);
    EXPECT_EQ(at(h, 50, 70), kWhite);
    EXPECT_EQ(countIf(h, QRect(110, 10, 81, 40), dark) > 50, true);
    EXPECT_EQ(countIf(h, QRect(112, 55, 77, 35), dark), 0);

    // A path filled, one stroked, and one made the clipping region for a
    // fill of the whole picture.
    Emf p;
    p.brush(1, 0, kGreen).select(1).nullPen();
    p.rec(59).points(3, { QPoint(10, 10), QPoint(50, 10), QPoint(50, 50), QPoint(10, 50) }).rec(60);
    p.rec(62, Bytes().box(0, 0, 0, 0));
    p.pen(2, 0, 0, kBlack).select(2);
    p.rec(59).rec(27, Bytes().i32(60).i32(20)).rec(54, Bytes().i32(100).i32(20)).rec(60);
    p.rec(64, Bytes().box(0, 0, 0, 0));
    p.rec(59).ellipse(120, 10, 180, 70).rec(60).rec(67, Bytes().u32(1 /*and*/));
    p.brush(3, 0, kRed).select(3).nullPen().rectangle(0, 0, 200, 100);
    const QImage q = playOk(p.bytes());
    EXPECT_EQ(at(q, 30, 30), kGreen);
    EXPECT_EQ(at(q, 80, 20), kBlack);
    EXPECT_EQ(at(q, 80, 24), kWhite);
    EXPECT_EQ(at(q, 150, 40), kRed);
    EXPECT_EQ(at(q, 122, 12), kWhite); // inside the box, outside the ellipse
    EXPECT_EQ(at(q, 30, 80), kWhite); // outside the clip
}

TEST(MetafilePlayerTest, ClippingRectanglesAndRegions)
{
    Emf e;
    e.rec(30, Bytes().box(20, 20, 120, 80)); // intersect
    e.rec(29, Bytes().box(50, 30, 70, 50)); // exclude a hole
    e.solidRect(kRed, 0, 0, 200, 100);
    e.rec(75, Bytes().u32(0).u32(5)); // copy of no region: clipping off
    e.rec(
        75, Bytes().u32(48).u32(5).u32(32).u32(1).u32(1).u32(16).box(150, 10, 190, 30).box(150, 10, 190, 30));
    e.solidRect(kBlue, 0, 0, 200, 100);
    const QImage out = playOk(e.bytes());
    EXPECT_EQ(at(out, 30, 30), kRed);
    EXPECT_EQ(at(out, 10, 10), kWhite);
    EXPECT_EQ(at(out, 60, 40), kWhite);
    EXPECT_EQ(at(out, 130, 50), kWhite);
    EXPECT_EQ(at(out, 170, 20), kBlue);
    EXPECT_EQ(at(out, 170, 50), kWhite);
    // Restoring a saved state brings its clipping back.
    Emf s;
    s.rec(33).rec(30, Bytes().box(0, 0, 10, 10)).rec(34, Bytes().i32(-1));
    s.solidRect(kRed, 0, 0, 200, 100);
    EXPECT_EQ(at(playOk(s.bytes()), 100, 50), kRed);
}

TEST(MetafilePlayerTest, TextIsDrawnAlignedAndJapaneseAnsiTextDecodes)
{
    auto darkBounds = [](const QImage& img) {
        QRect r;
        for (int y = 0; y < img.height(); ++y) {
            const uchar* row = img.constScanLine(y);
            for (int x = 0; x < img.width(); ++x)
                if (dark(qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2])))
                    r |= QRect(x, y, 1, 1);
        }
        return r;
    };
    auto textPicture = [&](uint32_t align, int x) {
        Emf e;
        e.font(1, -20, 0, QStringLiteral("Arial"))
            .select(1)
            .rec(22, Bytes().u32(align))
            .rec(18, Bytes().u32(1));
        e.textW(x, 50, QStringLiteral("HHHH"));
        return playOk(e.bytes());
    };
    // Left and top: the text lies right of and below the reference point;
    // right and bottom: left of and above; centre: around it.
    const QRect leftTop = darkBounds(textPicture(0, 100));
    ASSERT_FALSE(leftTop.isNull());
    EXPECT_GE(leftTop.left(), 99);
    EXPECT_GE(leftTop.top(), 49);
    EXPECT_LE(leftTop.height(), 20);
    const QRect rightBottom = darkBounds(textPicture(2 | 8, 100));
    ASSERT_FALSE(rightBottom.isNull());
    EXPECT_LE(rightBottom.right(), 100);
    EXPECT_LE(rightBottom.bottom(), 50);
    const QRect centre = darkBounds(textPicture(6 | 24, 100));
    ASSERT_FALSE(centre.isNull());
    EXPECT_LT(centre.left(), 99);
    EXPECT_GT(centre.right(), 100);
    EXPECT_LE(centre.bottom(), 50); // baseline: nothing of "H" below it
    EXPECT_NEAR(centre.width(), leftTop.width(), 1);

    // Opaque background paints the text cell; transparent does not.
    Emf bg;
    bg.font(1, -20, 0, QStringLiteral("Arial")).select(1).rec(25, Bytes().color(kGreen));
    bg.textW(10, 10, QStringLiteral("i"));
    EXPECT_GT(countIf(playOk(bg.bytes()), QRect(0, 0, 200, 100), [](QRgb c) { return c == kGreen; }), 20);

    // Clipped to its rectangle, text shows only inside it; an opaque
    // rectangle is filled with the background colour.
    Emf clipped;
    clipped.font(1, -40, 0, QStringLiteral("Arial")).select(1).rec(18, Bytes().u32(1));
    clipped.rec(25, Bytes().color(kGreen));
    Bytes u;
    for (QChar ch : QStringLiteral("MMMMMMMM"))
        u.u16(ch.unicode());
    clipped.text(10, 10, u.b, 8, true, {}, 4 /*clipped*/);
    clipped.rec(84,
        Bytes()
            .box(0, 0, 0, 0)
            .u32(1)
            .f32(0)
            .f32(0)
            .i32(0)
            .i32(0)
            .u32(0)
            .u32(76)
            .u32(2)
            .box(150, 60, 190, 90)
            .u32(0));
    const QImage c = playOk(clipped.bytes());
    EXPECT_EQ(countIf(c, QRect(0, 0, 200, 100), dark), 0) << "an empty clipping rectangle hides the text";
    Emf clipped2;
    clipped2.font(1, -40, 0, QStringLiteral("Arial")).select(1).rec(18, Bytes().u32(1));
    QByteArray withRect = Bytes()
                              .box(0, 0, 0, 0)
                              .u32(1)
                              .f32(0)
                              .f32(0)
                              .i32(10)
                              .i32(10)
                              .u32(8)
                              .u32(76)
                              .u32(4)
                              .box(10, 10, 50, 90)
                              .u32(0)
                              .b;
    clipped2.rec(84, Bytes().raw(withRect).raw(u.b));
    const QImage c2 = playOk(clipped2.bytes());
    EXPECT_GT(countIf(c2, QRect(10, 10, 40, 80), dark), 50);
    EXPECT_EQ(countIf(c2, QRect(52, 0, 148, 100), dark), 0);
    EXPECT_EQ(countIf(c, QRect(150, 60, 40, 30), [](QRgb x) { return x == kGreen; }), 40 * 30 - 40 - 30 + 1);

    // Japanese ANSI text in a SHIFTJIS_CHARSET font draws the same glyphs as
    // the same text written as Unicode, with and without spacing.
    const QString japanese = QStringLiteral("電圧");
    const QByteArray sjis = toCp932(japanese);
    ASSERT_EQ(sjis.size(), 4);
    const QString face = QStringLiteral("ＭＳ ゴシック");
    auto japanesePicture = [&](bool wide, uint8_t charSet, bool spaced) {
        Emf e;
        e.font(1, -24, charSet, face).select(1).rec(18, Bytes().u32(1));
        if (wide)
            e.textW(20, 20, japanese, spaced ? std::vector<int> { 30, 30 } : std::vector<int> {});
        else
            e.textA(20, 20, sjis, spaced ? std::vector<int> { 30, 0, 30, 0 } : std::vector<int> {});
        return playOk(e.bytes());
    };
    const QImage unicode = japanesePicture(true, 128, false);
    const QImage ansi = japanesePicture(false, 128, false);
    EXPECT_GT(countIf(ansi, QRect(0, 0, 200, 100), dark), 80) << "glyphs, not empty space";
    EXPECT_EQ(unicode, ansi) << "the same glyphs as the Unicode text";
    EXPECT_EQ(japanesePicture(true, 128, true), japanesePicture(false, 128, true));
    EXPECT_NE(japanesePicture(false, 0, false), ansi) << "a Western charset is decoded otherwise";
    // And they are real glyphs: the two characters differ from each other.
    Emf one, two;
    one.font(1, -24, 128, face).select(1).textA(20, 20, sjis.left(2));
    two.font(1, -24, 128, face).select(1).textA(20, 20, sjis.mid(2));
    EXPECT_NE(playOk(one.bytes()), playOk(two.bytes()));

    // Placeable metafiles: a Japanese face name and text in code page 932.
    Wmf w(200, 100, 96);
    w.font(-24, 128, toCp932(QStringLiteral("ＭＳ Ｐゴシック"))).select(0).rec(0x0102, Bytes().u16(1));
    w.textOut(20, 20, sjis);
    const QImage wmf = playOk(w.bytes());
    EXPECT_GT(countIf(wmf, QRect(0, 0, 200, 100), dark), 80);
    // Broken code page 932 bytes do not stop the drawing.
    Wmf broken(200, 100, 96);
    broken.font(-24, 128, QByteArray("\x82")).select(0).textOut(20, 20, QByteArray("\x82\xFF\x81", 3));
    EXPECT_EQ(sizeOf(broken.bytes()), QSize(200, 100));
}

TEST(MetafilePlayerTest, PlaceableMetafilesMapTheirWindowOntoTheBoundingBox)
{
    // 200 x 100 units at 96 an inch: 200 x 100 pixels, each unit 199/200
    // and 99/100 of a pixel.
    auto redBounds = [](const std::function<void(Wmf&)>& setup, QRect box) {
        Wmf w(200, 100, 96);
        setup(w);
        w.brush(kRed).select(0).rec(0x02FA, Bytes().u16(5).i16(0).i16(0).color(0)).select(1);
        w.rectangle(int16_t(box.left()), int16_t(box.top()), int16_t(box.right()), int16_t(box.bottom()));
        return boundsOf(playOk(w.bytes()), kRed);
    };
    // Without window records the bounding box is the window.
    expectNear(redBounds([](Wmf&) {}, QRect(QPoint(20, 20), QPoint(60, 60))), QRect(20, 20, 38, 38));
    // A window of 1000 x 500 units fills the same picture.
    expectNear(
        redBounds([](Wmf& w) { w.window(0, 0, 1000, 500); }, QRect(QPoint(100, 100), QPoint(300, 300))),
        QRect(20, 20, 38, 38));
    // A window with its origin elsewhere and y counting upwards.
    expectNear(
        redBounds([](Wmf& w) { w.window(-100, 50, 200, -100); }, QRect(QPoint(-80, 30), QPoint(-40, -10))),
        QRect(20, 20, 38, 38));
    // The text mapping mode counts in the bounding box's units.
    expectNear(redBounds([](Wmf& w) { w.window(0, 0, 1000, 500).rec(0x0103, Bytes().u16(1)); },
                   QRect(QPoint(20, 20), QPoint(60, 60))),
        QRect(20, 20, 38, 38));
    // Isotropic: the larger scale shrinks to the smaller one.
    expectNear(redBounds([](Wmf& w) { w.rec(0x0103, Bytes().u16(7)).window(0, 0, 100, 100); },
                   QRect(QPoint(10, 10), QPoint(50, 50))),
        QRect(10, 10, 38, 38));

    // New objects take the lowest free slot: after deleting slot 0 the third
    // brush lands there.
    Wmf table(200, 100, 96);
    table.brush(kRed).brush(kGreen).remove(0).brush(kBlue).select(0).rectangle(20, 20, 60, 60);
    table.select(1).rectangle(100, 20, 140, 60);
    const QImage s = playOk(table.bytes());
    EXPECT_EQ(at(s, 40, 40), kBlue);
    EXPECT_EQ(at(s, 120, 40), kGreen);

    // Regions: two scans of one rectangle each, filled with a brush and then
    // made the clipping region for a fill of everything.
    Bytes region;
    region.u16(0).u16(6).u32(0).u16(0).u16(2).u16(4).i16(10).i16(10).i16(90).i16(50);
    region.u16(2).u16(10).u16(30).u16(10).u16(50).u16(2);
    region.u16(2).u16(30).u16(50).u16(40).u16(90).u16(2);
    Wmf r(200, 100, 96);
    r.rec(0x06FF, region).brush(kGreen).rec(0x0228, Bytes().u16(0).u16(1)); // fill region 0 with brush 1
    r.rec(0x012C, Bytes().u16(0)).brush(kRed).select(2).rectangle(-10, -10, 300, 300);
    const QImage g = playOk(r.bytes());
    EXPECT_EQ(at(g, 30, 20), kRed);
    EXPECT_EQ(at(g, 70, 40), kRed);
    EXPECT_EQ(at(g, 70, 20), kWhite);
    EXPECT_EQ(at(g, 20, 40), kWhite);
    EXPECT_EQ(at(g, 150, 80), kWhite);
}

// A 2 x 2 24-bit bitmap: red and green on top, blue and white below.
QByteArray dibInfo(int height)
{
    Bytes h;
    h.u32(40).i32(2).i32(height).u16(1).u16(24).u32(0).u32(16).i32(0).i32(0).u32(0).u32(0);
    return h.b;
}
QByteArray dibBits(bool bottomUp)
{
    const QByteArray top = QByteArray("\x00\x00\xFF\x00\xFF\x00\x00\x00", 8);
    const QByteArray bottom = QByteArray("\xFF\x00\x00\xFF\xFF\xFF\x00\x00", 8);
    return bottomUp ? bottom + top : top + bottom;
}

TEST(MetafilePlayerTest, DeviceIndependentBitmapsAndRasterOperations)
{
    for (bool bottomUp : { true, false }) {
        const QByteArray info = dibInfo(bottomUp ? 2 : -2);
        const QByteArray bits = dibBits(bottomUp);
        Emf e;
        Bytes p;
        p.box(0, 0, 0, 0).i32(20).i32(20).i32(0).i32(0).i32(2).i32(2);
        p.u32(80).u32(uint32_t(info.size())).u32(uint32_t(80 + info.size())).u32(uint32_t(bits.size()));
        p.u32(0).u32(0x00CC0020).i32(80).i32(40);
        p.raw(info).raw(bits);
        e.rec(81, p);
        const QImage out = playOk(e.bytes());
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        EXPECT_EQ(at(out, 40, 28), kRed);
        EXPECT_EQ(at(out, 80, 28), kGreen);
        EXPECT_EQ(at(out, 40, 50), kBlue);
        EXPECT_EQ(at(out, 80, 50), kWhite);
        EXPECT_EQ(at(out, 30, 28), kRed);
        expectNear(boundsOf(out, kRed), QRect(20, 20, 40, 20));
    }
    // A bitmap in a placeable metafile, stretched.
    {
        const QByteArray dib = dibInfo(2) + dibBits(true);
        Wmf w(200, 100, 96);
        Bytes p;
        p.u32(0x00CC0020).u16(0).i16(2).i16(2).i16(0).i16(0).i16(40).i16(80).i16(20).i16(20).raw(dib);
        w.rec(0x0F43, p);
        const QImage out = playOk(w.bytes());
        EXPECT_EQ(at(out, 40, 28), kRed);
        EXPECT_EQ(at(out, 80, 50), kWhite);
        EXPECT_EQ(at(out, 40, 50), kBlue);
    }
    // A block transfer without a bitmap paints with the brush (PATCOPY), or
    // inverts (DSTINVERT), or blackens.
    Emf e;
    e.brush(1, 0, kGreen).select(1);
    Bytes blt;
    blt.box(0, 0, 0, 0).i32(10).i32(10).i32(40).i32(40).u32(0x00F00021).i32(0).i32(0);
    blt.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    e.rec(76, blt);
    Bytes inv = blt;
    inv.b.replace(16, 16, Bytes().i32(30).i32(30).i32(40).i32(40).b);
    inv.b.replace(32, 4, Bytes().u32(0x00550009).b);
    e.rec(76, inv);
    const QImage out = playOk(e.bytes());
    EXPECT_EQ(at(out, 20, 20), kGreen);
    EXPECT_EQ(at(out, 40, 40), qRgb(255, 0, 255)); // green inverted
    EXPECT_EQ(at(out, 60, 60), kBlack); // white inverted
    EXPECT_EQ(at(out, 80, 80), kWhite);

    // Raster mix modes of pens: XOR twice restores the picture.
    Emf x;
    x.solidRect(kRed, 0, 0, 200, 100).rec(20, Bytes().u32(7));
    x.brush(2, 0, kBlue).select(2).rectangle(10, 10, 50, 50).rectangle(10, 10, 50, 50);
    EXPECT_EQ(at(playOk(x.bytes()), 30, 30), kRed);
}

} // namespace
} // namespace cvg
