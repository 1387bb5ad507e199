// Lines and shapes of the metafile canvas.
#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace cvg::metafile {

// ---- Lines -------------------------------------------------------------------------

void Canvas::moveTo(QPointF p)
{
    state_.currentPosition = p;
    if (inPath_)
        path_.moveTo(snapped(toPicture(p)));
}

void Canvas::lineTo(QPointF p)
{
    const QPointF from = state_.currentPosition;
    state_.currentPosition = p;
    const QPointF a = snapped(toPicture(from));
    const QPointF b = snapped(toPicture(p));
    if (!isFinite(a) || !isFinite(b))
        return;
    if (inPath_) {
        if (path_.elementCount() == 0)
            path_.moveTo(a);
        path_.lineTo(b);
        charge(kPerElementCost);
        return;
    }
    strokePolygonDevice(QPolygonF({ a, b }), false);
}

namespace {
QPolygonF snappedPolygon(const QPolygonF& p)
{
    QPolygonF out;
    out.reserve(p.size());
    for (const QPointF& q : p)
        if (isFinite(q))
            out.append(snapped(q));
    return out;
}
} // namespace

void Canvas::polyline(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    const QPolygonF device = snappedPolygon(toPicture(points));
    if (inPath_) {
        if (device.isEmpty())
            return;
        QPainterPath figure;
        figure.addPolygon(device);
        addToPath(figure, true);
        return;
    }
    strokePolygonDevice(device, false);
}

void Canvas::polylineTo(const QPolygonF& points)
{
    if (points.isEmpty())
        return;
    QPolygonF all;
    all.reserve(points.size() + 1);
    all.append(state_.currentPosition);
    all += points;
    state_.currentPosition = points.last();
    const QPolygonF device = snappedPolygon(toPicture(all));
    if (inPath_) {
        if (device.isEmpty())
            return;
        if (path_.elementCount() == 0)
            path_.moveTo(device.first());
        for (int i = 1; i < device.size(); ++i)
            path_.lineTo(device[i]);
        charge(device.size() * kPerElementCost);
        return;
    }
    strokePolygonDevice(device, false);
}

void Canvas::polyPolyline(const std::vector<QPolygonF>& lines)
{
    for (const QPolygonF& line : lines)
        if (line.size() > 1)
            polyline(line);
}

namespace {
// Cubic pieces from a start point and groups of three points.
void addBeziers(QPainterPath& path, const QPolygonF& device, int first)
{
    for (int i = first; i + 2 < device.size(); i += 3)
        path.cubicTo(device[i], device[i + 1], device[i + 2]);
}
} // namespace

void Canvas::polyBezier(const QPolygonF& points)
{
    if (points.size() < 4)
        return;
    const QPolygonF device = toPicture(points);
    for (const QPointF& p : device)
        if (!isFinite(p))
            return;
    QPainterPath path;
    path.moveTo(device.first());
    addBeziers(path, device, 1);
    if (inPath_)
        addToPath(path, true);
    else
        strokeDevice(path);
}

void Canvas::polyBezierTo(const QPolygonF& points)
{
    if (points.size() < 3)
        return;
    QPolygonF all;
    all.append(state_.currentPosition);
    all += points;
    state_.currentPosition = points[(points.size() / 3) * 3 - 1];
    const QPolygonF device = toPicture(all);
    for (const QPointF& p : device)
        if (!isFinite(p))
            return;
    if (inPath_) {
        if (path_.elementCount() == 0)
            path_.moveTo(device.first());
        addBeziers(path_, device, 1);
        charge(device.size() * kPerElementCost);
        return;
    }
    QPainterPath path;
    path.moveTo(device.first());
    addBeziers(path, device, 1);
    strokeDevice(path);
}

void Canvas::polyDraw(const QPolygonF& points, const std::vector<uint8_t>& types)
{
    const QPolygonF device = toPicture(points);
    for (const QPointF& p : device)
        if (!isFinite(p))
            return;
    QPainterPath path;
    QPointF start = toPicture(state_.currentPosition);
    if (!isFinite(start))
        return;
    path.moveTo(start);
    const int n = int(std::min<size_t>(size_t(device.size()), types.size()));
    for (int i = 0; i < n; ++i) {
        const uint8_t type = types[size_t(i)] & 0x06;
        const bool close = types[size_t(i)] & 0x01;
        if (type == 0x06) {
            path.moveTo(device[i]);
        } else if (type == 0x02) {
            path.lineTo(device[i]);
        } else if (type == 0x04) {
            if (i + 2 >= n)
                break;
            path.cubicTo(device[i], device[i + 1], device[i + 2]);
            i += 2;
        }
        if (close)
            path.closeSubpath();
    }
    if (n > 0)
        state_.currentPosition = points[n - 1];
    if (inPath_)
        addToPath(path, false);
    else
        strokeDevice(path);
}

