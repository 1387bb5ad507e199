// Pens, brushes, raster mix modes and stroking and filling in picture
// pixels: what every shape of the metafile canvas ends in.
#include "image/metafile/Canvas.h"

#include "image/metafile/Geometry.h"

#include <algorithm>
#include <cmath>

namespace cvg::metafile {

namespace {

// Dash patterns of one-pixel pens, in pixels.
std::vector<qreal> thinDashes(uint32_t kind)
{
    switch (kind) {
    case kPsDash:
        return { 18, 6 };
    case kPsDot:
        return { 3, 3 };
    case kPsDashDot:
        return { 9, 6, 3, 6 };
    case kPsDashDotDot:
        return { 9, 3, 3, 3, 3, 3 };
    case kPsAlternate:
        return { 1, 1 };
    default:
        return {};
    }
}

// A dash pattern with only positive entries and an even count, or nothing.
std::vector<qreal> usableDashes(const std::vector<double>& entries, double unit)
{
    std::vector<qreal> out;
    double total = 0;
    for (double e : entries) {
        const double v = std::clamp(std::abs(e) / unit, 0.0, 1e6);
        out.push_back(std::max(v, 0.01));
        total += v;
    }
    if (out.empty() || total < 0.5)
        return {};
    if (out.size() % 2 == 1) {
        const std::vector<qreal> once = out;
        out.insert(out.end(), once.begin(), once.end());
    }
    return out;
}

} // namespace

// ---- Pens, brushes, raster operations --------------------------------------

QPen Canvas::devicePen(double& widthOut) const
{
    const Pen& pen = state_.pen;
    const uint32_t kind = pen.style & kPsStyleMask;
    widthOut = 0;
    if (kind == kPsNull)
        return QPen(Qt::NoPen);
    const bool cosmetic = pen.extended && !(pen.style & kPsGeometric);
    double width = 1.0;
    if (!cosmetic && pen.width > 0)
        width = std::max(1.0, pen.width * linearScale());
    if (!std::isfinite(width))
        width = 1.0;
    width = std::min(width, penWidthCap_);
    widthOut = width;

    QPen out { QColor(pen.color) };
    if (width <= 1.5) {
        // One pixel, without the last pixel of a line as such pens draw.
        out.setWidth(0);
        out.setCosmetic(true);
        out.setCapStyle(Qt::FlatCap);
        std::vector<qreal> dashes
            = kind == kPsUserStyle ? usableDashes(pen.userDashes, 1.0) : thinDashes(kind);
        if (!dashes.empty())
            out.setDashPattern(QList<qreal>(dashes.begin(), dashes.end()));
        return out;
    }
    out.setWidthF(width);
    switch (pen.style & kPsEndCapMask) {
    case kPsEndCapSquare:
        out.setCapStyle(Qt::SquareCap);
        break;
    case kPsEndCapFlat:
        out.setCapStyle(Qt::FlatCap);
        break;
    default:
        out.setCapStyle(Qt::RoundCap);
        break;
    }
    switch (pen.style & kPsJoinMask) {
    case kPsJoinBevel:
        out.setJoinStyle(Qt::BevelJoin);
        break;
    case kPsJoinMiter:
        out.setJoinStyle(Qt::MiterJoin);
        out.setMiterLimit(std::clamp(state_.miterLimit, 1.0, 100.0));
        break;
    default:
        out.setJoinStyle(Qt::RoundJoin);
        break;
    }
    // Wide pens made by the plain pen record are always solid; extended
    // geometric pens keep their style.
    if (pen.extended) {
        switch (kind) {
        case kPsDash:
            out.setStyle(Qt::DashLine);
            break;
        case kPsDot:
            out.setStyle(Qt::DotLine);
            break;
        case kPsDashDot:
            out.setStyle(Qt::DashDotLine);
            break;
        case kPsDashDotDot:
            out.setStyle(Qt::DashDotDotLine);
            break;
        case kPsUserStyle: {
            const std::vector<qreal> dashes = usableDashes(pen.userDashes, std::max(pen.width, 1e-9));
            if (!dashes.empty())
                out.setDashPattern(QList<qreal>(dashes.begin(), dashes.end()));
            break;
        }
        default:
            break;
        }
    }
    return out;
}

QBrush Canvas::deviceBrush(bool& drawsOut) const
{
    const Brush& b = state_.brush;
    drawsOut = true;
    switch (b.style) {
    case kBsNull:
        drawsOut = false;
        return QBrush();
    case kBsHatched: {
        Qt::BrushStyle style;
        switch (b.hatch) {
        case 0:
            style = Qt::HorPattern;
            break;
        case 1:
            style = Qt::VerPattern;
            break;
        case 2:
            style = Qt::FDiagPattern;
            break;
        case 3:
            style = Qt::BDiagPattern;
            break;
        case 4:
            style = Qt::CrossPattern;
            break;
        case 5:
            style = Qt::DiagCrossPattern;
            break;
        default:
            style = Qt::SolidPattern;
            break;
        }
        return QBrush(QColor(b.color), style);
    }
    case kBsPattern:
    case kBsDibPattern:
    case kBsDibPatternPt: {
        if (b.pattern.isNull()) {
            drawsOut = false;
            return QBrush();
        }
        if (!b.monochrome)
            return QBrush(b.pattern);
        // Two-colour patterns take the text colour for dark and the
        // background colour for light pixels.
        QImage image = b.pattern.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            QRgb* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                row[x] = qGray(row[x]) < 128 ? state_.textColor : state_.bkColor;
        }
        return QBrush(image);
    }
    default:
        return QBrush(QColor(b.color));
    }
}

