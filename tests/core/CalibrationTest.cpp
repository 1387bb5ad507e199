#include "calibration/Calibration.h"
#include "calibration/ValueText.h"

#include "ScriptedDialogs.h"

#include <gtest/gtest.h>
#include <limits>

using namespace cvg;
using cvg::test::ScriptedDialogs;

namespace {

const QString kSameY = QStringLiteral("縦軸上側と下側の座標値が同じ値を持っています");
const QString kSameX = QStringLiteral("横軸の左側と右側の座標値が同じ値を持っています");

// A calibration whose source values are typed as these texts.
Calibration withValues(const std::array<QString, 4>& texts)
{
    Calibration cal;
    for (size_t i = 0; i < 4; ++i) {
        double value = 0;
        EXPECT_TRUE(ParseValue(texts[i], value)) << texts[i].toStdString();
        cal.SourcePoints[i] = { int32_t(10 * i), int32_t(20 * i), value };
    }
    return cal;
}

// Corrected points of a graph with square axes: the Y axis in column 50 from
// y 150 to 350, the X axis in row y 150 from column 50 to 250.
Calibration corrected(double yUpper, double yLower, double xLeft, double xRight)
{
    Calibration cal;
    cal.CorrectedPoints[YUpper] = { 50, 350, yUpper };
    cal.CorrectedPoints[YLower] = { 50, 150, yLower };
    cal.CorrectedPoints[XLeft] = { 50, 150, xLeft };
    cal.CorrectedPoints[XRight] = { 250, 150, xRight };
    return cal;
}

} // namespace

TEST(Calibration, RowLabelsAndNewState)
{
    EXPECT_EQ(QString::fromUtf8(kRowLabels[YUpper]), QStringLiteral("上側"));
    EXPECT_EQ(QString::fromUtf8(kRowLabels[YLower]), QStringLiteral("下側"));
    EXPECT_EQ(QString::fromUtf8(kRowLabels[XLeft]), QStringLiteral("左側"));
    EXPECT_EQ(QString::fromUtf8(kRowLabels[XRight]), QStringLiteral("右側"));

    const Calibration fresh;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(fresh.SourcePoints[i], ReferencePoint {});
        EXPECT_EQ(fresh.CorrectedPoints[i], ReferencePoint {});
        EXPECT_EQ(fresh.ScreenPoints[i], ScreenPoint {});
    }
    EXPECT_FALSE(fresh.XLog || fresh.YLog || fresh.Converted || fresh.PointsSpecified);
    EXPECT_TRUE(fresh.Shared);
    EXPECT_EQ(fresh.ScaleX, 0);
    EXPECT_EQ(fresh.ScaleY, 0);
}

TEST(Calibration, EqualAxisValuesAreRefusedFirst)
{
    {
        // Equal Y values stop everything, whatever the X values and the log flags.
        const std::array<QString, 4> texts = { "5", "5", "1", "1" };
        Calibration cal = withValues(texts);
        cal.XLog = cal.YLog = true;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(kSameY);
        EXPECT_FALSE(ValidateCalibration(cal, texts, dialogs));
    }
    {
        const std::array<QString, 4> texts = { "5", "-5", "0.5", "5E-1" };
        const Calibration cal = withValues(texts);
        ScriptedDialogs dialogs;
        dialogs.expectInfo(kSameX);
        EXPECT_FALSE(ValidateCalibration(cal, texts, dialogs));
    }
    {
        // The same number typed differently is the same value.
        const std::array<QString, 4> texts = { "0", "0.0", "1", "2" };
        const Calibration cal = withValues(texts);
        ScriptedDialogs dialogs;
        dialogs.expectInfo(kSameY);
        EXPECT_FALSE(ValidateCalibration(cal, texts, dialogs));
    }
}

