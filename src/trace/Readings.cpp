#include "trace/Readings.h"

#include <cmath>

namespace cvg {

std::vector<PrecisePoint> WholePixels(std::vector<PrecisePoint> points)
{
    for (PrecisePoint& p : points) {
        p.x = std::nearbyint(p.x);
        p.row = std::nearbyint(p.row);
    }
    return points;
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
