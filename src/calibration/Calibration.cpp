#include "calibration/Calibration.h"

#include "platform/Dialogs.h"

#include <cmath>
#include <cstring>

namespace cvg {

const char* const kRowLabels[4] = { "上側", "下側", "左側", "右側" };

namespace {

// Decimal logarithm as ln(v) / ln(10) in extended precision, so that the
// scales do not depend on how a library's log10 rounds.
long double decimalLog(long double v)
{
    return std::log(v) / std::log(10.0L);
}

// Counts the value fields of one axis that hold the text "0" and shows a
// message for each. The text is compared, not the number: "0.0" passes here
// and is caught by ConvertData.
int zeroFieldMessages(const std::array<QString, 4>& valueTexts, int first, int second, Dialogs& dialogs)
{
    int faults = 0;
    for (const int index : { first, second }) {
        if (valueTexts[size_t(index)] == QLatin1String("0")) {
            dialogs.info(
                QString::fromUtf8(kRowLabels[index]) + QStringLiteral("の値に0が指定されています。"));
            ++faults;
        }
    }
    return faults;
}

// One axis' scale: (value difference) / (pixel difference). Empty when a
// logarithm is taken of a non-positive value, the pixel difference is zero,
// or the result does not fit a float64.
bool axisScale(double firstValue, double secondValue, bool logarithmic, int32_t firstPixel,
    int32_t secondPixel, double& scale)
{
    long double a = firstValue;
    long double b = secondValue;
    if (logarithmic) {
        if (!(a > 0) || !(b > 0))
            return false;
        a = decimalLog(a);
        b = decimalLog(b);
    }
    // The pixel difference in 64 bits: positions read from a document can be
    // any int32.
    const int64_t divisor = int64_t(firstPixel) - int64_t(secondPixel);
    if (divisor == 0)
        return false;
    const double result = double((a - b) / (long double)divisor);
    if (!std::isfinite(result))
        return false;
    scale = result;
    return true;
}

// origin + offset x scale, offset being (pixel - originPixel), or on a
// logarithmic axis 10 to the power of that sum over log10(origin), all in
// extended precision.
double convert(const ReferencePoint& origin, long double offset, double scale, bool logarithmic)
{
    const long double steps = offset * scale;
    if (!logarithmic)
        return double((long double)origin.value + steps);
    const long double t = decimalLog(origin.value) + steps;
    return double(std::exp(t * std::log(10.0L)));
}

} // namespace

bool ValidateCalibration(const Calibration& cal, const std::array<QString, 4>& valueTexts, Dialogs& dialogs)
{
    if (cal.SourcePoints[YUpper].value == cal.SourcePoints[YLower].value) {
        dialogs.info(QStringLiteral("縦軸上側と下側の座標値が同じ値を持っています"));
        return false;
    }
    if (cal.SourcePoints[XLeft].value == cal.SourcePoints[XRight].value) {
        dialogs.info(QStringLiteral("横軸の左側と右側の座標値が同じ値を持っています"));
        return false;
    }
    int faults = 0;
    if (cal.YLog)
        faults += zeroFieldMessages(valueTexts, YUpper, YLower, dialogs);
    if (cal.XLog)
        faults += zeroFieldMessages(valueTexts, XLeft, XRight, dialogs);
    return faults == 0;
}

bool ConvertData(Calibration& cal)
{
    const auto& p = cal.CorrectedPoints;
    double scaleY = 0;
    double scaleX = 0;
    // Both scales are computed before either is stored, so that a failure
    // leaves the previous ones in place.
    if (!axisScale(p[YUpper].value, p[YLower].value, cal.YLog, p[YUpper].y, p[YLower].y, scaleY))
        return false;
    if (!axisScale(p[XLeft].value, p[XRight].value, cal.XLog, p[XLeft].x, p[XRight].x, scaleX))
        return false;
    cal.ScaleY = scaleY;
    cal.ScaleX = scaleX;
    return true;
}

// Both pixel differences are exact in extended precision (64-bit
// mantissa), so a precise position without a fraction converts bit for bit
// as its whole pixel does.
double ConvertX(const Calibration& cal, int32_t x)
{
    const ReferencePoint& origin = cal.CorrectedPoints[XLeft];
    return convert(origin, (long double)(int64_t(x) - int64_t(origin.x)), cal.ScaleX, cal.XLog);
}

double ConvertY(const Calibration& cal, int32_t y)
{
    const ReferencePoint& origin = cal.CorrectedPoints[YLower];
    return convert(origin, (long double)(int64_t(y) - int64_t(origin.y)), cal.ScaleY, cal.YLog);
}

double ConvertX(const Calibration& cal, double x)
{
    const ReferencePoint& origin = cal.CorrectedPoints[XLeft];
    return convert(origin, (long double)x - (long double)origin.x, cal.ScaleX, cal.XLog);
}

double ConvertY(const Calibration& cal, double y)
{
    const ReferencePoint& origin = cal.CorrectedPoints[YLower];
    return convert(origin, (long double)y - (long double)origin.y, cal.ScaleY, cal.YLog);
}

bool storedCalibrationDiffers(const Calibration& a, const Calibration& b)
{
    return a.SourcePoints != b.SourcePoints || a.XLog != b.XLog || a.YLog != b.YLog || a.Converted != b.Converted
        || std::memcmp(&a.ScaleX, &b.ScaleX, sizeof a.ScaleX) != 0
        || std::memcmp(&a.ScaleY, &b.ScaleY, sizeof a.ScaleY) != 0;
}

void ResetCalibration(Calibration& cal)
{
    cal.SourcePoints = {};
    cal.ScreenPoints = {};
    cal.XLog = false;
    cal.YLog = false;
    cal.PointsSpecified = false;
    cal.Converted = false;
}

} // namespace cvg
