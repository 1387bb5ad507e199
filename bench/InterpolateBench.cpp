// The interpolation engine: 1,000,000 values sampled over a curve of 10000
// columns, the preparation of a full page, and the page driver filling a
// full page of 1,000,000 rows.
#include "interpolate/InterpolateSheet.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kColumns = 10000;
constexpr int kSamples = 1'000'000;

struct Knots {
    std::vector<double> x;
    std::vector<double> y;
};

// A curve with a knot every `step` columns.
Knots curve(int count, int step)
{
    Knots k;
    k.x.resize(size_t(count));
    k.y.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        k.x[size_t(i)] = double(i) * step;
        k.y[size_t(i)] = std::round(5000 + 3000 * std::sin(i * step * 0.0015));
    }
    return k;
}

void BM_InterpolateEvaluate(benchmark::State& state)
{
    const Knots k = curve(kColumns, 1);
    cvg::TInterpolate engine;
    engine.setMethod(cvg::TMethod(state.range(0)));
    engine.setInterval(cvg::TInterval(state.range(1)));
    engine.Prepare(kColumns, k.x.data(), k.y.data());
    const double step = double(kColumns - 1) / kSamples;
    for (auto _ : state) {
        long double sum = 0;
        for (int i = 0; i < kSamples; ++i)
            sum += engine.Evaluate(i * step);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_InterpolateEvaluate)
    ->ArgNames({ "method", "regular" })
    ->Args({ int(cvg::TMethod::Linear), 0 })
    ->Args({ int(cvg::TMethod::CSpline), 0 })
    ->Args({ int(cvg::TMethod::CSpline), 1 })
    ->Unit(benchmark::kMillisecond);

void BM_InterpolatePrepareSpline(benchmark::State& state)
{
    const Knots k = curve(kSamples, 1);
    cvg::TInterpolate engine;
    engine.setMethod(cvg::TMethod::CSpline);
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.Prepare(kSamples, k.x.data(), k.y.data()));
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_InterpolatePrepareSpline)->Unit(benchmark::kMillisecond);

void BM_InterpolateSheetFullPage(benchmark::State& state)
{
    // Knots every 100 columns over 999,901 columns; sample distance 1.
    const Knots k = curve(kColumns, 100);
    cvg::WorksheetPage page;
    page.caption = QStringLiteral("Page0");
    for (size_t i = 0; i < k.x.size(); ++i)
        page.points.push_back({ int(k.x[i]), int(k.y[i]) });
    cvg::TInterpolate engine;
    cvg::NullProgress progress;
    for (auto _ : state) {
        auto result = cvg::InterpolateSheet(engine, page, cvg::SheetInterpolation::Spline, 1, progress);
        benchmark::DoNotOptimize(result->points.data());
    }
}
BENCHMARK(BM_InterpolateSheetFullPage)->Unit(benchmark::kMillisecond);

} // namespace
