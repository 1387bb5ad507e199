#include "interpolate/InterpolateSheet.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>
#include <vector>

using namespace cvg;

namespace {

WorksheetPage pageOf(std::vector<Point> points, const QString& caption = QStringLiteral("Page0"))
{
    WorksheetPage page;
    page.caption = caption;
    page.points = std::move(points);
    return page;
}

// Records what the driver shows on the progress bar.
class RecordingProgress final : public Progress {
public:
    void begin(int minimum, int maximum) override
    {
        ++begun;
        min = minimum;
        max = maximum;
    }
    void setPosition(int position) override { positions.push_back(position); }
    void end() override { ++ended; }
    int begun = 0;
    int ended = 0;
    int min = -1;
    int max = -1;
    std::vector<int> positions;
};

const QString kLinearCaption = QString::fromUtf16(u"Page0 \u76F4\u88DC");
const QString kSplineCaption = QString::fromUtf16(u"Page0 \u66F2\u88DC");

} // namespace

TEST(InterpolateSheet, SampleDistancesOneAndSevenOnTenTwentyThirty)
{
    // Y = 100 + 2 (x - 10) up to x = 20, then 120 - (x - 20).
    const WorksheetPage page = pageOf({ { 10, 100 }, { 20, 120 }, { 30, 110 } });
    TInterpolate engine;
    NullProgress none;

    auto every = InterpolateSheet(engine, page, SheetInterpolation::Linear, 1, none);
    ASSERT_TRUE(every);
    EXPECT_EQ(every->caption, kLinearCaption);
    ASSERT_EQ(every->points.size(), 21u);
    for (int i = 0; i <= 20; ++i) {
        const int x = 10 + i;
        const int y = x <= 20 ? 100 + 2 * (x - 10) : 120 - (x - 20);
        EXPECT_EQ(every->points[size_t(i)], (Point { x, y })) << x;
    }
    EXPECT_EQ(engine.Method(), TMethod::Linear);

    auto seventh = InterpolateSheet(engine, page, SheetInterpolation::Linear, 7, none);
    ASSERT_TRUE(seventh);
    const std::vector<Point> expected { { 10, 100 }, { 17, 114 }, { 24, 116 } };
    EXPECT_EQ(seventh->points, expected) << "30 is not a multiple of 7 away from 10";

    // X = 10 .. 20 with distance 3: rows X = 10, 13, 16, 19.
    const WorksheetPage shorter = pageOf({ { 10, 0 }, { 20, 10 } });
    auto third = InterpolateSheet(engine, shorter, SheetInterpolation::Linear, 3, none);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->points, (std::vector<Point> { { 10, 0 }, { 13, 3 }, { 16, 6 }, { 19, 9 } }));
}

TEST(InterpolateSheet, ValuesRoundHalfToEven)
{
    // Halfway values 12.5 at x = 1 and 13.5 at x = 3.
    const WorksheetPage page = pageOf({ { 0, 12 }, { 2, 13 }, { 4, 14 } });
    TInterpolate engine;
    NullProgress none;
    auto result = InterpolateSheet(engine, page, SheetInterpolation::Linear, 1, none);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->points, (std::vector<Point> { { 0, 12 }, { 1, 12 }, { 2, 13 }, { 3, 14 }, { 4, 14 } }));
}

