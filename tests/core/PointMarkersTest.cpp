// The points drawn over the corrected picture in the main view.
#include "TestPictures.h"

#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "worksheet/PointMarkers.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <gtest/gtest.h>
#include <random>

using namespace cvg;
using cvg::test::differingPixels;

namespace {

struct RecordingProgress final : Progress {
    int begins = 0, ends = 0, minimum = -1, maximum = -1, last = -1;
    void begin(int lo, int hi) override { ++begins, minimum = lo, maximum = hi; }
    void setPosition(int p) override { last = p; }
    void end() override { ++ends; }
};

QColor at(const QImage& image, int x, int row) { return image.pixelColor(x, row); }

const QColor kWhite(255, 255, 255), kRed(250, 0, 0), kFill(0, 255, 0), kOutline(0, 128, 0);

} // namespace

TEST(PointMarkersTest, SquaresAreTwoSPlusOneWideAndCentred)
{
    const QImage corrected = newPicture(40, 40);
    NullProgress none;
    const QImage shown = RedrawPointMarkers(corrected, {{20, 20}}, true, 3, none);
    // Y 20 on a 40-row picture is row 20; the square spans columns and rows 17..23.
    int marked = 0;
    for (int row = 0; row < 40; ++row)
        for (int x = 0; x < 40; ++x)
            marked += at(shown, x, row) != kWhite;
    EXPECT_EQ(marked, 7 * 7);
    EXPECT_EQ(at(shown, 17, 17), kOutline);
    EXPECT_EQ(at(shown, 23, 23), kOutline);
    EXPECT_EQ(at(shown, 20, 17), kOutline);
    EXPECT_EQ(at(shown, 18, 18), kFill);
    EXPECT_EQ(at(shown, 20, 20), kFill);
    EXPECT_EQ(at(shown, 24, 20), kWhite);
    EXPECT_EQ(at(shown, 16, 20), kWhite);
    // Size 1 gives 3 x 3, all outline but the centre.
    const QImage small = RedrawPointMarkers(corrected, {{5, 35}}, true, 1, none);
    EXPECT_EQ(at(small, 5, 5), kFill);
    EXPECT_EQ(at(small, 4, 4), kOutline);
    EXPECT_EQ(at(small, 7, 5), kWhite);
    // The corrected picture itself is left alone.
    EXPECT_EQ(differingPixels(corrected, newPicture(40, 40)), 0);
}

TEST(PointMarkersTest, LinesRunInRowOrderAndOnlyWhenJoined)
{
    const QImage corrected = newPicture(100, 50);
    NullProgress none;
    // Not sorted by X: the line goes right, back left, then right again.
    const std::vector<Point> points = {{10, 40}, {90, 40}, {10, 10}, {90, 10}};
    const QImage joined = RedrawPointMarkers(corrected, points, true, 2, none);
    EXPECT_EQ(at(joined, 50, 10), kRed);       // first segment, row 10
    EXPECT_EQ(at(joined, 50, 25), kRed);       // the diagonal back to the left
    EXPECT_EQ(at(joined, 50, 40), kRed);       // last segment, row 40
    EXPECT_EQ(at(joined, 50, 30), kWhite);
    // Two pixels wide across a horizontal line.
    EXPECT_EQ(at(joined, 30, 11), kRed);
    EXPECT_EQ(at(joined, 30, 12), kWhite);
    EXPECT_EQ(at(joined, 30, 9), kWhite);
    // The square of a point lies over the line ending at it, and under the
    // line leaving it.
    EXPECT_EQ(at(joined, 89, 40), kFill);
    EXPECT_EQ(at(joined, 89, 10), kRed);

    const QImage squaresOnly = RedrawPointMarkers(corrected, points, false, 2, none);
    EXPECT_EQ(at(squaresOnly, 50, 10), kWhite);
    EXPECT_EQ(at(squaresOnly, 50, 25), kWhite);
    EXPECT_EQ(at(squaresOnly, 90, 40), kFill);
    int marked = 0;
    for (int row = 0; row < 50; ++row)
        for (int x = 0; x < 100; ++x)
            marked += at(squaresOnly, x, row) != kWhite;
    EXPECT_EQ(marked, 4 * 5 * 5);
}

