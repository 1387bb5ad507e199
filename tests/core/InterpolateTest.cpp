#include "interpolate/Interpolate.h"

#include <cfenv>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace cvg;

namespace {

bool prepare(TInterpolate& e, const std::vector<double>& x, const std::vector<double>& y)
{
    return e.Prepare(int(x.size()), x.data(), y.data());
}

// 2^-25: the error of three times the single-precision 1/3.
const long double kThirdError = std::ldexp(1.0L, -25);

} // namespace

TEST(Interpolate, FreshEngineDefaults)
{
    TInterpolate e;
    EXPECT_EQ(e.Method(), TMethod::Linear);
    EXPECT_EQ(e.Interval(), TInterval::Irregular);
    EXPECT_EQ(e.Capacity(), 0);
    EXPECT_EQ(e.Count(), 0);
    EXPECT_FALSE(e.Descending());
    EXPECT_FALSE(e.Prepared());
    EXPECT_TRUE(e.ErrorMessage().isEmpty());
    EXPECT_TRUE(std::isnan(e.Evaluate(1.0))) << "an engine never prepared has no value";
    EXPECT_EQ(int(TMethod::Linear), 0);
    EXPECT_EQ(int(TMethod::Square), 1);
    EXPECT_EQ(int(TMethod::CSpline), 2);
    EXPECT_EQ(int(TInterval::Irregular), 0);
    EXPECT_EQ(int(TInterval::Regular), 1);
}

TEST(Interpolate, TwoPointLineAndExtrapolation)
{
    TInterpolate e;
    ASSERT_TRUE(prepare(e, { 0, 10 }, { 0, 5 }));
    EXPECT_TRUE(e.Prepared());
    EXPECT_EQ(e.Count(), 2);
    EXPECT_EQ(e.X0(), 0.0);
    EXPECT_EQ(e.Scale(), 0.1);
    EXPECT_EQ(e.Offset(), -0.5);
    EXPECT_FALSE(e.Descending());
    EXPECT_EQ(e.Evaluate(4), 2.0L);
    EXPECT_EQ(e.Evaluate(10), 5.0L);
    EXPECT_EQ(e.Evaluate(-2), -1.0L);
    EXPECT_EQ(e.Evaluate(14), 7.0L);

    // Descending abscissas: same line, found by the mirrored bisection.
    ASSERT_TRUE(prepare(e, { 10, 0 }, { 5, 0 }));
    EXPECT_TRUE(e.Descending());
    EXPECT_EQ(e.Evaluate(4), 2.0L);
    EXPECT_EQ(e.Evaluate(-2), -1.0L);
    EXPECT_EQ(e.Evaluate(14), 7.0L);
}

TEST(Interpolate, LinearTableIsSinglePrecisionAndKnotUsesSegmentEndingThere)
{
    // Slope 1/3 is held as the float 11184811 x 2^-25. At the interior knot
    // x = 3 the segment ending there is used: 0 + 3 x slope = 1 + 2^-25,
    // while the next segment would give its stored y = 1 exactly.
    TInterpolate e;
    ASSERT_TRUE(prepare(e, { 0, 3, 6, 9 }, { 0, 1, 2, 3 }));
    EXPECT_EQ(e.LinearTable()[0].slope, 11184811.0f / 33554432.0f);
    EXPECT_EQ(e.Evaluate(3), 1.0L + kThirdError);
    EXPECT_EQ(e.Evaluate(6), 2.0L + kThirdError);
    EXPECT_EQ(e.Evaluate(0), 0.0L);
    EXPECT_EQ(e.Evaluate(9), 2.0L + 3 * (11184811.0L / 33554432.0L));

    // Regular spacing computes the segment directly: Round(3 x Scale +
    // Offset) = Round(0.5 - 2^-54) = 0, the first segment again; at x = 4.5
    // Round(1.0 - tiny) = 1, the second segment.
    e.setInterval(TInterval::Regular);
    ASSERT_TRUE(prepare(e, { 0, 3, 6, 9 }, { 0, 1, 2, 3 }));
    EXPECT_EQ(e.Evaluate(3), 1.0L + kThirdError);
    EXPECT_EQ(e.Evaluate(4.5), 1.0L + 1.5L * (11184811.0L / 33554432.0L));
    EXPECT_EQ(e.Evaluate(-3), -1.0L - kThirdError);
}

