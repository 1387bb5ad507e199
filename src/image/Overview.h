#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <optional>
#include <vector>

namespace cvg {

// Halves go to the even neighbour.
int roundEven(double value);

// The reduced picture of the overview window: a quarter of the screen's width,
// the height in the picture's proportion; the scale factors map picture
// pixels to overview pixels.
struct OverviewGeometry {
    int width = 0;
    int height = 0;
    double sx = 0;
    double sy = 0;
};

// Empty when the picture is empty or the overview would have no pixels.
std::optional<OverviewGeometry> overviewGeometry(int screenWidth, QSize picture);

// The overview picture of a source picture (null when the geometry is empty).
QImage makeOverviewPicture(const QImage& source, const OverviewGeometry& geometry);

// The main view's scroll bars as the range frame sees them.
struct ScrollBarInfo {
    int thickness = 0;
    bool visible = false;
};

// The range frame's size: the main view's box less the scroll bars' thickness,
// scaled. A visible bar that reports no thickness counts as 16 pixels. Sides
// below zero are taken as zero.
QSize rangeFrameSize(QSize viewBox, ScrollBarInfo horizontal, ScrollBarInfo vertical, double sx, double sy);

// The frame picture: white (drawn transparent) with a red one-pixel outline.
QImage makeRangeFrame(QSize size);

// Where the main view scrolls when the frame is dropped at offset (frame
// left or top): offset x picture side div overview side, product first.
int frameDropScroll(int offset, int pictureSide, int overviewSide);

// The frame's offset that shows a scroll position of the main view.
int frameOffsetForScroll(int scroll, int pictureSide, int overviewSide);

// The scope window: a 20 x 20 square of the picture around the position,
// enlarged onto 110 x 110, with a crosshair.
constexpr int kScopeSize = 110;
constexpr int kScopeSpan = 20;
// What the scope shows where its square leaves the picture (the window's own
// silver background).
constexpr QRgb kScopeBackground = 0xFFC0C0C0;
// The crosshair's default colour in 00BBGGRR notation (red 255, green 128, blue 128).
constexpr int32_t kDefaultCrosshair = 8421631;

QColor colorFromBgr(int32_t bgr);
int32_t bgrFromColor(const QColor& color);

// The scope picture centred on (x, row) of source; the parts of the square
// outside the picture keep the background.
QImage makeScopeImage(const QImage& source, int x, int row, int32_t crosshairBgr);

} // namespace cvg