TEST(PointMarkersTest, ProgressAndPointsOutsideThePicture)
{
    const QImage corrected = newPicture(30, 30);
    RecordingProgress progress;
    // Points on the edge and far away: clipped, never a crash.
    const std::vector<Point> points = {{0, 0}, {29, 30}, {-2000000000, 2000000000}, {2000000000, -5}, {15, 15}};
    const QImage shown = RedrawPointMarkers(corrected, points, true, 3, progress);
    EXPECT_EQ(progress.begins, 1);
    EXPECT_EQ(progress.ends, 1);
    EXPECT_EQ(progress.minimum, 0);
    EXPECT_EQ(progress.maximum, 5);
    EXPECT_EQ(progress.last, 5);
    EXPECT_EQ(shown.size(), QSize(30, 30));
    EXPECT_EQ(shown.format(), kPictureFormat);
    // Y 0 is one row below the last: the square's top rows show, clipped.
    EXPECT_EQ(at(shown, 0, 29), kFill);
    EXPECT_EQ(at(shown, 3, 29), kOutline);
    EXPECT_EQ(at(shown, 4, 29), kWhite);
    EXPECT_EQ(at(shown, 15, 15), kFill);

    // No points: a plain copy, and no progress shown.
    RecordingProgress idle;
    EXPECT_EQ(differingPixels(RedrawPointMarkers(corrected, {}, true, 3, idle), corrected), 0);
    EXPECT_EQ(idle.begins, 0);
}

namespace {

// The drawing the plain way, pixel by pixel through the picture's own
// accessors: the reference for the direct row writes.
namespace plain {

void put(QImage& image, int x, int y, QRgb c)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        image.setPixel(x, y, c);
}

void fill(QImage& image, int left, int top, int right, int bottom, QRgb c)
{
    for (int y = std::max(top, 0); y < std::min(bottom, image.height()); ++y)
        for (int x = std::max(left, 0); x < std::min(right, image.width()); ++x)
            image.setPixel(x, y, c);
}

void line(QImage& image, int x0, int y0, int x1, int y1)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    if ((x0 < -2 && x1 < -2) || (y0 < -2 && y1 < -2) || (x0 > image.width() + 1 && x1 > image.width() + 1)
        || (y0 > image.height() + 1 && y1 > image.height() + 1))
        return;
    int err = dx + dy, x = x0, y = y0;
    while (x != x1 || y != y1) {
        put(image, x, y, 0xFFFA0000);
        -dy > dx ? put(image, x + 1, y, 0xFFFA0000) : put(image, x, y + 1, 0xFFFA0000);
        const int e2 = 2 * err;
        if (e2 >= dy)
            err += dy, x += sx;
        if (e2 <= dx)
            err += dx, y += sy;
    }
}

QImage redraw(const QImage& corrected, const std::vector<Point>& points, bool join, int s)
{
    QImage image = corrected.copy();
    const auto clampCoord = [](int v) { return std::clamp(v, -1'000'000, 1'000'000); };
    int px = 0, py = 0;
    for (size_t r = 0; r < points.size(); ++r) {
        const int x = clampCoord(points[r].X), y = clampCoord(image.height() - clampCoord(points[r].Y));
        if (join && r > 0)
            line(image, px, py, x, y);
        px = x, py = y;
        fill(image, x - s, y - s, x + s + 1, y + s + 1, 0xFF008000);
        fill(image, x - s + 1, y - s + 1, x + s, y + s, 0xFF00FF00);
    }
    return image;
}

} // namespace plain

} // namespace

TEST(PointMarkersTest, SamePixelsAsPlainDrawingOnRandomPages)
{
    std::mt19937 random(11);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const QImage corrected = cvg::test::drawGraph(157, 101);
    NullProgress none;
    for (int page = 0; page < 60; ++page) {
        // Traced-like runs (neighbouring and repeated points), clicks all
        // over and past the edges, now and then a point far away.
        std::vector<Point> points;
        const int count = pick(1, 300);
        Point p { pick(-10, 170), pick(-10, 115) };
        for (int i = 0; i < count; ++i) {
            const int kind = pick(0, 399);
            if (kind < 32)
                p = { pick(-10, 170), pick(-10, 115) };
            else if (kind < 33)
                p = { pick(-2'000'000'000, 2'000'000'000), pick(-2'000'000'000, 2'000'000'000) };
            else if (kind < 280)
                p = { p.X + pick(-2, 3), p.Y + pick(-3, 3) };
            // else the same point again
            points.push_back(p);
        }
        const int s = std::array { -1, 0, 1, 2, 3, 3, 5, 9, 40 }[size_t(pick(0, 8))];
        const bool join = pick(0, 3) != 0;
        const QImage shown = RedrawPointMarkers(corrected, points, join, s, none);
        EXPECT_EQ(differingPixels(shown, plain::redraw(corrected, points, join, s)), 0)
            << "page " << page << " size " << s << " join " << join;
    }
}
