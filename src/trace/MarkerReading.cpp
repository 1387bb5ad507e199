// One point per marker: the line's pixels grouped into connected shapes in
// one pass (runs of a row joined to the touching runs of the row above with
// union-find), each shape judged by its size against the typical marker, and
// larger ones split at the peaks of their distance map.
#include "trace/Readings.h"

#include "trace/PixelTest.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <type_traits>

namespace cvg {

namespace {

// A shape smaller than this share of the typical marker is a speck (a dot of
// text, anti-aliasing dust).
constexpr double kSpeck = 0.3;
// Up to this share of the typical marker's area, a compact shape is one marker.
constexpr double kOneMarker = 1.6;
// A peak of the distance map is a marker's middle when it lies this deep in
// the shape, as a share of the typical radius; thinner shapes are lines.
constexpr double kPeakDepth = 0.6;
// Deeper than this share, the shape is a filled area, not a marker.
constexpr double kTooDeep = 1.8;
// Two peaks nearer than this share of the typical radius are one marker.
constexpr double kPeakSeparation = 0.9;
// The chamfer distance's steps: 3 along a row or column, 4 along a diagonal.
constexpr int kStraight = 3;
constexpr int kDiagonal = 4;

struct RowRun {
    int y, x0, x1;
};

struct Shape {
    int64_t count = 0;
    int x0 = 0, x1 = -1, y0 = 0, y1 = -1;
    double sumX = 0, sumY = 0;
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
    double fill() const { return double(count) / (double(width()) * height()); }
    bool compact() const
    {
        return std::max(width(), height()) <= 2 * std::min(width(), height()) && fill() >= 0.5;
    }
};

int rootOf(std::vector<int>& parent, int i)
{
    while (parent[size_t(i)] != i) {
        parent[size_t(i)] = parent[size_t(parent[size_t(i)])];
        i = parent[size_t(i)];
    }
    return i;
}

// The runs of the line's pixels, each labelled with its shape (8-connected).
struct Labelled {
    std::vector<RowRun> runs;
    std::vector<int> shapeOf;
    std::vector<Shape> shapes;
};

template <typename Ink>
Labelled label(const QImage& picture, const ScanRegion& region, const Exclusions& excluded, const Ink& ink)
{
    Labelled out;
    std::vector<int> parent;
    size_t previous = 0, current = 0; // where the row above and this row begin
    int row = region.top - 2;
    size_t above = 0; // the first run of the row above that may still touch
    forEachInkRun(picture, region, excluded, ink, [&](int y, int x0, int x1) {
        if (y != row) {
            // Runs of a row more than one row back touch nothing new.
            previous = y == row + 1 ? current : out.runs.size();
            current = out.runs.size();
            above = previous;
            row = y;
        }
        const int self = int(out.runs.size());
        out.runs.push_back({ y, x0, x1 });
        parent.push_back(self);
        while (above < current && out.runs[above].x1 < x0 - 1)
            ++above;
        for (size_t k = above; k < current && out.runs[k].x0 <= x1 + 1; ++k) {
            const int a = rootOf(parent, self), b = rootOf(parent, int(k));
            if (a != b)
                parent[size_t(std::max(a, b))] = std::min(a, b);
        }
    });
    std::vector<int> id(out.runs.size(), -1);
    out.shapeOf.resize(out.runs.size());
    for (size_t i = 0; i < out.runs.size(); ++i) {
        const int root = rootOf(parent, int(i));
        if (id[size_t(root)] < 0) {
            id[size_t(root)] = int(out.shapes.size());
            Shape s;
            s.x0 = out.runs[i].x0;
            s.x1 = out.runs[i].x1;
            s.y0 = s.y1 = out.runs[i].y;
            out.shapes.push_back(s);
        }
        const RowRun& r = out.runs[i];
        Shape& s = out.shapes[size_t(id[size_t(root)])];
        const int64_t n = r.x1 - r.x0 + 1;
        s.count += n;
        s.x0 = std::min(s.x0, r.x0);
        s.x1 = std::max(s.x1, r.x1);
        s.y0 = std::min(s.y0, r.y);
        s.y1 = std::max(s.y1, r.y);
        s.sumX += double(r.x0 + r.x1) * double(n) / 2;
        s.sumY += double(r.y) * double(n);
        out.shapeOf[i] = id[size_t(root)];
    }
    return out;
}

// The typical marker's radius: half the median width of the compact shapes
// that are more than specks.
double typicalRadius(const std::vector<Shape>& shapes)
{
    std::vector<int> sizes;
    for (const Shape& s : shapes)
        if (s.count >= 5 && s.compact())
            sizes.push_back(std::max(s.width(), s.height()));
    if (sizes.empty())
        return 0;
    std::nth_element(sizes.begin(), sizes.begin() + ptrdiff_t(sizes.size() / 2), sizes.end());
    return sizes[sizes.size() / 2] / 2.0;
}

// The middles of the markers in a shape too large or too odd for one: the
// peaks of its distance map deep enough to be a marker's middle and not so
// deep that the shape is a filled area, at least a marker's radius apart.
std::vector<QPointF> peaksOf(const Labelled& shapes, const std::vector<size_t>& runs, const Shape& s,
    double radius, std::vector<uint16_t>& map)
{
    const int w = s.width() + 2, h = s.height() + 2;
    map.assign(size_t(w) * size_t(h), 0);
    const auto at = [&](int x, int y) -> uint16_t& { return map[size_t(y) * size_t(w) + size_t(x)]; };
    for (size_t i : runs) {
        const RowRun& r = shapes.runs[i];
        std::fill_n(&at(r.x0 - s.x0 + 1, r.y - s.y0 + 1), r.x1 - r.x0 + 1, uint16_t(65535));
    }
    const auto relax = [](uint16_t& d, int via) { d = uint16_t(std::min<int>(d, via)); };
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x)
            if (at(x, y)) {
                relax(at(x, y), at(x - 1, y) + kStraight);
                relax(at(x, y), at(x - 1, y - 1) + kDiagonal);
                relax(at(x, y), at(x, y - 1) + kStraight);
                relax(at(x, y), at(x + 1, y - 1) + kDiagonal);
            }
    for (int y = h - 2; y >= 1; --y)
        for (int x = w - 2; x >= 1; --x)
            if (at(x, y)) {
                relax(at(x, y), at(x + 1, y) + kStraight);
                relax(at(x, y), at(x + 1, y + 1) + kDiagonal);
                relax(at(x, y), at(x, y + 1) + kStraight);
                relax(at(x, y), at(x - 1, y + 1) + kDiagonal);
            }
    const int low = int(std::ceil(kPeakDepth * radius * kStraight));
    const int high = int(std::floor(kTooDeep * radius * kStraight));
    struct Peak {
        int depth, x, y;
    };
    std::vector<Peak> peaks;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            const int d = at(x, y);
            if (d < low)
                continue;
            bool top = true;
            for (int dy = -1; dy <= 1 && top; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (at(x + dx, y + dy) > d) {
                        top = false;
                        break;
                    }
            if (top)
                peaks.push_back({ d, x, y });
        }
    std::stable_sort(
        peaks.begin(), peaks.end(), [](const Peak& a, const Peak& b) { return a.depth > b.depth; });
    std::vector<QPointF> kept;
    const double apart = kPeakSeparation * radius;
    for (const Peak& p : peaks) {
        const QPointF here(s.x0 + p.x - 1, s.y0 + p.y - 1);
        const bool near = std::any_of(kept.begin(), kept.end(),
            [&](const QPointF& k) { return std::hypot(k.x() - here.x(), k.y() - here.y()) < apart; });
        if (near)
            continue;
        // A filled area's middle is no marker.
        if (p.depth <= high)
            kept.push_back(here);
    }
    return kept;
}

// The coverage-weighted centre of the ink within a soft disc of the radius
// around a start, moved to that centre until it settles: the disc keeps out
// a touching neighbour's ink beyond its own edge.
template <typename Ink>
QPointF settle(const QImage& picture, const ScanRegion& region, const Exclusions& excluded, const Ink& ink,
    QPointF centre, double radius)
{
    for (int round = 0; round < 8; ++round) {
        const int x0 = std::max(region.left, int(std::floor(centre.x() - radius - 1)));
        const int x1 = std::min(region.right, int(std::ceil(centre.x() + radius + 1)));
        const int y0 = std::max(region.top, int(std::floor(centre.y() - radius - 1)));
        const int y1 = std::min(region.bottom, int(std::ceil(centre.y() + radius + 1)));
        double sum = 0, sx = 0, sy = 0;
        // The disc's weight is 1 inside radius - 0.5 and 0 beyond radius + 0.5;
        // only the ring between needs a square root.
        const double inner = radius - 0.5, outer = radius + 0.5;
        const double inner2 = inner >= 0 ? inner * inner : -1.0, outer2 = outer * outer;
        for (int y = y0; y <= y1; ++y) {
            const uchar* line = picture.constScanLine(y);
            const double dy2 = (y - centre.y()) * (y - centre.y());
            for (int x = x0; x <= x1; ++x) {
                const double d2 = (x - centre.x()) * (x - centre.x()) + dy2;
                if (d2 >= outer2 || excluded.contains(x, y))
                    continue;
                const double k = d2 <= inner2 ? 1.0 : std::min(1.0, outer - std::sqrt(d2));
                bool seed = false;
                const double w = k * ink.weigh(line + 3 * size_t(x), seed);
                sum += w;
                sx += w * x;
                sy += w * y;
            }
        }
        if (sum <= 0)
            break;
        const QPointF next(sx / sum, sy / sum);
        const bool settled = std::hypot(next.x() - centre.x(), next.y() - centre.y()) < 0.005;
        centre = next;
        if (settled)
            break;
    }
    return centre;
}

} // namespace

std::vector<PrecisePoint> FindMarkers(const TTraceLine& settings, const QImage& source, int left, int top,
    int right, int bottom, int markerSize)
{
    std::vector<PrecisePoint> found;
    const QImage picture = asRgb888(source);
    const ScanRegion region = scanRegion(picture, 1, left, top, right, bottom);
    if (region.empty())
        return found;
    const Exclusions excluded(settings.Excluded);
    const QRgb background = MostCommonColour(picture, left, top, right, bottom);
    withInk(settings, background, [&](const auto& ink) {
        const Labelled shapes = label(picture, region, excluded, ink);
        const double radius = markerSize > 0 ? markerSize / 2.0 : typicalRadius(shapes.shapes);
        if (radius <= 0)
            return;
        const double area = M_PI * radius * radius;
        // The runs of each shape, shape by shape.
        std::vector<size_t> order(shapes.runs.size());
        std::iota(order.begin(), order.end(), size_t(0));
        std::stable_sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return shapes.shapeOf[a] < shapes.shapeOf[b]; });
        std::vector<uint16_t> map;
        std::vector<size_t> runs;
        std::vector<QPointF> centres;
        for (size_t i = 0, next = 0; i < shapes.shapes.size(); ++i) {
            runs.clear();
            while (next < order.size() && shapes.shapeOf[order[next]] == int(i))
                runs.push_back(order[next++]);
            const Shape& s = shapes.shapes[i];
            if (double(s.count) < kSpeck * area)
                continue;
            if (double(s.count) <= kOneMarker * area && s.compact()) {
                // One marker: the disc around it takes in all of its edge.
                const QPointF start(s.sumX / double(s.count), s.sumY / double(s.count));
                const double own = std::max(s.width(), s.height()) / 2.0 + 0.5;
                centres.push_back(settle(picture, region, excluded, ink, start, own));
                continue;
            }
            for (const QPointF& peak : peaksOf(shapes, runs, s, radius, map))
                centres.push_back(settle(picture, region, excluded, ink, peak, radius));
        }
        // Two starts that settled on one marker give one point.
        std::sort(centres.begin(), centres.end(), [](const QPointF& a, const QPointF& b) {
            return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
        });
        const double same = 0.5 * radius;
        for (const QPointF& c : centres) {
            bool twice = false;
            for (auto p = found.rbegin(); p != found.rend() && p->x > c.x() - same && !twice; ++p)
                twice = std::hypot(p->x - c.x(), p->row - c.y()) < same;
            if (!twice)
                found.push_back({ c.x(), c.y() });
        }
    });
    return found;
}

} // namespace cvg
