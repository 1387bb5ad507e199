// The overview's geometry and marks, the range frame and the scope picture.
#include "TestPictures.h"

#include "image/ImageSet.h"
#include "image/Overview.h"
#include "worksheet/OverviewMarks.h"

#include <gtest/gtest.h>

using namespace cvg;
using cvg::test::patternPicture;

namespace {

// The picture as rows of characters: '.' white, 'r' red, 'b' blue, '?' anything else.
std::vector<std::string> charMap(const QImage& image)
{
    std::vector<std::string> rows;
    for (int row = 0; row < image.height(); ++row) {
        std::string line;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, row) & 0xFFFFFF;
            line += c == 0xFFFFFF ? '.' : c == 0xFF0000 ? 'r' : c == 0x0000FF ? 'b' : '?';
        }
        rows.push_back(line);
    }
    return rows;
}

} // namespace

TEST(OverviewTest, GeometryIsAQuarterOfTheScreenInProportion)
{
    const std::optional<OverviewGeometry> g = overviewGeometry(1920, QSize(1200, 800));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, 480);
    EXPECT_EQ(g->height, 320);
    EXPECT_DOUBLE_EQ(g->sx, 0.4);
    EXPECT_DOUBLE_EQ(g->sy, 0.4);
    // The width is the screen's divided by 4 without remainder.
    EXPECT_EQ(overviewGeometry(1023, QSize(255, 255))->width, 255);
    // Halves of the height go to the even neighbour: 480 x 3 / 960 = 1.5, 480 x 5 / 960 = 2.5.
    EXPECT_EQ(overviewGeometry(1920, QSize(960, 3))->height, 2);
    EXPECT_EQ(overviewGeometry(1920, QSize(960, 5))->height, 2);
    EXPECT_EQ(overviewGeometry(1920, QSize(960, 7))->height, 4);
    EXPECT_DOUBLE_EQ(overviewGeometry(1920, QSize(960, 5))->sy, 0.4);
    // Nothing to reduce, or nothing left after reducing.
    EXPECT_FALSE(overviewGeometry(1920, QSize(0, 0)));
    EXPECT_FALSE(overviewGeometry(1920, QSize(32768, 1)));
    EXPECT_FALSE(overviewGeometry(3, QSize(100, 100)));

    const QImage source = patternPicture(1200, 800);
    const QImage overview = makeOverviewPicture(source, *g);
    ASSERT_EQ(overview.size(), QSize(480, 320));
    EXPECT_EQ(overview.format(), kPictureFormat);
    EXPECT_EQ(overview.pixel(100, 40), source.pixel(250, 100));
    EXPECT_TRUE(makeOverviewPicture(source, OverviewGeometry {}).isNull());
}

TEST(OverviewTest, FrameDropScrollsByIntegerArithmetic)
{
    EXPECT_EQ(frameDropScroll(100, 1200, 480), 250);
    EXPECT_EQ(frameDropScroll(101, 1200, 480), 252); // 252.5, remainder dropped
    EXPECT_EQ(frameDropScroll(0, 1200, 480), 0);
    EXPECT_EQ(frameDropScroll(-3, 1200, 480), -7); // dragged beyond the left edge
    EXPECT_EQ(frameDropScroll(100, 1200, 0), 0);
    // The product is formed first, in 64 bits.
    EXPECT_EQ(frameDropScroll(2000000, 30000, 480), 125000000);
    // And back: the frame shows where the view stands.
    EXPECT_EQ(frameOffsetForScroll(250, 1200, 480), 100);
    EXPECT_EQ(frameOffsetForScroll(0, 1200, 480), 0);
    EXPECT_EQ(frameOffsetForScroll(5, 1200, 480), 2);
    EXPECT_EQ(frameOffsetForScroll(5, 0, 480), 0);
}

TEST(OverviewTest, RangeFrameFollowsTheVisibleArea)
{
    const ScrollBarInfo bar16 { 16, true };
    EXPECT_EQ(rangeFrameSize(QSize(800, 600), bar16, bar16, 0.4, 0.4), QSize(314, 234)); // 313.6, 233.6
    // A visible bar without a thickness counts as 16; a hidden one as nothing.
    EXPECT_EQ(rangeFrameSize(QSize(800, 600), { 0, true }, { 0, false }, 0.4, 0.4), QSize(314, 240));
    // Halves go to the even neighbour: 21 x 0.5 = 10.5, 23 x 0.5 = 11.5.
    EXPECT_EQ(rangeFrameSize(QSize(37, 39), bar16, bar16, 0.5, 0.5), QSize(10, 12));
    EXPECT_EQ(rangeFrameSize(QSize(10, 10), bar16, bar16, 0.4, 0.4), QSize(0, 0));

    const QImage frame = makeRangeFrame(QSize(5, 4));
    ASSERT_EQ(frame.format(), kPictureFormat);
    EXPECT_EQ(charMap(frame), (std::vector<std::string> { "rrrrr", "r...r", "r...r", "rrrrr" }));
    EXPECT_EQ(charMap(makeRangeFrame(QSize(1, 2))), (std::vector<std::string> { "r", "r" }));
    EXPECT_EQ(makeRangeFrame(QSize(0, 0)).size(), QSize(0, 0));
}

