// Paths and regions of the metafile canvas.
#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <QPainterPathStroker>
#include <algorithm>
#include <cmath>

namespace cvg::metafile {

// ---- Paths ----------------------------------------------------------------------------

void Canvas::beginPath()
{
    inPath_ = true;
    pathReady_ = false;
    path_ = QPainterPath();
}

void Canvas::endPath()
{
    if (!inPath_)
        return;
    inPath_ = false;
    pathReady_ = true;
}

void Canvas::abortPath()
{
    inPath_ = false;
    pathReady_ = false;
    path_ = QPainterPath();
}

void Canvas::closeFigure()
{
    if (inPath_ && path_.elementCount() > 0)
        path_.closeSubpath();
}

void Canvas::fillPath()
{
    if (!pathReady_)
        return;
    path_.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    fillDevice(path_);
    abortPath();
}

void Canvas::strokePath()
{
    if (!pathReady_)
        return;
    strokeDevice(path_);
    abortPath();
}

void Canvas::strokeAndFillPath()
{
    if (!pathReady_)
        return;
    path_.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    fillDevice(path_);
    strokeDevice(path_);
    abortPath();
}

void Canvas::widenPath()
{
    if (!pathReady_)
        return;
    double width = 0;
    const QPen pen = devicePen(width);
    if (pen.style() == Qt::NoPen)
        return;
    const QPainterPath bounded = boundedPath(path_, limitBox_, false);
    if (!charge(pathCost(bounded, width, false, pictureRect_)))
        return;
    QPainterPathStroker stroker(pen);
    stroker.setWidth(std::max(1.0, width));
    path_ = stroker.createStroke(bounded);
    path_.setFillRule(Qt::WindingFill);
}

void Canvas::selectClipPath(uint32_t mode)
{
    if (!pathReady_)
        return;
    path_.setFillRule(state_.polyFillMode == 2 ? Qt::WindingFill : Qt::OddEvenFill);
    combineClip(regionFromDevicePath(path_), mode);
    abortPath();
}

// ---- Regions -----------------------------------------------------------------------------

void Canvas::fillRegion(const Region& region, const Brush& brush)
{
    const Brush kept = state_.brush;
    state_.brush = brush;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addRegion(regionFromRects(region.rects, full()));
    if (!path.isEmpty()) {
        // Regions are filled whatever the mix mode.
        const uint32_t rop = state_.rop2;
        state_.rop2 = 13;
        fillDevice(path);
        state_.rop2 = rop;
    }
    state_.brush = kept;
}

void Canvas::frameRegion(const Region& region, const Brush& brush, QSizeF frameSize)
{
    const QRegion whole = regionFromRects(region.rects, full());
    const QPointF d = full().map(QPointF(frameSize.width(), frameSize.height())) - full().map(QPointF(0, 0));
    if (!isFinite(d))
        return;
    const double cap = std::max(picture_.width(), picture_.height()) + 2.0;
    const int fx = std::max(1, int(std::lround(std::min(std::abs(d.x()), cap))));
    const int fy = std::max(1, int(std::lround(std::min(std::abs(d.y()), cap))));
    const QRegion inner = whole & whole.translated(fx, 0) & whole.translated(-fx, 0) & whole.translated(0, fy)
        & whole.translated(0, -fy);
    QPainterPath path;
    path.addRegion(whole - inner);
    const Brush kept = state_.brush;
    state_.brush = brush;
    fillDevice(path);
    state_.brush = kept;
}

void Canvas::invertRegion(const Region& region)
{
    QPainterPath path;
    path.addRegion(regionFromRects(region.rects, full()));
    if (!path.isEmpty())
        fillDeviceWith(path, QBrush(Qt::black), QPainter::RasterOp_NotDestination);
}

} // namespace cvg::metafile
