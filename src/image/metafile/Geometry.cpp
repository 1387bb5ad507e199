#include "image/metafile/Geometry.h"

#include <QLineF>
#include <algorithm>
#include <cmath>

namespace cvg::metafile {

bool isFinite(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

bool clipSegment(QPointF& a, QPointF& b, const QRectF& box)
{
    if (!isFinite(a) || !isFinite(b))
        return false;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = { -dx, dx, -dy, dy };
    const double q[4] = { a.x() - box.left(), box.right() - a.x(), a.y() - box.top(), box.bottom() - a.y() };
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0) {
            if (t > t1)
                return false;
            if (t > t0)
                t0 = t;
        } else {
            if (t < t0)
                return false;
            if (t < t1)
                t1 = t;
        }
    }
    const QPointF start = a;
    if (t1 < 1.0)
        b = QPointF(start.x() + t1 * dx, start.y() + t1 * dy);
    if (t0 > 0.0)
        a = QPointF(start.x() + t0 * dx, start.y() + t0 * dy);
    return true;
}

namespace {

// One edge of the box as a half-plane test and an intersection.
enum class Edge { Left, Right, Top, Bottom };

bool inside(const QPointF& p, Edge e, const QRectF& box)
{
    switch (e) {
    case Edge::Left:
        return p.x() >= box.left();
    case Edge::Right:
        return p.x() <= box.right();
    case Edge::Top:
        return p.y() >= box.top();
    case Edge::Bottom:
        return p.y() <= box.bottom();
    }
    return false;
}

QPointF crossing(const QPointF& a, const QPointF& b, Edge e, const QRectF& box)
{
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    switch (e) {
    case Edge::Left:
    case Edge::Right: {
        const double x = e == Edge::Left ? box.left() : box.right();
        const double t = (x - a.x()) / dx;
        return QPointF(x, a.y() + t * dy);
    }
    case Edge::Top:
    case Edge::Bottom: {
        const double y = e == Edge::Top ? box.top() : box.bottom();
        const double t = (y - a.y()) / dy;
        return QPointF(a.x() + t * dx, y);
    }
    }
    return a;
}

} // namespace

QPolygonF clipRing(const QPolygonF& ring, const QRectF& box)
{
    QPolygonF current;
    current.reserve(ring.size());
    for (const QPointF& p : ring)
        if (isFinite(p))
            current.append(p);
    for (Edge e : { Edge::Left, Edge::Right, Edge::Top, Edge::Bottom }) {
        if (current.isEmpty())
            break;
        QPolygonF next;
        next.reserve(current.size() + 4);
        QPointF prev = current.last();
        bool prevIn = inside(prev, e, box);
        for (const QPointF& p : current) {
            const bool in = inside(p, e, box);
            if (in != prevIn)
                next.append(crossing(prev, p, e, box));
            if (in)
                next.append(p);
            prev = p;
            prevIn = in;
        }
        current.swap(next);
    }
    return current;
}

std::vector<QPolygonF> clipPolyline(const QPolygonF& line, const QRectF& box)
{
    std::vector<QPolygonF> pieces;
    QPolygonF piece;
    for (int i = 1; i < line.size(); ++i) {
        QPointF a = line[i - 1];
        QPointF b = line[i];
        const bool endInside = isFinite(b) && box.contains(b);
        if (!clipSegment(a, b, box)) {
            if (piece.size() > 1)
                pieces.push_back(piece);
            piece.clear();
            continue;
        }
        if (piece.isEmpty() || piece.last() != a) {
            if (piece.size() > 1)
                pieces.push_back(piece);
            piece.clear();
            piece.append(a);
        }
        piece.append(b);
        if (!endInside) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (piece.size() > 1)
        pieces.push_back(piece);
    return pieces;
}

QPainterPath boundedPath(const QPainterPath& path, const QRectF& box, bool forFilling)
{
    const QRectF bounds = path.controlPointRect();
    if (std::isfinite(bounds.left()) && std::isfinite(bounds.top()) && std::isfinite(bounds.width())
        && std::isfinite(bounds.height()) && box.contains(bounds))
        return path;
    QPainterPath out;
    out.setFillRule(path.fillRule());
    const QList<QPolygonF> polygons = path.toSubpathPolygons();
    for (const QPolygonF& polygon : polygons) {
        if (forFilling) {
            const QPolygonF ring = clipRing(polygon, box);
            if (ring.size() > 2) {
                out.addPolygon(ring);
                out.closeSubpath();
            }
        } else {
            for (const QPolygonF& piece : clipPolyline(polygon, box))
                out.addPolygon(piece);
        }
    }
    return out;
}

double pathCost(const QPainterPath& path, double width, bool fill, const QRectF& picture)
{
    const double diagonal = std::hypot(picture.width(), picture.height()) + 2;
    double cost = kPerPrimitiveCost + path.elementCount() * kPerElementCost;
    for (int i = 1; i < path.elementCount(); ++i) {
        const QPainterPath::Element b = path.elementAt(i);
        if (b.isMoveTo())
            continue;
        const QPainterPath::Element a = path.elementAt(i - 1);
        if (fill)
            cost += std::min(std::abs(b.y - a.y), picture.height() + 2);
        else
            cost += std::min(std::hypot(b.x - a.x, b.y - a.y), diagonal) * std::max(1.0, width);
    }
    if (fill) {
        const QRectF area = path.controlPointRect().intersected(picture);
        cost += std::max(0.0, area.width()) * std::max(0.0, area.height());
    }
    return cost;
}

double polylineCost(const QPolygonF& points, double width, const QRectF& picture)
{
    const double diagonal = std::hypot(picture.width(), picture.height()) + 2;
    double cost = kPerPrimitiveCost + points.size() * kPerElementCost;
    for (int i = 1; i < points.size(); ++i)
        cost += std::min(QLineF(points[i - 1], points[i]).length(), diagonal) * std::max(1.0, width);
    return cost;
}

} // namespace cvg::metafile
