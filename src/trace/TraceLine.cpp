#include "trace/TraceLine.h"

#include <algorithm>
#include <array>

namespace cvg {

namespace {

// Each channel's share of the brightness, divided separately as the rule
// says; a table lookup instead of three divisions per pixel.
struct BrightnessTables {
    std::array<uint8_t, 256> r {}, g {}, b {};
    constexpr BrightnessTables()
    {
        for (int v = 0; v < 256; ++v) {
            r[size_t(v)] = uint8_t(TTraceLine::Brightness(v, 0, 0));
            g[size_t(v)] = uint8_t(TTraceLine::Brightness(0, v, 0));
            b[size_t(v)] = uint8_t(TTraceLine::Brightness(0, 0, v));
        }
    }
};
constexpr BrightnessTables kShares;

// The scans below take the region by value: the stores into their tallies
// then cannot alias its fields, which stay in registers.

// The two membership tests; the scans are instantiated once for each, so
// the brightness test costs what it did before the colour test came.
struct IsDark {
    int bound;
    bool operator()(const uchar* p) const
    {
        return kShares.r[p[0]] + kShares.g[p[1]] + kShares.b[p[2]] < bound;
    }
};

struct IsNearColour {
    int r, g, b;
    int limit;
    IsNearColour(QRgb colour, int tolerance)
        : r(qRed(colour))
        , g(qGreen(colour))
        , b(qBlue(colour))
        , limit(TTraceLine::SquaredTolerance(tolerance))
    { }
    bool operator()(const uchar* p) const
    {
        const int dr = p[0] - r;
        const int dg = p[1] - g;
        const int db = p[2] - b;
        return dr * dr + dg * dg + db * db <= limit;
    }
};

// The scanned columns of a region clipped to the picture.
struct ScanRegion {
    const QImage* picture = nullptr;
    int firstColumn = 0; // the first x >= left with x mod interval = 0
    int columns = 0; // how many columns are scanned
    int interval = 1;
    int top = 0;
    int bottom = -1;
    bool empty() const { return columns <= 0 || top > bottom; }
};

ScanRegion scanRegion(const QImage& picture, int interval, int left, int top, int right, int bottom)
{
    ScanRegion region;
    region.picture = &picture;
    region.interval = std::max(interval, 1);
    left = std::max(left, 0);
    right = std::min(right, picture.width() - 1);
    region.top = std::max(top, 0);
    region.bottom = std::min(bottom, picture.height() - 1);
    if (left > right)
        return region;
    const int64_t step = region.interval;
    const int64_t first = (int64_t(left) + step - 1) / step * step;
    if (first > right)
        return region;
    region.firstColumn = int(first);
    region.columns = int((right - first) / step + 1);
    return region;
}

// The engine reads 24-bit pixels; anything else is converted on a copy.
QImage asRgb888(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB888 ? picture
                                                     : picture.convertToFormat(QImage::Format_RGB888);
}

// Every pixel of the line in the scanned columns, by column, then by row.
template <typename Member>
void collectAll(const ScanRegion region, Member belongs, std::vector<TXYData>& points)
{
    const QImage& picture = *region.picture;
    // Rows are read in memory order, one pass; the rows of the pixels found
    // are gathered per column and then handed out column by column. The
    // gathered rows never outnumber the points they become.
    std::vector<std::vector<int32_t>> found(size_t(region.columns));
    const size_t stride = size_t(region.interval) * 3;
    size_t total = 0;
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* p = picture.constScanLine(y) + size_t(region.firstColumn) * 3;
        for (int c = 0; c < region.columns; ++c, p += stride)
            if (belongs(p)) {
                found[size_t(c)].push_back(y);
                ++total;
            }
    }
    points.reserve(total);
    for (int c = 0; c < region.columns; ++c) {
        const int32_t x = region.firstColumn + c * region.interval;
        for (int32_t y : found[size_t(c)])
            points.push_back(TXYData { x, y });
    }
}

// One point per scanned column with pixels of the line, at their mean row.
template <typename Member>
void collectAverage(const ScanRegion region, Member belongs, std::vector<TXYData>& points)
{
    const QImage& picture = *region.picture;
    std::vector<int32_t> counts(size_t(region.columns), 0);
    std::vector<int64_t> sums(size_t(region.columns), 0);
    int32_t* const count = counts.data();
    int64_t* const sum = sums.data();
    const int columns = region.columns;
    const size_t first = size_t(region.firstColumn) * 3;
    const size_t stride = size_t(region.interval) * 3;
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* p = picture.constScanLine(y) + first;
        for (int c = 0; c < columns; ++c, p += stride)
            if (belongs(p)) {
                ++count[c];
                sum[c] += y;
            }
    }
    for (int c = 0; c < columns; ++c) {
        const int64_t n = count[c];
        if (n == 0)
            continue;
        // Integer division, then half to even on the remainder.
        int64_t mean = sum[c] / n;
        const int64_t twice = (sum[c] % n) * 2;
        if (twice > n || (twice == n && (mean & 1) != 0))
            ++mean;
        points.push_back(TXYData { region.firstColumn + c * region.interval, int32_t(mean) });
    }
}

// Clears the list, scans the region with the mode's membership test and
// keeps the points all or averaged per column.
void scan(TTraceLine& trace, bool average, const QImage& source, int left, int top, int right, int bottom)
{
    trace.Points.clear();
    const QImage picture = asRgb888(source);
    const ScanRegion region = scanRegion(picture, trace.ScanInterval, left, top, right, bottom);
    if (!region.empty()) {
        auto collect = [&](auto belongs) {
            if (average)
                collectAverage(region, belongs, trace.Points);
            else
                collectAll(region, belongs, trace.Points);
        };
        if (trace.Mode == TraceMode::Colour)
            collect(IsNearColour(trace.LineColour, trace.Tolerance));
        else
            collect(IsDark { trace.BoundColor });
    }
    trace.LastIndex = int32_t(trace.Points.size()) - 1;
}

} // namespace

const std::vector<TXYData>& TTraceLine::TraceAll(
    const QImage& source, int left, int top, int right, int bottom)
{
    scan(*this, false, source, left, top, right, bottom);
    return Points;
}

const std::vector<TXYData>& TTraceLine::TraceAverage(
    const QImage& source, int left, int top, int right, int bottom)
{
    scan(*this, true, source, left, top, right, bottom);
    return Points;
}

} // namespace cvg
