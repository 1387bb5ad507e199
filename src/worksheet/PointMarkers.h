#pragma once

#include "worksheet/Point.h"

#include <QImage>
#include <vector>

namespace cvg {

class Progress;

// Colours of the main view's marks.
constexpr QRgb kLineColor = 0xFA0000;       // (250, 0, 0): never taken for the current-point marker
constexpr QRgb kSquareFill = 0x00FF00;      // (0, 255, 0)
constexpr QRgb kSquareOutline = 0x008000;   // (0, 128, 0)

// The shown picture: a copy of corrected with every point drawn on it, in row
// order. With join, a red line of width 2 runs through the points in row
// order; after the line that ends at a point, a green square 2s + 1 pixels
// wide is drawn centred on it. Y is upward; the drawing row is height - Y.
QImage RedrawPointMarkers(const QImage& corrected, const std::vector<Point>& points, bool join,
                          int markerSize, Progress& progress);

// Draws one general marker (the green square of half-width s) centred on
// (x, row), clipped to the picture.
void drawGeneralMarker(QImage& picture, int x, int row, int markerSize);

} // namespace cvg