TEST(Interpolate, ThreePointSplineSigmaAndNaturalEnds)
{
    // h = 1, 2; D = 1, -0.5; sigma1 = (D1 - D0) / (2 (h0 + h1)) = -0.25.
    // Segment 0: 1.25 t - 0.25 t^3. Segment 1: 1 + 0.5 t - 0.75 t^2 + 0.125 t^3.
    TInterpolate e;
    e.setMethod(TMethod::CSpline);
    ASSERT_TRUE(prepare(e, { 0, 1, 3 }, { 0, 1, 0 }));
    const auto& t = e.SegmentTable();
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[0].b, 1.25);
    EXPECT_EQ(t[0].c, 0.0f);
    EXPECT_EQ(t[0].d, -0.25f);
    EXPECT_EQ(t[1].b, 0.5);
    EXPECT_EQ(t[1].c, -0.75f) << "c = 3 sigma1";
    EXPECT_EQ(t[1].d, 0.125f);
    EXPECT_EQ(t[2].x, 3.0);
    EXPECT_EQ(t[2].y, 0.0);

    EXPECT_EQ(e.Evaluate(0), 0.0L);
    EXPECT_EQ(e.Evaluate(1), 1.0L);
    EXPECT_EQ(e.Evaluate(3), 0.0L);
    EXPECT_EQ(e.Evaluate(0.5), 0.59375L);
    EXPECT_EQ(e.Evaluate(2), 0.875L);
    // Beyond both ends the end cubics go on.
    EXPECT_EQ(e.Evaluate(-1), -1.0L);
    EXPECT_EQ(e.Evaluate(4), -0.875L);
}

TEST(Interpolate, SplineSolvesTheTridiagonalSystem)
{
    // x = 0, 1, 3, 4; y = 0, 1, 1, 0: h = 1, 2, 1; D = 1, 0, -1.
    // 6 s1 + 2 s2 = -1 and 2 s1 + 6 s2 = -1 give s1 = s2 = -1/8.
    // Segment 0: 9/8 t - 1/8 t^3; segment 1: 1 + 3/4 t - 3/8 t^2.
    TInterpolate e;
    e.setMethod(TMethod::CSpline);
    ASSERT_TRUE(prepare(e, { 0, 1, 3, 4 }, { 0, 1, 1, 0 }));
    EXPECT_NEAR(double(e.Evaluate(0.5)), 35.0 / 64.0, 1e-7);
    EXPECT_NEAR(double(e.Evaluate(2)), 1.375, 1e-7);
    EXPECT_NEAR(double(e.Evaluate(3.5)), 35.0 / 64.0, 1e-7);
    EXPECT_NEAR(e.SegmentTable()[1].c, -0.375, 1e-7);
    EXPECT_NEAR(e.SegmentTable()[2].c, -0.375, 1e-7);

    // x = 0..3, y = 0, 1, 0, 1: 4 s1 + s2 = -2, s1 + 4 s2 = 2 give
    // s1 = -2/3, s2 = 2/3; at 0.5: 5/6 t - 2/3 t^3 = 0.75; at 1.5: 0.5.
    ASSERT_TRUE(prepare(e, { 0, 1, 2, 3 }, { 0, 1, 0, 1 }));
    EXPECT_NEAR(double(e.Evaluate(0.5)), 0.75, 1e-6);
    EXPECT_NEAR(double(e.Evaluate(1.5)), 0.5, 1e-6);
    EXPECT_NEAR(double(e.Evaluate(2.5)), 0.25, 1e-6);
    EXPECT_NEAR(e.SegmentTable()[1].c, -2.0, 1e-6);
    EXPECT_NEAR(e.SegmentTable()[2].c, 2.0, 1e-6);
}

TEST(Interpolate, SplineThroughIrregularKnotsIsSmooth)
{
    const std::vector<double> x { 3, 7, 8, 15, 16, 30, 41, 42 };
    const std::vector<double> y { 5, -2, 9, 4, 4, 20, 0, 3 };
    TInterpolate e;
    e.setMethod(TMethod::CSpline);
    ASSERT_TRUE(prepare(e, x, y));
    for (size_t i = 0; i < x.size(); ++i)
        EXPECT_NEAR(double(e.Evaluate(x[i])), y[i], 1e-4) << i;
    // First derivative continuous at every interior knot (each side measured
    // on its own piece: the single-precision c and d leave the pieces a few
    // millionths apart at the knot); the second derivative is zero at both
    // ends.
    const double h = 1e-4;
    for (size_t i = 1; i + 1 < x.size(); ++i) {
        const double left = double(e.Evaluate(x[i] - h) - e.Evaluate(x[i] - 2 * h)) / h;
        const double right = double(e.Evaluate(x[i] + 2 * h) - e.Evaluate(x[i] + h)) / h;
        EXPECT_NEAR(left, right, 1e-2) << i;
    }
    auto second = [&](double at) {
        return double(e.Evaluate(at + h) - 2 * e.Evaluate(at) + e.Evaluate(at - h)) / (h * h);
    };
    EXPECT_NEAR(second(x.front() + 2 * h), 0.0, 1e-1);
    EXPECT_NEAR(second(x.back() - 2 * h), 0.0, 1e-1);
}

