// The points drawn over the corrected picture in the main view.
#include "TestPictures.h"

#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "worksheet/PointMarkers.h"

#include <gtest/gtest.h>

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
