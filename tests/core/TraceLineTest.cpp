#include "trace/TraceLine.h"

#include "image/JpegCodec.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace cvg;

namespace {

QImage filled(int width, int height, uchar r, uchar g, uchar b)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar* p = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            p[3 * x] = r;
            p[3 * x + 1] = g;
            p[3 * x + 2] = b;
        }
    }
    return image;
}

void put(QImage& image, int x, int y, uchar r, uchar g, uchar b)
{
    uchar* p = image.scanLine(y) + 3 * x;
    p[0] = r;
    p[1] = g;
    p[2] = b;
}

void black(QImage& image, int x, int y)
{
    put(image, x, y, 0, 0, 0);
}

} // namespace

TEST(TraceLine, FreshEngineAndWhitePicture)
{
    TTraceLine t;
    EXPECT_EQ(t.BoundColor, 160);
    EXPECT_EQ(t.ScanInterval, 0);
    EXPECT_EQ(t.LastIndex, 0);
    EXPECT_TRUE(t.Points.empty());
    const TXYData fresh;
    EXPECT_EQ(fresh.X, 0);
    EXPECT_EQ(fresh.Y, 0);

    const QImage white = filled(40, 30, 255, 255, 255);
    t.ScanInterval = 1;
    EXPECT_TRUE(t.TraceAll(white, 0, 0, 39, 29).empty());
    EXPECT_EQ(t.LastIndex, -1);
    t.LastIndex = 5;
    EXPECT_TRUE(t.TraceAverage(white, 0, 0, 39, 29).empty());
    EXPECT_EQ(t.LastIndex, -1);
}

TEST(TraceLine, BrightnessDividesEachProductSeparately)
{
    EXPECT_EQ(TTraceLine::Brightness(255, 0, 0), 76);
    EXPECT_EQ(TTraceLine::Brightness(0, 255, 0), 150);
    EXPECT_EQ(TTraceLine::Brightness(0, 0, 255), 28);
    EXPECT_EQ(TTraceLine::Brightness(128, 128, 128), 127);
    EXPECT_EQ(TTraceLine::Brightness(255, 255, 255), 254);
    EXPECT_EQ(TTraceLine::Brightness(0, 0, 0), 0);
    // One common division would give 1 and 3.
    EXPECT_EQ(TTraceLine::Brightness(1, 1, 1), 0);
    EXPECT_EQ(TTraceLine::Brightness(3, 2, 9), 1);

    // The scans apply it: red, blue and grey in columns 0, 1, 2 of one row,
    // each dark only for thresholds above its brightness.
    QImage image = filled(3, 1, 255, 255, 255);
    put(image, 0, 0, 255, 0, 0);
    put(image, 1, 0, 0, 0, 255);
    put(image, 2, 0, 128, 128, 128);
    TTraceLine t;
    t.ScanInterval = 1;
    auto columns = [&](int bound) {
        t.BoundColor = bound;
        std::vector<int> xs;
        for (const TXYData& p : t.TraceAll(image, 0, 0, 2, 0))
            xs.push_back(p.X);
        return xs;
    };
    EXPECT_EQ(columns(28), (std::vector<int> {}));
    EXPECT_EQ(columns(29), (std::vector<int> { 1 }));
    EXPECT_EQ(columns(76), (std::vector<int> { 1 }));
    EXPECT_EQ(columns(77), (std::vector<int> { 0, 1 }));
    EXPECT_EQ(columns(127), (std::vector<int> { 0, 1 }));
    EXPECT_EQ(columns(128), (std::vector<int> { 0, 1, 2 }));
}

TEST(TraceLine, ThresholdsZeroAndTwoFiftyFive)
{
    QImage image = filled(4, 3, 255, 255, 255);
    black(image, 1, 1);
    TTraceLine t;
    t.ScanInterval = 2;
    t.BoundColor = 0;
    EXPECT_TRUE(t.TraceAll(image, 0, 0, 3, 2).empty()) << "not even black is below 0";
    EXPECT_EQ(t.LastIndex, -1);
    t.BoundColor = 255;
    const std::vector<TXYData> all { { 0, 0 }, { 0, 1 }, { 0, 2 }, { 2, 0 }, { 2, 1 }, { 2, 2 } };
    EXPECT_EQ(t.TraceAll(image, 0, 0, 3, 2), all) << "white (254) is below 255";
    EXPECT_EQ(t.LastIndex, 5);
    EXPECT_EQ(t.TraceAverage(image, 0, 0, 3, 2), (std::vector<TXYData> { { 0, 1 }, { 2, 1 } }));
    EXPECT_EQ(t.LastIndex, 1);
}

TEST(TraceLine, ColumnsAreMultiplesOfTheIntervalFromThePictureEdge)
{
    // Region 15..44 with interval 10 scans 20, 30 and 40 only.
    const QImage dark = filled(60, 5, 0, 0, 0);
    TTraceLine t;
    t.ScanInterval = 10;
    const std::vector<TXYData> expected { { 20, 2 }, { 30, 2 }, { 40, 2 } };
    EXPECT_EQ(t.TraceAll(dark, 15, 2, 44, 2), expected);
    EXPECT_EQ(t.LastIndex, 2);
    EXPECT_EQ(t.TraceAverage(dark, 15, 2, 44, 2), expected);

    // Columns between are never looked at: black everywhere except the
    // multiples of 7, which are white, gives nothing.
    QImage striped = filled(50, 4, 0, 0, 0);
    for (int x = 0; x < 50; x += 7)
        for (int y = 0; y < 4; ++y)
            put(striped, x, y, 255, 255, 255);
    t.ScanInterval = 7;
    EXPECT_TRUE(t.TraceAll(striped, 3, 0, 49, 3).empty());
    EXPECT_TRUE(t.TraceAverage(striped, 3, 0, 49, 3).empty());

    // An interval below 1 scans every column instead of failing.
    t.ScanInterval = 0;
    EXPECT_EQ(t.TraceAll(dark, 3, 0, 5, 0), (std::vector<TXYData> { { 3, 0 }, { 4, 0 }, { 5, 0 } }));
}

TEST(TraceLine, ThickLineAndTwoRunsAveraged)
{
    QImage image = filled(30, 200, 255, 255, 255);
    for (int x = 0; x < 30; ++x)
        for (int y = 100; y <= 102; ++y)
            black(image, x, y);
    TTraceLine t;
    t.ScanInterval = 5;
    EXPECT_EQ(
        t.TraceAll(image, 10, 0, 10, 199), (std::vector<TXYData> { { 10, 100 }, { 10, 101 }, { 10, 102 } }));
    EXPECT_EQ(t.TraceAverage(image, 10, 0, 10, 199), (std::vector<TXYData> { { 10, 101 } }));

    // Column 20: runs at rows 10 and 30 average to 20. Column 21: rows 10
    // and 11 give 10.5, rounded to 10. Column 22: 11.5 rounds to 12.
    // Column 23: 10, 11, 13 give 11.33, rounded to 11.
    QImage runs = filled(30, 40, 255, 255, 255);
    for (auto [x, y] : std::vector<std::pair<int, int>> { { 20, 10 }, { 20, 30 }, { 21, 10 }, { 21, 11 },
             { 22, 11 }, { 22, 12 }, { 23, 10 }, { 23, 11 }, { 23, 13 } })
        black(runs, x, y);
    t.ScanInterval = 1;
    const std::vector<TXYData> means { { 20, 20 }, { 21, 10 }, { 22, 12 }, { 23, 11 } };
    EXPECT_EQ(t.TraceAverage(runs, 0, 0, 29, 39), means);
    EXPECT_EQ(t.LastIndex, 3);
    const std::vector<TXYData> all { { 20, 10 }, { 20, 30 }, { 21, 10 }, { 21, 11 }, { 22, 11 }, { 22, 12 },
        { 23, 10 }, { 23, 11 }, { 23, 13 } };
    EXPECT_EQ(t.TraceAll(runs, 0, 0, 29, 39), all);
}

TEST(TraceLine, OrderIsByColumnThenRowAcrossWidePictures)
{
    // A falling diagonal plus a pixel on the top row of every column: the
    // list runs column by column, each column from top to bottom.
    const int width = 700;
    QImage image = filled(width, 400, 255, 255, 255);
    for (int x = 0; x < width; ++x) {
        black(image, x, 399 - x * 399 / (width - 1));
        black(image, x, 0);
    }
    TTraceLine t;
    t.ScanInterval = 3;
    const std::vector<TXYData>& found = t.TraceAll(image, 0, 0, width - 1, 399);
    std::vector<TXYData> expected;
    for (int x = 0; x < width; x += 3) {
        const int y = 399 - x * 399 / (width - 1);
        expected.push_back({ x, 0 });
        if (y != 0)
            expected.push_back({ x, y });
    }
    EXPECT_EQ(found, expected);
    EXPECT_EQ(t.LastIndex, int(expected.size()) - 1);
}

TEST(TraceLine, BoundsAreClippedAndEmptyRegionsGiveNothing)
{
    const QImage dark = filled(8, 6, 0, 0, 0);
    TTraceLine t;
    t.ScanInterval = 4;
    EXPECT_EQ(
        t.TraceAll(dark, -10, -3, 100, 1), (std::vector<TXYData> { { 0, 0 }, { 0, 1 }, { 4, 0 }, { 4, 1 } }));
    EXPECT_EQ(t.TraceAverage(dark, -10, 3, 100, 100), (std::vector<TXYData> { { 0, 4 }, { 4, 4 } }));

    // Each scan empties the list first.
    EXPECT_TRUE(t.TraceAll(dark, 5, 0, 3, 5).empty()) << "left beyond right";
    EXPECT_EQ(t.LastIndex, -1);
    EXPECT_TRUE(t.TraceAll(dark, 0, 4, 7, 2).empty()) << "top below bottom";
    EXPECT_TRUE(t.TraceAverage(dark, 8, 0, 20, 5).empty()) << "right of the picture";
    EXPECT_TRUE(t.TraceAll(dark, 0, -9, 7, -1).empty()) << "above the picture";
    EXPECT_TRUE(t.TraceAll(dark, 5, 0, 7, 5).empty()) << "no multiple of 4 in 5..7";
    EXPECT_EQ(t.LastIndex, -1);
    EXPECT_TRUE(t.TraceAll(QImage(), 0, 0, 10, 10).empty());
}

TEST(TraceLine, OtherPictureFormatsAreReadAsTwentyFourBits)
{
    QImage image(6, 4, QImage::Format_ARGB32);
    image.fill(QColor(255, 255, 255));
    image.setPixelColor(2, 3, QColor(0, 0, 255)); // brightness 28
    TTraceLine t;
    t.ScanInterval = 1;
    t.BoundColor = 29;
    EXPECT_EQ(t.TraceAll(image, 0, 0, 5, 3), (std::vector<TXYData> { { 2, 3 } }));
}

namespace {

// A white graph 120 x 100 with a red and a blue curve, two pixels thick,
// crossing each other. The red one falls from row 20 at x = 0 by one row
// every two columns (rows 20 + x/2 and 21 + x/2); the blue one rises from
// row 80 by one row every two columns. Blue is drawn last, so at the
// crossing columns the blue pixels lie on top of the red ones.
constexpr int kGraphWidth = 120;
constexpr int kGraphHeight = 100;

int redRow(int x)
{
    return 20 + x / 2;
}

int blueRow(int x)
{
    return 80 - x / 2;
}

QImage twoCurves()
{
    QImage image = filled(kGraphWidth, kGraphHeight, 255, 255, 255);
    for (int x = 0; x < kGraphWidth; ++x) {
        for (int d = 0; d < 2; ++d)
            put(image, x, redRow(x) + d, 230, 20, 30);
        for (int d = 0; d < 2; ++d)
            put(image, x, blueRow(x) + d, 20, 40, 220);
    }
    return image;
}

} // namespace

TEST(TraceLine, ColourModeTracesTheRedCurveAloneAcrossTheBlueOne)
{
    const QImage graph = twoCurves();
    TTraceLine t;
    t.ScanInterval = 1;
    t.Mode = TraceMode::Colour;
    t.LineColour = qRgb(255, 0, 0);
    t.Tolerance = 60; // (230, 20, 30) is 43.9 away from pure red, the blue curve 324.4

    // Every red pixel that is not covered by blue, column by column.
    std::vector<TXYData> expectedAll;
    for (int x = 0; x < kGraphWidth; ++x)
        for (int y = redRow(x); y <= redRow(x) + 1; ++y)
            if (y != blueRow(x) && y != blueRow(x) + 1)
                expectedAll.push_back({ x, y });
    ASSERT_EQ(expectedAll.size(), size_t(2 * kGraphWidth - 4));
    EXPECT_EQ(t.TraceAll(graph, 0, 0, kGraphWidth - 1, kGraphHeight - 1), expectedAll);
    EXPECT_EQ(t.LastIndex, int(expectedAll.size()) - 1);

    // The crossing: at x = 60 both curves sit at rows 50 and 51, blue on
    // top, so that column has no red; at x = 58 red is at 49..50 and blue at
    // 51..52, side by side; at x = 62 red is at 51..52 and blue at 49..50.
    auto column = [&](int x) {
        std::vector<TXYData> in;
        for (const TXYData& p : t.Points)
            if (p.X == x)
                in.push_back(p);
        return in;
    };
    t.TraceAll(graph, 0, 0, kGraphWidth - 1, kGraphHeight - 1);
    EXPECT_TRUE(column(60).empty());
    EXPECT_TRUE(column(61).empty());
    EXPECT_EQ(column(58), (std::vector<TXYData> { { 58, 49 }, { 58, 50 } }));
    EXPECT_EQ(column(62), (std::vector<TXYData> { { 62, 51 }, { 62, 52 } }));
    EXPECT_EQ(column(0), (std::vector<TXYData> { { 0, 20 }, { 0, 21 } }));
    EXPECT_EQ(column(119), (std::vector<TXYData> { { 119, 79 }, { 119, 80 } }));

    // Averaged: the mean of two neighbouring rows is a half, rounded to even.
    const std::vector<TXYData>& averaged = t.TraceAverage(graph, 0, 0, kGraphWidth - 1, kGraphHeight - 1);
    ASSERT_EQ(averaged.size(), size_t(kGraphWidth - 2));
    EXPECT_EQ(averaged[0], (TXYData { 0, 20 })); // 20.5 -> 20
    EXPECT_EQ(averaged[2], (TXYData { 2, 22 })); // 21.5 -> 22
    EXPECT_EQ(averaged[58], (TXYData { 58, 50 })); // 49.5 -> 50
    EXPECT_EQ(averaged[59], (TXYData { 59, 50 })); // 49.5 -> 50
    EXPECT_EQ(averaged[60], (TXYData { 62, 52 })); // 51.5 -> 52, after the covered columns 60 and 61
    EXPECT_EQ(averaged.back(), (TXYData { 119, 80 })); // 79.5 -> 80
    EXPECT_EQ(t.LastIndex, kGraphWidth - 3);

    // The same picture by brightness finds both curves: red (230, 20, 30)
    // has brightness 83 and the blue one 53, both dark at 125.
    t.Mode = TraceMode::Brightness;
    t.BoundColor = 125;
    EXPECT_EQ(t.TraceAll(graph, 0, 0, kGraphWidth - 1, kGraphHeight - 1).size(), size_t(4 * kGraphWidth - 4));

    // Blue alone by colour ((20, 40, 220) is 56.8 away from pure blue), with
    // the interval and a clipped region: columns 60, 70 and 80 of 55..85.
    t.Mode = TraceMode::Colour;
    t.LineColour = qRgb(0, 0, 255);
    t.ScanInterval = 10;
    EXPECT_EQ(t.TraceAll(graph, 55, -5, 85, 200),
        (std::vector<TXYData> { { 60, 50 }, { 60, 51 }, { 70, 45 }, { 70, 46 }, { 80, 40 }, { 80, 41 } }));
    EXPECT_EQ(t.TraceAverage(graph, 55, -5, 85, 200),
        (std::vector<TXYData> { { 60, 50 }, { 70, 46 }, { 80, 40 } }));
}