struct RopChoice {
    bool skip = false;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    std::optional<QColor> forced;
};

static RopChoice ropChoice(uint32_t rop2)
{
    RopChoice c;
    switch (rop2) {
    case 1:
        c.forced = QColor(0, 0, 0);
        break;
    case 2:
        c.mode = QPainter::RasterOp_NotSourceAndNotDestination;
        break;
    case 3:
        c.mode = QPainter::RasterOp_NotSourceAndDestination;
        break;
    case 4:
        c.mode = QPainter::RasterOp_NotSource;
        break;
    case 5:
        c.mode = QPainter::RasterOp_SourceAndNotDestination;
        break;
    case 6:
        c.mode = QPainter::RasterOp_NotDestination;
        break;
    case 7:
        c.mode = QPainter::RasterOp_SourceXorDestination;
        break;
    case 8:
        c.mode = QPainter::RasterOp_NotSourceOrNotDestination;
        break;
    case 9:
        c.mode = QPainter::RasterOp_SourceAndDestination;
        break;
    case 10:
        c.mode = QPainter::RasterOp_NotSourceXorDestination;
        break;
    case 11:
        c.skip = true;
        break;
    case 12:
        c.mode = QPainter::RasterOp_NotSourceOrDestination;
        break;
    case 14:
        c.mode = QPainter::RasterOp_SourceOrNotDestination;
        break;
    case 15:
        c.mode = QPainter::RasterOp_SourceOrDestination;
        break;
    case 16:
        c.forced = QColor(255, 255, 255);
        break;
    default:
        break;
    }
    return c;
}

// ---- Device-space drawing -----------------------------------------------------

void Canvas::strokeDevice(const QPainterPath& path)
{
    if (failed_)
        return;
    double width = 0;
    QPen pen = devicePen(width);
    if (pen.style() == Qt::NoPen)
        return;
    const RopChoice rop = ropChoice(state_.rop2);
    if (rop.skip)
        return;
    const QPainterPath bounded = boundedPath(path, limitBox_, false);
    if (bounded.isEmpty() || !charge(pathCost(bounded, width, false, pictureRect_)) || !beginDraw())
        return;
    painter_->setCompositionMode(rop.mode);
    if (rop.forced)
        pen.setColor(*rop.forced);
    if (state_.bkMode == 2 && pen.style() != Qt::SolidLine) {
        // Gaps of styled lines show the background colour when it is opaque.
        QPen gaps = pen;
        gaps.setStyle(Qt::SolidLine);
        gaps.setColor(QColor(state_.bkColor));
        painter_->strokePath(bounded, gaps);
    }
    painter_->strokePath(bounded, pen);
}

void Canvas::strokePolygonDevice(const QPolygonF& points, bool closed)
{
    if (failed_ || points.size() < 2)
        return;
    double width = 0;
    QPen pen = devicePen(width);
    if (pen.style() == Qt::NoPen)
        return;
    if (pen.style() != Qt::SolidLine || width > 1.5) {
        // Styled and wide lines go through the path stroker for joins. A
        // long solid line with round ends and joins is stroked in pieces:
        // the pieces' round ends cover each other exactly as round joins
        // would, and the rasterizer is far faster on short outlines.
        constexpr int kPiece = 64;
        const bool round = pen.capStyle() == Qt::RoundCap && pen.joinStyle() == Qt::RoundJoin;
        if (pen.style() == Qt::SolidLine && round && points.size() > 2 * kPiece && state_.rop2 == 13) {
            QPolygonF line = points;
            if (closed)
                line.append(points.first());
            for (int start = 0; start + 1 < line.size() && !failed_; start += kPiece) {
                QPainterPath piece;
                piece.addPolygon(line.mid(start, kPiece + 1));
                strokeDevice(piece);
            }
            return;
        }
        QPainterPath path;
        path.addPolygon(points);
        if (closed)
            path.closeSubpath();
        strokeDevice(path);
        return;
    }
    const RopChoice rop = ropChoice(state_.rop2);
    if (rop.skip)
        return;
    if (rop.forced)
        pen.setColor(*rop.forced);
    QPolygonF line = points;
    if (closed)
        line.append(points.first());
    const QRectF bounds = line.boundingRect();
    std::vector<QPolygonF> pieces;
    if (std::isfinite(bounds.width()) && std::isfinite(bounds.height()) && limitBox_.contains(bounds))
        pieces.push_back(line);
    else
        pieces = clipPolyline(line, limitBox_);
    double cost = 0;
    for (const QPolygonF& piece : pieces)
        cost += polylineCost(piece, width, pictureRect_);
    if (pieces.empty() || !charge(cost) || !beginDraw())
        return;
    painter_->setCompositionMode(rop.mode);
    painter_->setPen(pen);
    for (const QPolygonF& piece : pieces)
        painter_->drawPolyline(piece);
}

void Canvas::fillDeviceWith(const QPainterPath& path, const QBrush& brush, QPainter::CompositionMode mode)
{
    if (failed_)
        return;
    const QPainterPath bounded = boundedPath(path, limitBox_, true);
    if (bounded.isEmpty() || !charge(pathCost(bounded, 0, true, pictureRect_)) || !beginDraw())
        return;
    painter_->setCompositionMode(mode);
    painter_->fillPath(bounded, brush);
}

void Canvas::fillDevice(const QPainterPath& path)
{
    bool draws = false;
    QBrush brush = deviceBrush(draws);
    if (!draws)
        return;
    const RopChoice rop = ropChoice(state_.rop2);
    if (rop.skip)
        return;
    if (rop.forced)
        brush = QBrush(*rop.forced);
    else if (state_.brush.style == kBsHatched && state_.bkMode == 2)
        fillDeviceWith(path, QBrush(QColor(state_.bkColor)), rop.mode);
    fillDeviceWith(path, brush, rop.mode);
}

bool Canvas::chargeArea(const QRectF& deviceBounds, double extra)
{
    const QRectF area = deviceBounds.intersected(pictureRect_);
    return charge(kPerPrimitiveCost + extra + std::max(0.0, area.width()) * std::max(0.0, area.height()));
}

void Canvas::addToPath(const QPainterPath& devicePath, bool)
{
    if (failed_ || !charge(devicePath.elementCount() * kPerElementCost))
        return;
    path_.addPath(devicePath);
}

} // namespace cvg::metafile
