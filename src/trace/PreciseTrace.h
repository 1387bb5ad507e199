#pragma once

#include "trace/TraceLine.h"
#include "worksheet/Point.h"

#include <QImage>
#include <vector>

namespace cvg {

// A point that a reading found, in picture pixels: x the column and row
// counted downward from the top edge, the centre of pixel (c, r) being
// exactly (c, r). The readings that see more than whole pixels all hand their
// result on in this shape.
struct PrecisePoint {
    double x = 0;
    double row = 0;
    bool operator==(const PrecisePoint&) const = default;
};

// The worksheet points of a reading on a picture height rows high: upward
// y = height - row, whole pixels rounded half to even, the rest kept.
std::vector<Point> ToWorksheetPoints(const std::vector<PrecisePoint>& found, int height);

// The most common colour inside the inclusive bounds (clipped to the
// picture), taken as the background: counted over at most about 256 x 256
// pixels spread evenly over the rectangle. White for an empty rectangle.
QRgb MostCommonColour(const QImage& picture, int left, int top, int right, int bottom);

// The precise reading: one point per scanned column (as the engine's
// ScanInterval picks them) at the coverage-weighted centre of the line's
// pixels in that column, so that anti-aliased edge pixels count in part.
//
// A pixel's coverage is how far its colour lies from the background (the
// rectangle's most common colour) toward the ink. In the brightness mode the
// ink is darkness: a pixel darker than BoundColor is the line, and its
// neighbours in the column that are still darker than the background count
// by their share of that darkness. In the colour mode a pixel belongs to the
// line when it lies within Tolerance of the straight line from the
// background colour to LineColour (where every blend of the two lies), its
// place along that line being its coverage; from half way to the ink it is
// the line itself. A blend of another ink (grey text) with the background
// lies off that line and is left out.
//
// Pixels count only within two rows of a pixel that is the line itself, in
// the same unbroken run, so that faint noise away from the line adds nothing.
// Columns without such a pixel give no point. Bounds are inclusive, clipped
// to the picture; the result is ordered by column.
std::vector<PrecisePoint> TracePrecise(
    const TTraceLine& settings, const QImage& picture, int left, int top, int right, int bottom);

} // namespace cvg
