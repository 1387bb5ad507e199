// The line tracer over a 10000 x 10000 picture of a graph: a white page with
// a frame of axes and a curve three pixels thick, traced by brightness and
// by colour. Each beside its floor: one plain pass reading every pixel; the
// precise reading beside the average reading it refines.
#include "BenchFloor.h"
#include "trace/PreciseTrace.h"
#include "trace/Readings.h"
#include "trace/TraceLine.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace {

constexpr int kSide = 10000;

const QImage& graph()
{
    static const QImage image = [] {
        QImage picture(kSide, kSide, QImage::Format_RGB888);
        for (int y = 0; y < kSide; ++y)
            std::memset(picture.scanLine(y), 255, size_t(kSide) * 3);
        auto dark = [&](int x, int y) {
            if (x >= 0 && x < kSide && y >= 0 && y < kSide)
                std::memset(picture.scanLine(y) + size_t(x) * 3, 0, 3);
        };
        for (int i = 0; i < kSide; ++i) {
            dark(500, i); // vertical axis
            dark(i, kSide - 500); // horizontal axis
        }
        for (int x = 0; x < kSide; ++x) {
            const int y = int(kSide / 2 + kSide / 3 * std::sin(x * 0.0015));
            for (int d = -1; d <= 1; ++d)
                dark(x, y + d);
        }
        return picture;
    }();
    return image;
}

// The floor: every byte of the picture read once, 64 bytes at a time into
// four independent vector sums, which keeps the loads in flight.
uint64_t readEveryPixel(const QImage& picture, int top = 0, int bottom = -1)
{
    if (bottom < 0)
        bottom = picture.height() - 1;
    typedef uint64_t Words __attribute__((vector_size(16)));
    Words sums[4] = {};
    uint64_t rest = 0;
    const size_t bytes = size_t(picture.width()) * 3;
    for (int y = top; y <= bottom; ++y) {
        const uchar* line = picture.constScanLine(y);
        size_t i = 0;
        for (; i + 64 <= bytes; i += 64) {
            Words words[4];
            std::memcpy(words, line + i, sizeof words);
            for (int k = 0; k < 4; ++k)
                sums[k] += words[k];
        }
        for (; i < bytes; ++i)
            rest += line[i];
    }
    const Words total = sums[0] + sums[1] + sums[2] + sums[3];
    return total[0] + total[1] + rest;
}

// The engine at the benchmark's interval. The colour mode looks for the
// black of the curve and the axes within a tolerance of 60, so it finds what
// the brightness mode finds.
cvg::TTraceLine engine(const benchmark::State& state, bool colour)
{
    cvg::TTraceLine trace;
    trace.ScanInterval = int(state.range(0));
    if (colour) {
        trace.Mode = cvg::TraceMode::Colour;
        trace.LineColour = qRgb(0, 0, 0);
        trace.Tolerance = 60;
    }
    return trace;
}

// One scan over the whole picture per iteration.
void traceWhole(benchmark::State& state, bool average, bool colour)
{
    const QImage& picture = graph();
    cvg::TTraceLine trace = engine(state, colour);
    timeAgainstFloor(
        state,
        [&] {
            const auto& points = average ? trace.TraceAverage(picture, 0, 0, kSide - 1, kSide - 1)
                                         : trace.TraceAll(picture, 0, 0, kSide - 1, kSide - 1);
            benchmark::DoNotOptimize(points.data());
        },
        [&] { benchmark::DoNotOptimize(readEveryPixel(picture)); });
    state.counters["points"] = double(trace.LastIndex + 1);
}

void BM_TraceAll(benchmark::State& state) { traceWhole(state, false, false); }
void BM_TraceAverage(benchmark::State& state) { traceWhole(state, true, false); }
void BM_TraceAllColour(benchmark::State& state) { traceWhole(state, false, true); }
void BM_TraceAverageColour(benchmark::State& state) { traceWhole(state, true, true); }
BENCHMARK(BM_TraceAll)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TraceAverage)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TraceAllColour)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TraceAverageColour)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// The precise reading, timed against the average reading of the same engine
// in the same run: the ratio is the cost of the sub-pixel centres.
void tracePrecise(benchmark::State& state, bool colour)
{
    const QImage& picture = graph();
    cvg::TTraceLine trace = engine(state, colour);
    size_t found = 0;
    timeAgainstFloor(
        state,
        [&] {
            const std::vector<cvg::PrecisePoint> points = cvg::TracePrecise(trace, picture, 0, 0, kSide - 1, kSide - 1);
            found = points.size();
            benchmark::DoNotOptimize(points.data());
        },
        [&] { benchmark::DoNotOptimize(trace.TraceAverage(picture, 0, 0, kSide - 1, kSide - 1).data()); });
    state.counters["points"] = double(found);
}

