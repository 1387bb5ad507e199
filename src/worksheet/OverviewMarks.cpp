#include "worksheet/OverviewMarks.h"

#include "image/ImageSet.h"
#include "image/Overview.h"
#include "image/PixelFill.h"

#include <algorithm>

namespace cvg {

void drawOverviewPoints(
    QImage& overview, const std::vector<Point>& points, int count, int pictureHeight, double sx, double sy)
{
    if (overview.isNull() || overview.format() != kPictureFormat)
        return;
    const size_t n = std::min(points.size(), size_t(std::max(count, 0)));
    const QRgb red = qRgb(255, 0, 0);
    for (size_t i = 0; i < n; ++i) {
        const Point& p = points[i];
        const int x = roundEven(p.X * sx);
        const int y = roundEven((double(pictureHeight) - p.Y) * sy);
        // From (x - 1, y - 1) to (x + 1, y + 1), right and bottom edges excluded.
        if (x < 0 || y < 0 || x - 1 >= overview.width() || y - 1 >= overview.height())
            continue;
        fillPictureRect(overview, x - 1, y - 1, x, y, red);
    }
}

void drawCorrectionFrame(
    QImage& overview, const Calibration& calibration, int pictureHeight, double sx, double sy)
{
    if (overview.isNull() || overview.format() != kPictureFormat)
        return;
    const ReferencePoint& a = calibration.CorrectedPoints[YUpper];
    const ReferencePoint& b = calibration.CorrectedPoints[XRight];
    const int x1 = roundEven(a.x * sx);
    const int y1 = roundEven((double(pictureHeight) - a.y) * sy);
    const int x2 = roundEven(b.x * sx);
    const int y2 = roundEven((double(pictureHeight) - b.y) * sy);
    outlinePictureRect(
        overview, std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2), qRgb(0, 0, 255));
}

} // namespace cvg
