#pragma once

#include "calibration/Calibration.h"
#include "worksheet/Point.h"

#include <QImage>
#include <vector>

namespace cvg {

// What the overview window draws of the document over its reduced picture.

// Marks the first count points on the overview with filled red 2 x 2
// squares; pictureHeight turns each point's upward Y into a row.
void drawOverviewPoints(
    QImage& overview, const std::vector<Point>& points, int count, int pictureHeight, double sx, double sy);

// A blue one-pixel outline between the corrected YUpper and XRight points.
void drawCorrectionFrame(
    QImage& overview, const Calibration& calibration, int pictureHeight, double sx, double sy);

} // namespace cvg
