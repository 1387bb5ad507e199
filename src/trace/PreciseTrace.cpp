#include "trace/PreciseTrace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace cvg {

namespace {

// A pixel this close to the background (in brightness levels, or in colour
// distance along the line to the ink) is background: clean edges fade out
// below it, and JPEG noise on a flat background stays below it.
constexpr int kNoise = 2;
// How far a blend may lie off the line from background to ink for noise
// alone (JPEG's among it), in colour distance.
constexpr double kColourNoise = 8;
// How far from a pixel of the line its fading edge may reach, in rows.
constexpr int kFringe = 2;
// No seed in the run yet.
constexpr uint8_t kNoSeed = 255;

// The brightness rule's three shares, each divided on its own, as a table.
struct Shares {
    uint8_t r[256] {}, g[256] {}, b[256] {};
    constexpr Shares()
    {
        for (int v = 0; v < 256; ++v) {
            r[v] = uint8_t(TTraceLine::Brightness(v, 0, 0));
            g[v] = uint8_t(TTraceLine::Brightness(0, v, 0));
            b[v] = uint8_t(TTraceLine::Brightness(0, 0, v));
        }
    }
};
constexpr Shares kShares;

// A pixel's weight (its coverage in the test's own units, 0 for background)
// and whether it is the line itself.
struct Brightness {
    int background; // brightness of the background
    int memberBelow; // darker than this differs from the background
    int bound; // darker than this is the line
    int weigh(const uchar* p, bool& seed) const
    {
        const int b = kShares.r[p[0]] + kShares.g[p[1]] + kShares.b[p[2]];
        if (b >= memberBelow)
            return 0;
        seed = b < bound;
        return background - b;
    }
};

// Coverage along the line from background B to ink C: for a pixel P with
// u = P - B and v = C - B, its share of ink is t = u.v / v.v, and its distance
// from the line is what is left of u beside it. The ink may stray from C by
// the tolerance, so a blend holding a share t of it may stray t times as far
// (and a little for noise): a blend of another ink with the background then
// stays out at every share, while a wider tolerance would let its darker
// pixels in whole.
struct AlongColour {
    int br, bg, bb; // background
    int vr, vg, vb; // ink - background
    int cr, cg, cb; // ink
    int64_t length2; // v.v
    int64_t noise2; // kNoise^2 v.v: a smaller share is background
    int64_t tolerance2; // squared tolerance, -1 for none
    double tolerance; // the tolerance, 0 for none
    int weigh(const uchar* p, bool& seed) const
    {
        const int ur = p[0] - br, ug = p[1] - bg, ub = p[2] - bb;
        const int64_t dot = int64_t(ur) * vr + int64_t(ug) * vg + int64_t(ub) * vb;
        if (dot <= 0 || dot * dot <= noise2 || tolerance2 < 0)
            return 0;
        if (dot >= length2) {
            const int dr = p[0] - cr, dg = p[1] - cg, db = p[2] - cb;
            if (int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db > tolerance2)
                return 0;
            seed = true;
            return int(length2);
        }
        const int64_t u2 = int64_t(ur) * ur + int64_t(ug) * ug + int64_t(ub) * ub;
        const double share = double(dot) / double(length2);
        // |u|^2 - dot^2 / v.v is the squared distance from the line.
        const double distance2 = double(u2) - double(dot) * share;
        const double allowed = tolerance * share + kColourNoise;
        if (distance2 > allowed * allowed)
            return 0;
        seed = 2 * dot >= length2;
        return int(dot);
    }
};

struct Region {
    int firstColumn = 0;
    int columns = 0;
    int interval = 1;
    int top = 0;
    int bottom = -1;
};

// The scanned columns (x mod interval = 0, counted from the picture's left
// edge) and rows of the bounds clipped to the picture.
Region clip(const QImage& picture, int interval, int left, int top, int right, int bottom)
{
    Region r;
    r.interval = std::max(interval, 1);
    left = std::max(left, 0);
    right = std::min(right, picture.width() - 1);
    r.top = std::max(top, 0);
    r.bottom = std::min(bottom, picture.height() - 1);
    if (left > right || r.top > r.bottom)
        return r;
    const int64_t first = (int64_t(left) + r.interval - 1) / r.interval * r.interval;
    if (first <= right) {
        r.firstColumn = int(first);
        r.columns = int((right - first) / r.interval + 1);
    }
    return r;
}

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
void accumulate(const QImage& picture, const Region& region, const Test test, Columns& c)
{
    const size_t first = size_t(region.firstColumn) * 3;
    const size_t stride = size_t(region.interval) * 3;
    const int columns = region.columns;
    int32_t* last = c.last.data();
    int32_t* beforeLast = c.beforeLast.data();
    int32_t* lastRow = c.lastRow.data();
    uint8_t* sinceSeed = c.sinceSeed.data();
    int64_t* weight = c.weight.data();
    int64_t* moment = c.moment.data();
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* p = picture.constScanLine(y) + first;
        for (int k = 0; k < columns; ++k, p += stride) {
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
                moment[k] += int64_t(last[k]) * (y - 1) + int64_t(beforeLast[k]) * (y - 2) + int64_t(w) * y;
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
    const QImage picture = source.format() == QImage::Format_RGB888 ? source
                                                                     : source.convertToFormat(QImage::Format_RGB888);
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
    const QImage picture = source.format() == QImage::Format_RGB888 ? source
                                                                     : source.convertToFormat(QImage::Format_RGB888);
    const Region region = clip(picture, settings.ScanInterval, left, top, right, bottom);
    if (region.columns <= 0 || region.top > region.bottom)
        return found;
    const QRgb background = MostCommonColour(picture, left, top, right, bottom);
    Columns columns(size_t(region.columns));
    if (settings.Mode == TraceMode::Colour) {
        const QRgb ink = settings.LineColour;
        AlongColour test {};
        test.br = qRed(background);
        test.bg = qGreen(background);
        test.bb = qBlue(background);
        test.cr = qRed(ink);
        test.cg = qGreen(ink);
        test.cb = qBlue(ink);
        test.vr = test.cr - test.br;
        test.vg = test.cg - test.bg;
        test.vb = test.cb - test.bb;
        test.length2 = int64_t(test.vr) * test.vr + int64_t(test.vg) * test.vg + int64_t(test.vb) * test.vb;
        // An ink of the background's own colour cannot be told from it.
        if (test.length2 == 0)
            return found;
        test.noise2 = int64_t(kNoise) * kNoise * test.length2;
        test.tolerance2 = TTraceLine::SquaredTolerance(settings.Tolerance);
        test.tolerance = test.tolerance2 < 0 ? 0.0 : std::sqrt(double(test.tolerance2));
        accumulate(picture, region, test, columns);
    } else {
        const int background2 = TTraceLine::Brightness(qRed(background), qGreen(background), qBlue(background));
        // The ink's level cancels out of each column's centre (it scales every
        // weight of the column alike): the weights are the darkness below the
        // background, never more than the darkest pixel's.
        const Brightness test { background2, background2 - kNoise, settings.BoundColor };
        accumulate(picture, region, test, columns);
    }
    for (int k = 0; k < region.columns; ++k)
        if (columns.weight[size_t(k)] > 0)
            found.push_back({ double(region.firstColumn) + double(k) * region.interval,
                double(columns.moment[size_t(k)]) / double(columns.weight[size_t(k)]) });
    return found;
}

} // namespace cvg
