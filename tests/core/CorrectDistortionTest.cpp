#include "calibration/CorrectDistortion.h"

#include "image/ImageSet.h"
#include "platform/Parallel.h"
#include "platform/Progress.h"

#include "ScriptedDialogs.h"
#include "TestPictures.h"

#include <QPainter>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

const QString kFailed = QStringLiteral("グラフの歪修正中にエラーが発生しました");

// Records every progress call as text, in order.
class RecordingProgress final : public Progress {
public:
    void begin(int minimum, int maximum) override
    {
        calls.push_back("begin " + std::to_string(minimum) + " " + std::to_string(maximum));
    }
    void setPosition(int position) override { positions.push_back(position); }
    void end() override { calls.push_back("end"); }
    std::vector<std::string> calls;
    std::vector<int> positions;
};

// Every pixel a colour of its own: index + 1 as 24 bits (never white for
// the sizes used here).
QImage uniquePicture(int width, int height)
{
    QImage image = newPicture(width, height);
    for (int r = 0; r < height; ++r) {
        uchar* line = image.scanLine(r);
        for (int c = 0; c < width; ++c) {
            const int id = r * width + c + 1;
            line[3 * c] = uchar(id);
            line[3 * c + 1] = uchar(id >> 8);
            line[3 * c + 2] = uchar(id >> 16);
        }
    }
    return image;
}

int pixelId(const QImage& image, int c, int r)
{
    const uchar* p = image.constScanLine(r) + 3 * c;
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

constexpr int kWhite = 0xffffff;

// Source points from the lower Y point, the left X point and the two axis
// vectors in screen orientation (rows grow downward).
Calibration fromVectors(QPoint yLower, QPoint xLeft, int ax, int ay, int bx, int by)
{
    Calibration cal;
    cal.SourcePoints[YLower] = { yLower.x(), yLower.y(), 1.0 };
    cal.SourcePoints[YUpper] = { yLower.x() + bx, yLower.y() - by, 2.0 };
    cal.SourcePoints[XLeft] = { xLeft.x(), xLeft.y(), 3.0 };
    cal.SourcePoints[XRight] = { xLeft.x() + ax, xLeft.y() - ay, 4.0 };
    return cal;
}

// round(n / d) with halves to even, in exact integers.
int64_t roundQuotient(int64_t n, int64_t d)
{
    if (d < 0) {
        n = -n;
        d = -d;
    }
    int64_t q = n / d;
    int64_t r = n % d;
    if (r < 0) {
        r += d;
        --q;
    }
    if (2 * r > d || (2 * r == d && (q & 1)))
        ++q;
    return q;
}

// The straightening map in exact rational arithmetic: an independent way to
// the result, for axis vectors whose determinant is odd (no exact halves).
struct ExactMap {
    int64_t ax, ay, bx, by, det;
    QPoint map(int64_t c, int64_t r) const
    {
        return QPoint(
            int(roundQuotient(ax * (c * by - r * bx), det)), int(roundQuotient(by * (r * ax - c * ay), det)));
    }
};

struct Expected {
    QImage picture;
    std::array<ReferencePoint, 4> points;
    int clipped = 0;
};

// The forward mapping of a picture and its reference points by a map of
// (column, row): the box of the mapped corners and the origin, white where
// nothing lands, a later pixel over an earlier one, pixels one past the edge
// dropped (and counted).
template <typename Map> Expected forwardMap(const QImage& source, const Calibration& cal, Map map)
{
    const int w = source.width(), h = source.height();
    const auto& p = cal.SourcePoints;
    int minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const QPoint corner : { QPoint(0, h), QPoint(w, h), QPoint(0, 0), QPoint(w, 0) }) {
        const QPoint t = map(corner.x(), corner.y());
        minX = std::min(minX, t.x());
        maxX = std::max(maxX, t.x());
        minY = std::min(minY, t.y());
        maxY = std::max(maxY, t.y());
    }
    Expected e;
    e.picture = newPicture(maxX - minX, maxY - minY);
    uchar* const bits = e.picture.bits();
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
            const QPoint t = map(c, r) - QPoint(minX, minY);
            if (t.x() >= e.picture.width() || t.y() >= e.picture.height()) {
                ++e.clipped;
                continue;
            }
            std::memcpy(bits + qsizetype(t.y()) * e.picture.bytesPerLine() + 3 * t.x(),
                source.constScanLine(r) + 3 * c, 3);
        }
    for (int i = 0; i < 4; ++i) {
        const QPoint t = map(p[size_t(i)].x, h - p[size_t(i)].y);
        e.points[size_t(i)] = { t.x() - minX, e.picture.height() - (t.y() - minY), p[size_t(i)].value };
    }
    return e;
}

