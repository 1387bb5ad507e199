// The distortion correction of a 10000 x 10000 picture, with axes already
// square to the grid (a straight row copy) and with axes turned by about one
// degree (the forward mapping), each beside its floor: a new picture of the
// output's size filled from the input in one plain pass.
#include "BenchFloor.h"
#include "platform/HeadlessDialogs.h"
#include "calibration/CorrectDistortion.h"
#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <algorithm>

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

// Reads every input byte and writes every output byte once: the input rows
// into a new picture of the output's size, white beyond them.
QImage newPictureFilledFrom(const QImage& source, QSize size)
{
    QImage out(size, cvg::kPictureFormat);
    const size_t rowBytes = size_t(std::min(source.width(), size.width())) * 3;
    const size_t lineBytes = size_t(out.bytesPerLine());
    for (int r = 0; r < size.height(); ++r) {
        uchar* line = out.scanLine(r);
        const size_t copied = r < source.height() ? rowBytes : 0;
        if (copied > 0)
            std::memcpy(line, source.constScanLine(r), copied);
        std::memset(line + copied, 0xff, lineBytes - copied);
    }
    return out;
}

void runCorrection(benchmark::State& state, cvg::Calibration cal)
{
    const QImage& source = sourcePicture();
    cvg::NullProgress progress;
    int shown = 0;
    SilentDialogs dialogs([&shown](const QString&) { ++shown; });
    QImage corrected;
    if (!cvg::CorrectDistortion(source, cal, corrected, progress, dialogs) || shown != 0) {
        state.SkipWithError("the correction failed");
        return;
    }
    const QSize outputSize = corrected.size();
    corrected = QImage();
    timeAgainstFloor(
        state,
        [&] {
            QImage out;
            cvg::CorrectDistortion(source, cal, out, progress, dialogs);
            benchmark::DoNotOptimize(out.constBits());
        },
        [&] {
            const QImage out = newPictureFilledFrom(source, outputSize);
            benchmark::DoNotOptimize(out.constBits());
        });
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

} // namespace

BENCHMARK(BM_CorrectDistortionSquare)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_CorrectDistortionSkewed)->Unit(benchmark::kMillisecond)->UseManualTime();
