// The readings that know what a figure holds (one curve followed from a
// seed, one point per marker, one per bar), on figures drawn as plotting
// libraries draw them and on their JPEG copies, judged against the data that
// was drawn.
#include "trace/Readings.h"
#include "TestPictures.h"

#include <QRect>
#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>

using namespace cvg;
using namespace cvg::test;

namespace {

struct Source {
    const char* name;
    int quality; // 0: the drawn picture itself, else a JPEG copy of that quality
};

const Source kSources[] = { { "drawn", 0 }, { "JPEG q75", 75 } };

QImage pictureOf(const Figure& f, const Source& source)
{
    return source.quality > 0 ? jpegCopy(f.picture, source.quality) : f.picture;
}

TTraceLine colourEngine(QColor colour, int tolerance)
{
    TTraceLine engine;
    engine.Mode = TraceMode::Colour;
    engine.LineColour = colour.rgb();
    engine.Tolerance = tolerance;
    engine.ScanInterval = 1;
    return engine;
}

TTraceLine darkEngine(int bound)
{
    TTraceLine engine;
    engine.Mode = TraceMode::Brightness;
    engine.BoundColor = bound;
    engine.ScanInterval = 1;
    return engine;
}

ReadingResult run(TTraceLine engine, const QImage& picture, QRect rect, const ReadingRequest& request)
{
    return RunReading(engine, picture, rect.left(), rect.top(), rect.right(), rect.bottom(), request);
}

// The drawn path's point at column x (the path runs left to right).
QPointF pathAt(const std::vector<QPointF>& path, double x)
{
    const auto it
        = std::lower_bound(path.begin(), path.end(), x, [](QPointF p, double v) { return p.x() < v; });
    return it == path.end() ? path.back() : *it;
}

// Whether a marker drawn at the centre hides the point of a line: the
// line's first sample ends inside its marker.
bool hides(QPointF centre, QPointF point)
{
    return std::hypot(point.x() - centre.x(), point.y() - centre.y()) < 4.5;
}

// Every curve of the two line figures followed from a seed on it, in both
// modes: no point farther than the limit from its own curve (so no swap at
// a crossing), and the points reach across the curve's span in the
// rectangle; a solid curve has a point in nearly every column.
TEST(ReadingsTest, FollowsEachCurveAcrossCrossingsAndGaps)
{
    struct Case {
        FigureKind kind;
        size_t curve;
        bool dark; // brightness mode, else the curve's colour
        double seedX; // where the seed lies, as a share of the plot's width
    };
    const Case cases[] = {
        { FigureKind::ColouredCurves, 0, false, 0.3 },
        { FigureKind::ColouredCurves, 1, false, 0.6 },
        { FigureKind::ColouredCurves, 2, false, 0.45 },
        { FigureKind::BlackCurves, 0, true, 0.35 },
        { FigureKind::BlackCurves, 1, true, 0.71 },
        { FigureKind::LineWithMarkers, 0, false, 0.52 },
    };
    for (const Source& source : kSources) {
        // A JPEG's ringing moves a thin curve's centre a little.
        const double limit = source.quality > 0 ? 1.25 : 1.0;
        for (const Case& c : cases) {
            const Figure f = drawFigure(c.kind);
            const DrawnCurve& curve = f.curves[c.curve];
            const std::string what = std::string(source.name) + " figure " + std::to_string(int(c.kind))
                + " curve " + std::to_string(c.curve);
            const QPointF onCurve = pathAt(curve.path, f.plot.left() + c.seedX * f.plot.width());
            ReadingRequest request;
            request.kind = Reading::Follow;
            request.precise = true;
            request.seed = QPoint(int(std::lround(onCurve.x())), int(std::lround(onCurve.y())));
            const ReadingResult result
                = run(c.dark ? darkEngine(160) : colourEngine(curve.colour, source.quality > 0 ? 100 : 60),
                    pictureOf(f, source), f.plot, request);
            ASSERT_FALSE(result.seedMissing) << what;
            ASSERT_FALSE(result.points.empty()) << what;
            double worst = 0;
            for (const PrecisePoint& p : result.points)
                worst = std::max(worst, distanceToPath(curve.path, QPointF(p.x, p.row)));
            EXPECT_LE(worst, limit) << what;
            // The span: the columns where the drawn curve lies inside the
            // rectangle; those where the legend hides it cannot be read.
            double spanFrom = 1e9, spanTo = -1e9;
            std::set<int> hidden;
            for (const QPointF& p : curve.path)
                if (f.legend.contains(p.toPoint()) || (!f.circles.empty() && hides(f.circles.front(), p)))
                    hidden.insert(int(std::lround(p.x())));
                else if (f.plot.contains(p.toPoint())) {
                    spanFrom = std::min(spanFrom, std::ceil(p.x()));
                    spanTo = std::max(spanTo, std::floor(p.x()));
                }
            const double span = spanTo - spanFrom + 1
                - double(std::count_if(
                    hidden.begin(), hidden.end(), [&](int x) { return x >= spanFrom && x <= spanTo; }));
            const double reached = result.points.back().x - result.points.front().x + 1;
            EXPECT_GE(reached, 0.98 * span) << what;
            if (c.kind != FigureKind::BlackCurves || c.curve == 0) {
                EXPECT_GE(double(result.points.size()), 0.98 * span) << what;
            }
            for (size_t i = 1; i < result.points.size(); ++i)
                ASSERT_GT(result.points[i].x, result.points[i - 1].x) << what;
        }
    }
}

// A seed with no pixel of the line within reach reads nothing.
TEST(ReadingsTest, FollowNeedsASeedOnTheLine)
{
    const Figure f = drawFigure(FigureKind::BlackCurves);
    ReadingRequest request;
    request.kind = Reading::Follow;
    request.seed = QPoint(f.plot.left() + 40, f.plot.top() + 5);
    const ReadingResult result = run(darkEngine(160), f.picture, f.plot, request);
    EXPECT_TRUE(result.seedMissing);
    EXPECT_TRUE(result.points.empty());
    // A page darker than the threshold everywhere: every pixel is dark, but
    // nothing stands out of the background to follow.
    QImage dark(200, 100, QImage::Format_RGB888);
    dark.fill(QColor(90, 90, 90));
    request.seed = QPoint(100, 50);
    const ReadingResult flat = run(darkEngine(160), dark, dark.rect(), request);
    EXPECT_TRUE(flat.seedMissing);
    EXPECT_TRUE(flat.points.empty());
}

// A click where a vertical grid line crosses the curve: the grid's light
// pixels join the curve's run in that column to whatever else the grid
// line meets, and the curve is still followed.
TEST(ReadingsTest, FollowFromASeedOnAGridLine)
{
    const Figure f = drawFigure(FigureKind::BlackCurves);
    const TTraceLine engine = darkEngine(160);
    // The first column inside the axes that is grey over most of their height.
    int gridColumn = -1;
    for (int x = f.plot.left() + 10; x < f.plot.right() && gridColumn < 0; ++x) {
        int dark = 0;
        for (int y = f.plot.top(); y <= f.plot.bottom(); ++y) {
            const uchar* p = f.picture.constScanLine(y) + 3 * x;
            dark += TTraceLine::Brightness(p[0], p[1], p[2]) < 230;
        }
        if (dark > f.plot.height() * 3 / 4)
            gridColumn = x;
    }
    ASSERT_GE(gridColumn, 0);
    for (const DrawnCurve& curve : f.curves) {
        const QPointF onCurve = pathAt(curve.path, gridColumn);
        ReadingRequest request;
        request.kind = Reading::Follow;
        request.precise = true;
        request.seed = QPoint(gridColumn, int(std::lround(onCurve.y())));
        const ReadingResult result = run(engine, f.picture, f.plot, request);
        ASSERT_GT(result.points.size(), size_t(f.plot.width() / 2));
        double worst = 0;
        for (const PrecisePoint& p : result.points)
            worst = std::max(worst, distanceToPath(curve.path, QPointF(p.x, p.row)));
        EXPECT_LE(worst, 1.0);
    }
}

// Seeds a few pixels from where two curves of one colour cross, where the
// seed's own column may still hold both: each curve is followed whole from
// either side of each crossing.
TEST(ReadingsTest, FollowFromASeedNearACrossing)
{
    for (const FigureKind kind : { FigureKind::BlackCurves, FigureKind::ColouredCurves }) {
        const Figure f = drawFigure(kind);
        const std::vector<QPointF>& a = f.curves[0].path;
        const std::vector<QPointF>& b = f.curves[1].path;
        // The columns where the first two curves cross inside the axes.
        std::vector<int> crossings;
        for (int x = f.plot.left() + 1; x < f.plot.right(); ++x) {
            const double before = pathAt(a, x - 1).y() - pathAt(b, x - 1).y();
            const double here = pathAt(a, x).y() - pathAt(b, x).y();
            if ((before < 0) != (here < 0) && !f.legend.contains(QPoint(x, int(pathAt(a, x).y()))))
                crossings.push_back(x);
        }
        ASSERT_FALSE(crossings.empty());
        for (const int crossing : crossings)
            for (const int offset : { -12, -8, -5, -4, -3, 3, 4, 5, 8, 12 })
                for (size_t c = 0; c < 2; ++c) {
                    const DrawnCurve& curve = f.curves[c];
                    const QPointF onCurve = pathAt(curve.path, crossing + offset);
                    ReadingRequest request;
                    request.kind = Reading::Follow;
                    request.precise = true;
                    request.seed = QPoint(crossing + offset, int(std::lround(onCurve.y())));
                    const ReadingResult result = run(
                        kind == FigureKind::BlackCurves ? darkEngine(160) : colourEngine(curve.colour, 60),
                        f.picture, f.plot, request);
                    const std::string what = "figure " + std::to_string(int(kind)) + " crossing "
                        + std::to_string(crossing) + " offset " + std::to_string(offset) + " curve "
                        + std::to_string(c);
                    ASSERT_FALSE(result.points.empty()) << what;
                    double worst = 0;
                    for (const PrecisePoint& p : result.points)
                        worst = std::max(worst, distanceToPath(curve.path, QPointF(p.x, p.row)));
                    EXPECT_LE(worst, 1.0) << what;
                    const double reached = result.points.back().x - result.points.front().x + 1;
                    EXPECT_GE(reached, 0.9 * f.plot.width()) << what;
                }
    }
}

// Each found point matched to the nearest drawn centre: how many centres
// were found within the limit, and how many points matched none.
struct Matched {
    int found = 0;
    int falsePoints = 0;
    double worst = 0;
};

Matched match(const std::vector<PrecisePoint>& points, const std::vector<QPointF>& drawn, double limit,
    const std::function<QPointF(const PrecisePoint&)>& toDrawn = {})
{
    Matched m;
    std::vector<bool> taken(drawn.size(), false);
    for (const PrecisePoint& point : points) {
        const QPointF p = toDrawn ? toDrawn(point) : QPointF(point.x, point.row);
        size_t best = drawn.size();
        double distance = 1e9;
        for (size_t i = 0; i < drawn.size(); ++i) {
            const double d = std::hypot(drawn[i].x() - p.x(), drawn[i].y() - p.y());
            if (d < distance) {
                distance = d;
                best = i;
            }
        }
        if (best == drawn.size() || distance > limit || taken[best]) {
            ++m.falsePoints;
            continue;
        }
        taken[best] = true;
        ++m.found;
        m.worst = std::max(m.worst, distance);
    }
    return m;
}

// One point per circle (the touching pairs too); the squares of another
// colour, the text and the grid give none; the legend's marker counts until
// the legend is left out. On the line with markers, given their size, the
// line between them gives none.
TEST(ReadingsTest, OnePointPerMarker)
{
    for (const Source& source : kSources) {
        const double limit = source.quality > 0 ? 0.75 : 0.5;
        for (const FigureKind kind : { FigureKind::Scatter, FigureKind::LineWithMarkers }) {
            const Figure f = drawFigure(kind);
            const QImage picture = pictureOf(f, source);
            const std::string what = std::string(source.name) + " figure " + std::to_string(int(kind));
            ReadingRequest request;
            request.kind = Reading::Markers;
            request.precise = true;
            if (kind == FigureKind::LineWithMarkers)
                request.markerSize = 9;
            TTraceLine engine = colourEngine(f.circleColour, 60);
            const ReadingResult withLegend = run(engine, picture, f.plot, request);
            EXPECT_EQ(withLegend.points.size(), f.circles.size() + 1) << what;
            engine.Excluded.push_back(f.legend);
            const ReadingResult result = run(engine, picture, f.plot, request);
            const Matched m = match(result.points, f.circles, limit);
            EXPECT_EQ(m.found, int(f.circles.size())) << what;
            EXPECT_EQ(m.falsePoints, 0) << what;
            EXPECT_LE(m.worst, limit) << what;
        }
    }
}

// One point per bar, above and below the baseline, with grid lines drawn
// over the bars and behind them, in both modes: its centre column and its
// free end.
TEST(ReadingsTest, OnePointPerBar)
{
    for (const Source& source : kSources) {
        const double limit = source.quality > 0 ? 0.75 : 0.5;
        for (const FigureKind kind : { FigureKind::Bars, FigureKind::BarsOverGrid })
            for (const bool dark : { false, true }) {
                const Figure f = drawFigure(kind);
                const std::string what = std::string(source.name) + " figure " + std::to_string(int(kind))
                    + (dark ? " brightness" : " colour");
                ReadingRequest request;
                request.kind = Reading::Bars;
                request.precise = true;
                TTraceLine engine = dark ? darkEngine(160) : colourEngine(f.barColour, 60);
                engine.Excluded.push_back(f.legend);
                const ReadingResult result = run(engine, pictureOf(f, source), f.plot, request);
                const Matched m = match(result.points, f.bars, limit);
                EXPECT_EQ(m.found, int(f.bars.size())) << what;
                EXPECT_EQ(m.falsePoints, 0) << what;
                EXPECT_LE(m.worst, limit) << what;
            }
    }
}

// A rectangle left out is never read: the engine's readings find nothing
// of the curve inside it, and the rest as before.
TEST(ReadingsTest, AreasLeftOutAreNotRead)
{
    const Figure f = drawFigure(FigureKind::ColouredCurves);
    TTraceLine engine = colourEngine(f.curves[0].colour, 60);
    const QRect out(f.plot.left() + 100, f.plot.top(), 80, f.plot.height());
    for (const Reading kind : { Reading::All, Reading::Average }) {
        for (const bool precise : { false, true }) {
            ReadingRequest request;
            request.kind = kind;
            request.precise = precise && kind == Reading::Average;
            engine.Excluded.clear();
            const ReadingResult whole = run(engine, f.picture, f.plot, request);
            engine.Excluded.push_back(out);
            const ReadingResult cut = run(engine, f.picture, f.plot, request);
            std::vector<PrecisePoint> expected;
            for (const PrecisePoint& p : whole.points)
                if (!out.contains(QPoint(int(p.x), int(std::lround(p.row))))
                    && (p.x < out.left() || p.x > out.right()))
                    expected.push_back(p);
            ASSERT_EQ(cut.points.size(), expected.size());
            for (size_t i = 0; i < expected.size(); ++i) {
                EXPECT_EQ(cut.points[i].x, expected[i].x);
                EXPECT_NEAR(cut.points[i].row, expected[i].row, 1e-9);
            }
        }
    }
}

} // namespace
