// Sorting and drawing a full page of 1,000,000 points.
#include "BenchFloor.h"
#include "image/ImageSet.h"
#include "platform/Progress.h"
#include "worksheet/PointMarkers.h"
#include "worksheet/Worksheets.h"
#include "worksheet/ZoomedView.h"

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

// A million points on 4000 x 3000, beside its floor: the new picture that
// every redraw starts from, a copy of the corrected one. Page 0 is a traced
// curve averaged per column (X ascending over 4000 columns, 250 points in
// each on one spot); page 1 every pixel of a band 250 rows thick, so that
// no point repeats the one before.
void BM_RedrawPointMarkersMillionPoints(benchmark::State& state)
{
    const bool join = state.range(0) != 0;
    const bool band = state.range(1) != 0;
    std::vector<cvg::Point> points(size_t(cvg::kMaxPoints));
    for (size_t i = 0; i < points.size(); ++i) {
        const int x = int(i * 4000 / points.size());
        const int wave = int(1500 + 1000 * std::sin(x / 300.0));
        points[i] = { x, band ? wave - 125 + int(i % 250) : wave };
    }
    const QImage corrected = cvg::newPicture(4000, 3000);
    cvg::NullProgress quiet;
    timeAgainstFloor(
        state,
        [&] {
            const QImage shown = cvg::RedrawPointMarkers(corrected, points, join, 3, quiet);
            benchmark::DoNotOptimize(shown.constBits());
        },
        [&] {
            const QImage copy = corrected.copy();
            benchmark::DoNotOptimize(copy.constBits());
        });
}
BENCHMARK(BM_RedrawPointMarkersMillionPoints)
    ->ArgNames({ "join", "band" })
    ->Args({ 0, 0 })
    ->Args({ 1, 0 })
    ->Args({ 0, 1 })
    ->Args({ 1, 1 })
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

// The same million points redrawn on the zoomed main view: the page's
// points taken into the view's layer (as the main window does) and the
// visible 1600 x 1000 part of the view made, picture and marks. Timed beside
// today's redraw at 100 % (the whole marked picture), which is the mark to
// stay under: ratio < 1 is faster than at 100 %.
void BM_RedrawZoomedMillionPoints(benchmark::State& state)
{
    const double zoom = double(state.range(0)) / 100.0;
    const bool join = state.range(1) != 0;
    std::vector<cvg::Point> points(size_t(cvg::kMaxPoints));
    for (size_t i = 0; i < points.size(); ++i) {
        const int x = int(i * 4000 / points.size());
        const int wave = int(1500 + 1000 * std::sin(x / 300.0));
        points[i] = {x, wave - 125 + int(i % 250)};
    }
    const QImage corrected = cvg::newPicture(4000, 3000);
    const cvg::ViewScale scale(zoom);
    const QSize view = scale.viewSize(corrected.size());
    // The middle of the view, or all of it when it is smaller.
    const QSize shown(std::min(view.width(), 1600), std::min(view.height(), 1000));
    const QRect area(QPoint((view.width() - shown.width()) / 2, (view.height() - shown.height()) / 2), shown);
    cvg::NullProgress quiet;
    timeAgainstFloor(
        state,
        [&] {
            std::vector<cvg::MarkLayer> layers(1);
            layers[0].points = points;
            layers[0].joined = join ? points.size() : 0;
            const QImage part = cvg::renderZoomedView(corrected, area, scale, layers, 3);
            benchmark::DoNotOptimize(part.constBits());
        },
        [&] {
            const QImage shownAtOne = cvg::RedrawPointMarkers(corrected, points, join, 3, quiet);
            benchmark::DoNotOptimize(shownAtOne.constBits());
        });
}
BENCHMARK(BM_RedrawZoomedMillionPoints)
    ->ArgNames({"zoom", "join"})
    ->Args({25, 0})
    ->Args({25, 1})
    ->Args({400, 0})
    ->Args({400, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime();

} // namespace
