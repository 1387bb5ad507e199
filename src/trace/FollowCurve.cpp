// Following one curve from a seed: run tracking with a predictor. Each
// column is read only near where the curve is expected, so a walk across a
// wide picture reads a thin band of it.
#include "trace/Readings.h"

#include "trace/PixelTest.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <type_traits>

namespace cvg {

namespace {

// How far from a pixel of the line its fading edge counts, in rows.
constexpr int kFringe = 2;
// How many of the last points the prediction is fitted to, and how far
// ahead the fitted parabola is trusted; beyond, its tangent goes on.
constexpr int kHistory = 12;
constexpr double kCurvedReach = 8;
// Points of the other side of the seed that start a walk's prediction.
constexpr size_t kKnownHistory = 6;
// Rows read around the seed to find its run.
constexpr int kSeedWindow = 128;
// Columns in a row where the curve is thinner than expected before the
// thinner runs are taken as its own thickness.
constexpr int kThinnerTrusted = 3;
// The steepest slope assumed near the seed before the curve's own is known.
constexpr double kSteep = 1.5;
// Columns on either side of the seed whose runs tell the curve's thickness.
constexpr int kThicknessReach = 20;
// Taller than this many times the curve's thickness, what hides the curve is
// a line (a grid line of its colour), not a marker or a crossing.
constexpr double kLargestHiding = 8;
// How far the curve may drift from the prediction for each column it is
// not seen alone, in rows.
constexpr double kDrift = 0.2;

// A stretch of the line's pixels in one column: the rows counted (within
// kFringe of a pixel of the line itself), their coverage in pixels and its
// centre. Open on a side where it reaches the end of what was read, or a
// rectangle left out: it may go on there.
struct Run {
    int first = 0, last = 0;
    double mass = 0;
    double centre = 0;
    bool openTop = false, openBottom = false;
};

// One column of the picture between two rows: each pixel's coverage (its
// share of full ink) and the runs.
template <typename Ink> class ColumnReader {
public:
    ColumnReader(const QImage& picture, const Ink& ink, const Exclusions& excluded, int top, int bottom)
        : picture_(picture)
        , ink_(ink)
        , excluded_(excluded)
        , top_(top)
        , bottom_(bottom)
        , full_(double(ink.fullWeight()))
    { }

    // Reads column x from row lo to hi, clipped to the rectangle.
    const std::vector<Run>& read(int x, int lo, int hi)
    {
        lo_ = std::max(lo, top_);
        const int end = std::min(hi, bottom_);
        const int n = std::max(end - lo_ + 1, 0);
        cover_.assign(size_t(n), 0.0);
        seed_.assign(size_t(n), 0);
        blocked_.assign(size_t(n), 0);
        runs_.clear();
        for (int i = 0; i < n; ++i) {
            const int y = lo_ + i;
            if (excluded_.contains(x, y)) {
                blocked_[size_t(i)] = 1;
                continue;
            }
            bool seed = false;
            const int w = ink_.weigh(picture_.constScanLine(y) + 3 * size_t(x), seed);
            if (w > 0) {
                cover_[size_t(i)] = std::min(1.0, w / full_);
                seed_[size_t(i)] = seed ? 1 : 0;
            }
        }
        // Unbroken stretches of pixels apart from the background; within
        // each, the pixels near one of the line itself count.
        for (int i = 0; i < n;) {
            if (cover_[size_t(i)] <= 0) {
                ++i;
                continue;
            }
            int j = i;
            while (j + 1 < n && cover_[size_t(j) + 1] > 0)
                ++j;
            addRun(i, j, n);
            i = j + 1;
        }
        return runs_;
    }

    // The centre of the first `mass` of coverage from one end of the run:
    // where one curve of that mass lies if another one fills the rest. A run
    // with less coverage is taken to be cut at the other end.
    double sideCentre(const Run& run, double mass, bool fromTop) const
    {
        double taken = 0, moment = 0;
        const int step = fromTop ? 1 : -1;
        for (int y = fromTop ? run.first : run.last; taken < mass && y >= run.first && y <= run.last;
             y += step) {
            const double take = std::min(cover_[size_t(y - lo_)], mass - taken);
            taken += take;
            moment += take * y;
        }
        if (taken <= 0)
            return run.centre;
        return moment / taken + step * (mass - taken) / 2;
    }

private:
    void addRun(int from, int to, int n)
    {
        int first = -1, last = -1;
        for (int i = from; i <= to; ++i)
            if (seed_[size_t(i)]) {
                if (first < 0)
                    first = i;
                last = i;
            }
        if (first < 0)
            return;
        // Fringe pixels count only within kFringe of a pixel of the line;
        // between two such pixels everything of the stretch counts.
        first = std::max(from, first - kFringe);
        last = std::min(to, last + kFringe);
        Run run;
        double moment = 0;
        int sinceSeed = kFringe + 1;
        for (int i = first; i <= last; ++i) {
            sinceSeed = seed_[size_t(i)] ? 0 : sinceSeed + 1;
            bool near = sinceSeed <= kFringe;
            for (int k = 1; !near && k <= kFringe && i + k <= last; ++k)
                near = seed_[size_t(i + k)] != 0;
            if (!near) {
                cover_[size_t(i)] = 0;
                continue;
            }
            run.mass += cover_[size_t(i)];
            moment += cover_[size_t(i)] * (lo_ + i);
        }
        run.first = lo_ + first;
        run.last = lo_ + last;
        run.centre = moment / run.mass;
        run.openTop = first == 0 || (first > 0 && blocked_[size_t(first) - 1]);
        run.openBottom = last == n - 1 || (last + 1 < n && blocked_[size_t(last) + 1]);
        runs_.push_back(run);
    }

    const QImage& picture_;
    const Ink& ink_;
    const Exclusions& excluded_;
    int top_, bottom_;
    double full_;
    int lo_ = 0;
    std::vector<double> cover_;
    std::vector<uint8_t> seed_, blocked_;
    std::vector<Run> runs_;
};

// The curve's last points and what is expected of the next: a parabola
// fitted to them by least squares (a line while few are known).
class Predictor {
public:
    void add(double x, double y)
    {
        points_.push_back({ x, y });
        if (points_.size() > size_t(kHistory))
            points_.pop_front();
        fit();
    }
    double lastX() const { return points_.back().first; }
    // The expected centre at column x.
    double at(double x) const
    {
        const double t = x - lastX();
        const double reach = std::copysign(std::min(std::abs(t), kCurvedReach), t);
        const double near = a_ + b_ * reach + c_ * reach * reach;
        return near + (b_ + 2 * c_ * reach) * (t - reach);
    }
    // The expected slope at column x.
    double slopeAt(double x) const
    {
        const double t = x - lastX();
        const double reach = std::copysign(std::min(std::abs(t), kCurvedReach), t);
        return b_ + 2 * c_ * reach;
    }
    // How much the curve may bend away from the prediction over a gap.
    double bend(double gap) const
    {
        const double beyond = std::max(0.0, gap - kCurvedReach);
        return std::abs(c_) * beyond * beyond;
    }
    size_t size() const { return points_.size(); }

private:
    void fit()
    {
        const double x0 = lastX();
        const size_t n = points_.size();
        a_ = points_.back().second;
        b_ = c_ = 0;
        if (n < 2)
            return;
        // Sums of t^k and y t^k, t = x - x0.
        double s[5] = {}, r[3] = {};
        for (const auto& [x, y] : points_) {
            const double t = x - x0;
            double tk = 1;
            for (int k = 0; k < 5; ++k, tk *= t) {
                s[k] += tk;
                if (k < 3)
                    r[k] += y * tk;
            }
        }
        // A parabola needs a history long enough that its few biased points
        // (the cut ends of dashes) cannot bend it.
        if (n >= 8 && std::abs(points_.front().first - x0) >= 1.5 * kCurvedReach) {
            // The normal equations of y = a + b t + c t^2, by Cramer's rule.
            const double m[3][3] = { { s[0], s[1], s[2] }, { s[1], s[2], s[3] }, { s[2], s[3], s[4] } };
            const auto det = [](const double q[3][3]) {
                return q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1])
                    - q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0])
                    + q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
            };
            const double d = det(m);
            if (std::abs(d) > 1e-9) {
                double solved[3];
                for (int col = 0; col < 3; ++col) {
                    double q[3][3];
                    for (int i = 0; i < 3; ++i)
                        for (int j = 0; j < 3; ++j)
                            q[i][j] = j == col ? r[i] : m[i][j];
                    solved[col] = det(q) / d;
                }
                a_ = solved[0];
                b_ = solved[1];
                c_ = solved[2];
                return;
            }
        }
        const double d = s[0] * s[2] - s[1] * s[1];
        if (std::abs(d) > 1e-9) {
            b_ = (s[0] * r[1] - s[1] * r[0]) / d;
            a_ = (r[0] - b_ * s[1]) / s[0];
        }
    }

    std::deque<std::pair<double, double>> points_;
    double a_ = 0, b_ = 0, c_ = 0;
};

