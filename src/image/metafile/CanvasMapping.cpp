// The canvas's mapping: map modes, window and viewport origins and extents,
// and the world transform, combined into the one transform the drawing uses.
#include "image/metafile/Canvas.h"
#include "image/metafile/Geometry.h"

#include <algorithm>
#include <cmath>

namespace cvg::metafile {

namespace {

bool finiteTransform(const QTransform& t)
{
    const double v[] = { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() };
    for (double x : v)
        if (!std::isfinite(x))
            return false;
    const double det = t.determinant();
    return std::isfinite(det) && det != 0.0;
}

bool scalable(int mode)
{
    return mode == kMmIsotropic || mode == kMmAnisotropic;
}
bool usableExtent(QSizeF s)
{
    return std::isfinite(s.width()) && std::isfinite(s.height()) && s.width() != 0 && s.height() != 0;
}
bool usablePoint(QPointF p)
{
    return isFinite(p);
}

} // namespace


QSizeF Canvas::metricViewportExt(int mode) const
{
    double mmPerUnit = 1.0;
    switch (mode) {
    case kMmLoMetric:
        mmPerUnit = 0.1;
        break;
    case kMmHiMetric:
        mmPerUnit = 0.01;
        break;
    case kMmLoEnglish:
        mmPerUnit = 0.254;
        break;
    case kMmHiEnglish:
        mmPerUnit = 0.0254;
        break;
    case kMmTwips:
        mmPerUnit = 25.4 / 1440.0;
        break;
    default:
        return QSizeF(1, 1);
    }
    // Metric modes count y upwards.
    return QSizeF(devicePerMm_.width() * mmPerUnit, -devicePerMm_.height() * mmPerUnit);
}

void Canvas::setMapMode(int mode)
{
    if (mode < kMmText || mode > kMmAnisotropic)
        return;
    state_.mapMode = mode;
    if (mode == kMmText) {
        state_.windowExt = QSizeF(1, 1);
        state_.viewportExt = QSizeF(1, 1);
    } else if (mode != kMmIsotropic && mode != kMmAnisotropic) {
        state_.windowExt = QSizeF(1, 1);
        state_.viewportExt = metricViewportExt(mode);
    }
    // The scalable modes keep the extents they inherit.
    transformChanged();
}

void Canvas::setWindowOrg(QPointF p)
{
    if (!usablePoint(p))
        return;
    state_.windowOrg = p;
    transformChanged();
}

void Canvas::setViewportOrg(QPointF p)
{
    if (!usablePoint(p))
        return;
    state_.viewportOrg = p;
    transformChanged();
}

void Canvas::offsetWindowOrg(QPointF d)
{
    setWindowOrg(state_.windowOrg + d);
}
void Canvas::offsetViewportOrg(QPointF d)
{
    setViewportOrg(state_.viewportOrg + d);
}

void Canvas::setWindowExt(QSizeF s)
{
    if (!scalable(state_.mapMode) || !usableExtent(s))
        return;
    state_.windowExt = s;
    transformChanged();
}

void Canvas::setViewportExt(QSizeF s)
{
    if (!scalable(state_.mapMode) || !usableExtent(s))
        return;
    state_.viewportExt = s;
    transformChanged();
}

void Canvas::scaleWindowExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen == 0 || yDen == 0)
        return;
    setWindowExt(QSizeF(state_.windowExt.width() * xNum / xDen, state_.windowExt.height() * yNum / yDen));
}

void Canvas::scaleViewportExt(double xNum, double xDen, double yNum, double yDen)
{
    if (xDen == 0 || yDen == 0)
        return;
    setViewportExt(
        QSizeF(state_.viewportExt.width() * xNum / xDen, state_.viewportExt.height() * yNum / yDen));
}

void Canvas::setWorldTransform(const QTransform& t)
{
    if (!finiteTransform(t))
        return;
    state_.world = t;
    transformChanged();
}

void Canvas::modifyWorldTransform(const QTransform& t, uint32_t mode)
{
    switch (mode) {
    case 1:
        state_.world = QTransform();
        transformChanged();
        return;
    case 2:
        if (finiteTransform(t) && finiteTransform(t * state_.world))
            state_.world = t * state_.world;
        break;
    case 3:
        if (finiteTransform(t) && finiteTransform(state_.world * t))
            state_.world = state_.world * t;
        break;
    case 4:
        setWorldTransform(t);
        break;
    default:
        return;
    }
    transformChanged();
}

QTransform Canvas::pageTransform() const
{
    double sx = state_.viewportExt.width() / state_.windowExt.width();
    double sy = state_.viewportExt.height() / state_.windowExt.height();
    if (state_.mapMode == kMmIsotropic) {
        // One logical unit is equally long on both axes: the larger scale
        // shrinks to the smaller.
        const double m = std::min(std::abs(sx), std::abs(sy));
        sx = std::copysign(m, sx);
        sy = std::copysign(m, sy);
    }
    return QTransform(sx, 0, 0, sy, state_.viewportOrg.x() - state_.windowOrg.x() * sx,
        state_.viewportOrg.y() - state_.windowOrg.y() * sy);
}

const QTransform& Canvas::full() const
{
    if (!fullValid_) {
        full_ = state_.world * pageTransform() * deviceToPicture_;
        fullValid_ = true;
    }
    return full_;
}

double Canvas::linearScale() const
{
    const QTransform& t = full();
    const double det = t.m11() * t.m22() - t.m12() * t.m21();
    return std::sqrt(std::abs(det));
}

} // namespace cvg::metafile
