// Sorting and drawing a full page of 1,000,000 points.
#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "worksheet/PointMarkers.h"
#include "worksheet/Worksheets.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

// Points in random order over a 10000 x 10000 picture, with repeated X.
std::vector<cvg::Point> shuffledPage()
{
    std::vector<cvg::Point> points(size_t(cvg::kMaxPoints));
    std::mt19937 random(7);
    for (cvg::Point& p : points)
        p = {int32_t(random() % 10000), int32_t(random() % 10000)};
    return points;
}

void BM_SortByX(benchmark::State& state)
{
    const std::vector<cvg::Point> source = shuffledPage();
    std::vector<cvg::Point> points;
    for (auto _ : state) {
        state.PauseTiming();
        points = source;
        state.ResumeTiming();
        cvg::SortByX(points);
        benchmark::DoNotOptimize(points.data());
    }
}
BENCHMARK(BM_SortByX)->Unit(benchmark::kMillisecond);

// For scale: copying the same 8 MB.
void BM_CopyPage(benchmark::State& state)
{
    const std::vector<cvg::Point> source = shuffledPage();
    std::vector<cvg::Point> points(source.size());
    for (auto _ : state) {
        std::memcpy(points.data(), source.data(), source.size() * sizeof(cvg::Point));
        benchmark::DoNotOptimize(points.data());
    }
}
BENCHMARK(BM_CopyPage)->Unit(benchmark::kMillisecond);

void BM_RedrawPointMarkersMillionPoints(benchmark::State& state)
{
    // A traced curve: X ascending over 4000 columns, Y following a wave.
    std::vector<cvg::Point> points(size_t(cvg::kMaxPoints));
    for (size_t i = 0; i < points.size(); ++i) {
        const int x = int(i * 4000 / points.size());
        points[i] = {x, int(1500 + 1000 * std::sin(x / 300.0))};
    }
    const QImage corrected = cvg::newPicture(4000, 3000);
    cvg::NullProgress quiet;
    for (auto _ : state) {
        const QImage shown = cvg::RedrawPointMarkers(corrected, points, state.range(0) != 0, 3, quiet);
        benchmark::DoNotOptimize(shown.constBits());
    }
}
BENCHMARK(BM_RedrawPointMarkersMillionPoints)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