TEST(TraceLine, ColourToleranceBoundaries)
{
    // One row: (3, 4, 0), black, (3, 4, 1), white, (2, 3, 0).
    QImage image = filled(5, 1, 0, 0, 0);
    put(image, 0, 0, 3, 4, 0); // distance 5 from black
    put(image, 2, 0, 3, 4, 1); // distance sqrt(26), just over 5
    put(image, 3, 0, 255, 255, 255); // distance 441.67
    put(image, 4, 0, 2, 3, 0); // distance sqrt(13), below 4
    TTraceLine t;
    t.ScanInterval = 1;
    t.Mode = TraceMode::Colour;
    t.LineColour = qRgb(0, 0, 0);
    auto columns = [&](int tolerance) {
        t.Tolerance = tolerance;
        std::vector<int> xs;
        for (const TXYData& p : t.TraceAll(image, 0, 0, 4, 0))
            xs.push_back(p.X);
        return xs;
    };
    EXPECT_EQ(columns(0), (std::vector<int> { 1 })) << "only the exact colour";
    EXPECT_EQ(columns(4), (std::vector<int> { 1, 4 }));
    EXPECT_EQ(columns(5), (std::vector<int> { 0, 1, 4 })) << "a distance of exactly the tolerance is in";
    EXPECT_EQ(columns(6), (std::vector<int> { 0, 1, 2, 4 }));
    EXPECT_EQ(columns(440), (std::vector<int> { 0, 1, 2, 4 })) << "white is 441.67 from black";
    EXPECT_EQ(columns(441), (std::vector<int> { 0, 1, 2, 3, 4 })) << "the top of the range takes in all";
    EXPECT_EQ(columns(-1), (std::vector<int> {}));
    EXPECT_EQ(t.LastIndex, -1);
    EXPECT_TRUE(TTraceLine::WithinTolerance(3, 4, 0, qRgb(0, 0, 0), 5));
    EXPECT_FALSE(TTraceLine::WithinTolerance(3, 4, 0, qRgb(0, 0, 0), 4));
    EXPECT_TRUE(TTraceLine::WithinTolerance(10, 13, 12, qRgb(13, 9, 12), 5));
    EXPECT_FALSE(TTraceLine::WithinTolerance(10, 13, 12, qRgb(13, 9, 13), 5));

    // 441 takes in every pixel whatever the colour, from the farthest corner
    // of the cube to the nearest; so does anything larger.
    QImage corners = filled(8, 1, 0, 0, 0);
    for (int i = 0; i < 8; ++i)
        put(corners, i, 0, (i & 1) ? 255 : 0, (i & 2) ? 255 : 0, (i & 4) ? 255 : 0);
    for (QRgb colour : { qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(255, 0, 128) }) {
        t.LineColour = colour;
        for (int tolerance : { 441, 100000, 2147483647 }) {
            t.Tolerance = tolerance;
            EXPECT_EQ(t.TraceAll(corners, 0, 0, 7, 0).size(), 8u) << tolerance;
            EXPECT_EQ(t.TraceAverage(corners, 0, 0, 7, 0).size(), 8u) << tolerance;
        }
    }
    // 440 leaves out the farthest corner only: from white, black is 441.67 away.
    t.LineColour = qRgb(255, 255, 255);
    t.Tolerance = 440;
    EXPECT_EQ(t.TraceAll(corners, 0, 0, 7, 0).size(), 7u);
    EXPECT_EQ(t.Points.front(), (TXYData { 1, 0 }));
    // The colour's alpha byte plays no part.
    t.LineColour = qRgba(0, 0, 0, 0);
    t.Tolerance = 0;
    EXPECT_EQ(t.TraceAll(corners, 0, 0, 7, 0), (std::vector<TXYData> { { 0, 0 } }));
}

