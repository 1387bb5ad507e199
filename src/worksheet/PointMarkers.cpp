#include "worksheet/PointMarkers.h"

#include "image/ImageSet.h"
#include "platform/Progress.h"

#include <QPoint>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cvg {

namespace {

struct Colour {
    uchar rgb[3];
    explicit Colour(QRgb c)
        : rgb { uchar(qRed(c)), uchar(qGreen(c)), uchar(qBlue(c)) }
    { }
};

// The picture's pixels, written in place: a million points must not cost a
// detach check (or a painter call) per pixel.
struct Canvas {
    uchar* bits;
    qsizetype stride;
    int width;
    int height;

    explicit Canvas(QImage& image)
        : bits(image.bits())
        , stride(image.bytesPerLine())
        , width(image.width())
        , height(image.height())
    { }
    uchar* at(int x, int y) const { return bits + qsizetype(y) * stride + qsizetype(x) * 3; }
    void put(int x, int y, const Colour& c) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        std::memcpy(at(x, y), c.rgb, 3);
    }
    // Fills the rows [top, bottom) and columns [left, right) clipped to the picture.
    void fill(int left, int top, int right, int bottom, const Colour& c) const
    {
        left = std::max(left, 0);
        top = std::max(top, 0);
        right = std::min(right, width);
        bottom = std::min(bottom, height);
        for (int y = top; y < bottom; ++y) {
            uchar* p = at(left, y);
            for (int x = left; x < right; ++x, p += 3)
                std::memcpy(p, c.rgb, 3);
        }
    }
};

// Copies n bytes; the short rows of a square in two overlapping fixed-size
// moves instead of a library call.
inline void copyRow(uchar* to, const uchar* from, size_t n)
{
    if (n >= 16 && n <= 32) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8 && n < 16) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else {
        std::memcpy(to, from, n);
    }
}

// The general marker of half-width s: an outline square filled inside,
// drawn as its finished rows (outline rows at top and bottom, between them
// an outline pixel, the fill and an outline pixel).
class MarkerStamp {
public:
    // A half-width beyond kLargest covers every picture from any point
    // (the points are held within a million pixels of it), so it is drawn as
    // kLargest, which keeps the arithmetic in range. Wide squares are drawn
    // by filling.
    static constexpr int kLargest = 1 << 22;
    static constexpr int kWidestStamp = 4096;

    explicit MarkerStamp(int s, const MarkColours& colours = {})
        : s_(std::min(s, kLargest))
        , side_(2 * s_ + 1)
        , outline_(colours.outline)
        , fill_(colours.fill)
    {
        if (s_ < 0 || side_ > kWidestStamp)
            return;
        const Colour outline(colours.outline), fill(colours.fill);
        edge_.resize(size_t(side_) * 3);
        middle_.resize(size_t(side_) * 3);
        for (int i = 0; i < side_; ++i) {
            std::memcpy(&edge_[size_t(i) * 3], outline.rgb, 3);
            std::memcpy(&middle_[size_t(i) * 3], (i == 0 || i == side_ - 1) ? outline.rgb : fill.rgb, 3);
        }
    }

    void draw(const Canvas& canvas, int x, int row) const
    {
        if (s_ < 0)
            return;
        const int left = x - s_, top = row - s_;
        if (edge_.empty() || left < 0 || top < 0 || left > canvas.width - side_
            || top > canvas.height - side_) {
            // Near or over the edge: the outline square, then the fill inside it.
            canvas.fill(left, top, x + s_ + 1, row + s_ + 1, outline_);
            canvas.fill(left + 1, top + 1, x + s_, row + s_, fill_);
            return;
        }
        const size_t bytes = edge_.size();
        uchar* p = canvas.at(left, top);
        copyRow(p, edge_.data(), bytes);
        for (int i = 1; i < side_ - 1; ++i)
            copyRow(p += canvas.stride, middle_.data(), bytes);
        if (side_ > 1)
            copyRow(p + canvas.stride, edge_.data(), bytes);
    }

private:
    int s_;
    int side_;
    Colour outline_, fill_;
    std::vector<uchar> edge_, middle_;
};