TEST(InterpolateSheet, SplinePageAndCaptionSuffixes)
{
    // h = 10, 20; D = 10, -5; sigma1 = -15 / 60 = -0.25.
    // Segment 0: 12.5 t - 0.025 t^3; segment 1: 100 + 5 t - 0.75 t^2 + 0.0125 t^3
    // (0.0125 held as a float, a little above, so 87.5 at t = 10 rounds up).
    const WorksheetPage page = pageOf({ { 0, 0 }, { 10, 100 }, { 30, 0 } });
    TInterpolate engine;
    NullProgress none;
    auto result = InterpolateSheet(engine, page, SheetInterpolation::Spline, 5, none);
    ASSERT_TRUE(result);
    EXPECT_EQ(engine.Method(), TMethod::CSpline);
    EXPECT_EQ(result->caption, kSplineCaption);
    const std::vector<Point> expected { { 0, 0 }, { 5, 59 }, { 10, 100 }, { 15, 108 }, { 20, 88 }, { 25, 48 },
        { 30, 0 } };
    EXPECT_EQ(result->points, expected);

    EXPECT_EQ(kLinearCaptionSuffix, QString::fromUtf16(u" \u76F4\u88DC"));
    EXPECT_EQ(kSplineCaptionSuffix, QString::fromUtf16(u" \u66F2\u88DC"));
    // A caption that already ends with a suffix gets a second one.
    const WorksheetPage again = pageOf({ { 0, 0 }, { 2, 2 } }, kLinearCaption);
    auto twice = InterpolateSheet(engine, again, SheetInterpolation::Linear, 1, none);
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->caption, QString::fromUtf16(u"Page0 \u76F4\u88DC \u76F4\u88DC"));
}

TEST(InterpolateSheet, NoResultForEmptyPageOrEngineError)
{
    TInterpolate engine;
    int errors = 0;
    engine.OnFPError = [&](TInterpolate&) { ++errors; };
    RecordingProgress progress;

    EXPECT_FALSE(InterpolateSheet(engine, pageOf({}), SheetInterpolation::Linear, 1, progress));
    EXPECT_FALSE(engine.Prepared()) << "an empty page does not prepare the engine";
    EXPECT_EQ(errors, 0);

    // Two points on one column: the preparation divides by zero.
    const WorksheetPage repeated = pageOf({ { 0, 0 }, { 5, 1 }, { 5, 2 }, { 9, 3 } });
    EXPECT_FALSE(InterpolateSheet(engine, repeated, SheetInterpolation::Spline, 1, progress));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(progress.begun, 0) << "nothing is evaluated";
}

TEST(InterpolateSheet, SampleDistanceIsHeldToItsRange)
{
    const WorksheetPage page = pageOf({ { 0, 0 }, { 2500, 2500 } });
    TInterpolate engine;
    NullProgress none;
    auto wide = InterpolateSheet(engine, page, SheetInterpolation::Linear, 5000, none);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->points, (std::vector<Point> { { 0, 0 }, { 1000, 1000 }, { 2000, 2000 } }));
    for (int d : { 0, -7 }) {
        auto narrow = InterpolateSheet(engine, page, SheetInterpolation::Linear, d, none);
        ASSERT_TRUE(narrow);
        EXPECT_EQ(narrow->points.size(), 2501u) << d;
    }
}