TEST(Calibration, ZeroFieldsOnLogAxesAreCountedByText)
{
    const QString suffix = QStringLiteral("の値に0が指定されています。");
    {
        const std::array<QString, 4> texts = { "0", "10", "0", "100" };
        Calibration cal = withValues(texts);
        cal.YLog = true;
        cal.XLog = true;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(QStringLiteral("上側") + suffix).expectInfo(QStringLiteral("左側") + suffix);
        EXPECT_FALSE(ValidateCalibration(cal, texts, dialogs));
        EXPECT_EQ(dialogs.shown().size(), 2u);
        EXPECT_EQ(dialogs.shown()[0].title, QStringLiteral("Curvegleaner"));
    }
    {
        const std::array<QString, 4> texts = { "10", "0", "1", "0" };
        Calibration cal = withValues(texts);
        cal.YLog = true;
        cal.XLog = true;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(QStringLiteral("下側") + suffix).expectInfo(QStringLiteral("右側") + suffix);
        EXPECT_FALSE(ValidateCalibration(cal, texts, dialogs));
    }
    {
        // Only the logarithmic axis is checked.
        const std::array<QString, 4> texts = { "0", "10", "0", "100" };
        Calibration cal = withValues(texts);
        cal.XLog = true;
        ScriptedDialogs dialogs;
        dialogs.expectInfo(QStringLiteral("左側") + suffix);
        EXPECT_FALSE(ValidateCalibration(cal, texts, dialogs));
    }
    {
        // "0.0", " 0" and "-1" are not the text "0": they pass here, and the
        // scale computation refuses them later.
        for (const QString& zeroLike :
            { QStringLiteral("0.0"), QStringLiteral(" 0"), QStringLiteral("-1") }) {
            const std::array<QString, 4> texts = { zeroLike, "10", "1", "100" };
            Calibration cal = withValues(texts);
            cal.YLog = true;
            cal.XLog = true;
            ScriptedDialogs dialogs;
            EXPECT_TRUE(ValidateCalibration(cal, texts, dialogs)) << zeroLike.toStdString();
            EXPECT_TRUE(dialogs.shown().empty());
        }
    }
    {
        const std::array<QString, 4> texts = { "0", "10", "0", "100" };
        const Calibration cal = withValues(texts);
        ScriptedDialogs dialogs;
        EXPECT_TRUE(ValidateCalibration(cal, texts, dialogs));
    }
}

TEST(Calibration, LinearAxesConvertThroughTheLowerAndLeftPoints)
{
    Calibration cal = corrected(100, 0, 0, 10);
    ASSERT_TRUE(ConvertData(cal));
    EXPECT_EQ(cal.ScaleY, 0.5);
    EXPECT_EQ(cal.ScaleX, 0.05);
    EXPECT_EQ(ConvertY(cal, 150), 0.0);
    EXPECT_EQ(ConvertY(cal, 350), 100.0);
    EXPECT_EQ(ConvertY(cal, 250), 50.0);
    EXPECT_EQ(ConvertY(cal, 0), -75.0);
    EXPECT_EQ(ConvertX(cal, 50), 0.0);
    EXPECT_EQ(ConvertX(cal, 250), 10.0);
    EXPECT_EQ(ConvertX(cal, 150), 5.0);
    EXPECT_EQ(ValueText(ConvertX(cal, 51)), QStringLiteral("0.05"));

    // Negative values and values that fall upward and to the right.
    Calibration falling = corrected(-5, 5, 3, -1);
    ASSERT_TRUE(ConvertData(falling));
    EXPECT_EQ(falling.ScaleY, -0.05);
    EXPECT_EQ(falling.ScaleX, -0.02);
    EXPECT_EQ(ConvertY(falling, 150), 5.0);
    // The stored scale is the float64 nearest to -0.05, so the far ends are
    // met to within rounding.
    EXPECT_DOUBLE_EQ(ConvertY(falling, 350), -5.0);
    EXPECT_EQ(ValueText(ConvertY(falling, 350)), QStringLiteral("-5"));
    EXPECT_EQ(ConvertX(falling, 50), 3.0);
    EXPECT_DOUBLE_EQ(ConvertX(falling, 250), -1.0);
    EXPECT_EQ(ValueText(ConvertX(falling, 250)), QStringLiteral("-1"));
    EXPECT_EQ(ValueText(ConvertX(falling, 100)), QStringLiteral("2"));

    // The conversion does not look at the accepted flag.
    EXPECT_FALSE(falling.Converted);
}

TEST(Calibration, LogarithmicAxesConvertInDecades)
{
    // X from 1 at the left to 1000 over 300 columns: 0.01 decades a column,
    // and 100 columns to the right of the left point is 10.
    Calibration cal;
    cal.XLog = true;
    cal.CorrectedPoints[YUpper] = { 20, 330, 100 };
    cal.CorrectedPoints[YLower] = { 20, 30, 0.1 };
    cal.CorrectedPoints[XLeft] = { 20, 30, 1 };
    cal.CorrectedPoints[XRight] = { 320, 30, 1000 };
    ASSERT_TRUE(ConvertData(cal));
    EXPECT_EQ(cal.ScaleX, 0.01);
    EXPECT_EQ(ConvertX(cal, 20), 1.0);
    EXPECT_EQ(ConvertX(cal, 120), 10.0);
    EXPECT_EQ(ValueText(ConvertX(cal, 220)), QStringLiteral("100"));
    EXPECT_DOUBLE_EQ(ConvertX(cal, 320), 1000.0);
    EXPECT_EQ(ValueText(ConvertX(cal, 320)), QStringLiteral("1000"));
    EXPECT_EQ(ValueText(ConvertX(cal, 70)), QStringLiteral("3.16227766016838"));
    EXPECT_EQ(ValueText(ConvertX(cal, -280)), QStringLiteral("0.001"));
    EXPECT_EQ(ValueText(ConvertX(cal, -380)), QStringLiteral("0.0001"));
    EXPECT_EQ(ValueText(ConvertX(cal, -480)), QStringLiteral("1E-5"));

    // Y on a log scale from 0.1 to 100: three decades over 300 rows.
    cal.YLog = true;
    ASSERT_TRUE(ConvertData(cal));
    EXPECT_EQ(cal.ScaleY, 0.01);
    EXPECT_EQ(ConvertY(cal, 30), 0.1);
    EXPECT_DOUBLE_EQ(ConvertY(cal, 330), 100.0);
    EXPECT_EQ(ValueText(ConvertY(cal, 330)), QStringLiteral("100"));
    EXPECT_EQ(ValueText(ConvertY(cal, 130)), QStringLiteral("1"));
}

