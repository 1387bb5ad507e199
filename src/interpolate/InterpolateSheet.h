#pragma once

#include "interpolate/Interpolate.h"
#include "platform/Progress.h"
#include "worksheet/Worksheets.h"

#include <QString>
#include <QStringView>
#include <optional>
#include <vector>

namespace cvg {

// How a page is interpolated: 0 straight segments, 1 natural cubic spline.
enum class SheetInterpolation : int { Linear = 0, Spline = 1 };

// Appended to the source page's caption to name the new page.
inline constexpr QStringView kLinearCaptionSuffix = u" 直補";
inline constexpr QStringView kSplineCaptionSuffix = u" 曲補";

// The spacing in pixels between kept results.
constexpr int kMinSampleDistance = 1;
constexpr int kMaxSampleDistance = 1000;

// Shown when the interpolated rows would not fit into one page.
inline constexpr QStringView kTooManyInterpolatedRows
    = u"補間結果の座標数がワークシートに入る上限 (1000000) を超えます。\r\n補間点間隔を大きくしてください。";
// Shown when an interpolated value is not a pixel position that a page can hold.
inline constexpr QStringView kInterpolatedValueOutOfRange = u"補間値が座標の範囲を超えました。";

struct InterpolatedSheet {
    QString caption;
    std::vector<Point> points;
};

// Builds the new page for a page's points, which the caller has checked to be
// sorted by X without repeats: the engine gets the method and the points, is
// evaluated at x = first, first + d, ... up to the last point's X (d the
// sample distance, held to 1 .. 1000), and each value is rounded half to even.
// A page with precise positions is interpolated through them, and each
// computed point keeps the fraction of its value beside the rounded Y.
// No result when the page is empty or the engine reports a floating-point
// error while it is prepared (it has fired its OnFPError then). Throws
// CvgError when the rows would exceed a page or a value leaves the 32-bit
// range; nothing is changed then.
std::optional<InterpolatedSheet> InterpolateSheet(TInterpolate& engine, const WorksheetPage& page,
    SheetInterpolation method, int sampleDistance, Progress& progress);

// Interpolates the current page into a new page at the end, which becomes
// current. False, with the pages unchanged, when there is no result or the new
// page cannot be added.
bool AddInterpolatedSheet(Worksheets& sheets, TInterpolate& engine, SheetInterpolation method,
    int sampleDistance, Progress& progress);

} // namespace cvg