// ---- Closed shapes -------------------------------------------------------------------

void Canvas::polygon(const QPolygonF& points)
{
    if (points.size() < 2)
        return;
    polyPolygon({ points });
}

void Canvas::polyPolygon(const std::vector<QPolygonF>& rings)
{
    QPainterPath path;
    path.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    std::vector<QPolygonF> devices;
    for (const QPolygonF& ring : rings) {
        if (ring.size() < 2)
            continue;
        QPolygonF device = snappedPolygon(toPicture(ring));
        if (device.size() < 2)
            continue;
        path.addPolygon(device);
        path.closeSubpath();
        devices.push_back(std::move(device));
    }
    if (devices.empty())
        return;
    if (inPath_) {
        addToPath(path, true);
        return;
    }
    fillDevice(path);
    for (const QPolygonF& device : devices)
        strokePolygonDevice(device, true);
}

QRectF Canvas::adjustBox(const QRectF& box) const
{
    // Boxes are drawn in picture pixels whose right and bottom edges lie
    // outside the shape, one pixel in from the mapped corners.
    QRectF d = full().mapRect(box.normalized());
    const QPointF tl = snapped(d.topLeft());
    const QPointF br = snapped(d.bottomRight());
    d = QRectF(tl, br);
    if (d.width() > 1)
        d.setRight(d.right() - 1);
    if (d.height() > 1)
        d.setBottom(d.bottom() - 1);
    if ((state_.pen.style & kPsStyleMask) == kPsInsideFrame) {
        double width = 0;
        devicePen(width);
        const double inset = width > 1.5 ? width / 2 : 0;
        if (d.width() > 2 * inset && d.height() > 2 * inset)
            d.adjust(inset, inset, -inset, -inset);
    }
    return d;
}

void Canvas::shapeDevice(const QPainterPath& devicePath, bool fill)
{
    if (inPath_) {
        addToPath(devicePath, true);
        return;
    }
    if (fill)
        fillDevice(devicePath);
    strokeDevice(devicePath);
}

void Canvas::rectangle(const QRectF& box)
{
    QPainterPath path;
    if (axisAligned(full())) {
        const QRectF d = adjustBox(box);
        if (!isFinite(d.topLeft()) || !isFinite(d.bottomRight()))
            return;
        path.addRect(d);
    } else {
        path.addPolygon(toPicture(QPolygonF(box.normalized())));
        path.closeSubpath();
    }
    shapeDevice(path, true);
}

void Canvas::roundRect(const QRectF& box, QSizeF corner)
{
    QPainterPath path;
    if (axisAligned(full())) {
        const QRectF d = adjustBox(box);
        if (!isFinite(d.topLeft()) || !isFinite(d.bottomRight()))
            return;
        const double rx = std::min(std::abs(corner.width() * full().m11()) / 2, d.width() / 2);
        const double ry = std::min(std::abs(corner.height() * full().m22()) / 2, d.height() / 2);
        path.addRoundedRect(d, std::isfinite(rx) ? rx : 0, std::isfinite(ry) ? ry : 0);
    } else {
        QPainterPath logical;
        const QRectF n = box.normalized();
        logical.addRoundedRect(n, std::min(std::abs(corner.width()) / 2, n.width() / 2),
            std::min(std::abs(corner.height()) / 2, n.height() / 2));
        path = full().map(logical);
    }
    shapeDevice(path, true);
}

void Canvas::ellipse(const QRectF& box)
{
    QPainterPath path;
    if (axisAligned(full())) {
        const QRectF d = adjustBox(box);
        if (!isFinite(d.topLeft()) || !isFinite(d.bottomRight()))
            return;
        path.addEllipse(d);
    } else {
        QPainterPath logical;
        logical.addEllipse(box.normalized());
        path = full().map(logical);
    }
    shapeDevice(path, true);
}

