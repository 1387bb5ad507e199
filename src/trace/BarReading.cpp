// One point per bar. One pass over the rows gathers each column's vertical
// runs of the line's pixels; the baseline is where most of them end; the
// columns standing on it group into bars, and each bar's edges are read to a
// fraction of a pixel from the coverage of the pixels across them.
#include "trace/Readings.h"

#include "trace/PixelTest.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>

namespace cvg {

namespace {

// Gaps across a bar up to this many pixels, filled with something other than
// the paper (a grid line drawn over it), do not split it; a gap of paper
// does, so that a line just beyond a bar's end does not lengthen it.
constexpr int kGap = 3;
// How far a pixel's colour may stray from the paper's for noise alone.
constexpr int kPaperNoise = 24;
// A run ends on the baseline when it ends this close to it.
constexpr int kNearBaseline = 2;
// Shorter runs are lines (the axis, grid lines), not bars.
constexpr int kMinHeight = 3;
// Narrower groups of columns are lines, not bars.
constexpr int kMinWidth = 3;
// Free ends that differ by more than this belong to different bars (or to a
// line sticking out of a few columns).
constexpr double kStep = 1.5;
// Interior rows read for a bar's side edges.
constexpr int kSideRows = 9;

struct VerticalRun {
    int x, y0, y1;
};

// Whether the pixels of column x from row y0 to y1 all differ from the paper.
bool covered(const QImage& picture, int x, int y0, int y1, QRgb paper)
{
    for (int y = y0; y <= y1; ++y) {
        const uchar* p = picture.constScanLine(y) + 3 * size_t(x);
        const int dr = p[0] - qRed(paper), dg = p[1] - qGreen(paper), db = p[2] - qBlue(paper);
        if (dr * dr + dg * dg + db * db <= kPaperNoise * kPaperNoise)
            return false;
    }
    return true;
}

// Every column's runs of the line's pixels, covered gaps up to kGap bridged.
template <typename Ink>
std::vector<VerticalRun> verticalRuns(
    const QImage& picture, const ScanRegion& region, const Exclusions& excluded, const Ink& ink, QRgb paper)
{
    const int width = region.right - region.left + 1;
    constexpr int kNone = std::numeric_limits<int>::min() / 2;
    std::vector<int> start(size_t(width), kNone), last(size_t(width), kNone);
    std::vector<VerticalRun> runs;
    forEachInkRun(picture, region, excluded, ink, [&](int y, int x0, int x1) {
        for (int x = x0; x <= x1; ++x) {
            const size_t k = size_t(x - region.left);
            if (start[k] != kNone && y - last[k] - 1 <= kGap
                && (y == last[k] + 1 || covered(picture, x, last[k] + 1, y - 1, paper))) {
                last[k] = y;
                continue;
            }
            if (start[k] != kNone)
                runs.push_back({ x, start[k], last[k] });
            start[k] = last[k] = y;
        }
    });
    for (int k = 0; k < width; ++k)
        if (start[size_t(k)] != kNone)
            runs.push_back({ region.left + k, start[size_t(k)], last[size_t(k)] });
    std::sort(runs.begin(), runs.end(),
        [](const VerticalRun& a, const VerticalRun& b) { return a.x < b.x || (a.x == b.x && a.y0 < b.y0); });
    return runs;
}

// The boundary between rows where most runs that are more than lines begin
// or end: the top of the first row below it.
int baselineOf(const std::vector<VerticalRun>& runs, const ScanRegion& region)
{
    const int rows = region.bottom - region.top + 2;
    std::vector<int> ends(size_t(rows), 0);
    for (const VerticalRun& r : runs)
        if (r.y1 - r.y0 + 1 >= kMinHeight) {
            ++ends[size_t(r.y0 - region.top)];
            ++ends[size_t(r.y1 + 1 - region.top)];
        }
    int best = 0, bestCount = -1;
    for (int i = 0; i < rows; ++i) {
        const int count
            = ends[size_t(i)] + (i > 0 ? ends[size_t(i) - 1] : 0) + (i + 1 < rows ? ends[size_t(i) + 1] : 0);
        if (count > bestCount) {
            bestCount = count;
            best = i;
        }
    }
    return region.top + best;
}

// A column standing on the baseline: above it (up) or hanging below, and
// the row of its free end.
struct BarColumn {
    int x;
    bool up;
    int free;
};

std::vector<BarColumn> barColumns(const std::vector<VerticalRun>& runs, int baseline)
{
    std::vector<BarColumn> columns;
    for (size_t i = 0; i < runs.size();) {
        const int x = runs[i].x;
        int bestLength = 0;
        BarColumn best { x, true, 0 };
        for (; i < runs.size() && runs[i].x == x; ++i) {
            const VerticalRun& r = runs[i];
            const int length = r.y1 - r.y0 + 1;
            if (length <= bestLength)
                continue;
            if (std::abs(r.y1 + 1 - baseline) <= kNearBaseline && r.y0 <= baseline - kMinHeight) {
                bestLength = length;
                best = { x, true, r.y0 };
            } else if (std::abs(r.y0 - baseline) <= kNearBaseline && r.y1 + 1 >= baseline + kMinHeight) {
                bestLength = length;
                best = { x, false, r.y1 };
            }
        }
        if (bestLength > 0)
            columns.push_back(best);
    }
    return columns;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return std::numeric_limits<double>::quiet_NaN();
    const auto middle = values.begin() + ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The columns of one bar: neighbours (gaps up to kGap) on the same side of
// the baseline whose free ends agree; columns whose ends stray for fewer than
// kMinWidth columns are a line sticking out, not a new bar.
std::vector<std::vector<BarColumn>> groupBars(const std::vector<BarColumn>& columns)
{
    std::vector<std::vector<BarColumn>> bars;
    std::vector<BarColumn> bar;
    std::vector<double> ends;
    const auto close = [&] {
        if (!bar.empty() && bar.back().x - bar.front().x + 1 >= kMinWidth)
            bars.push_back(bar);
        bar.clear();
        ends.clear();
    };
    for (size_t i = 0; i < columns.size(); ++i) {
        const BarColumn& c = columns[i];
        if (!bar.empty() && (c.up != bar.back().up || c.x - bar.back().x - 1 > kGap))
            close();
        if (!bar.empty()) {
            const double reference = median(ends);
            if (std::abs(c.free - reference) > kStep) {
                // A new bar when the next columns go on at the new end.
                bool steps = true;
                for (size_t k = i + 1; k < i + kMinWidth && steps; ++k)
                    steps = k < columns.size() && columns[k].up == c.up
                        && columns[k].x - columns[k - 1].x - 1 <= kGap
                        && std::abs(columns[k].free - c.free) <= kStep;
                if (!steps)
                    continue;
                close();
            }
        }
        bar.push_back(c);
        ends.push_back(c.free);
        if (ends.size() > 5)
            ends.erase(ends.begin());
    }
    close();
    return bars;
}

// Coverage of the pixel (x, y): 0 outside the rectangle or left out.
template <typename Ink> struct CoverageAt {
    const QImage& picture;
    const ScanRegion& region;
    const Exclusions& excluded;
    const Ink& ink;
    double full = 1;
    double weight(int x, int y) const
    {
        if (x < region.left || x > region.right || y < region.top || y > region.bottom
            || excluded.contains(x, y))
            return 0;
        bool seed = false;
        return ink.weigh(picture.constScanLine(y) + 3 * size_t(x), seed);
    }
    double operator()(int x, int y) const { return std::clamp(weight(x, y) / full, 0.0, 1.0); }
};

// The bar's centre column and its free edge. An edge between a pixel of the
// line at i and the background beyond lies at i + 1.5 minus the coverage of
// the four pixels i - 2 .. i + 1 (their ink adds up to how far the edge
// reaches), toward the background; likewise for the other edges.
template <typename Ink>
PrecisePoint measure(CoverageAt<Ink> cover, const std::vector<BarColumn>& bar, int baseline)
{
    const bool up = bar.front().up;
    const int first = bar.front().x, last = bar.back().x;
    std::vector<double> frees;
    for (const BarColumn& c : bar)
        frees.push_back(c.free);
    const int free = int(std::lround(median(frees)));
    const int middle = (first + last) / 2;
    // The bar's inside, away from its ends: its rows give the side edges and,
    // in the brightness mode, what full ink weighs.
    int inside0 = up ? free + 2 : baseline + kNearBaseline;
    int inside1 = up ? baseline - kNearBaseline - 1 : free - 2;
    if (inside0 > inside1)
        inside0 = inside1 = (free + baseline) / 2;
    if (cover.full <= 0) {
        std::vector<double> weights;
        for (int y = inside0; y <= inside1; ++y)
            weights.push_back(cover.weight(middle, y));
        cover.full = std::max(median(weights), 1.0);
    }
    const auto edge = [&](auto at, int i, int outward) {
        double sum = 0;
        for (int k = -1; k <= 2; ++k)
            sum += at(i + outward * k);
        return i + outward * (sum - 1.5);
    };
    std::vector<double> ends;
    const size_t trim = bar.size() >= 5 ? 1 : 0;
    for (size_t k = trim; k + trim < bar.size(); ++k) {
        const BarColumn& c = bar[k];
        if (std::abs(c.free - free) > kStep)
            continue;
        ends.push_back(edge([&](int y) { return cover(c.x, y); }, c.free, up ? -1 : 1));
    }
    std::vector<double> lefts, rights;
    const int rows = inside1 - inside0 + 1;
    for (int k = 0; k < std::min(kSideRows, rows); ++k) {
        const int y = inside0 + (rows <= kSideRows ? k : k * (rows - 1) / (kSideRows - 1));
        lefts.push_back(edge([&](int x) { return cover(x, y); }, first, -1));
        rights.push_back(edge([&](int x) { return cover(x, y); }, last, 1));
    }
    const double left = lefts.empty() ? first - 0.5 : median(lefts);
    const double right = rights.empty() ? last + 0.5 : median(rights);
    return { (left + right) / 2, median(ends) };
}

} // namespace

std::vector<PrecisePoint> FindBars(
    const TTraceLine& settings, const QImage& source, int left, int top, int right, int bottom)
{
    std::vector<PrecisePoint> found;
    const QImage picture = asRgb888(source);
    const ScanRegion region = scanRegion(picture, 1, left, top, right, bottom);
    if (region.empty())
        return found;
    const Exclusions excluded(settings.Excluded);
    const QRgb background = MostCommonColour(picture, left, top, right, bottom);
    withInk(settings, background, [&](const auto& ink) {
        const std::vector<VerticalRun> runs = verticalRuns(picture, region, excluded, ink, background);
        const int baseline = baselineOf(runs, region);
        using Ink = std::decay_t<decltype(ink)>;
        // The colour mode knows its full ink; the brightness mode takes each bar's.
        const double full = settings.Mode == TraceMode::Colour ? double(ink.fullWeight()) : 0.0;
        for (const std::vector<BarColumn>& bar : groupBars(barColumns(runs, baseline))) {
            // A bar whose end the rectangle cuts off has no end to read.
            const int free = bar[bar.size() / 2].free;
            if (free <= region.top || free >= region.bottom)
                continue;
            const PrecisePoint p
                = measure(CoverageAt<Ink> { picture, region, excluded, ink, full }, bar, baseline);
            if (std::isfinite(p.x) && std::isfinite(p.row))
                found.push_back(p);
        }
    });
    return found;
}

} // namespace cvg