namespace {

// A plotted graph: grid, axes, tick labels, a legend and three curves of
// different colours and widths, anti-aliased.
QImage plottedGraph(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 200, 200), 1));
    for (int x = 40; x < width; x += 37)
        p.drawLine(x, 10, x, height - 30);
    for (int y = 10; y < height - 30; y += 29)
        p.drawLine(40, y, width - 5, y);
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(40, height - 30, width - 5, height - 30);
    p.drawLine(40, 10, 40, height - 30);
    p.setFont(QFont(QStringLiteral("IPAPGothic"), 9));
    for (int i = 0; i < 5; ++i)
        p.drawText(30 + i * 60, height - 12, QString::number(i * 25));
    const QColor colours[3] = { QColor(200, 30, 40), QColor(20, 60, 210), QColor(30, 150, 60) };
    const double widths[3] = { 1, 2.5, 4 };
    for (int k = 0; k < 3; ++k) {
        QPainterPath curve;
        for (int x = 40; x < width - 5; ++x) {
            const double y = height / 2.0 + (height / 3.0) * std::sin(x * (0.02 + 0.011 * k) + k);
            x == 40 ? curve.moveTo(x, y) : curve.lineTo(x, y);
        }
        p.setPen(QPen(colours[k], widths[k]));
        p.drawPath(curve);
        p.drawText(width - 80, 20 + 14 * k, QStringLiteral("系列 %1").arg(k + 1));
    }
    p.end();
    return image;
}

// The rule pixel by pixel: columns x with x mod interval = 0, rows top to
// bottom, the brightness or colour test on each.
std::vector<TXYData> plainTrace(const QImage& image, const TTraceLine& t, bool average, QRect r)
{
    std::vector<TXYData> points;
    const int limit = TTraceLine::SquaredTolerance(t.Tolerance);
    for (int x = r.left(); x <= r.right(); ++x) {
        if (x % t.ScanInterval != 0)
            continue;
        int64_t count = 0, sum = 0;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const uchar* p = image.constScanLine(y) + 3 * x;
            const int dr = p[0] - qRed(t.LineColour), dg = p[1] - qGreen(t.LineColour),
                      db = p[2] - qBlue(t.LineColour);
            const bool member = t.Mode == TraceMode::Colour
                ? dr * dr + dg * dg + db * db <= limit
                : TTraceLine::Brightness(p[0], p[1], p[2]) < t.BoundColor;
            if (!member)
                continue;
            if (!average)
                points.push_back({ x, y });
            ++count;
            sum += y;
        }
        if (average && count > 0)
            points.push_back({ x, int32_t(std::nearbyint(double(sum) / double(count))) });
    }
    return points;
}

} // namespace

TEST(TraceLine, SameAsThePlainRuleOnDrawnGraphsAndTheirJpegCopies)
{
    const QImage drawn = plottedGraph(333, 217);
    QByteArray jpeg;
    ASSERT_TRUE(encodeJpeg(drawn, jpeg));
    QImage copy;
    ASSERT_TRUE(decodeJpeg(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()), copy));
    const QRect regions[] = { QRect(0, 0, 333, 217), QRect(7, 3, 301, 190), QRect(41, 20, 17, 50) };
    int found = 0;
    for (const QImage* image : std::array<const QImage*, 2> { &drawn, &copy }) {
        for (const int interval : { 1, 3 }) {
            for (const QRect& region : regions) {
                TTraceLine t;
                t.ScanInterval = interval;
                const auto check = [&](const std::string& what) {
                    for (const bool average : { false, true }) {
                        const auto& got = average ? t.TraceAverage(*image, region.left(), region.top(),
                                              region.right(), region.bottom())
                                                  : t.TraceAll(*image, region.left(), region.top(),
                                                      region.right(), region.bottom());
                        const std::vector<TXYData> expected = plainTrace(*image, t, average, region);
                        ASSERT_EQ(got, expected)
                            << what << " average " << average << " interval " << interval;
                        found += int(got.size());
                    }
                };
                for (const int bound : { 0, 1, 60, 77, 127, 160, 200, 240, 254, 255, 300 }) {
                    t.BoundColor = bound;
                    check("bound " + std::to_string(bound));
                }
                t.Mode = TraceMode::Colour;
                for (const QRgb colour : { qRgb(200, 30, 40), qRgb(20, 60, 210), qRgb(30, 150, 60),
                         qRgb(0, 0, 0), qRgb(255, 255, 255), qRgb(128, 128, 128) })
                    for (const int tolerance : { -1, 0, 1, 10, 60, 120, 300, 440, 441 }) {
                        t.LineColour = colour;
                        t.Tolerance = tolerance;
                        check("colour " + std::to_string(colour) + " tolerance " + std::to_string(tolerance));
                    }
            }
        }
    }
    EXPECT_GT(found, 1000000); // the cases found lines, not only empty pages
}
