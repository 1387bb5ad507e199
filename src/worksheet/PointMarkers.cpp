#include "worksheet/PointMarkers.h"

#include "image/ImageSet.h"
#include "platform/Progress.h"

#include <algorithm>
#include <cstdlib>

namespace cvg {

namespace {

inline void putPixel(QImage& image, int x, int y, QRgb c)
{
    if (x < 0 || y < 0 || x >= image.width() || y >= image.height())
        return;
    uchar* p = image.scanLine(y) + 3 * x;
    p[0] = uchar(qRed(c));
    p[1] = uchar(qGreen(c));
    p[2] = uchar(qBlue(c));
}

// Fills the rows [top, bottom) and columns [left, right) clipped to the picture.
void fillRect(QImage& image, int left, int top, int right, int bottom, QRgb c)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width());
    bottom = std::min(bottom, image.height());
    for (int y = top; y < bottom; ++y) {
        uchar* p = image.scanLine(y) + 3 * left;
        for (int x = left; x < right; ++x, p += 3) {
            p[0] = uchar(qRed(c));
            p[1] = uchar(qGreen(c));
            p[2] = uchar(qBlue(c));
        }
    }
}

// A line two pixels wide: Bresenham along the major axis, each step also
// setting the neighbour across it. The end point is not drawn, as with a
// pen that moves on to the next point.
void drawWideLine(QImage& image, int x0, int y0, int x1, int y1, QRgb c)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    const bool steep = -dy > dx;
    // Far outside the picture a segment is walked only where it can be seen.
    if ((x0 < -2 && x1 < -2) || (y0 < -2 && y1 < -2) || (x0 > image.width() + 1 && x1 > image.width() + 1)
        || (y0 > image.height() + 1 && y1 > image.height() + 1))
        return;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        putPixel(image, x, y, c);
        if (steep)
            putPixel(image, x + 1, y, c);
        else
            putPixel(image, x, y + 1, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

} // namespace

void drawGeneralMarker(QImage& picture, int x, int row, int s)
{
    const int left = x - s, top = row - s, right = x + s + 1, bottom = row + s + 1;
    fillRect(picture, left, top, right, bottom, kSquareOutline);
    fillRect(picture, left + 1, top + 1, right - 1, bottom - 1, kSquareFill);
}

QImage RedrawPointMarkers(const QImage& corrected, const std::vector<Point>& points, bool join,
                          int markerSize, Progress& progress)
{
    QImage picture = toPictureFormat(corrected).copy();
    if (points.empty() || picture.isNull())
        return picture;
    const int height = picture.height();
    const int count = int(points.size());
    ProgressScope bar(progress, 0, count);
    // Coordinates far outside the picture are pulled in so the line arithmetic
    // cannot overflow; what they draw is outside anyway.
    auto clampCoord = [](int v) { return std::clamp(v, -1'000'000, 1'000'000); };
    int px = 0, py = 0;
    for (int r = 0; r < count; ++r) {
        bar.setPosition(r + 1);
        const int x = clampCoord(points[size_t(r)].X);
        const int y = clampCoord(height - clampCoord(points[size_t(r)].Y));
        if (join && r > 0)
            drawWideLine(picture, px, py, x, y, kLineColor);
        px = x;
        py = y;
        drawGeneralMarker(picture, x, y, markerSize);
    }
    return picture;
}

} // namespace cvg
