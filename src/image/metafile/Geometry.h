#pragma once

#include <QPainterPath>
#include <QPolygonF>
#include <QRectF>
#include <QTransform>
#include <cmath>
#include <vector>

namespace cvg::metafile {

// Clipping of device-space geometry to a generous box around the picture, so
// that absurd coordinates from a damaged or hostile file never reach the
// rasterizer (which would be slow or lose precision far outside the picture).

bool isFinite(const QPointF& p);

// Liang-Barsky: false when the segment misses the box; else a and b are cut.
bool clipSegment(QPointF& a, QPointF& b, const QRectF& box);

// Sutherland-Hodgman against the (convex) box. The winding number of every
// point inside the box is kept, so fills under either fill rule stay right.
QPolygonF clipRing(const QPolygonF& ring, const QRectF& box);

// An open polyline cut into the pieces that lie inside the box.
std::vector<QPolygonF> clipPolyline(const QPolygonF& line, const QRectF& box);

// A path whose points are all finite and inside the box: the path itself when
// it already is, else its flattened subpaths clipped (as rings for filling or
// as polylines for stroking). An empty path when nothing is left.
QPainterPath boundedPath(const QPainterPath& path, const QRectF& box, bool forFilling);

// Picture coordinates rounded to whole pixels, as the platform's device
// coordinates are.
inline QPointF snapped(QPointF p)
{
    return QPointF(std::nearbyint(p.x()), std::nearbyint(p.y()));
}

// True for a mapping without rotation or shear.
inline bool axisAligned(const QTransform& t)
{
    return t.m12() == 0 && t.m21() == 0;
}

// Work accounting: what drawing costs in touched pixels, roughly.
constexpr double kPerElementCost = 8.0;
constexpr double kPerPrimitiveCost = 32.0;

// A path in picture pixels: its length (times the pen width) for a stroke,
// the rows its edges cross plus its area for a fill.
double pathCost(const QPainterPath& path, double width, bool fill, const QRectF& picture);
double polylineCost(const QPolygonF& points, double width, const QRectF& picture);

} // namespace cvg::metafile
