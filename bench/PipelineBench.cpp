// From picture to numbers on a 4000 x 3000 graph, through the same core calls
// as cvglean-cli: calibrate (validate, correct, scales), trace, interpolate,
// export. Reading and writing the document files is measured apart.
#include "platform/HeadlessDialogs.h"
#include "calibration/Calibration.h"
#include "calibration/CorrectDistortion.h"
#include "image/ImageSet.h"
#include "interpolate/InterpolateSheet.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "trace/TraceLine.h"
#include "worksheet/TextExport.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using SilentDialogs = cvg::HeadlessDialogs;


// A white picture with a dark sine curve 3 pixels thick.
QImage curvePicture(int width, int height)
{
    QImage image = cvg::newPicture(width, height);
    for (int x = width / 10; x < width - width / 10; ++x) {
        const int row = int(height / 2 + height / 4 * std::sin(x * 6.283 / width));
        for (int r = row - 1; r <= row + 1; ++r) {
            uchar* p = image.scanLine(r) + 3 * x;
            p[0] = p[1] = p[2] = 20;
        }
    }
    return image;
}

void BM_PipelineCalibrateTraceInterpolateExport(benchmark::State& state)
{
    const int width = 4000, height = 3000;
    const QImage picture = curvePicture(width, height);
    SilentDialogs dialogs;
    cvg::NullProgress quiet;
    for (auto _ : state) {
        cvg::Document doc;
        doc.images.workingImage = picture;
        cvg::Calibration& cal = doc.calibration;
        // Slightly skewed axes, as a scanned page has them.
        cal.SourcePoints[cvg::YUpper] = {400, 2700, 1.0};
        cal.SourcePoints[cvg::YLower] = {404, 300, -1.0};
        cal.SourcePoints[cvg::XLeft] = {404, 300, 0.0};
        cal.SourcePoints[cvg::XRight] = {3600, 310, 6.283};
        const std::array<QString, 4> texts = {QStringLiteral("1"), QStringLiteral("-1"), QStringLiteral("0"),
                                              QStringLiteral("6.283")};
        if (!cvg::ValidateCalibration(cal, texts, dialogs)
            || !cvg::CorrectDistortion(doc.images.workingImage, cal, doc.images.correctedImage, quiet, dialogs)
            || !cvg::ConvertData(cal))
            state.SkipWithError("calibration failed");
        cal.Converted = true;

        cvg::TTraceLine trace;
        trace.BoundColor = 125;
        trace.ScanInterval = 1;
        const QImage& corrected = doc.images.correctedImage;
        const auto& found = trace.TraceAverage(corrected, 0, 0, corrected.width() - 1, corrected.height() - 1);
        std::vector<cvg::Point> points;
        points.reserve(found.size());
        for (const cvg::TXYData& p : found)
            points.push_back({p.X, corrected.height() - p.Y});
        cvg::WritePoints(doc.sheets.currentPage(), std::move(points));

        cvg::TInterpolate engine;
        cvg::AddInterpolatedSheet(doc.sheets, engine, cvg::SheetInterpolation::Spline, 1, quiet);
        const QByteArray text =
            cvg::ExportLines(doc.sheets.currentPage().points, cal, cvg::TransferSeparator(cvg::CsvFormat), quiet);
        benchmark::DoNotOptimize(text.size());
        state.counters["points"] = double(doc.sheets.currentPage().points.size());
    }
}
BENCHMARK(BM_PipelineCalibrateTraceInterpolateExport)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