Expected exactCorrection(const QImage& source, const Calibration& cal)
{
    const int h = source.height();
    const auto& p = cal.SourcePoints;
    const auto row = [&](int i) { return int64_t(h) - p[size_t(i)].y; };
    ExactMap m { p[XRight].x - p[XLeft].x, row(XRight) - row(XLeft), p[YUpper].x - p[YLower].x,
        row(YUpper) - row(YLower), 0 };
    m.det = m.ax * m.by - m.bx * m.ay;
    // With an odd determinant no pixel falls exactly on a half; with a power
    // of two the reciprocal is exact, so the halves are exact too and go to
    // the even neighbour.
    const int64_t magnitude = m.det < 0 ? -m.det : m.det;
    EXPECT_TRUE(m.det % 2 != 0 || (magnitude & (magnitude - 1)) == 0)
        << "pick vectors with an odd determinant or a power of two";
    return forwardMap(source, cal, [&m](int64_t c, int64_t r) { return m.map(c, r); });
}

} // namespace

TEST(CorrectDistortion, SquareAxesMapThePictureOntoItself)
{
    const QImage source = uniquePicture(300, 400);
    struct Case {
        const char* what;
        ReferencePoint p0, p1, p2, p3;
    };
    const Case cases[] = {
        { "shared corner", { 50, 350, 100 }, { 50, 150, 0 }, { 50, 150, 0 }, { 250, 150, 10 } },
        { "short axes apart", { 7, 390, 1 }, { 7, 380, 0 }, { 290, 3, 0 }, { 296, 3, 1 } },
        { "swapped X points", { 50, 350, 100 }, { 50, 150, 0 }, { 250, 150, 0 }, { 50, 150, 10 } },
        { "upper Y point below", { 50, 150, 0 }, { 50, 350, 100 }, { 50, 150, 0 }, { 250, 150, 10 } },
        { "points off the picture", { -40, 900, 1 }, { -40, -30, 0 }, { -1000, 5, 0 }, { 4000, 5, 1 } },
    };
    for (const Case& c : cases) {
        Calibration cal;
        cal.SourcePoints = { c.p0, c.p1, c.p2, c.p3 };
        cal.ScaleX = 3;
        cal.Converted = true;
        QImage out;
        RecordingProgress progress;
        ScriptedDialogs dialogs;
        ASSERT_TRUE(CorrectDistortion(source, cal, out, progress, dialogs)) << c.what;
        EXPECT_EQ(out.format(), QImage::Format_RGB888);
        EXPECT_EQ(out.size(), source.size()) << c.what;
        EXPECT_EQ(cvg::test::differingPixels(out, source), 0) << c.what;
        EXPECT_EQ(cal.CorrectedPoints, cal.SourcePoints) << c.what;
        // Neither the accepted flag nor the scales are touched.
        EXPECT_TRUE(cal.Converted);
        EXPECT_EQ(cal.ScaleX, 3);
        EXPECT_EQ(progress.calls, (std::vector<std::string> { "begin 0 399", "end" })) << c.what;
        ASSERT_EQ(progress.positions.size(), 400u);
        for (int r = 0; r < 400; ++r)
            ASSERT_EQ(progress.positions[size_t(r)], r);
    }

    // Any other input format arrives as 24 bits and comes out unchanged.
    QImage argb = source.convertToFormat(QImage::Format_ARGB32);
    Calibration cal;
    cal.SourcePoints = { ReferencePoint { 50, 350, 100 }, { 50, 150, 0 }, { 50, 150, 0 }, { 250, 150, 10 } };
    QImage out;
    NullProgress progress;
    ScriptedDialogs dialogs;
    ASSERT_TRUE(CorrectDistortion(argb, cal, out, progress, dialogs));
    EXPECT_EQ(out.format(), QImage::Format_RGB888);
    EXPECT_EQ(cvg::test::differingPixels(out, source), 0);
}

