#include "trace/TraceLine.h"

#include "trace/PixelTest.h"

#include <algorithm>

namespace cvg {

namespace {

// The scans below take the region by value: the stores into their tallies
// then cannot alias its fields, which stay in registers.

// Calls hit(c, y) for every pixel of the line, c the index of its scanned
// column, rows in memory order, one pass; pixels of unscanned columns and of
// the rectangles left out are not read.
template <typename Member, typename Hit>
void forEachMember(const QImage& picture, const ScanRegion& region, const Exclusions& excluded,
    const Member& belongs, Hit&& hit)
{
    const int first = region.firstColumn;
    const int step = region.interval;
    const int last = first + (region.columns - 1) * step;
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* line = picture.constScanLine(y);
        excluded.forEachSpan(y, first, last, [&](int a, int b) {
            // The scanned columns from a to b.
            const int from = (a - first + step - 1) / step;
            const int to = (b - first) / step;
            if (from > to)
                return;
            const uchar* p = line + 3 * (size_t(first) + size_t(from) * size_t(step));
            if (step == 1) {
                scanContiguous(p, to - from + 1, belongs, [&](int i) { hit(from + i, y); });
                return;
            }
            for (int c = from; c <= to; ++c, p += 3 * size_t(step))
                if (belongs(p))
                    hit(c, y);
        });
    }
}

// Every pixel of the line in the scanned columns, by column, then by row.
template <typename Member>
void collectAll(const QImage& picture, const ScanRegion region, const Exclusions& excluded, Member belongs,
    std::vector<TXYData>& points)
{
    // The rows of the pixels found are gathered per column and then handed
    // out column by column. The gathered rows never outnumber the points
    // they become.
    std::vector<std::vector<int32_t>> found(size_t(region.columns));
    size_t total = 0;
    forEachMember(picture, region, excluded, belongs, [&](int c, int y) {
        found[size_t(c)].push_back(y);
        ++total;
    });
    points.reserve(total);
    for (int c = 0; c < region.columns; ++c) {
        const int32_t x = region.firstColumn + c * region.interval;
        for (int32_t y : found[size_t(c)])
            points.push_back(TXYData { x, y });
    }
}

// One point per scanned column with pixels of the line, at their mean row.
template <typename Member>
void collectAverage(const QImage& picture, const ScanRegion region, const Exclusions& excluded,
    Member belongs, std::vector<TXYData>& points)
{
    std::vector<int32_t> counts(size_t(region.columns), 0);
    std::vector<int64_t> sums(size_t(region.columns), 0);
    int32_t* const count = counts.data();
    int64_t* const sum = sums.data();
    forEachMember(picture, region, excluded, belongs, [count, sum](int c, int y) {
        ++count[c];
        sum[c] += y;
    });
    for (int c = 0; c < region.columns; ++c) {
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
        const Exclusions excluded(trace.Excluded);
        auto collect = [&](auto belongs) {
            if (average)
                collectAverage(picture, region, excluded, belongs, trace.Points);
            else
                collectAll(picture, region, excluded, belongs, trace.Points);
        };
        if (trace.Mode == TraceMode::Colour)
            collect(IsNearColour(trace.LineColour, trace.Tolerance));
        else
            collect(IsDark(trace.BoundColor));
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
