#pragma once

// The readings that turn a rectangle of a figure into points: the engine's
// two (every pixel, one averaged point per column), the precise one, and
// those that know what a figure holds: one curve followed from a seed, one
// point per marker, one per bar. Each takes the engine's settings (the
// threshold or the colour and tolerance, the column interval, the rectangles
// left out), the picture and the rectangle's inclusive bounds, and gives
// points in picture pixels with their precise positions.
#include "trace/PreciseTrace.h"
#include "trace/TraceLine.h"

#include <QImage>
#include <QPoint>
#include <optional>
#include <vector>

namespace cvg {

enum class Reading {
    All, // every pixel of the line
    Average, // one point per column at the mean row; precise: the coverage-weighted centre
    Follow, // one curve, from a seed, across crossings and gaps
    Markers, // one point per marker
    Bars, // one point per bar: its centre column and its free end
};

// The reading and its own options.
struct ReadingRequest {
    Reading kind = Reading::Average;
    // Points to a fraction of a pixel; otherwise whole pixels as the engine's
    // readings give them.
    bool precise = false;
    // Follow: the pixel the user clicked on the curve.
    QPoint seed;
    // Follow: the longest gap bridged, in columns; 0 or less: 5 % of the
    // rectangle's width.
    int maxGap = 0;
    // Markers: a marker's width in pixels; 0 or less: found from the picture.
    int markerSize = 0;
};

// What a reading found; seedMissing when following found no pixel of the
// line within kSeedReach of the seed (and nothing was read).
struct ReadingResult {
    std::vector<PrecisePoint> points;
    bool seedMissing = false;
};

// How far from the seed the line's nearest pixel may lie.
inline constexpr int kSeedReach = 3;

// Runs a reading over the inclusive bounds (clipped to the picture). The
// engine's own readings leave their whole-pixel list in engine.Points as
// well; points come ordered by column (markers and bars by column, then row).
ReadingResult RunReading(TTraceLine& engine, const QImage& picture, int left, int top, int right, int bottom,
    const ReadingRequest& request);

// One curve from the seed to both sides of the rectangle: in each column the
// run of the line's pixels that continues the curve where its last points
// predict it, at its precise centre. Crossings, grid lines and markers are
// walked across by the prediction, gaps up to maxGap columns are bridged;
// the walk ends where the curve leaves the rectangle or nothing continues it
// past that gap. Points at the engine's scanned columns. Nothing when no
// pixel of the line lies within kSeedReach of the seed.
std::optional<std::vector<PrecisePoint>> FollowCurve(const TTraceLine& settings, const QImage& picture,
    int left, int top, int right, int bottom, QPoint seed, int maxGap);

// One point per marker at its precise centre. The line's pixels are grouped
// into connected shapes; a shape of about the typical marker gives one point,
// a larger one (touching or overlapping markers, a line through markers) one
// per peak of its distance map, specks and thin shapes none. The typical
// size (a marker's width in pixels) is markerSize, or found from the shapes
// when it is 0 or less.
std::vector<PrecisePoint> FindMarkers(const TTraceLine& settings, const QImage& picture, int left, int top,
    int right, int bottom, int markerSize);

// One point per bar standing on the common baseline (found from the bars):
// its centre column and its free end, the edge away from the baseline (the
// top of a bar above it, the bottom of one below). Thin gaps across a bar
// (grid lines drawn over it) do not split it, and lines that stick out of a
// few of its columns do not move its end.
std::vector<PrecisePoint> FindBars(
    const TTraceLine& settings, const QImage& picture, int left, int top, int right, int bottom);

// Marks a reading's points on a 24-bit picture in one colour, as the trace
// window shows them: each pixel of the line for the every-pixel reading, a
// small cross on each marker or bar end, and for the readings of one curve a
// line through the points. Whole pixels, rounded half to even; what falls
// off the picture is left out.
void MarkReading(QImage& picture, const std::vector<PrecisePoint>& points, Reading kind, QRgb colour);

// The points rounded to whole pixels, halves to even.
std::vector<PrecisePoint> WholePixels(std::vector<PrecisePoint> points);

} // namespace cvg
