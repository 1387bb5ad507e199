// The canvas's clipping region: rectangles and paths in logical or device
// units combined by the region modes, and the clip each drawing call starts from.
#include "image/metafile/Canvas.h"
#include "image/metafile/Geometry.h"

#include <algorithm>
#include <cmath>
#include <QImage>

namespace cvg::metafile {

// ---- Clipping -------------------------------------------------------------

bool Canvas::beginDraw()
{
    if (failed_ || !painter_)
        return false;
    if (state_.clip.isEmpty())
        return false;
    // The clip is given in picture pixels, so the transform goes first.
    painter_->setTransform(QTransform());
    if (!clipApplied_ || appliedClip_ != state_.clip) {
        const QRegion whole(0, 0, picture_.width(), picture_.height());
        if (state_.clip == whole)
            painter_->setClipping(false);
        else
            painter_->setClipRegion(state_.clip);
        appliedClip_ = state_.clip;
        clipApplied_ = true;
    }
    painter_->setOpacity(1.0);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}

QRegion Canvas::regionFromDevicePath(const QPainterPath& path)
{
    const QPainterPath bounded = boundedPath(path, limitBox_, true);
    const QRect area = bounded.boundingRect().toAlignedRect().intersected(picture_.rect());
    if (area.isEmpty())
        return QRegion();
    if (!charge(double(area.width()) * area.height() + bounded.elementCount() * 8.0))
        return QRegion();
    // Rasterised exactly as a fill would be, then read back as runs of rows.
    QImage mask(area.size(), QImage::Format_Grayscale8);
    if (mask.isNull()) {
        failed_ = true;
        return QRegion();
    }
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.translate(-area.left(), -area.top());
        p.fillPath(bounded, QColor(255, 255, 255));
    }
    std::vector<QRect> rects;
    std::vector<std::pair<int, int>> previous;
    std::vector<std::pair<int, int>> runs;
    size_t bandStart = 0;
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* row = mask.constScanLine(y);
        runs.clear();
        int x = 0;
        while (x < mask.width()) {
            while (x < mask.width() && row[x] == 0)
                ++x;
            const int start = x;
            while (x < mask.width() && row[x] != 0)
                ++x;
            if (x > start)
                runs.emplace_back(start, x);
        }
        if (y > 0 && runs == previous) {
            for (size_t i = bandStart; i < rects.size(); ++i)
                rects[i].setBottom(rects[i].bottom() + 1);
            continue;
        }
        bandStart = rects.size();
        for (const auto& [a, b] : runs)
            rects.emplace_back(area.left() + a, area.top() + y, b - a, 1);
        previous = runs;
    }
    QRegion region;
    if (!rects.empty())
        region.setRects(rects.data(), int(rects.size()));
    return region;
}

QRegion Canvas::regionFromRects(const std::vector<QRectF>& rects, const QTransform& t)
{
    const bool axisAligned = t.m12() == 0 && t.m21() == 0 && !t.isRotating();
    const QRectF bound = pictureRect_.adjusted(-2, -2, 2, 2);
    if (axisAligned && rects.size() <= 64) {
        QRegion region;
        for (const QRectF& r : rects) {
            QRectF d = t.mapRect(r.normalized()).intersected(bound);
            if (d.isEmpty() || !std::isfinite(d.left()) || !std::isfinite(d.top()))
                continue;
            // Right and bottom edges are outside, as everywhere in this model.
            const int x0 = int(std::lround(d.left()));
            const int y0 = int(std::lround(d.top()));
            const int x1 = int(std::lround(d.right()));
            const int y1 = int(std::lround(d.bottom()));
            if (x1 > x0 && y1 > y0)
                region += QRegion(x0, y0, x1 - x0, y1 - y0);
        }
        return region;
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (const QRectF& r : rects) {
        const QRectF n = r.normalized();
        QPolygonF polygon = t.map(QPolygonF(n));
        // Map to a consistent orientation so that winding never cancels.
        double area2 = 0;
        for (int i = 0; i < polygon.size(); ++i) {
            const QPointF& a = polygon[i];
            const QPointF& b = polygon[(i + 1) % polygon.size()];
            area2 += a.x() * b.y() - b.x() * a.y();
        }
        if (area2 < 0)
            std::reverse(polygon.begin(), polygon.end());
        path.addPolygon(polygon);
        path.closeSubpath();
        if (!charge(16))
            return QRegion();
    }
    return regionFromDevicePath(path);
}

void Canvas::combineClip(const QRegion& region, uint32_t mode)
{
    if (failed_)
        return;
    QRegion& clip = state_.clip;
    switch (mode) {
    case kRgnAnd:
        clip &= region;
        break;
    case kRgnOr:
        clip |= region;
        break;
    case kRgnXor:
        clip ^= region;
        break;
    case kRgnDiff:
        clip -= region;
        break;
    case kRgnCopy:
        clip = region;
        break;
    default:
        return;
    }
    clip &= QRegion(0, 0, picture_.width(), picture_.height());
    charge(double(clip.rectCount()) * 16);
}

void Canvas::intersectClipRect(const QRectF& r)
{
    combineClip(regionFromRects({ r }, full()), kRgnAnd);
}

void Canvas::excludeClipRect(const QRectF& r)
{
    combineClip(regionFromRects({ r }, full()), kRgnDiff);
}

void Canvas::offsetClip(QPointF logicalOffset)
{
    const QPointF d = full().map(logicalOffset) - full().map(QPointF(0, 0));
    if (!isFinite(d))
        return;
    const double cap = 4.0 * std::max(picture_.width(), picture_.height()) + 16;
    const int dx = int(std::lround(std::clamp(d.x(), -cap, cap)));
    const int dy = int(std::lround(std::clamp(d.y(), -cap, cap)));
    state_.clip.translate(dx, dy);
    state_.clip &= QRegion(0, 0, picture_.width(), picture_.height());
}

void Canvas::selectClipRects(const std::vector<QRectF>& rects, bool deviceUnits, uint32_t mode)
{
    if (rects.empty()) {
        // No region: only a copy means anything (back to no clipping).
        if (mode == kRgnCopy)
            resetClip();
        return;
    }
    combineClip(regionFromRects(rects, deviceUnits ? deviceToPicture_ : full()), mode);
}

void Canvas::resetClip()
{
    state_.clip = QRegion(0, 0, picture_.width(), picture_.height());
}

} // namespace cvg::metafile