TEST(OverviewTest, PointsAreTwoByTwoRedSquaresOnTheScaledPosition)
{
    QImage overview = newPicture(8, 6);
    // Main picture 16 rows high, scale 0.5: point (6, Y 10) is row 6, overview (3, 3).
    // Point (5, Y 11): 2.5 and 2.5 go to 2; point (0, Y 16) sits in the corner;
    // the last lies outside and the one after the count is not drawn.
    const std::vector<Point> points = { { 6, 10 }, { 5, 11 }, { 0, 16 }, { 100, -50 }, { 14, 4 } };
    drawOverviewPoints(overview, points, 4, 16, 0.5, 0.5);
    EXPECT_EQ(charMap(overview),
        (std::vector<std::string> {
            "r.......",
            ".rr.....",
            ".rrr....",
            "..rr....",
            "........",
            "........",
        }));
    QImage untouched = newPicture(8, 6);
    drawOverviewPoints(untouched, points, 0, 16, 0.5, 0.5);
    EXPECT_EQ(untouched.pixel(2, 2) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(OverviewTest, CorrectionFrameIsABlueOutlineBetweenUpperAndRight)
{
    QImage overview = newPicture(10, 8);
    Calibration cal;
    // Picture 16 rows high, scale 0.5: YUpper (2, Y 14) -> (1, 1), XRight (14, Y 4) -> (7, 6).
    cal.CorrectedPoints[YUpper] = { 2, 14, 100 };
    cal.CorrectedPoints[XRight] = { 14, 4, 10 };
    cal.CorrectedPoints[YLower] = { 2, 4, 0 };
    drawCorrectionFrame(overview, cal, 16, 0.5, 0.5);
    EXPECT_EQ(charMap(overview),
        (std::vector<std::string> {
            "..........",
            ".bbbbbbb..",
            ".b.....b..",
            ".b.....b..",
            ".b.....b..",
            ".b.....b..",
            ".bbbbbbb..",
            "..........",
        }));
    // Corners beyond the overview are clipped, not wrapped.
    QImage small = newPicture(4, 4);
    cal.CorrectedPoints[XRight] = { 100, -20, 10 };
    drawCorrectionFrame(small, cal, 16, 0.5, 0.5);
    EXPECT_EQ(charMap(small), (std::vector<std::string> { "....", ".bbb", ".b..", ".b.." }));
}

TEST(OverviewTest, ScopeEnlargesTwentyPixelsAndMarksTheCentre)
{
    EXPECT_EQ(colorFromBgr(kDefaultCrosshair), QColor(255, 128, 128));
    EXPECT_EQ(bgrFromColor(QColor(1, 2, 3)), 0x030201);
    EXPECT_EQ(bgrFromColor(colorFromBgr(0x123456)), 0x123456);

    const QImage source = patternPicture(40, 40);
    const QImage scope = makeScopeImage(source, 20, 20, kDefaultCrosshair);
    ASSERT_EQ(scope.size(), QSize(110, 110));
    ASSERT_EQ(scope.format(), kPictureFormat);
    // Scope pixel t shows source pixel centre - 10 + t x 20 div 110: blocks of 6 and 5.
    EXPECT_EQ(scope.pixel(0, 0), source.pixel(10, 10));
    EXPECT_EQ(scope.pixel(5, 5), source.pixel(10, 10));
    EXPECT_EQ(scope.pixel(6, 0), source.pixel(11, 10));
    EXPECT_EQ(scope.pixel(109, 109), source.pixel(29, 29));
    EXPECT_EQ(scope.pixel(54, 20), source.pixel(19, 13));
    // The crosshair crosses the whole picture at half its width and height.
    for (int t = 0; t < 110; ++t) {
        EXPECT_EQ(scope.pixelColor(t, 55), QColor(255, 128, 128)) << t;
        EXPECT_EQ(scope.pixelColor(55, t), QColor(255, 128, 128)) << t;
    }
    EXPECT_EQ(makeScopeImage(source, 20, 20, 0xFF0000).pixelColor(3, 55), QColor(0, 0, 255));
}

TEST(OverviewTest, ScopeSquareBeyondThePictureShowsTheBackground)
{
    const QImage source = patternPicture(40, 30);
    const QColor silver = QColor::fromRgb(kScopeBackground);
    // Centre (3, 27): columns -7..12 and rows 17..36 of the picture.
    const QImage scope = makeScopeImage(source, 3, 27, kDefaultCrosshair);
    // Column t shows picture column -7 + t x 20 div 110: t 38 is -1, t 39 is 0.
    EXPECT_EQ(scope.pixelColor(38, 10), silver);
    EXPECT_EQ(scope.pixel(39, 10), source.pixel(0, 17 + 10 * 20 / 110));
    // Row t shows picture row 17 + t x 20 div 110: t 71 is 29 (the last), t 72 is 30.
    EXPECT_EQ(scope.pixel(80, 71), source.pixel(-7 + 80 * 20 / 110, 29));
    EXPECT_EQ(scope.pixelColor(80, 72), silver);
    EXPECT_EQ(scope.pixelColor(0, 109), silver);
    // The crosshair is drawn over the background too.
    EXPECT_EQ(scope.pixelColor(0, 55), QColor(255, 128, 128));

    // Far away from the picture, or without one: background and crosshair only.
    for (const QImage& far : { makeScopeImage(source, -500, 2000, kDefaultCrosshair),
             makeScopeImage(QImage(), 5, 5, kDefaultCrosshair) }) {
        EXPECT_EQ(far.pixelColor(10, 10), silver);
        EXPECT_EQ(far.pixelColor(100, 100), silver);
        EXPECT_EQ(far.pixelColor(55, 3), QColor(255, 128, 128));
    }
}