// A line two pixels wide: Bresenham along the major axis, each step also
// setting the neighbour across it. The end point is not drawn, as with a
// pen that moves on to the next point.
void drawWideLine(const Canvas& canvas, int x0, int y0, int x1, int y1, const Colour& c)
{
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    const bool steep = -dy > dx;
    // Far outside the picture a segment is walked only where it can be seen.
    if ((x0 < -2 && x1 < -2) || (y0 < -2 && y1 < -2) || (x0 > canvas.width + 1 && x1 > canvas.width + 1)
        || (y0 > canvas.height + 1 && y1 > canvas.height + 1))
        return;
    int err = dx + dy;
    int x = x0, y = y0;
    while (x != x1 || y != y1) {
        canvas.put(x, y, c);
        if (steep)
            canvas.put(x + 1, y, c);
        else
            canvas.put(x, y + 1, c);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

// The bar moves every this many points: a million calls would cost more than
// the drawing.
constexpr int kProgressStep = 4096;

// Coordinates far outside the picture are pulled in so the line arithmetic
// cannot overflow; what they draw is outside anyway.
int clampCoord(int v)
{
    return std::clamp(v, -1'000'000, 1'000'000);
}

// The marks of points[0, count) in row order: the first `joined` are joined
// by a line, and after the line that ends at a point its square is drawn.
// place(point) gives the point's (x, row) on the canvas.
template <typename Place>
void drawMarks(const Canvas& canvas, const Point* points, int count, int joined, int markerSize,
               const MarkColours& colours, Place place, ProgressScope* bar)
{
    const MarkerStamp stamp(markerSize, colours);
    const Colour line(colours.line);
    int px = 0, py = 0;
    for (int r = 0; r < count; ++r) {
        if (bar && r % kProgressStep == 0)
            bar->setPosition(r + 1);
        const QPoint at = place(points[r]);
        const int x = at.x(), y = at.y();
        // A point on the previous one draws nothing new: the line between
        // them is empty and its square is already on top.
        if (r > 0 && x == px && y == py)
            continue;
        if (r > 0 && r < joined)
            drawWideLine(canvas, px, py, x, y, line);
        px = x;
        py = y;
        stamp.draw(canvas, x, y);
    }
}

} // namespace

void drawGeneralMarker(QImage& picture, int x, int row, int s)
{
    if (picture.isNull())
        return;
    MarkerStamp(s).draw(Canvas(picture), x, row);
}

QImage RedrawPointMarkers(
    const QImage& corrected, const std::vector<Point>& points, bool join, int markerSize, Progress& progress)
{
    QImage picture = toPictureFormat(corrected).copy();
    drawMarkLayer(picture, points, join ? points.size() : 0, markerSize, {}, progress);
    return picture;
}

void drawMarkLayer(QImage& picture, const std::vector<Point>& points, size_t joined, int markerSize,
                   const MarkColours& colours, Progress& progress)
{
    if (points.empty() || picture.isNull())
        return;
    const int height = picture.height();
    const int count = int(points.size());
    ProgressScope bar(progress, 0, count);
    drawMarks(Canvas(picture), points.data(), count, int(std::min(joined, points.size())), markerSize, colours,
              [height](const Point& p) { return QPoint(clampCoord(p.X), clampCoord(height - clampCoord(p.Y))); },
              &bar);
    bar.setPosition(count);
}

void drawScaledMarkLayer(QImage& view, QPoint origin, const ViewScale& scale, int pictureHeight,
                         const MarkLayer& layer, int markerSize)
{
    if (layer.points.empty() || view.isNull())
        return;
    // The same pixel centre the view shows the pixel at; the marks keep their
    // size on the view.
    auto place = [&](const Point& p) {
        const int x = scale.toView(clampCoord(p.X)) - origin.x();
        const int row = scale.toView(clampCoord(pictureHeight - clampCoord(p.Y))) - origin.y();
        return QPoint(clampCoord(x), clampCoord(row));
    };
    drawMarks(Canvas(view), layer.points.data(), int(layer.points.size()),
              int(std::min(layer.joined, layer.points.size())), markerSize, layer.colours, place, nullptr);
}

} // namespace cvg
