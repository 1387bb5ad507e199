// Points with precise positions: how they round, order, convert, export,
// survive editing and feed the interpolation; whole points as always.
#include "ScriptedDialogs.h"

#include "calibration/Calibration.h"
#include "interpolate/InterpolateSheet.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/EditCommands.h"
#include "worksheet/TextExport.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

// X from 0 at column 50 to 10 at 250; Y logarithmic, 1 at row 30 to 1000 at 330.
Calibration calibration()
{
    Calibration cal;
    cal.CorrectedPoints = { { { 0, 330, 1000 }, { 0, 30, 1 }, { 50, 0, 0 }, { 250, 0, 10 } } };
    cal.YLog = true;
    EXPECT_TRUE(ConvertData(cal));
    return cal;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

} // namespace

TEST(PrecisePoint, RoundsHalfToEvenAndKeepsTheRest)
{
    struct Case {
        double value;
        int32_t whole;
        int rest;
    };
    const Case cases[] = { { 2.5, 2, kHalfFraction }, { 3.5, 4, -kHalfFraction }, { -0.25, 0, -8192 },
        { 7.0, 7, 0 }, { 3.49999999, 3, kHalfFraction - 1 }, { -2.5, -2, -kHalfFraction },
        { 1e12, std::numeric_limits<int32_t>::max(), 0 }, { std::nan(""), 0, 0 } };
    for (const Case& c : cases) {
        const Point p = Point::atPrecise(c.value, c.value);
        EXPECT_EQ(p.X, c.whole) << c.value;
        EXPECT_EQ(p.fracX, c.rest) << c.value;
        EXPECT_EQ(p.Y, c.whole) << c.value;
        EXPECT_TRUE(IsValidFraction(p.X, p.fracX)) << c.value;
        if (c.rest != 0 && std::abs(c.rest) != kHalfFraction - 1) {
            EXPECT_EQ(p.preciseX(), c.value);
        }
    }
    EXPECT_FALSE(IsValidFraction(3, kHalfFraction));
    EXPECT_FALSE(IsValidFraction(2, kHalfFraction + 1));
    EXPECT_FALSE(Point({ 4, 5 }).hasFraction());
}

TEST(PrecisePoint, OrderAndValuesFollowThePrecisePosition)
{
    // Equal whole X: the precise X decides, then the precise Y.
    std::vector<Point> points = { Point::atPrecise(5.25, 1), Point::atPrecise(4.75, 9), Point::atPrecise(5.0, 3.25),
        Point::atPrecise(5.0, 3.0), { 3, 7 } };
    EXPECT_FALSE(IsSortedByX(points));
    EXPECT_TRUE(HasDuplicateX(points));
    SortByX(points);
    EXPECT_TRUE(IsSortedByX(points));
    const double xs[] = { 3, 4.75, 5, 5, 5.25 };
    const double ys[] = { 7, 9, 3, 3.25, 1 };
    for (size_t i = 0; i < points.size(); ++i) {
        EXPECT_EQ(points[i].preciseX(), xs[i]) << i;
        EXPECT_EQ(points[i].preciseY(), ys[i]) << i;
    }

    // A whole position converts bit for bit as its integer does, on linear
    // and logarithmic axes alike; a fraction converts between its neighbours.
    const Calibration cal = calibration();
    for (int v = -3000; v <= 3000; v += 7) {
        ASSERT_TRUE(sameBits(ConvertX(cal, double(v)), ConvertX(cal, int32_t(v)))) << v;
        ASSERT_TRUE(sameBits(ConvertY(cal, double(v)), ConvertY(cal, int32_t(v)))) << v;
    }
    EXPECT_DOUBLE_EQ(ConvertX(cal, 150.5), 5.025);
    EXPECT_NEAR(ConvertY(cal, 130.5), std::pow(10.0, 1.005), 1e-12);

    // The export and the value label write the precise values.
    const std::vector<Point> page = { Point::atPrecise(150.5, 130.5), { 250, 330 } };
    NullProgress progress;
    EXPECT_EQ(ExportLines(page, cal, ',', progress), QByteArray("5.025,10.115794542599\r\n10,1000\r\n"));
    EXPECT_EQ(ConvertedValueText(cal, page[0]), QStringLiteral("5.025 10.115794542599"));
}

TEST(PrecisePoint, FractionsSurviveCutPasteUndoRedoAndSort)
{
    Document doc;
    doc.reset();
    doc.state.pictureLoaded = true;
    doc.calibration.Converted = true;
    const std::vector<Point> original
        = { Point::atPrecise(10.25, 5.5), Point::atPrecise(20.75, 6.125), Point::atPrecise(30, 7.375) };
    doc.sheets.currentPage().points = original;
    ScriptedDialogs dialogs;
    auto select = [&](int a, int b) {
        doc.sheets.selectionStart = a;
        doc.sheets.selectionEnd = b;
    };
    select(2, 3);
    DataCut(doc, dialogs);
    EXPECT_EQ(doc.sheets.currentPage().points, std::vector<Point>({ original[0] }));
    select(1, 1);
    DataPaste(doc, dialogs); // before row 1, then sorted again
    EXPECT_EQ(doc.sheets.currentPage().points, original);
    NullProgress quiet;
    DataUndo(doc, quiet, dialogs);
    EXPECT_EQ(doc.sheets.currentPage().points, std::vector<Point>({ original[0] }));
    DataRedo(doc, quiet, dialogs);
    EXPECT_EQ(doc.sheets.currentPage().points, original);
    doc.sheets.currentPage().points = { original[2], original[0], original[1] };
    DataSort(doc, dialogs);
    EXPECT_EQ(doc.sheets.currentPage().points, original);
    // A page moved by inserting a page before it keeps them too.
    doc.sheets.CreateSheetPage();
    doc.sheets.page(1).points = original;
    doc.sheets.InsertSheetPage(0);
    EXPECT_EQ(doc.sheets.page(2).points, original);
}

TEST(PrecisePoint, InterpolationKeepsTheFractionsOfAPrecisePage)
{
    WorksheetPage page;
    page.caption = QStringLiteral("Page0");
    page.points = { Point::atPrecise(10, 100.25), Point::atPrecise(20.5, 121.25), Point::atPrecise(30, 110) };
    TInterpolate engine;
    NullProgress none;
    const auto result = InterpolateSheet(engine, page, SheetInterpolation::Linear, 1, none);
    ASSERT_TRUE(result);
    ASSERT_EQ(result->points.size(), 21u);
    for (const Point& p : result->points) {
        // The straight segments through the precise positions, at whole columns.
        const double x = p.X;
        const double expected = x <= 20.5 ? 100.25 + (x - 10) * 21.0 / 10.5 : 121.25 - (x - 20.5) * 11.25 / 9.5;
        EXPECT_EQ(p.fracX, 0);
        EXPECT_NEAR(p.preciseY(), expected, 1e-4) << x;
        EXPECT_EQ(p.Y, int32_t(std::nearbyint(p.preciseY()))) << x;
    }
    EXPECT_TRUE(result->points[1].hasFraction());
}
