#include "interpolate/InterpolateSheet.h"

#include "platform/Errors.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace cvg {

std::optional<InterpolatedSheet> InterpolateSheet(TInterpolate& engine, const WorksheetPage& page,
    SheetInterpolation method, int sampleDistance, Progress& progress)
{
    const bool linear = method == SheetInterpolation::Linear;
    const std::vector<Point>& points = ReadPoints(page);
    const size_t n = points.size();
    if (n == 0)
        return std::nullopt;

    // A stored setting outside the up-down's range must not divide by zero.
    const int64_t d = std::clamp(sampleDistance, kMinSampleDistance, kMaxSampleDistance);
    const int32_t first = points.front().X;
    const int32_t last = points.back().X;
    const int64_t rows = last < first ? 0 : (int64_t(last) - first) / d + 1;
    if (rows > kMaxPoints)
        throw CvgError(kTooManyInterpolatedRows.toString());

    // A page read to fractions of a pixel is interpolated through its precise
    // positions and keeps the fraction of each computed value; a page of
    // whole pixels goes through its integers and is rounded, as always.
    const bool precise = std::any_of(points.begin(), points.end(), [](const Point& p) { return p.hasFraction(); });
    std::vector<double> xs(n);
    std::vector<double> ys(n);
    for (size_t i = 0; i < n; ++i) {
        xs[i] = points[i].preciseX();
        ys[i] = points[i].preciseY();
    }
    engine.setMethod(linear ? TMethod::Linear : TMethod::CSpline);
    if (!engine.Prepare(int(n), xs.data(), ys.data()))
        return std::nullopt;

    InterpolatedSheet result;
    result.caption = page.caption;
    result.caption.append(linear ? kLinearCaptionSuffix : kSplineCaptionSuffix);
    result.points.reserve(size_t(rows));
    {
        ProgressScope scope(progress, 0, last);
        // Only every d-th value is kept, so only those are computed.
        for (int64_t i = 0; i < rows; ++i) {
            const int32_t x = int32_t(first + i * d);
            scope.setPosition(x);
            const long double value = engine.Evaluate(x);
            const long double y = std::nearbyint(value);
            if (!(y >= std::numeric_limits<int32_t>::min() && y <= std::numeric_limits<int32_t>::max()))
                throw CvgError(kInterpolatedValueOutOfRange.toString());
            result.points.push_back(precise ? Point::atPrecise(x, double(value)) : Point { x, int32_t(y) });
        }
    }
    return result;
}

bool AddInterpolatedSheet(Worksheets& sheets, TInterpolate& engine, SheetInterpolation method,
    int sampleDistance, Progress& progress)
{
    std::optional<InterpolatedSheet> result
        = InterpolateSheet(engine, sheets.currentPage(), method, sampleDistance, progress);
    if (!result)
        return false;
    // Only a page that was really added is written to.
    if (!sheets.CreateSheetPage())
        return false;
    WorksheetPage& added = sheets.currentPage();
    added.caption = std::move(result->caption);
    WritePoints(added, std::move(result->points));
    return true;
}

} // namespace cvg