// kind: 0 arc, 1 chord, 2 pie, 3 arc joined to the current position.
QPainterPath Canvas::arcPath(const QRectF& box, QPointF start, QPointF end, int kind, QPointF* endPoint) const
{
    // The arc runs counterclockwise as seen in the picture unless the
    // metafile chose clockwise; angles are measured on the ellipse from the
    // radials through the start and end points.
    const bool aligned = axisAligned(full());
    QRectF r;
    QPointF s;
    QPointF e;
    double direction = state_.arcDirection == 2 ? -1.0 : 1.0;
    if (aligned) {
        r = adjustBox(box);
        s = snapped(toPicture(start));
        e = snapped(toPicture(end));
    } else {
        r = box.normalized();
        s = start;
        e = end;
        // Seen through a mirroring mapping, the logical direction reverses.
        if (full().determinant() < 0)
            direction = -direction;
    }
    const QPointF c = r.center();
    const double rx = std::max(r.width() / 2, 1e-9);
    const double ry = std::max(r.height() / 2, 1e-9);
    auto angleOf = [&](QPointF p) {
        return std::atan2(-(p.y() - c.y()) / ry, (p.x() - c.x()) / rx) * 180.0 / std::numbers::pi;
    };
    const double a0 = angleOf(s);
    const double a1 = angleOf(e);
    double sweep = direction > 0 ? a1 - a0 : a0 - a1;
    while (sweep <= 0)
        sweep += 360.0;
    while (sweep > 360.0)
        sweep -= 360.0;
    sweep *= direction;

    QPainterPath path;
    if (kind == 2) {
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(r, a0);
        if (kind == 3) {
            const QPointF arcStart = path.currentPosition();
            path = QPainterPath();
            const QPointF cp = aligned ? snapped(toPicture(state_.currentPosition)) : state_.currentPosition;
            path.moveTo(cp);
            path.lineTo(arcStart);
        }
        path.arcTo(r, a0, sweep);
        if (kind == 1)
            path.closeSubpath();
    }
    if (endPoint) {
        QPainterPath probe;
        probe.arcMoveTo(r, a0 + sweep);
        *endPoint = probe.currentPosition();
    }
    return aligned ? path : full().map(path);
}

void Canvas::arc(const QRectF& box, QPointF start, QPointF end)
{
    const QPainterPath path = arcPath(box, start, end, 0, nullptr);
    if (inPath_)
        addToPath(path, true);
    else
        strokeDevice(path);
}

void Canvas::arcTo(const QRectF& box, QPointF start, QPointF end)
{
    QPointF endPoint;
    const QPainterPath path = arcPath(box, start, end, 3, &endPoint);
    // The current position moves to the arc's end, in logical units.
    if (axisAligned(full())) {
        bool invertible = false;
        const QTransform inverse = full().inverted(&invertible);
        if (invertible)
            state_.currentPosition = inverse.map(endPoint);
    } else {
        state_.currentPosition = endPoint;
    }
    if (inPath_)
        addToPath(path, false);
    else
        strokeDevice(path);
}

void Canvas::chord(const QRectF& box, QPointF start, QPointF end)
{
    shapeDevice(arcPath(box, start, end, 1, nullptr), true);
}

void Canvas::pie(const QRectF& box, QPointF start, QPointF end)
{
    shapeDevice(arcPath(box, start, end, 2, nullptr), true);
}

void Canvas::angleArc(QPointF center, double radius, double startDeg, double sweepDeg)
{
    if (!std::isfinite(startDeg) || !std::isfinite(sweepDeg) || !std::isfinite(radius))
        return;
    sweepDeg = std::clamp(sweepDeg, -3600.0, 3600.0);
    const QRectF r(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
    QPainterPath logical;
    logical.moveTo(state_.currentPosition);
    logical.arcTo(r, startDeg, sweepDeg);
    state_.currentPosition = logical.currentPosition();
    const QPainterPath path = full().map(logical);
    if (inPath_)
        addToPath(path, false);
    else
        strokeDevice(path);
}

void Canvas::setPixel(QPointF p, QRgb color)
{
    const QPointF d = snapped(toPicture(p));
    if (!isFinite(d) || !pictureRect_.contains(d) || !charge(kPerPrimitiveCost) || !beginDraw())
        return;
    painter_->fillRect(QRectF(d, QSizeF(1, 1)), QColor(color));
}

} // namespace cvg::metafile
