#include "trace/PreciseTrace.h"

#include "trace/PixelTest.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace cvg {

namespace {

// How far from a pixel of the line its fading edge may reach, in rows.
constexpr int kFringe = 2;
// No seed in the run yet.
constexpr uint8_t kNoSeed = 255;

// Per scanned column: the weights of the last two pixels of the run not yet
// counted (rows r - 1 and r - 2), how many rows ago the run's last pixel of
// the line was, the row of the column's last pixel apart from the background
// (a run is unbroken while each such pixel follows the one before), and the
// sums that give the centre.
struct Columns {
    std::vector<int32_t> last, beforeLast, lastRow;
    std::vector<uint8_t> sinceSeed;
    std::vector<int64_t> weight, moment;
    explicit Columns(size_t n)
        : last(n, 0)
        , beforeLast(n, 0)
        , lastRow(n, std::numeric_limits<int32_t>::min())
        , sinceSeed(n, kNoSeed)
        , weight(n, 0)
        , moment(n, 0)
    { }
};

// One pass over the rows in memory order; a background pixel costs its test
// and nothing more. A pixel of the line counts, with the run's pixels up to
// kFringe rows before it that were not counted yet; after it, the next
// kFringe pixels of the run count too.
template <typename Test>
void accumulate(
    const QImage& picture, const ScanRegion& region, const Exclusions& excluded, const Test& test, Columns& c)
{
    const int first = region.firstColumn;
    const int step = region.interval;
    const int lastColumn = first + (region.columns - 1) * step;
    int32_t* last = c.last.data();
    int32_t* beforeLast = c.beforeLast.data();
    int32_t* lastRow = c.lastRow.data();
    uint8_t* sinceSeed = c.sinceSeed.data();
    int64_t* weight = c.weight.data();
    int64_t* moment = c.moment.data();
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* line = picture.constScanLine(y);
        // A pixel left out breaks the run like one of the background.
        excluded.forEachSpan(y, first, lastColumn, [&](int a, int b) {
            const int from = (a - first + step - 1) / step;
            const int to = (b - first) / step;
            const uchar* p = line + 3 * (size_t(first) + size_t(std::max(from, 0)) * size_t(step));
            for (int k = from; k <= to; ++k, p += 3 * size_t(step)) {
                bool seed = false;
                const int w = test.weigh(p, seed);
                if (w == 0)
                    continue;
                if (lastRow[k] != y - 1) {
                    last[k] = beforeLast[k] = 0;
                    sinceSeed[k] = kNoSeed;
                }
                lastRow[k] = y;
                if (seed) {
                    weight[k] += int64_t(last[k]) + beforeLast[k] + w;
                    moment[k]
                        += int64_t(last[k]) * (y - 1) + int64_t(beforeLast[k]) * (y - 2) + int64_t(w) * y;
                    last[k] = beforeLast[k] = 0;
                    sinceSeed[k] = 0;
                } else if (sinceSeed[k] < kFringe) {
                    ++sinceSeed[k];
                    weight[k] += w;
                    moment[k] += int64_t(w) * y;
                    beforeLast[k] = last[k];
                    last[k] = 0;
                } else {
                    sinceSeed[k] = kNoSeed;
                    beforeLast[k] = last[k];
                    last[k] = w;
                }
            }
        });
    }
}

} // namespace

std::vector<Point> ToWorksheetPoints(const std::vector<PrecisePoint>& found, int height)
{
    std::vector<Point> points;
    points.reserve(found.size());
    for (const PrecisePoint& p : found)
        points.push_back(Point::atPrecise(p.x, height - p.row));
    return points;
}

QRgb MostCommonColour(const QImage& source, int left, int top, int right, int bottom)
{
    const QImage picture = asRgb888(source);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, picture.width() - 1);
    bottom = std::min(bottom, picture.height() - 1);
    if (left > right || top > bottom)
        return qRgb(255, 255, 255);
    constexpr int kSamples = 256;
    const int stepX = std::max(1, (right - left + 1) / kSamples);
    const int stepY = std::max(1, (bottom - top + 1) / kSamples);
    std::vector<uint32_t> colours;
    colours.reserve(size_t((right - left) / stepX + 1) * size_t((bottom - top) / stepY + 1));
    for (int y = top; y <= bottom; y += stepY) {
        const uchar* line = picture.constScanLine(y);
        for (int x = left; x <= right; x += stepX) {
            const uchar* p = line + 3 * size_t(x);
            colours.push_back(uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]);
        }
    }
    // The background usually covers most of the picture: a colour held by
    // more than half of the samples is the most common one, found in two
    // passes (majority vote, then its count) without sorting.
    uint32_t candidate = colours.front();
    size_t votes = 0;
    for (const uint32_t c : colours) {
        if (votes == 0)
            candidate = c;
        votes += c == candidate ? 1 : size_t(-1);
    }
    if (size_t(std::count(colours.begin(), colours.end(), candidate)) * 2 > colours.size())
        return qRgb(int(candidate >> 16), int((candidate >> 8) & 0xFF), int(candidate & 0xFF));
    std::sort(colours.begin(), colours.end());
    uint32_t best = colours.front();
    size_t bestCount = 0;
    for (size_t i = 0; i < colours.size();) {
        size_t j = i;
        while (j < colours.size() && colours[j] == colours[i])
            ++j;
        if (j - i > bestCount) {
            bestCount = j - i;
            best = colours[i];
        }
        i = j;
    }
    return qRgb(int(best >> 16), int((best >> 8) & 0xFF), int(best & 0xFF));
}

std::vector<PrecisePoint> TracePrecise(
    const TTraceLine& settings, const QImage& source, int left, int top, int right, int bottom)
{
    std::vector<PrecisePoint> found;
    const QImage picture = asRgb888(source);
    const ScanRegion region = scanRegion(picture, settings.ScanInterval, left, top, right, bottom);
    if (region.empty())
        return found;
    const QRgb background = MostCommonColour(picture, left, top, right, bottom);
    const Exclusions excluded(settings.Excluded);
    Columns columns(size_t(region.columns));
    // In the brightness mode the ink's level cancels out of each column's
    // centre (it scales every weight of the column alike): the weights are
    // the darkness below the background, never more than the darkest pixel's.
    const bool usable = withInk(
        settings, background, [&](const auto& ink) { accumulate(picture, region, excluded, ink, columns); });
    if (!usable)
        return found;
    for (int k = 0; k < region.columns; ++k)
        if (columns.weight[size_t(k)] > 0)
            found.push_back({ double(region.firstColumn) + double(k) * region.interval,
                double(columns.moment[size_t(k)]) / double(columns.weight[size_t(k)]) });
    return found;
}

} // namespace cvg
