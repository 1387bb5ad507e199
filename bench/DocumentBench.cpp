// Text export of a full page and the document file with a full page and a
// large picture, beside a plain memcpy of the file's bytes as the floor.
#include "BenchPictures.h"
#include "platform/HeadlessDialogs.h"
#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"
#include "worksheet/TextExport.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

namespace {

using SilentDialogs = cvg::HeadlessDialogs;


// A curve sampled once per column, wrapping over a 10000-column picture.
std::vector<cvg::Point> fullPage()
{
    std::vector<cvg::Point> points(size_t(cvg::kMaxPoints));
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = { int32_t(i % 10000), int32_t(1 + (i * 7919) % 9973) };
    return points;
}

// Values with many digits on both axes, one of them logarithmic.
cvg::Calibration benchCalibration()
{
    cvg::Calibration cal;
    cal.CorrectedPoints[cvg::XLeft] = { 37, 0, -12.75 };
    cal.CorrectedPoints[cvg::YLower] = { 0, 41, 0.001 };
    cal.ScaleX = 0.0123456789;
    cal.ScaleY = 0.000731;
    cal.YLog = true;
    cal.Converted = true;
    return cal;
}


void BM_ExportLines1MPoints(benchmark::State& state)
{
    const std::vector<cvg::Point> points = fullPage();
    const cvg::Calibration cal = benchCalibration();
    cvg::NullProgress progress;
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray text = cvg::ExportLines(points, cal, '\t', progress);
        bytes = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}
BENCHMARK(BM_ExportLines1MPoints)->Unit(benchmark::kMillisecond);

// The document with a full page of whole pixels (argument 0), or of points
// that all carry fractions, as a precise reading gives them (argument 1).
struct BenchFile {
    QTemporaryDir dir;
    QString path;
    cvg::Document doc;

    explicit BenchFile(bool fractions)
    {
        path = dir.filePath(QStringLiteral("bench.cvd"));
        doc.reset();
        doc.images.workingImage = benchPicture(4000, 3000);
        doc.state.pictureLoaded = true;
        doc.sheets.currentPage().points = fullPage();
        if (fractions)
            for (cvg::Point& p : doc.sheets.currentPage().points)
                p = cvg::Point::atPrecise(p.X + 0.25, p.Y - 0.375);
    }
};

BenchFile& benchFile(int64_t fractions = 0)
{
    static BenchFile whole(false);
    static BenchFile precise(true);
    return fractions ? precise : whole;
}

void BM_WriteDocument1MPoints4000x3000(benchmark::State& state)
{
    BenchFile& file = benchFile(state.range(0));
    cvg::NullProgress progress;
    for (auto _ : state)
        benchmark::DoNotOptimize(cvg::WriteDocument(file.path, file.doc, progress));
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(file.path).size());
}
BENCHMARK(BM_WriteDocument1MPoints4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ReadDocument1MPoints4000x3000(benchmark::State& state)
{
    BenchFile& file = benchFile(state.range(0));
    cvg::NullProgress progress;
    if (!QFile::exists(file.path))
        cvg::WriteDocument(file.path, file.doc, progress);
    SilentDialogs dialogs;
    cvg::Document doc;
    for (auto _ : state) {
        doc.reset();
        if (!cvg::ReadDocument(file.path, doc, dialogs, progress))
            state.SkipWithError("read failed");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(file.path).size());
}
BENCHMARK(BM_ReadDocument1MPoints4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_MemcpyOfTheDocumentBytes(benchmark::State& state)
{
    BenchFile& file = benchFile();
    cvg::NullProgress progress;
    if (!QFile::exists(file.path))
        cvg::WriteDocument(file.path, file.doc, progress);
    const size_t bytes = size_t(QFile(file.path).size());
    std::vector<char> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_MemcpyOfTheDocumentBytes)->Unit(benchmark::kMillisecond);

} // namespace