TEST(Calibration, FailedScaleComputationKeepsThePreviousScales)
{
    const auto expectRefused = [](Calibration cal, const char* what) {
        cal.ScaleX = 7;
        cal.ScaleY = 8;
        EXPECT_FALSE(ConvertData(cal)) << what;
        EXPECT_EQ(cal.ScaleX, 7) << what;
        EXPECT_EQ(cal.ScaleY, 8) << what;
    };
    Calibration logZero = corrected(0, 10, 1, 100);
    logZero.YLog = true;
    expectRefused(logZero, "log of zero on Y");
    Calibration logNegative = corrected(100, 10, -1, 100);
    logNegative.XLog = true;
    expectRefused(logNegative, "log of a negative value on X, Y fine");
    Calibration logLowerZero = corrected(100, 0, 1, 100);
    logLowerZero.YLog = true;
    expectRefused(logLowerZero, "log of zero for the lower point");

    Calibration sameRow = corrected(100, 0, 0, 10);
    sameRow.CorrectedPoints[YUpper].y = sameRow.CorrectedPoints[YLower].y;
    expectRefused(sameRow, "both Y points on one row");
    Calibration sameColumn = corrected(100, 0, 0, 10);
    sameColumn.CorrectedPoints[XRight].x = sameColumn.CorrectedPoints[XLeft].x;
    expectRefused(sameColumn, "both X points in one column");

    // A scale beyond float64 would turn every value into infinity.
    Calibration huge = corrected(1e308, -1e308, 0, 10);
    huge.CorrectedPoints[YUpper].y = huge.CorrectedPoints[YLower].y + 1;
    expectRefused(huge, "scale overflow");

    // Positions at the ends of int32: the pixel difference must not overflow.
    Calibration far = corrected(1, 0, 0, 1);
    far.CorrectedPoints[YUpper].y = std::numeric_limits<int32_t>::max();
    far.CorrectedPoints[YLower].y = std::numeric_limits<int32_t>::min();
    far.CorrectedPoints[XLeft].x = std::numeric_limits<int32_t>::min();
    far.CorrectedPoints[XRight].x = std::numeric_limits<int32_t>::max();
    ASSERT_TRUE(ConvertData(far));
    EXPECT_GT(far.ScaleY, 0);
    EXPECT_GT(far.ScaleX, 0);
    EXPECT_EQ(ConvertY(far, std::numeric_limits<int32_t>::max()), 1.0);
    EXPECT_EQ(ConvertX(far, std::numeric_limits<int32_t>::max()), 1.0);
}

TEST(Calibration, ResetKeepsCorrectedPointsScalesAndSharing)
{
    Calibration cal = corrected(100, 0, 0, 10);
    ASSERT_TRUE(ConvertData(cal));
    cal.SourcePoints[XRight] = { 1, 2, 3 };
    cal.ScreenPoints[YUpper] = { 4, 5 };
    cal.XLog = cal.YLog = true;
    cal.Converted = true;
    cal.PointsSpecified = true;
    cal.Shared = false;
    cal.scalePadding = { 1, 2, 3, 4, 5, 6 };
    const Calibration before = cal;

    ResetCalibration(cal);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(cal.SourcePoints[i], ReferencePoint {});
        EXPECT_EQ(cal.ScreenPoints[i], ScreenPoint {});
        EXPECT_EQ(cal.CorrectedPoints[i], before.CorrectedPoints[i]);
    }
    EXPECT_FALSE(cal.XLog || cal.YLog || cal.Converted || cal.PointsSpecified);
    EXPECT_FALSE(cal.Shared);
    EXPECT_EQ(cal.ScaleX, before.ScaleX);
    EXPECT_EQ(cal.ScaleY, before.ScaleY);
    EXPECT_EQ(cal.scalePadding, before.scalePadding);
}
