#include "trace/TraceLine.h"

#include <QImage>
#include <gtest/gtest.h>
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
