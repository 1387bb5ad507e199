// The line tracer over a 10000 x 10000 picture of a graph: a white page with
// a frame of axes and a curve three pixels thick, traced by brightness and
// by colour, all pixels, averaged and precise.
#include "trace/PreciseTrace.h"
#include "trace/TraceLine.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>
#include <cstring>
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
    for (auto _ : state) {
        const auto& points = average ? trace.TraceAverage(picture, 0, 0, kSide - 1, kSide - 1)
                                     : trace.TraceAll(picture, 0, 0, kSide - 1, kSide - 1);
        benchmark::DoNotOptimize(points.data());
    }
    state.counters["points"] = double(trace.LastIndex + 1);
}

void BM_TraceAll(benchmark::State& state) { traceWhole(state, false, false); }
void BM_TraceAverage(benchmark::State& state) { traceWhole(state, true, false); }
void BM_TraceAllColour(benchmark::State& state) { traceWhole(state, false, true); }
void BM_TraceAverageColour(benchmark::State& state) { traceWhole(state, true, true); }
BENCHMARK(BM_TraceAll)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TraceAverage)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TraceAllColour)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TraceAverageColour)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

// The precise reading over the same picture, beside the average reading it
// refines: the background is found first, then one pass weighs every pixel.
void tracePrecise(benchmark::State& state, bool colour)
{
    const QImage& picture = graph();
    const cvg::TTraceLine trace = engine(state, colour);
    size_t found = 0;
    for (auto _ : state) {
        const std::vector<cvg::PrecisePoint> points = cvg::TracePrecise(trace, picture, 0, 0, kSide - 1, kSide - 1);
        found = points.size();
        benchmark::DoNotOptimize(points.data());
    }
    state.counters["points"] = double(found);
}

void BM_TracePrecise(benchmark::State& state) { tracePrecise(state, false); }
void BM_TracePreciseColour(benchmark::State& state) { tracePrecise(state, true); }
BENCHMARK(BM_TracePrecise)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TracePreciseColour)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

// The floor: copying the same bytes once.
void BM_TraceFloorMemcpy(benchmark::State& state)
{
    const QImage& picture = graph();
    std::vector<uchar> copy(size_t(picture.sizeInBytes()));
    for (auto _ : state) {
        std::memcpy(copy.data(), picture.constBits(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_TraceFloorMemcpy)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
