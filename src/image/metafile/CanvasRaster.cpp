// Bitmaps, raster operations and gradients of the metafile canvas.
#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <QLinearGradient>
#include <algorithm>
#include <cmath>

namespace cvg::metafile {

namespace {

// The ternary raster operation's truth table is the second byte of its code.
uint32_t ropIndex(uint32_t rop)
{
    return (rop >> 16) & 0xFF;
}
bool ropUsesSource(uint32_t rop)
{
    return ((ropIndex(rop) >> 2) ^ ropIndex(rop)) & 0x33;
}
bool ropUsesPattern(uint32_t rop)
{
    return ((ropIndex(rop) >> 4) ^ ropIndex(rop)) & 0x0F;
}

QPainter::CompositionMode sourceMode(uint32_t rop)
{
    switch (ropIndex(rop)) {
    case 0xEE:
        return QPainter::RasterOp_SourceOrDestination;
    case 0x88:
        return QPainter::RasterOp_SourceAndDestination;
    case 0x66:
        return QPainter::RasterOp_SourceXorDestination;
    case 0x44:
        return QPainter::RasterOp_SourceAndNotDestination;
    case 0x33:
        return QPainter::RasterOp_NotSource;
    case 0x11:
        return QPainter::RasterOp_NotSourceAndNotDestination;
    case 0xBB:
        return QPainter::RasterOp_NotSourceOrDestination;
    case 0x99:
        return QPainter::RasterOp_NotSourceXorDestination;
    case 0x77:
        return QPainter::RasterOp_NotSourceOrNotDestination;
    case 0x22:
        return QPainter::RasterOp_NotSourceAndDestination;
    case 0xDD:
        return QPainter::RasterOp_SourceOrNotDestination;
    default: // SRCCOPY and the rest that show the source
        return QPainter::CompositionMode_SourceOver;
    }
}

QPainterPath ringPath(const QPolygonF& ring)
{
    QPainterPath path;
    path.addPolygon(ring);
    path.closeSubpath();
    return path;
}

} // namespace

void Canvas::drawImageDevice(
    const QTransform& imageToPicture, const QImage& image, const QRectF& source, uint32_t rop, double opacity)
{
    if (failed_ || image.isNull())
        return;
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    if (part.isEmpty())
        return;
    const QPolygonF corners = imageToPicture.map(QPolygonF(QRectF(part)));
    for (const QPointF& p : corners)
        if (!isFinite(p))
            return;
    const QPolygonF ring = clipRing(corners, limitBox_);
    if (ring.size() < 3)
        return;
    if (!chargeArea(ring.boundingRect(), double(part.width()) * part.height()) || !beginDraw())
        return;
    // The bitmap is a texture laid over the parallelogram it maps to, so
    // that mirrored, rotated and far-reaching placements need no extra work.
    QBrush brush(image.copy(part));
    brush.setTransform(QTransform::fromTranslate(part.x(), part.y()) * imageToPicture);
    painter_->setCompositionMode(sourceMode(rop));
    painter_->setOpacity(std::clamp(opacity, 0.0, 1.0));
    painter_->fillPath(ringPath(ring), brush);
    painter_->setOpacity(1.0);
}

void Canvas::drawBitmap(QPointF p0, QPointF p1, QPointF p2, const QImage& image, const QRectF& source,
    uint32_t rop, double opacity)
{
    if (source.width() == 0 || source.height() == 0)
        return;
    if (!ropUsesSource(rop)) {
        // An operation that ignores the source only paints the rectangle.
        patternBlt(QRectF(p0, QSizeF(p1.x() - p0.x(), p2.y() - p0.y())), rop);
        return;
    }
    QPointF d0 = toPicture(p0);
    QPointF d1 = toPicture(p1);
    QPointF d2 = toPicture(p2);
    if (std::abs(full().m12()) == 0 && std::abs(full().m21()) == 0) {
        d0 = snapped(d0);
        d1 = snapped(d1);
        d2 = snapped(d2);
    }
    const double sw = source.width();
    const double sh = source.height();
    const double a = (d1.x() - d0.x()) / sw;
    const double b = (d1.y() - d0.y()) / sw;
    const double c = (d2.x() - d0.x()) / sh;
    const double d = (d2.y() - d0.y()) / sh;
    const QTransform t(
        a, b, c, d, d0.x() - a * source.x() - c * source.y(), d0.y() - b * source.x() - d * source.y());
    drawImageDevice(t, image, source, rop, opacity);
}

void Canvas::drawBitmapUnscaled(QPointF p0, QSizeF deviceSize, const QImage& image, const QRectF& source)
{
    if (source.width() == 0 || source.height() == 0)
        return;
    const QPointF d0 = snapped(toPicture(p0));
    const QPointF origin = deviceToPicture_.map(QPointF(0, 0));
    const QPointF dx = deviceToPicture_.map(QPointF(deviceSize.width(), 0)) - origin;
    const QPointF dy = deviceToPicture_.map(QPointF(0, deviceSize.height())) - origin;
    const double sw = source.width();
    const double sh = source.height();
    const QTransform t(dx.x() / sw, dx.y() / sw, dy.x() / sh, dy.y() / sh,
        d0.x() - dx.x() / sw * source.x() - dy.x() / sh * source.y(),
        d0.y() - dx.y() / sw * source.x() - dy.y() / sh * source.y());
    drawImageDevice(t, image, source, 0x00CC0020, 1.0);
}

void Canvas::patternBlt(const QRectF& box, uint32_t rop)
{
    QPolygonF device = toPicture(QPolygonF(box.normalized()));
    for (QPointF& p : device)
        p = snapped(p);
    const QPainterPath path = ringPath(device);
    bool draws = false;
    const QBrush brush = deviceBrush(draws);
    switch (ropIndex(rop)) {
    case 0x00:
        fillDeviceWith(path, QBrush(Qt::black), QPainter::CompositionMode_SourceOver);
        return;
    case 0xFF:
        fillDeviceWith(path, QBrush(Qt::white), QPainter::CompositionMode_SourceOver);
        return;
    case 0x55:
        fillDeviceWith(path, QBrush(Qt::black), QPainter::RasterOp_NotDestination);
        return;
    case 0xAA:
        return;
    case 0x5A:
        if (draws)
            fillDeviceWith(path, brush, QPainter::RasterOp_SourceXorDestination);
        return;
    case 0x0F:
        if (draws)
            fillDeviceWith(path, brush, QPainter::RasterOp_NotSource);
        return;
    default:
        if (draws && ropUsesPattern(rop)) {
            if (state_.brush.style == kBsHatched && state_.bkMode == 2)
                fillDeviceWith(path, QBrush(QColor(state_.bkColor)), QPainter::CompositionMode_SourceOver);
            fillDeviceWith(path, brush, QPainter::CompositionMode_SourceOver);
        }
        return;
    }
}

void Canvas::gradientRect(const GradientVertex& a, const GradientVertex& b, bool vertical)
{
    QPolygonF device = toPicture(QPolygonF(QRectF(a.point, b.point).normalized()));
    for (QPointF& p : device)
        p = snapped(p);
    const QPointF start = toPicture(a.point);
    const QPointF end
        = toPicture(vertical ? QPointF(a.point.x(), b.point.y()) : QPointF(b.point.x(), a.point.y()));
    if (!isFinite(start) || !isFinite(end))
        return;
    QLinearGradient gradient(start, end);
    gradient.setColorAt(0, QColor(a.color));
    gradient.setColorAt(1, QColor(b.color));
    if (inPath_)
        return;
    fillDeviceWith(ringPath(device), QBrush(gradient), QPainter::CompositionMode_SourceOver);
}

void Canvas::gradientTriangle(const GradientVertex& a, const GradientVertex& b, const GradientVertex& c)
{
    if (inPath_)
        return;
    const QPolygonF device = toPicture(QPolygonF({ a.point, b.point, c.point }));
    const QColor mean((qRed(a.color) + qRed(b.color) + qRed(c.color)) / 3,
        (qGreen(a.color) + qGreen(b.color) + qGreen(c.color)) / 3,
        (qBlue(a.color) + qBlue(b.color) + qBlue(c.color)) / 3);
    fillDeviceWith(ringPath(device), QBrush(mean), QPainter::CompositionMode_SourceOver);
}

} // namespace cvg::metafile
