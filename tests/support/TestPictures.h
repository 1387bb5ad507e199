#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QString>
#include <utility>
#include <vector>

namespace cvg::test {

// A white 24-bit picture with a black frame of axes and a curve, as a
// scanned graph would show them.
QImage drawGraph(int width, int height);

// A picture whose pixels all differ (colour from position), to check that
// pixels land exactly where they should.
QImage patternPicture(int width, int height);

// Compares two pictures pixel by pixel (24-bit); returns how many differ.
qint64 differingPixels(const QImage& a, const QImage& b);

// The largest channel difference between two pictures of equal size.
int maxChannelDifference(const QImage& a, const QImage& b);

// Where the program's own APP15 segments stand in a JPEG stream ([begin, end)
// of each), found by walking the markers up to the first scan; and the stream
// without them.
std::vector<std::pair<int, int>> extensionSegments(const QByteArray& jpeg);
QByteArray withoutExtensionSegments(const QByteArray& jpeg);

// A copy of the picture as it comes back from a JPEG of that quality.
QImage jpegCopy(const QImage& picture, int quality);

// Figures drawn as a plotting library draws them on a 640 x 480 canvas:
// anti-aliased, a frame of axes with tick labels and titles in the installed
// Japanese font, light grid lines, a legend box with swatches and text inside
// the axes. Everything is given in the readings' coordinates, where the
// centre of pixel (c, r) is (c, r) (a painter's pixel covers [c, c + 1)).
enum class FigureKind {
    ColouredCurves, // three curves of three colours crossing one another
    BlackCurves, // two black curves, one solid and one dashed, crossing
    Scatter, // 40 circles (three touching pairs among them) and 20 squares of another colour
    LineWithMarkers, // a line through 100 samples, a circle at every tenth
    Bars, // 8 bars, two of them below the baseline, grid lines drawn over them
    BarsOverGrid, // the same bars drawn over the grid lines
};

struct DrawnCurve {
    QColor colour;
    std::vector<QPointF> path; // densely sampled
};

struct Figure {
    QImage picture;
    QRect plot; // the inside of the axes, inclusive pixels
    QRect legend; // the legend box with its frame, inclusive pixels
    std::vector<DrawnCurve> curves;
    std::vector<QPointF> circles, squares; // marker centres
    QColor circleColour, squareColour;
    std::vector<QPointF> bars; // each bar's centre column and free edge
    QColor barColour;
};

Figure drawFigure(FigureKind kind);

// The shortest distance from a point to a path.
double distanceToPath(const std::vector<QPointF>& path, QPointF point);

} // namespace cvg::test
