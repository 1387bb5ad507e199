#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <QImage>
#include <algorithm>
#include <cmath>

namespace cvg::metafile {

namespace {

// Saved drawing states beyond this many are not kept (real files nest a few).
constexpr size_t kMaxSavedStates = 4096;

bool finiteTransform(const QTransform& t)
{
    const double v[] = { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() };
    for (double x : v)
        if (!std::isfinite(x))
            return false;
    const double det = t.determinant();
    return std::isfinite(det) && det != 0.0;
}

} // namespace

Canvas::Canvas(QImage& picture, const QTransform& deviceToPicture, QSizeF devicePerMm)
    : picture_(picture)
    , deviceToPicture_(deviceToPicture)
    , devicePerMm_(devicePerMm)
{
    const double w = picture.width();
    const double h = picture.height();
    const double side = std::max(w, h);
    pictureRect_ = QRectF(0, 0, w, h);
    // Far enough out that nothing cut away there (with the widest pen we
    // allow) could reach the picture.
    const double margin = 2 * side + 2048;
    limitBox_ = QRectF(-margin, -margin, w + 2 * margin, h + 2 * margin);
    penWidthCap_ = 2 * side + 64;
    // Enough for many full-picture fills and a great many small shapes.
    budget_ = 128.0 * w * h + double(1 << 28);
    state_.clip = QRegion(0, 0, picture.width(), picture.height());
    painter_ = std::make_unique<QPainter>(&picture_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
}

Canvas::~Canvas()
{
    finish();
}

void Canvas::finish()
{
    if (painter_) {
        painter_->end();
        painter_.reset();
    }
}

bool Canvas::charge(double cost)
{
    if (failed_)
        return false;
    budget_ -= std::max(0.0, cost);
    if (!(budget_ >= 0)) {
        failed_ = true;
        return false;
    }
    return true;
}

std::optional<GdiObject> Canvas::stockObject(uint32_t number)
{
    auto brush = [](uint32_t style, QRgb color) {
        Brush b;
        b.style = style;
        b.color = color;
        return GdiObject(b);
    };
    auto pen = [](uint32_t style, QRgb color) {
        Pen p;
        p.style = style;
        p.color = color;
        return GdiObject(p);
    };
    auto font = [](const char* face) {
        Font f;
        f.faceName = QString::fromLatin1(face);
        return GdiObject(f);
    };
    switch (number) {
    case 0:
    case 18: // DC brush
        return brush(kBsSolid, qRgb(255, 255, 255));
    case 1:
        return brush(kBsSolid, qRgb(0xC0, 0xC0, 0xC0));
    case 2:
        return brush(kBsSolid, qRgb(0x80, 0x80, 0x80));
    case 3:
        return brush(kBsSolid, qRgb(0x40, 0x40, 0x40));
    case 4:
        return brush(kBsSolid, qRgb(0, 0, 0));
    case 5:
        return brush(kBsNull, qRgb(0, 0, 0));
    case 6:
        return pen(kPsSolid, qRgb(255, 255, 255));
    case 7:
    case 19: // DC pen
        return pen(kPsSolid, qRgb(0, 0, 0));
    case 8:
        return pen(kPsNull, qRgb(0, 0, 0));
    case 10:
    case 11:
    case 16:
        return font("Monospace");
    case 12:
    case 13:
    case 14:
    case 17:
        return font("");
    case 15:
        return GdiObject(Palette {});
    default:
        return std::nullopt;
    }
}

// ---- Mapping ------------------------------------------------------------

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

namespace {
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

// ---- Saved states ---------------------------------------------------------

void Canvas::saveDc()
{
    if (saved_.size() >= kMaxSavedStates)
        return;
    saved_.push_back(state_);
}

void Canvas::restoreDc(int which)
{
    const qint64 count = qint64(saved_.size());
    const qint64 index = which < 0 ? count + which : qint64(which) - 1;
    if (which == 0 || index < 0 || index >= count)
        return;
    state_ = saved_[size_t(index)];
    saved_.resize(size_t(index));
    transformChanged();
}

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
