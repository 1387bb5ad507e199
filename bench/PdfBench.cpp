// Rendering a PDF figure: an A4 page of a dense plot (grid, five curves of
// 4000 points each, labels) at the default resolution and at the highest,
// which draws in bands; a thumbnail; and a memcpy of the 1200 dpi picture's
// bytes as the floor.
#include "BenchFloor.h"
#include "image/PdfPicture.h"
#include "platform/Progress.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

const QByteArray& figurePdf()
{
    static const QByteArray bytes = [] {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF plot(70, 120, 460, 560);
        p.setPen(QPen(QColor(210, 210, 210), 0.4));
        for (int i = 0; i <= 20; ++i) {
            p.drawLine(QPointF(plot.left() + i * plot.width() / 20, plot.top()),
                QPointF(plot.left() + i * plot.width() / 20, plot.bottom()));
            p.drawLine(QPointF(plot.left(), plot.top() + i * plot.height() / 20),
                QPointF(plot.right(), plot.top() + i * plot.height() / 20));
        }
        const QColor colours[5] = { Qt::black, Qt::red, Qt::blue, QColor(0, 140, 0), QColor(160, 0, 160) };
        for (int c = 0; c < 5; ++c) {
            QPainterPath curve;
            for (int i = 0; i < 4000; ++i) {
                const double t = i / 3999.0;
                const QPointF at(plot.left() + t * plot.width(),
                    plot.center().y()
                        - plot.height() * 0.4 * std::sin(t * (6 + c) + c) * std::exp(-t * c * 0.3));
                i == 0 ? curve.moveTo(at) : curve.lineTo(at);
            }
            p.setPen(QPen(colours[c], 0.8));
            p.drawPath(curve);
        }
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(plot);
        for (int i = 0; i <= 10; ++i)
            p.drawText(
                QPointF(plot.left() - 8 + i * plot.width() / 10, plot.bottom() + 16), QString::number(i));
        p.drawText(QPointF(plot.left(), plot.top() - 20), QStringLiteral("Fig. 3  Response of five samples"));
        p.end();
        return out;
    }();
    return bytes;
}

std::unique_ptr<cvg::PdfDocument> figure()
{
    QString error;
    return cvg::PdfDocument::open(figurePdf(), error);
}

void render(benchmark::State& state, int dpi)
{
    const auto document = figure();
    cvg::PdfPageRequest request;
    request.dpi = dpi;
    cvg::NullProgress quiet;
    for (auto _ : state) {
        QImage out;
        if (!document || !document->render(request, out, quiet).isEmpty())
            state.SkipWithError("render failed");
        benchmark::DoNotOptimize(out.constBits());
    }
    const QSize size = document ? document->pixelSize(request) : QSize();
    state.SetBytesProcessed(int64_t(state.iterations()) * size.width() * size.height() * 3);
}

void BM_PdfA4FigureAt300Dpi(benchmark::State& state)
{
    render(state, 300);
}

void BM_PdfA4FigureAt1200Dpi(benchmark::State& state)
{
    render(state, 1200);
}

void BM_PdfThumbnail(benchmark::State& state)
{
    const auto document = figure();
    for (auto _ : state) {
        const QImage thumbnail = document ? document->renderFitting(1, QSize(100, 100), 5000) : QImage();
        if (thumbnail.isNull())
            state.SkipWithError("thumbnail failed");
        benchmark::DoNotOptimize(thumbnail.constBits());
    }
}

void BM_MemcpyOfA4At1200Dpi(benchmark::State& state)
{
    copyBytes(state, size_t(9921) * 14031 * 3);
}

} // namespace

BENCHMARK(BM_PdfA4FigureAt300Dpi)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PdfA4FigureAt1200Dpi)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PdfThumbnail)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemcpyOfA4At1200Dpi)->Unit(benchmark::kMillisecond);