TEST(CorrectDistortion, SlopedAxesBecomeOneRowAndOneColumn)
{
    // The X axis falls by 10 rows over 100 columns, the Y axis leans the
    // matching way: 10 columns to the right over 100 rows up.
    const int w = 300, h = 250;
    QImage source = newPicture(w, h);
    const QPoint corner(60, 200); // column, row of the corner
    uchar* const bits = source.bits();
    const auto paint = [&](int c, int r, uchar value) {
        uchar* px = bits + r * source.bytesPerLine() + 3 * c;
        px[0] = px[1] = px[2] = value;
    };
    // Axis pixels exactly on the axis lines: every tenth column of the X
    // axis, every tenth row of the Y axis.
    for (int i = 0; i <= 20; ++i) {
        paint(corner.x() + 10 * i, corner.y() + i, 0); // X axis
        paint(corner.x() + i, corner.y() - 10 * i, 40); // Y axis
    }
    Calibration cal;
    cal.SourcePoints[YLower] = { corner.x(), h - corner.y(), 0 };
    cal.SourcePoints[XLeft] = cal.SourcePoints[YLower];
    cal.SourcePoints[XRight] = { corner.x() + 100, h - (corner.y() + 10), 10 };
    cal.SourcePoints[YUpper] = { corner.x() + 10, h - (corner.y() - 100), 100 };
    QImage out;
    RecordingProgress progress;
    ScriptedDialogs dialogs;
    ASSERT_TRUE(CorrectDistortion(source, cal, out, progress, dialogs));

    EXPECT_GT(out.width(), w);
    EXPECT_GT(out.height(), h);
    const auto& cp = cal.CorrectedPoints;
    EXPECT_EQ(cp[XLeft].y, cp[XRight].y);
    EXPECT_EQ(cp[YUpper].x, cp[YLower].x);
    EXPECT_EQ(cp[XLeft], cp[YLower]);
    // The horizontal extent of the X axis and the vertical extent of the Y
    // axis are kept; the values travel with the points.
    EXPECT_EQ(cp[XRight].x - cp[XLeft].x, 100);
    EXPECT_EQ(cp[YUpper].y - cp[YLower].y, 100);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(cp[i].value, cal.SourcePoints[i].value);

    // Every dark pixel of the X axis lies in the corner's row, every grey one
    // of the Y axis in its column.
    const int cornerRow = out.height() - cp[XLeft].y;
    int black = 0, grey = 0;
    for (int r = 0; r < out.height(); ++r) {
        const uchar* line = out.constScanLine(r);
        for (int c = 0; c < out.width(); ++c) {
            if (line[3 * c] == 0) {
                ++black;
                EXPECT_EQ(r, cornerRow) << "X axis pixel at column " << c;
            } else if (line[3 * c] == 40) {
                ++grey;
                EXPECT_EQ(c, cp[YLower].x) << "Y axis pixel at row " << r;
            }
        }
    }
    EXPECT_EQ(black, 20);
    EXPECT_EQ(grey, 21); // the corner pixel was painted last, with the Y axis

    // The corners of D outside the turned picture stay white.
    for (const QPoint c : { QPoint(0, 0), QPoint(out.width() - 1, 0), QPoint(0, out.height() - 1),
             QPoint(out.width() - 1, out.height() - 1) })
        EXPECT_EQ(pixelId(out, c.x(), c.y()), kWhite) << c.x() << "," << c.y();

    EXPECT_EQ(progress.calls, (std::vector<std::string> { "begin 0 249", "end" }));
    EXPECT_EQ(progress.positions.size(), size_t(h));
    EXPECT_EQ(progress.positions.back(), h - 1);
}

TEST(CorrectDistortion, MatchesExactArithmeticAndClipsOnePastTheEdge)
{
    // Axis vectors (ax, ay) and (bx, by), sloped both ways, mirrored and
    // turned; the first three have pixels that land one past the last column
    // or row, the last two have pixels exactly between two rows or columns.
    struct Case {
        int w, h, ax, ay, bx, by;
    };
    const Case cases[] = {
        { 22, 8, 24, 9, 13, -19 },
        { 15, 33, 39, 11, -8, 19 },
        { 13, 40, 16, -13, -15, -6 },
        { 40, 30, 101, 7, -3, -98 },
        { 37, 23, -45, -4, 6, -51 },
        { 31, 29, 57, -10, 12, 71 },
        { 50, 40, 201, 2, 1, -199 },
        { 9, 14, 57, 13, -12, 21 },
        { 36, 36, -46, -13, -11, 41 },
        { 12, 9, 2, 1, 0, -1 },
        { 16, 12, 4, -2, 2, -3 },
    };
    int totalClipped = 0;
    for (const Case& c : cases) {
        const QImage source = uniquePicture(c.w, c.h);
        Calibration cal = fromVectors(QPoint(3, 5), QPoint(4, 2), c.ax, c.ay, c.bx, c.by);
        const Expected expected = exactCorrection(source, cal);
        totalClipped += expected.clipped;
        QImage out;
        NullProgress progress;
        ScriptedDialogs dialogs;
        const std::string what = std::to_string(c.ax) + "," + std::to_string(c.ay) + " "
            + std::to_string(c.bx) + "," + std::to_string(c.by);
        ASSERT_TRUE(CorrectDistortion(source, cal, out, progress, dialogs)) << what;
        ASSERT_EQ(out.size(), expected.picture.size()) << what;
        EXPECT_EQ(cvg::test::differingPixels(out, expected.picture), 0) << what;
        EXPECT_EQ(cal.CorrectedPoints, expected.points) << what;
    }
    EXPECT_GE(totalClipped, 4); // the clipping really happened
}

TEST(CorrectDistortion, CollinearPointsFailAndChangeNothing)
{
    const QImage source = cvg::test::drawGraph(120, 90);
    const std::array<ReferencePoint, 4> before
        = { ReferencePoint { 1, 2, 3 }, { 4, 5, 6 }, { 7, 8, 9 }, { 10, 11, 12 } };
    const std::array<std::array<ReferencePoint, 4>, 3> collinear = { {
        // All four on one line.
        { ReferencePoint { 40, 70, 100 }, { 10, 10, 0 }, { 20, 30, 0 }, { 30, 50, 10 } },
        // The X points on one spot.
        { ReferencePoint { 10, 80, 100 }, { 10, 10, 0 }, { 50, 10, 0 }, { 50, 10, 10 } },
        // Nothing placed yet.
        { ReferencePoint {}, {}, {}, {} },
    } };
    for (const auto& points : collinear) {
        Calibration cal;
        cal.SourcePoints = points;
        cal.CorrectedPoints = before;
        QImage out = source;
        RecordingProgress progress;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(kFailed);
        EXPECT_FALSE(CorrectDistortion(source, cal, out, progress, dialogs));
        EXPECT_EQ(dialogs.shown().at(0).title, QStringLiteral("Curvegleaner"));
        EXPECT_EQ(cal.CorrectedPoints, before);
        EXPECT_EQ(cal.SourcePoints, points);
        // The output holds what was produced: nothing.
        EXPECT_EQ(out.width(), 0);
        EXPECT_EQ(out.height(), 0);
        EXPECT_TRUE(progress.calls.empty());
        EXPECT_TRUE(progress.positions.empty());
    }
}

