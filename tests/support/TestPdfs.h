#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <optional>

namespace cvg::test {

// The two-page graph that graphPdf() writes, in points from the page's
// top-left corner (1/72 inch).
struct GraphPdfLayout {
    static constexpr double kWidth = 400, kHeight = 300;
    // Both pages: the axes, black, 1.5 pt wide.
    static constexpr double kAxisX = 50, kAxisY = 250, kAxisRight = 380, kAxisTop = 20;
    // Page 2 only: horizontal black lines across the plot at these heights,
    // each of its own width.
    struct Rule {
        double y;
        double width;
    };
    static constexpr Rule kRules[3] = { { 60, 0.5 }, { 120, 1 }, { 190, 3 } };
    // Page 2 only: a vertical black line, 1 pt wide.
    static constexpr double kMarkerX = 340;
    // Page 1 draws its curve in blue, page 2 its straight line in red, from
    // (kAxisX, kAxisY) to (kAxisRight, kAxisTop).
    static constexpr QRgb kPage1Colour = 0xFF0000FF;
    static constexpr QRgb kPage2Colour = 0xFFFF0000;
};

// A PDF as Qt's PDF writer makes it: page 1 a blue curve over axes, grid and
// labels (Japanese text among them), page 2 the red line with the rules
// above. Vector graphics and embedded fonts, as papers hold them.
QByteArray graphPdf();

// A PDF of many small pages, each with its number drawn large.
QByteArray manyPagesPdf(int pages);

// A PDF whose one page holds a path of this many segments: slow to draw.
QByteArray heavyPdf(int segments);

// Where a line crosses a 24-bit picture: the darkness-weighted middle of the
// rows from..to of column x (or of the columns from..to of row y); nothing
// when there is hardly any ink there.
std::optional<double> darkRowCentre(const QImage& picture, int x, int from, int to);
std::optional<double> darkColumnCentre(const QImage& picture, int y, int from, int to);

// A PDF written object by object (with a correct cross-reference table),
// for what Qt's writer never makes: objects are "n 0 obj" bodies in order
// from 1; the trailer gets /Size, /Root 1 0 R and trailerExtra.
QByteArray assemblePdf(const QList<QByteArray>& objects, const QByteArray& trailerExtra = {});
// One page of the given size in points, nothing on it.
QByteArray blankPagePdf(QSizeF points);
// A PDF with no page at all.
QByteArray noPagePdf();
// A one-page PDF locked by a user password that is not empty.
QByteArray lockedPdf();

} // namespace cvg::test