TEST(Interpolate, CollinearSplineIsTheLine)
{
    TInterpolate e;
    e.setMethod(TMethod::CSpline);
    ASSERT_TRUE(prepare(e, { 0, 2, 4, 8, 16 }, { 1, 2, 3, 5, 9 }));
    for (const auto& r : e.SegmentTable()) {
        EXPECT_EQ(r.c, 0.0f);
        EXPECT_EQ(r.d, 0.0f);
    }
    for (double x : { -4.0, 0.0, 1.0, 3.0, 5.5, 12.0, 16.0, 20.0 })
        EXPECT_EQ(e.Evaluate(x), 1.0L + 0.5L * x) << x;

    // Two points: the natural spline is the straight line as well.
    ASSERT_TRUE(prepare(e, { 2, 6 }, { 1, 3 }));
    EXPECT_EQ(e.Evaluate(4), 2.0L);
    EXPECT_EQ(e.Evaluate(10), 5.0L);
    EXPECT_EQ(e.Evaluate(0), 0.0L);
}

TEST(Interpolate, SquareUsesTheParabolaOfTheNextThreePoints)
{
    // y = x^3 at 0..3. Segment 0 uses the parabola through x = 0, 1, 2
    // (3x^2 - 2x); segments 1 and 2 the one through 1, 2, 3 (6x^2 - 11x + 6).
    for (TInterval interval : { TInterval::Irregular, TInterval::Regular }) {
        TInterpolate e;
        e.setMethod(TMethod::Square);
        e.setInterval(interval);
        ASSERT_TRUE(prepare(e, { 0, 1, 2, 3 }, { 0, 1, 8, 27 }));
        EXPECT_EQ(e.Evaluate(0.5), -0.25L);
        EXPECT_EQ(e.Evaluate(1), 1.0L);
        EXPECT_EQ(e.Evaluate(1.5), 3.0L);
        EXPECT_EQ(e.Evaluate(2.5), 16.0L);
        EXPECT_EQ(e.Evaluate(3), 27.0L);
        EXPECT_EQ(e.Evaluate(-1), 5.0L);
        EXPECT_EQ(e.Evaluate(4), 58.0L);
        // Record 1: c = (7 - 1) / 2 = 3, b = 7 - 1 x 3 = 4.
        EXPECT_EQ(e.SquareTable()[1].c, 3.0);
        EXPECT_EQ(e.SquareTable()[1].b, 4.0);
    }
    // Two points: the line.
    TInterpolate e;
    e.setMethod(TMethod::Square);
    ASSERT_TRUE(prepare(e, { 0, 4 }, { 1, 3 }));
    EXPECT_EQ(e.Evaluate(2), 2.0L);
    EXPECT_EQ(e.Evaluate(-2), 0.0L);
}