TEST(CorrectDistortion, RefusesAbsurdOutputAndPositionsInsteadOfAllocating)
{
    const QImage source = newPicture(1000, 10);
    std::array<ReferencePoint, 4> before {};
    before[0] = { 9, 9, 9 };
    {
        // An X axis one column wide and a thousand rows high: each column of
        // the picture becomes a thousand rows.
        Calibration cal = fromVectors(QPoint(0, 5), QPoint(0, 1000), 1, 1000, 0, -1);
        cal.CorrectedPoints = before;
        QImage out;
        RecordingProgress progress;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(
            kFailed + QStringLiteral("\r\n修正後の画像が大きすぎます（1000 × 1000010 ピクセル）。"));
        EXPECT_FALSE(CorrectDistortion(source, cal, out, progress, dialogs));
        EXPECT_EQ(cal.CorrectedPoints, before);
        EXPECT_EQ(out.width(), 0);
        EXPECT_TRUE(progress.calls.empty());
    }
    {
        // Positions at the ends of int32, as a damaged document may hold them.
        constexpr int32_t lo = std::numeric_limits<int32_t>::min();
        constexpr int32_t hi = std::numeric_limits<int32_t>::max();
        const std::array<std::array<ReferencePoint, 4>, 3> extremes = { {
            { ReferencePoint { hi, hi, 1 }, { lo, lo, 0 }, { lo, hi, 0 }, { hi, lo, 1 } },
            { ReferencePoint { 0, hi, 1 }, { 0, 0, 0 }, { -1, 0, 0 }, { hi, 0, 1 } },
            { ReferencePoint { 0, 20, 1 }, { 0, 0, 0 }, { 0, lo, 0 }, { hi, lo, 1 } },
        } };
        for (const auto& points : extremes) {
            Calibration cal;
            cal.SourcePoints = points;
            cal.CorrectedPoints = before;
            QImage out;
            NullProgress progress;
            ScriptedDialogs dialogs;
            dialogs.expectInfo(kFailed);
            EXPECT_FALSE(CorrectDistortion(source, cal, out, progress, dialogs));
            EXPECT_EQ(cal.CorrectedPoints, before);
        }
    }
    {
        // No picture at all.
        Calibration cal = fromVectors(QPoint(0, 5), QPoint(0, 5), 10, 0, 0, -10);
        QImage out;
        NullProgress progress;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(kFailed);
        EXPECT_FALSE(CorrectDistortion(QImage(), cal, out, progress, dialogs));
    }
}

namespace {

// The straightening rule pixel by pixel, as one plain pass: k = 1 / det in
// float64, each product in extended precision rounded half to even. It also
// counts the products that lie within 2^-20 of a half.
struct RuleResult {
    Expected expected;
    int64_t nearHalves = 0;
};

RuleResult ruleCorrection(const QImage& source, const Calibration& cal)
{
    const int64_t h = source.height();
    const auto& p = cal.SourcePoints;
    const auto row = [&](int i) { return h - p[size_t(i)].y; };
    const int64_t ax = p[XRight].x - p[XLeft].x, ay = row(XRight) - row(XLeft);
    const int64_t bx = p[YUpper].x - p[YLower].x, by = row(YUpper) - row(YLower);
    const double k = 1.0 / double(ax * by - bx * ay);
    const long double axk = (long double)ax * (long double)k, byk = (long double)by * (long double)k;
    RuleResult result;
    const auto product = [&](long double f, int64_t term) {
        const long double x = f * (long double)term;
        if (std::fabs(x - std::floor(x) - 0.5L) < 0x1p-20L)
            ++result.nearHalves;
        return int(std::llrint(x));
    };
    result.expected = forwardMap(source, cal, [&](int64_t c, int64_t r) {
        return QPoint(product(axk, c * by - r * bx), product(byk, r * ax - c * ay));
    });
    return result;
}

// Every pixel a colour from its position, hashed, so that large pictures
// have no regular pattern a misplaced pixel could hide in.
QImage hashedPicture(int width, int height)
{
    QImage image = newPicture(width, height);
    for (int r = 0; r < height; ++r) {
        uchar* line = image.scanLine(r);
        for (int c = 0; c < width; ++c) {
            const uint32_t id = (uint32_t(c) * 2654435761u) ^ (uint32_t(r) * 2246822519u);
            line[3 * c] = uchar(id >> 8);
            line[3 * c + 1] = uchar(id >> 16);
            line[3 * c + 2] = uchar(id >> 24);
        }
    }
    return image;
}

// Straightens with each number of worker threads (0: as many as there are
// processors); each must give the rule's result exactly. Returns the rule's
// count of products near a half.
int64_t expectSameAsRule(const QImage& source, const Calibration& given, const std::string& what,
    std::initializer_list<int> threadCounts = { 1, 3 })
{
    const RuleResult rule = ruleCorrection(source, given);
    const Expected& expected = rule.expected;
    for (const int threads : threadCounts) {
        setMaxWorkerThreads(threads);
        Calibration cal = given;
        QImage out;
        NullProgress progress;
        ScriptedDialogs dialogs;
        const bool ok = CorrectDistortion(source, cal, out, progress, dialogs);
        setMaxWorkerThreads(0);
        EXPECT_TRUE(ok) << what;
        EXPECT_EQ(out.size(), expected.picture.size()) << what;
        EXPECT_EQ(cvg::test::differingPixels(out, expected.picture), 0) << what << ", threads " << threads;
        EXPECT_EQ(cal.CorrectedPoints, expected.points) << what;
    }
    return rule.nearHalves;
}

} // namespace