TEST(InterpolateSheet, RowsBeyondOnePageAndValuesBeyondThirtyTwoBitsAreErrors)
{
    TInterpolate engine;
    RecordingProgress progress;
    const QString tooMany
        = QString::fromUtf16(u"\u88DC\u9593\u7D50\u679C\u306E\u5EA7\u6A19\u6570\u304C"
                             u"\u30EF\u30FC\u30AF\u30B7\u30FC\u30C8\u306B\u5165\u308B"
                             u"\u4E0A\u9650 (1000000) \u3092\u8D85\u3048\u307E\u3059\u3002\r\n"
                             u"\u88DC\u9593\u70B9\u9593\u9694\u3092\u5927\u304D\u304F"
                             u"\u3057\u3066\u304F\u3060\u3055\u3044\u3002");
    // 0 .. 2,000,000 every second column: 1,000,001 rows.
    try {
        InterpolateSheet(
            engine, pageOf({ { 0, 0 }, { 2'000'000, 0 } }), SheetInterpolation::Linear, 2, progress);
        ADD_FAILURE() << "expected an error";
    } catch (const CvgError& e) {
        EXPECT_EQ(e.userText(), tooMany);
    }
    EXPECT_EQ(progress.begun, 0);

    // One column less: exactly a full page.
    auto full = InterpolateSheet(
        engine, pageOf({ { 0, 0 }, { 1'999'998, 0 } }), SheetInterpolation::Linear, 2, progress);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->points.size(), size_t(kMaxPoints));
    EXPECT_EQ(full->points.back(), (Point { 1'999'998, 0 }));
    EXPECT_EQ(progress.min, 0);
    EXPECT_EQ(progress.max, 1'999'998);
    EXPECT_EQ(progress.ended, 1);

    // The single-precision table holds 2147483647 as 2^31, which no page
    // can hold: an error instead of a wrapped value.
    RecordingProgress second;
    try {
        InterpolateSheet(engine, pageOf({ { 0, -2147483647 - 1 }, { 1, 2147483647 } }),
            SheetInterpolation::Linear, 1, second);
        ADD_FAILURE() << "expected an error";
    } catch (const CvgError& e) {
        EXPECT_EQ(e.userText(),
            QString::fromUtf16(u"\u88DC\u9593\u5024\u304C\u5EA7\u6A19\u306E"
                               u"\u7BC4\u56F2\u3092\u8D85\u3048\u307E\u3057\u305F\u3002"));
    }
    EXPECT_EQ(second.begun, 1);
    EXPECT_EQ(second.ended, 1) << "the bar is hidden on the way out";
}

TEST(InterpolateSheet, ProgressFollowsTheColumns)
{
    TInterpolate engine;
    RecordingProgress progress;
    auto result
        = InterpolateSheet(engine, pageOf({ { 3, 0 }, { 9, 6 } }), SheetInterpolation::Linear, 2, progress);
    ASSERT_TRUE(result);
    EXPECT_EQ(progress.begun, 1);
    EXPECT_EQ(progress.min, 0);
    EXPECT_EQ(progress.max, 9);
    EXPECT_EQ(progress.positions, (std::vector<int> { 3, 5, 7, 9 }));
    EXPECT_EQ(progress.ended, 1);
}

TEST(InterpolateSheet, AddsThePageOnlyWhenThereIsAResult)
{
    Worksheets sheets;
    sheets.currentPage().points = { { 10, 100 }, { 20, 120 }, { 30, 110 } };
    TInterpolate engine;
    NullProgress none;

    ASSERT_TRUE(AddInterpolatedSheet(sheets, engine, SheetInterpolation::Linear, 7, none));
    ASSERT_EQ(sheets.pageCount(), 2);
    EXPECT_EQ(sheets.currentIndex(), 1);
    EXPECT_EQ(sheets.currentPage().number, 1);
    EXPECT_EQ(sheets.currentPage().caption, kLinearCaption);
    EXPECT_EQ(sheets.currentPage().points, (std::vector<Point> { { 10, 100 }, { 17, 114 }, { 24, 116 } }));
    EXPECT_EQ(sheets.page(0).points.size(), 3u) << "the source page is untouched";

    // From the interpolated page again: the suffix is appended once more.
    ASSERT_TRUE(AddInterpolatedSheet(sheets, engine, SheetInterpolation::Spline, 1, none));
    EXPECT_EQ(sheets.pageCount(), 3);
    EXPECT_EQ(sheets.currentPage().caption, QString::fromUtf16(u"Page0 \u76F4\u88DC \u66F2\u88DC"));

    // Repeated X: the engine fails and no page is added.
    sheets.setCurrentIndex(0);
    sheets.currentPage().points = { { 1, 1 }, { 1, 2 } };
    EXPECT_FALSE(AddInterpolatedSheet(sheets, engine, SheetInterpolation::Linear, 1, none));
    EXPECT_EQ(sheets.pageCount(), 3);
    EXPECT_EQ(sheets.currentIndex(), 0);

    sheets.currentPage().points.clear();
    EXPECT_FALSE(AddInterpolatedSheet(sheets, engine, SheetInterpolation::Linear, 1, none));
    EXPECT_EQ(sheets.pageCount(), 3);
}
