#pragma once

#include "image/ViewScale.h"
#include "worksheet/Point.h"

#include <QImage>
#include <vector>

namespace cvg {

class Progress;

// Colours of the main view's marks.
constexpr QRgb kLineColor = 0xFA0000;       // (250, 0, 0): never taken for the current-point marker
constexpr QRgb kSquareFill = 0x00FF00;      // (0, 255, 0)
constexpr QRgb kSquareOutline = 0x008000;   // (0, 128, 0)

// The colours of one page's marks; other pages than the current one are
// shown in colours of their own.
struct MarkColours {
    QRgb line = kLineColor;
    QRgb fill = kSquareFill;
    QRgb outline = kSquareOutline;
};

// One page's marks as the main view shows them: a square for every point,
// the first `joined` points also joined by a line in row order.
struct MarkLayer {
    std::vector<Point> points;
    size_t joined = 0;
    MarkColours colours;
};

// The shown picture: a copy of corrected with every point drawn on it, in row
// order. With join, a red line of width 2 runs through the points in row
// order; after the line that ends at a point, a green square 2s + 1 pixels
// wide is drawn centred on it. Y is upward; the drawing row is height - Y.
QImage RedrawPointMarkers(const QImage& corrected, const std::vector<Point>& points, bool join,
                          int markerSize, Progress& progress);

// Draws the marks of points in place, as RedrawPointMarkers does: the first
// `joined` points joined by a line, every point a square.
void drawMarkLayer(QImage& picture, const std::vector<Point>& points, size_t joined, int markerSize,
                   const MarkColours& colours, Progress& progress);

// Draws a layer onto `view`, the part of the zoomed picture whose top-left
// corner is the view pixel `origin`: each point sits at its pixel's centre on
// the view; lines and squares keep their size at every zoom.
void drawScaledMarkLayer(QImage& view, QPoint origin, const ViewScale& scale, int pictureHeight,
                         const MarkLayer& layer, int markerSize);

// Draws one general marker (the green square of half-width s) centred on
// (x, row), clipped to the picture.
void drawGeneralMarker(QImage& picture, int x, int row, int markerSize);

} // namespace cvg