TEST(Interpolate, TablesGrowAreReusedAndDiscardedBySetMethod)
{
    TInterpolate e;
    e.setMethod(TMethod::CSpline);
    ASSERT_TRUE(prepare(e, { 0, 1, 2, 3, 4 }, { 9, 9, 9, 9, 9 }));
    EXPECT_EQ(e.Capacity(), 5);
    const auto* before = e.SegmentTable().data();

    // Fewer points reuse the tables; the stale records beyond Count must not
    // leak into the result beyond the last knot.
    ASSERT_TRUE(prepare(e, { 0, 1, 2 }, { 0, 1, 2 }));
    EXPECT_EQ(e.Capacity(), 5);
    EXPECT_EQ(e.Count(), 3);
    EXPECT_EQ(e.SegmentTable().data(), before);
    EXPECT_EQ(e.Evaluate(3), 3.0L);
    EXPECT_EQ(e.Evaluate(4), 4.0L);

    // More points grow them.
    ASSERT_TRUE(prepare(e, { 0, 1, 2, 3, 4, 5, 6 }, { 0, 2, 4, 6, 8, 10, 12 }));
    EXPECT_EQ(e.Capacity(), 7);
    EXPECT_EQ(e.SegmentTable().size(), 7u);
    EXPECT_EQ(e.Evaluate(5.5), 11.0L);
    for (size_t i = 0; i < e.SegmentTable().size(); ++i)
        EXPECT_EQ(reinterpret_cast<uintptr_t>(&e.SegmentTable()[i]) % 32, 0u) << i;

    // The method setter discards them but leaves Prepared as it was; the
    // engine then answers NaN instead of reading freed tables.
    e.setMethod(TMethod::Linear);
    EXPECT_EQ(e.Capacity(), 0);
    EXPECT_TRUE(e.SegmentTable().empty());
    EXPECT_TRUE(e.Prepared());
    EXPECT_TRUE(std::isnan(e.Evaluate(1)));
    ASSERT_TRUE(prepare(e, { 0, 1, 2 }, { 0, 1, 2 }));
    EXPECT_EQ(e.Capacity(), 3);
    EXPECT_EQ(e.Evaluate(1.5), 1.5L);
}

TEST(Interpolate, FloatingPointErrorLeavesItUnprepared)
{
    TInterpolate e;
    int fired = 0;
    TInterpolate* sender = nullptr;
    e.OnFPError = [&](TInterpolate& s) {
        ++fired;
        sender = &s;
    };
    ASSERT_TRUE(prepare(e, { 0, 10, 20 }, { 0, 10, 0 }));

    // Division by zero: two points on one abscissa.
    EXPECT_FALSE(prepare(e, { 0, 5, 5, 9 }, { 0, 1, 2, 3 }));
    EXPECT_FALSE(e.Prepared());
    EXPECT_EQ(e.ErrorMessage(), QStringLiteral("Division by zero while preparing the interpolation"));
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(sender, &e);
    // Count and the rest keep the values of the last success.
    EXPECT_EQ(e.Count(), 3);
    EXPECT_EQ(e.X0(), 0.0);
    EXPECT_EQ(e.Scale(), 0.1);
    EXPECT_TRUE(std::isnan(e.Evaluate(5)));

    // 0/0 is an invalid operation.
    EXPECT_FALSE(prepare(e, { 1, 1 }, { 2, 2 }));
    EXPECT_EQ(e.ErrorMessage(),
        QStringLiteral("Invalid floating-point operation while preparing the interpolation"));
    EXPECT_EQ(fired, 2);

    // A slope beyond single precision overflows the linear table.
    EXPECT_FALSE(prepare(e, { 0, 1e-300 }, { 0, 1e300 }));
    EXPECT_EQ(e.ErrorMessage(), QStringLiteral("Overflow while preparing the interpolation"));
    EXPECT_EQ(fired, 3);

    // Too few points and values that are not finite are refused alike.
    EXPECT_FALSE(prepare(e, { 4 }, { 4 }));
    EXPECT_FALSE(prepare(e, { 0, NAN }, { 0, 1 }));
    EXPECT_FALSE(e.Prepare(3, nullptr, nullptr));
    EXPECT_EQ(fired, 6);

    // The spline meets the same guard.
    e.setMethod(TMethod::CSpline);
    EXPECT_FALSE(prepare(e, { 0, 3, 3, 5 }, { 1, 2, 3, 4 }));
    EXPECT_FALSE(e.Prepared());
    EXPECT_EQ(fired, 7);

    // The next good preparation clears the message and works again.
    ASSERT_TRUE(prepare(e, { 0, 1, 3 }, { 0, 1, 0 }));
    EXPECT_TRUE(e.ErrorMessage().isEmpty());
    EXPECT_EQ(e.Evaluate(2), 0.875L);
    EXPECT_EQ(fired, 7);
}

TEST(Interpolate, GuardKeepsTheCallersFloatingPointFlags)
{
    TInterpolate e;
    std::feclearexcept(FE_ALL_EXCEPT);
    std::feraiseexcept(FE_DIVBYZERO);
    ASSERT_TRUE(prepare(e, { 0, 1 }, { 0, 1 })) << "an old flag is no error of this preparation";
    EXPECT_NE(std::fetestexcept(FE_DIVBYZERO), 0);
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_FALSE(prepare(e, { 1, 1 }, { 0, 1 }));
    EXPECT_EQ(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW), 0);
}