TEST(CorrectDistortion, EveryPixelAsTheRuleOnRandomAxesAndNearHalves)
{
    std::mt19937 random(2024);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    // Random axis pairs, from nearly square to steep, on pictures of random
    // size; the axis vectors are kept long enough that the output stays small.
    for (int i = 0; i < 150; ++i) {
        const int w = pick(1, 90), h = pick(1, 90);
        const int len = pick(20, 3000), lean = pick(0, len / (i % 3 == 0 ? 2 : 30));
        const int sx = pick(0, 1) ? 1 : -1, sy = pick(0, 1) ? 1 : -1;
        Calibration cal
            = fromVectors(QPoint(pick(-50, 150), pick(-50, 150)), QPoint(pick(-50, 150), pick(-50, 150)),
                sx * len, pick(-lean, lean), pick(-lean, lean), sy * pick(len / 2, len));
        expectSameAsRule(hashedPicture(w, h), cal, "random case " + std::to_string(i));
    }

    // Small determinants whose reciprocal is not exact in float64: many
    // products are halves in exact arithmetic and land a hair off them, so
    // their rounding is decided by the last bits of the extended products.
    struct Case {
        int ax, ay, bx, by;
    };
    // One axis square to the grid and the other leaning is the usual scan;
    // 7,2 2,-4 has an exact reciprocal, so its halves are exact.
    const Case nearHalves[]
        = { { 3, 1, 1, -3 }, { 5, 1, -1, -3 }, { 7, 2, 2, -4 }, { 6, 2, -1, 3 }, { 20, -5, 0, -33 },
              { 138, 23, 0, -172 }, { 49, 0, -7, -42 }, { 200, 20, 0, -147 }, { 140, 0, 12, -120 } };
    for (const Case& c : nearHalves) {
        const std::string what = std::to_string(c.ax) + "," + std::to_string(c.ay) + " "
            + std::to_string(c.bx) + "," + std::to_string(c.by);
        const int64_t near = expectSameAsRule(
            hashedPicture(97, 61), fromVectors(QPoint(10, 20), QPoint(12, 21), c.ax, c.ay, c.bx, c.by), what);
        EXPECT_GT(near, 100) << what << ": the case must put products near halves";
    }
}

TEST(CorrectDistortion, EveryPixelAsTheRuleOnLargePictures)
{
    // The benchmark's 10000 x 10000 picture with square axes and with axes
    // turned by about a degree.
    const QImage source = hashedPicture(10000, 10000);
    expectSameAsRule(
        source, fromVectors(QPoint(300, 300), QPoint(300, 300), 9000, 0, 0, -9000), "square", { 0 });
    expectSameAsRule(
        source, fromVectors(QPoint(300, 300), QPoint(300, 300), 9000, 157, 157, -9000), "turned", { 0 });
}