// How a run near the prediction shows the curve: alone at its own
// thickness, thinner (the cut end of a dash, or a curve thinner than the
// seed's run suggested), or together with something else.
enum class Seen { Alone, Thinner, Together };

// Which estimate of the curve's centre a run gives near the prediction.
struct Estimate {
    double centre = 0;
    double distance = 1e300;
    double mass = 0;
    Seen seen = Seen::Together;
    int first = 0, last = -1; // the run's rows
};

template <typename Ink>
Estimate estimate(const ColumnReader<Ink>& reader, const Run& run, double expected, double predicted)
{
    Estimate best;
    const auto consider = [&](double centre, Seen seen) {
        const double d = std::abs(centre - predicted);
        if (d < best.distance)
            best = { centre, d, run.mass, seen, run.first, run.last };
    };
    const bool closed = !run.openTop && !run.openBottom;
    const double margin = std::max(0.5, 0.3 * expected);
    if (closed && run.mass <= expected + margin) {
        consider(run.centre, run.mass >= expected - margin ? Seen::Alone : Seen::Thinner);
        return best;
    }
    // Another line touching or crossing this one (or a gap cutting it)
    // leaves the side away from it as the curve's own.
    if (closed)
        consider(run.centre, Seen::Together);
    if (!run.openTop)
        consider(reader.sideCentre(run, expected, true), Seen::Together);
    if (!run.openBottom)
        consider(reader.sideCentre(run, expected, false), Seen::Together);
    return best;
}

