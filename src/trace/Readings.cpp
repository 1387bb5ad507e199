#include "trace/Readings.h"

#include <QPainter>
#include <cmath>

namespace cvg {

namespace {

// Half the width of the cross on a marker or bar end.
constexpr int kCrossArm = 4;

QPoint wholePixel(const PrecisePoint& p)
{
    return QPoint(int(std::nearbyint(p.x)), int(std::nearbyint(p.row)));
}

} // namespace

std::vector<PrecisePoint> WholePixels(std::vector<PrecisePoint> points)
{
    for (PrecisePoint& p : points) {
        p.x = std::nearbyint(p.x);
        p.row = std::nearbyint(p.row);
    }
    return points;
}

void MarkReading(QImage& picture, const std::vector<PrecisePoint>& points, Reading kind, QRgb colour)
{
    if (picture.isNull() || points.empty())
        return;
    if (picture.format() != QImage::Format_RGB888)
        picture = picture.convertToFormat(QImage::Format_RGB888);
    if (kind == Reading::All) {
        const QRect bounds = picture.rect();
        for (const PrecisePoint& p : points) {
            const QPoint at = wholePixel(p);
            if (!bounds.contains(at))
                continue;
            uchar* pixel = picture.scanLine(at.y()) + 3 * at.x();
            pixel[0] = uchar(qRed(colour));
            pixel[1] = uchar(qGreen(colour));
            pixel[2] = uchar(qBlue(colour));
        }
        return;
    }
    QPainter painter(&picture);
    painter.setPen(QPen(QColor::fromRgb(colour), 1));
    if (kind == Reading::Markers || kind == Reading::Bars) {
        for (const PrecisePoint& p : points) {
            const QPoint at = wholePixel(p);
            painter.drawLine(at.x() - kCrossArm, at.y(), at.x() + kCrossArm, at.y());
            painter.drawLine(at.x(), at.y() - kCrossArm, at.x(), at.y() + kCrossArm);
        }
        return;
    }
    QPolygon line;
    line.reserve(qsizetype(points.size()));
    for (const PrecisePoint& p : points)
        line << wholePixel(p);
    painter.drawPolyline(line);
}

ReadingResult RunReading(TTraceLine& engine, const QImage& picture, int left, int top, int right, int bottom,
    const ReadingRequest& request)
{
    ReadingResult result;
    const auto wholeFromEngine = [&](const std::vector<TXYData>& found) {
        result.points.reserve(found.size());
        for (const TXYData& p : found)
            result.points.push_back({ double(p.X), double(p.Y) });
    };
    switch (request.kind) {
    case Reading::All:
        wholeFromEngine(engine.TraceAll(picture, left, top, right, bottom));
        return result;
    case Reading::Average:
        if (!request.precise) {
            wholeFromEngine(engine.TraceAverage(picture, left, top, right, bottom));
            return result;
        }
        result.points = TracePrecise(engine, picture, left, top, right, bottom);
        break;
    case Reading::Follow: {
        std::optional<std::vector<PrecisePoint>> followed
            = FollowCurve(engine, picture, left, top, right, bottom, request.seed, request.maxGap);
        if (!followed)
            result.seedMissing = true;
        else
            result.points = std::move(*followed);
        break;
    }
    case Reading::Markers:
        result.points = FindMarkers(engine, picture, left, top, right, bottom, request.markerSize);
        break;
    case Reading::Bars:
        result.points = FindBars(engine, picture, left, top, right, bottom);
        break;
    }
    if (!request.precise)
        result.points = WholePixels(std::move(result.points));
    return result;
}

} // namespace cvg
