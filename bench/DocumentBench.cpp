// Text export of a full page and the document file with a full page and a
// large picture, each beside its floor.
#include "BenchFloor.h"
#include "BenchPictures.h"
#include "platform/HeadlessDialogs.h"
#include "calibration/Calibration.h"
#include "image/ImageSet.h"
#include "image/JpegCodec.h"
#include "image/PngCodec.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"
#include "worksheet/Document.h"
#include "worksheet/DocumentFile.h"
#include "worksheet/TextExport.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
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

// The export beside its floor: the same million value pairs, converted
// beforehand, written by a plain snprintf("%.15g") loop into one buffer.
void BM_ExportLines1MPoints(benchmark::State& state)
{
    const std::vector<cvg::Point> points = fullPage();
    const cvg::Calibration cal = benchCalibration();
    std::vector<double> xs, ys;
    for (const cvg::Point& p : points) {
        xs.push_back(cvg::ConvertX(cal, p.X));
        ys.push_back(cvg::ConvertY(cal, p.Y));
    }
    // bench/export-vs-numpy hands the same pairs to numpy.
    if (const QByteArray path = qgetenv("CVG_BENCH_EXPORT_VALUES"); !path.isEmpty()) {
        QFile file(QString::fromLocal8Bit(path));
        if (file.open(QIODevice::WriteOnly)) {
            QByteArray pairs;
            for (size_t i = 0; i < xs.size(); ++i) {
                pairs.append(reinterpret_cast<const char*>(&xs[i]), sizeof(double));
                pairs.append(reinterpret_cast<const char*>(&ys[i]), sizeof(double));
            }
            file.write(pairs);
        }
    }
    cvg::NullProgress progress;
    qsizetype bytes = 0;
    timeAgainstFloor(
        state,
        [&] {
            const QByteArray text = cvg::ExportLines(points, cal, '\t', progress);
            bytes = text.size();
            benchmark::DoNotOptimize(text.constData());
        },
        [&] {
            QByteArray text;
            text.reserve(qsizetype(points.size()) * 40);
            char line[80];
            for (size_t i = 0; i < xs.size(); ++i)
                text.append(line, std::snprintf(line, sizeof line, "%.15g\t%.15g\r\n", xs[i], ys[i]));
            benchmark::DoNotOptimize(text.constData());
        });
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes);
}
BENCHMARK(BM_ExportLines1MPoints)->Unit(benchmark::kMillisecond)->UseManualTime();

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

// Writing and reading the document with a full page of whole pixels
// (argument 0) or of points that all carry fractions (argument 1), each
// beside its floor: encoding its pictures (the JPEG and the lossless copy),
// or decoding the lossless copy that a read takes instead of the JPEG.
void BM_WriteDocument1MPoints4000x3000(benchmark::State& state)
{
    BenchFile& file = benchFile(state.range(0));
    cvg::NullProgress progress;
    timeAgainstFloor(
        state, [&] { benchmark::DoNotOptimize(cvg::WriteDocument(file.path, file.doc, progress)); },
        [&] {
            QByteArray jpeg, png;
            benchmark::DoNotOptimize(cvg::encodeJpeg(file.doc.images.workingImage, jpeg));
            benchmark::DoNotOptimize(cvg::encodePng(file.doc.images.workingImage, png));
        });
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(file.path).size());
}
BENCHMARK(BM_WriteDocument1MPoints4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_ReadDocument1MPoints4000x3000(benchmark::State& state)
{
    BenchFile& file = benchFile(state.range(0));
    cvg::NullProgress progress;
    if (!QFile::exists(file.path))
        cvg::WriteDocument(file.path, file.doc, progress);
    QByteArray png;
    cvg::encodePng(file.doc.images.workingImage, png);
    SilentDialogs dialogs;
    cvg::Document doc;
    timeAgainstFloor(
        state,
        [&] {
            doc.reset();
            if (!cvg::ReadDocument(file.path, doc, dialogs, progress))
                state.SkipWithError("read failed");
        },
        [&] {
            QImage picture;
            benchmark::DoNotOptimize(
                cvg::decodePng(reinterpret_cast<const uchar*>(png.constData()), size_t(png.size()), picture));
        });
    state.SetBytesProcessed(int64_t(state.iterations()) * QFile(file.path).size());
}
BENCHMARK(BM_ReadDocument1MPoints4000x3000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_MemcpyOfTheDocumentBytes(benchmark::State& state)
{
    BenchFile& file = benchFile();
    cvg::NullProgress progress;
    if (!QFile::exists(file.path))
        cvg::WriteDocument(file.path, file.doc, progress);
    copyBytes(state, size_t(QFile(file.path).size()));
}
BENCHMARK(BM_MemcpyOfTheDocumentBytes)->Unit(benchmark::kMillisecond);

} // namespace