struct Walk {
    const ScanRegion& region;
    int maxGap;
    int interval;
    double thickness = 0; // the curve's usual run near the seed, 0 unknown
};

// The median mass of the runs nearest to the seed's row in the columns around
// it: a seed on a marker or a crossing has a heavier run than the curve's.
template <typename Ink> double thicknessNear(ColumnReader<Ink>& reader, const ScanRegion& region, QPoint seed)
{
    std::vector<double> masses;
    for (int x = std::max(region.left, seed.x() - kThicknessReach);
         x <= std::min(region.right, seed.x() + kThicknessReach); ++x) {
        const Run* nearest = nullptr;
        double distance = 1e300;
        for (const Run& run : reader.read(x, seed.y() - kThicknessReach, seed.y() + kThicknessReach))
            if (!run.openTop && !run.openBottom && std::abs(run.centre - seed.y()) < distance) {
                distance = std::abs(run.centre - seed.y());
                nearest = &run;
            }
        if (nearest)
            masses.push_back(nearest->mass);
    }
    if (masses.empty())
        return 0;
    std::nth_element(masses.begin(), masses.begin() + ptrdiff_t(masses.size() / 2), masses.end());
    return masses[masses.size() / 2];
}

// Walks from the seed's column toward one side (step +1 or -1), appending the
// points of the scanned columns in walking order.
// `known`: the curve's points on the other side of the seed, nearest first;
// when given, the prediction starts from their course instead of the seed's
// run (which may hold another curve as well).
template <typename Ink>
void walk(ColumnReader<Ink>& reader, const Walk& w, int x0, const Run& start, int step,
    std::vector<PrecisePoint>& out, const std::vector<PrecisePoint>& known = {})
{
    Predictor predictor;
    // A few of them: a straight course, which a bend beyond them cannot skew.
    const size_t history = std::min(known.size(), kKnownHistory);
    for (size_t i = history; i-- > 0;)
        predictor.add(known[i].x, known[i].row);
    if (history == 0)
        predictor.add(x0, start.centre);
    // The curve's thickness across itself (the median of its last runs,
    // each divided by the length a column cuts through it at its slope): a
    // column of a steep curve holds a longer run.
    double thickness = start.mass;
    if (w.thickness > 0 && w.thickness < thickness)
        thickness = w.thickness;
    std::deque<double> masses { thickness };
    // Columns since the curve was last seen alone, and since anything near
    // the prediction was seen at all.
    int sinceClean = 0, missing = 0, thinner = 0;
    // Points where the curve was seen only together with something else
    // (a crossing, a marker, a grid line): placed by the prediction, and kept
    // only once the curve is seen alone beyond them.
    std::vector<PrecisePoint> crossing;
    // What the curve was last seen together with, when that is no taller
    // than a marker: its rows.
    bool blocked = false;
    int blockFirst = 0, blockLast = -1;
    for (int x = x0 + step; x >= w.region.left && x <= w.region.right; x += step) {
        const double predicted = predictor.at(x);
        const double stretch = std::hypot(1.0, predictor.slopeAt(x));
        const double expected = thickness * stretch;
        // Left the rectangle: nothing of it can continue the curve.
        if (predicted < w.region.top - expected || predicted > w.region.bottom + expected)
            break;
        // The slope is unknown until a few points are in.
        // Leaving a marker or a crossing that the seed lies on, it may be
        // steep as well.
        const double unsure = predictor.size() < 3 ? expected + kSteep * std::abs(x - x0) : 0;
        const double tolerance = std::min(
            std::max(1.5, 0.75 + 0.25 * expected) + kDrift * sinceClean + predictor.bend(sinceClean) + unsure,
            3 * expected + 10);
        const int half = int(std::ceil(expected / 2 + tolerance)) + 3;
        const int centre = int(std::lround(predicted));
        // Under a marker or a crossing the curve may turn (a marker often
        // sits on a peak): it comes out anywhere along the edge of what hid
        // it, so a run of its own thickness touching that is taken too.
        int lo = centre - half, hi = centre + half;
        if (blocked) {
            lo = std::min(lo, blockFirst - half);
            hi = std::max(hi, blockLast + half);
        }
        Estimate best;
        for (const Run& run : reader.read(x, lo, hi)) {
            const Estimate e = estimate(reader, run, expected, predicted);
            const bool emerges = blocked && e.seen != Seen::Together && run.last >= blockFirst - 1
                && run.first <= blockLast + 1;
            if ((e.distance <= tolerance || emerges) && e.distance < best.distance)
                best = e;
        }
        if (best.distance < 1e300)
            best.distance = 0; // found
        else
            best.distance = tolerance + 1;
        ++sinceClean;
        if (best.distance > tolerance) {
            if (++missing > w.maxGap)
                break;
            continue;
        }
        missing = 0;
        blocked = best.seen == Seen::Together
            && best.last - best.first + 1 <= kLargestHiding * std::max(expected, 2.0);
        blockFirst = best.first;
        blockLast = best.last;
        if (best.seen == Seen::Together) {
            if (x % w.interval == 0)
                crossing.push_back({ double(x), predicted });
            continue;
        }
        // The prediction's miss here is spread over the points since the
        // curve was last seen, growing with the distance walked.
        const double lastSeen = predictor.lastX();
        const double miss = best.centre - predicted;
        for (PrecisePoint& p : crossing)
            p.row += miss * (p.x - lastSeen) / (x - lastSeen);
        out.insert(out.end(), crossing.begin(), crossing.end());
        crossing.clear();
        // A thinner run is the curve's centre, but a biased one at the end of
        // a dash: it steers the prediction only when the curve stays thinner.
        thinner = best.seen == Seen::Thinner ? thinner + 1 : 0;
        if (best.seen == Seen::Alone || thinner >= kThinnerTrusted) {
            sinceClean = 0;
            predictor.add(x, best.centre);
            // The median of the last runs: the few thin ones beside a gap
            // do not move it.
            masses.push_back(best.mass / stretch);
            if (masses.size() > size_t(kHistory))
                masses.pop_front();
            std::vector<double> sorted(masses.begin(), masses.end());
            std::nth_element(sorted.begin(), sorted.begin() + ptrdiff_t(sorted.size() / 2), sorted.end());
            thickness = sorted[sorted.size() / 2];
        }
        if (x % w.interval == 0)
            out.push_back({ double(x), best.centre });
    }
}

} // namespace

std::optional<std::vector<PrecisePoint>> FollowCurve(const TTraceLine& settings, const QImage& source,
    int left, int top, int right, int bottom, QPoint seed, int maxGap)
{
    const QImage picture = asRgb888(source);
    const ScanRegion region = scanRegion(picture, 1, left, top, right, bottom);
    if (region.empty())
        return std::nullopt;
    const Exclusions excluded(settings.Excluded);
    const QRgb background = MostCommonColour(picture, left, top, right, bottom);
    const int width = region.right - region.left + 1;
    const Walk w { region, maxGap > 0 ? maxGap : std::max(1, width / 20),
        std::max(1, int(settings.ScanInterval)) };

    std::optional<std::vector<PrecisePoint>> found;
    withInk(settings, background, [&](const auto& ink) {
        // The pixel of the line nearest to the seed, within reach.
        QPoint start;
        int nearest = kSeedReach * kSeedReach + 1;
        for (int y = seed.y() - kSeedReach; y <= seed.y() + kSeedReach; ++y)
            for (int x = seed.x() - kSeedReach; x <= seed.x() + kSeedReach; ++x) {
                const int d = (x - seed.x()) * (x - seed.x()) + (y - seed.y()) * (y - seed.y());
                if (d >= nearest || x < region.left || x > region.right || y < region.top || y > region.bottom
                    || excluded.contains(x, y) || !ink.isInk(picture.constScanLine(y) + 3 * size_t(x)))
                    continue;
                nearest = d;
                start = { x, y };
            }
        if (nearest > kSeedReach * kSeedReach)
            return;
        using Ink = std::decay_t<decltype(ink)>;
        ColumnReader<Ink> reader(picture, ink, excluded, region.top, region.bottom);
        Run run;
        for (const Run& r : reader.read(start.x(), start.y() - kSeedWindow, start.y() + kSeedWindow))
            if (r.first <= start.y() && start.y() <= r.last)
                run = r;
        // A line no darker than its background (a dark page under a high
        // threshold) has no coverage to follow.
        if (run.mass <= 0)
            return;
        Walk near = w;
        near.thickness = thicknessNear(reader, region, start);
        // A seed where a line of the curve's colour crosses it (a grid line):
        // the column's run is that line and its centre tells nothing of the
        // curve, which is taken at the clicked row with its own thickness.
        Run from = run;
        if (near.thickness > 0 && run.last - run.first + 1 > kLargestHiding * std::max(near.thickness, 2.0)) {
            from.centre = start.y();
            from.mass = near.thickness;
        }
        std::vector<PrecisePoint> before, after;
        walk(reader, near, start.x(), from, -1, before);
        walk(reader, near, start.x(), from, +1, after);
        // Near a crossing the seed's run may hold both curves, and a walk
        // that starts from it without a slope can lose the curve or cross
        // over. Each side is walked again from the curve's course on the
        // other side, and that walk is kept unless it stops shorter.
        const auto reach = [&](const std::vector<PrecisePoint>& side) {
            return side.empty() ? 0.0 : std::abs(side.back().x - start.x());
        };
        const auto again = [&](std::vector<PrecisePoint>& side, const std::vector<PrecisePoint>& other,
                               int step) {
            if (other.size() < 3)
                return;
            std::vector<PrecisePoint> retry;
            walk(reader, near, start.x(), from, step, retry, other);
            if (reach(retry) >= reach(side))
                side = std::move(retry);
        };
        again(before, after, -1);
        again(after, before, +1);
        std::vector<PrecisePoint> points(before.rbegin(), before.rend());
        if (start.x() % w.interval == 0) {
            // A seed on a marker or a crossing: its column's run is not the
            // curve's alone, so the curve there lies between its neighbours.
            double row = run.centre;
            if (run.mass > 1.5 * near.thickness && !before.empty() && !after.empty()) {
                const PrecisePoint& a = before.front();
                const PrecisePoint& b = after.front();
                row = a.row + (b.row - a.row) * (start.x() - a.x) / (b.x - a.x);
            }
            points.push_back({ double(start.x()), row });
        }
        points.insert(points.end(), after.begin(), after.end());
        found = std::move(points);
    });
    return found;
}

} // namespace cvg
