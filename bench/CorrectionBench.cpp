// The distortion correction of a 10000 x 10000 picture, with axes already
// square to the grid (a straight row copy) and with axes turned by about one
// degree (the forward mapping), beside a plain copy of the same bytes.
#include "platform/HeadlessDialogs.h"
#include "calibration/CorrectDistortion.h"
#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr int kSide = 10000;

// Answers nothing: a benchmark run must not show a box.
using SilentDialogs = cvg::HeadlessDialogs;

const QImage& sourcePicture()
{
    static const QImage picture = [] {
        QImage image = cvg::newPicture(kSide, kSide);
        for (int r = 0; r < kSide; ++r) {
            uchar* line = image.scanLine(r);
            for (int i = 0; i < kSide * 3; ++i)
                line[i] = uchar(i * 7 + r);
        }
        return image;
    }();
    return picture;
}

// Lower Y point and left X point at (x, upward y); axis vectors in screen
// orientation.
cvg::Calibration axes(int ax, int ay, int bx, int by)
{
    cvg::Calibration cal;
    const int x = 300, y = 300;
    cal.SourcePoints[cvg::YLower] = { x, y, 0 };
    cal.SourcePoints[cvg::XLeft] = { x, y, 0 };
    cal.SourcePoints[cvg::XRight] = { x + ax, y - ay, 1 };
    cal.SourcePoints[cvg::YUpper] = { x + bx, y - by, 1 };
    return cal;
}

void runCorrection(benchmark::State& state, cvg::Calibration cal)
{
    const QImage& source = sourcePicture();
    cvg::NullProgress progress;
    int shown = 0;
    SilentDialogs dialogs([&shown](const QString&) { ++shown; });
    for (auto _ : state) {
        QImage corrected;
        const bool ok = cvg::CorrectDistortion(source, cal, corrected, progress, dialogs);
        if (!ok || shown != 0)
            state.SkipWithError("the correction failed");
        benchmark::DoNotOptimize(corrected.constBits());
    }
    state.SetBytesProcessed(state.iterations() * int64_t(source.sizeInBytes()));
}

void BM_CorrectDistortionSquare(benchmark::State& state)
{
    runCorrection(state, axes(9000, 0, 0, -9000));
}

void BM_CorrectDistortionSkewed(benchmark::State& state)
{
    // About one degree: the X axis falls by 157 rows over 9000 columns.
    runCorrection(state, axes(9000, 157, 157, -9000));
}

void BM_MemcpySameBytes(benchmark::State& state)
{
    const QImage& source = sourcePicture();
    const size_t bytes = size_t(source.sizeInBytes());
    std::vector<uchar> target(bytes);
    for (auto _ : state) {
        std::memcpy(target.data(), source.constBits(), bytes);
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t(bytes));
}

} // namespace

BENCHMARK(BM_CorrectDistortionSquare)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CorrectDistortionSkewed)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