void BM_TracePrecise(benchmark::State& state) { tracePrecise(state, false); }
void BM_TracePreciseColour(benchmark::State& state) { tracePrecise(state, true); }
BENCHMARK(BM_TracePrecise)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_TracePreciseColour)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

// The readings that know a figure, on a 4000 x 3000 figure drawn with
// anti-aliasing: grid lines, three crossing curves 3 px wide (one black),
// 400 round markers and 8 bars in their own thirds of the page. Each is timed
// against the plain pass over the same picture.
namespace {

constexpr int kFigureWidth = 4000, kFigureHeight = 3000;
const QColor kCurveBlue(31, 119, 180);

double figureCurve(double x)
{
    return 500 + 300 * std::sin(x / 400);
}

const QImage& figure()
{
    static const QImage image = [] {
        QImage picture(kFigureWidth, kFigureHeight, QImage::Format_RGB888);
        picture.fill(Qt::white);
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(176, 176, 176), 2));
        for (int x = 0; x < kFigureWidth; x += 200)
            p.drawLine(QPointF(x + 0.3, 0), QPointF(x + 0.3, kFigureHeight));
        for (int y = 0; y < kFigureHeight; y += 150)
            p.drawLine(QPointF(0, y + 0.7), QPointF(kFigureWidth, y + 0.7));
        // The top third: three curves crossing one another.
        const auto curve = [&](QColor colour, const std::function<double(double)>& y) {
            QPainterPath path;
            path.moveTo(0, y(0));
            for (double x = 2; x <= kFigureWidth; x += 2)
                path.lineTo(x, y(x));
            p.setPen(QPen(colour, 3));
            p.drawPath(path);
        };
        curve(Qt::black, figureCurve);
        curve(kCurveBlue, [](double x) { return 500 + 250 * std::cos(x / 300); });
        curve(QColor(255, 127, 14), [](double x) { return 200 + 0.15 * x; });
        // The middle third: markers 16 px across on a loose grid.
        p.setPen(QPen(kCurveBlue, 2));
        p.setBrush(kCurveBlue);
        for (int i = 0; i < 400; ++i)
            p.drawEllipse(QPointF(60 + (i % 40) * 97.3, 1100 + (i / 40) * 83.7), 8, 8);
        // The bottom third: 8 bars standing on row 2900.
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 8; ++i)
            p.drawRect(QRectF(100 + i * 480.5, 2900 - 100 - 90 * i, 300, 100 + 90 * i));
        return picture;
    }();
    return image;
}

// Timed beside one plain read of the rows the reading looks at.
template <typename Reading> void timeReading(benchmark::State& state, int top, int bottom, Reading&& reading)
{
    const QImage& picture = figure();
    size_t found = 0;
    timeAgainstFloor(
        state, [&] { found = reading(picture); },
        [&] { benchmark::DoNotOptimize(readEveryPixel(picture, top, bottom)); });
    state.counters["points"] = double(found);
}

// One black curve across the whole width, from a seed on it.
void BM_FollowCurve(benchmark::State& state)
{
    cvg::TTraceLine trace;
    trace.ScanInterval = 1;
    timeReading(state, 0, 999, [&](const QImage& picture) {
        const auto points = cvg::FollowCurve(trace, picture, 0, 0, kFigureWidth - 1, 999,
            QPoint(2000, int(std::lround(figureCurve(2000.5) - 0.5))), 0);
        return points ? points->size() : 0;
    });
}

void BM_FindMarkers(benchmark::State& state)
{
    cvg::TTraceLine trace;
    trace.Mode = cvg::TraceMode::Colour;
    trace.LineColour = kCurveBlue.rgb();
    timeReading(state, 1000, 1999, [&](const QImage& picture) {
        return cvg::FindMarkers(trace, picture, 0, 1000, kFigureWidth - 1, 1999, 0).size();
    });
}

void BM_FindBars(benchmark::State& state)
{
    cvg::TTraceLine trace;
    trace.Mode = cvg::TraceMode::Colour;
    trace.LineColour = kCurveBlue.rgb();
    timeReading(state, 2000, kFigureHeight - 1, [&](const QImage& picture) {
        return cvg::FindBars(trace, picture, 0, 2000, kFigureWidth - 1, kFigureHeight - 1).size();
    });
}

BENCHMARK(BM_FollowCurve)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_FindMarkers)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_FindBars)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace
