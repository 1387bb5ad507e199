// Playing metafiles with many records into large pictures.
#include "image/MetafilePlayer.h"
#include "platform/ByteIO.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <cmath>

namespace {

using cvg::putI32;
using cvg::putU16;

void record(QByteArray& body, int& count, uint32_t type, const QByteArray& payload)
{
    putI32(body, int32_t(type));
    putI32(body, int32_t(8 + payload.size()));
    body.append(payload);
    ++count;
}

QByteArray ints(std::initializer_list<int32_t> values)
{
    QByteArray b;
    for (int32_t v : values)
        putI32(b, v);
    return b;
}

// A plot of `points` points on a picture of width x height pixels: a grid
// of dashed lines, a curve as one polyline and as segments, a marker at
// every tenth point and a label at every hundredth.
QByteArray plotEmf(int width, int height, int points)
{
    QByteArray body;
    int count = 0;
    record(body, count, 39, ints({ 1, 0, 0x00F0F0F0, 0 })); // light brush
    record(body, count, 37, ints({ 1 }));
    record(body, count, 43, ints({ 0, 0, width, height })); // background
    record(body, count, 38, ints({ 2, 1, 0, 0, 0x00808080 })); // dashed grey pen
    record(body, count, 37, ints({ 2 }));
    for (int x = 0; x < width; x += 50)
        record(body, count, 4, ints({ 0, 0, 0, 0, 2, x, 0, x, height }));
    for (int y = 0; y < height; y += 50)
        record(body, count, 4, ints({ 0, 0, 0, 0, 2, 0, y, width, y }));
    record(body, count, 38, ints({ 3, 0, 2, 0, 0x00FF0000 })); // blue pen
    record(body, count, 37, ints({ 3 }));
    QByteArray polyline = ints({ 0, 0, 0, 0, points });
    auto px = [&](int i) { return int32_t(int64_t(i) * (width - 1) / points); };
    auto py = [&](int i) { return int32_t(height / 2 + height / 3 * std::sin(i * 0.01)); };
    for (int i = 0; i < points; ++i)
        polyline.append(ints({ px(i), py(i) }));
    record(body, count, 4, polyline);
    for (int i = 1; i < points; ++i) {
        record(body, count, 27, ints({ px(i - 1), py(i - 1) + 20 }));
        record(body, count, 54, ints({ px(i), py(i) + 20 }));
    }
    record(body, count, 39, ints({ 4, 0, 0x000000FF, 0 }));
    record(body, count, 37, ints({ 4 }));
    for (int i = 0; i < points; i += 10)
        record(body, count, 42, ints({ px(i) - 4, py(i) - 4, px(i) + 4, py(i) + 4 }));
    QByteArray font = ints({ 5, -14, 0, 0, 0, 400, 0, 0 });
    font.append(QByteArray(64, '\0'));
    record(body, count, 82, font);
    record(body, count, 37, ints({ 5 }));
    for (int i = 0; i < points; i += 100) {
        QByteArray text = ints({ 0, 0, 0, 0, 1, 0, 0, px(i), py(i), 6, 76, 0, 0, 0, 0, 0, 0 });
        for (char c : QByteArray("12.345"))
            putU16(text, uint16_t(c));
        text.append(QByteArray(4, '\0'));
        record(body, count, 84, text);
    }
    QByteArray file = ints({ 1, 88, 0, 0, 0, 0, 0, 0, width * 10, height * 10, 0x464D4520, 0x10000, 0, 0 });
    putU16(file, 8);
    putU16(file, 0);
    file.append(ints({ 0, 0, 0, 1000, 1000, 100, 100 }));
    file.append(body);
    file.append(ints({ 14, 20, 0, 16, 20 }));
    return file;
}

void BM_PlayPlotEmf(benchmark::State& state)
{
    const int width = int(state.range(0));
    const int height = width * 3 / 4;
    const int points = int(state.range(1));
    const QByteArray file = plotEmf(width, height, points);
    for (auto _ : state) {
        QImage out;
        if (!cvg::playMetafile(file, 96, out))
            state.SkipWithError("the metafile was refused");
        benchmark::DoNotOptimize(out.constBits());
    }
    state.counters["records"] = double(points) * 2.2;
    state.counters["MB"] = file.size() / 1e6;
}
BENCHMARK(BM_PlayPlotEmf)->Args({ 2000, 20000 })->Args({ 8000, 100000 })->Unit(benchmark::kMillisecond);

// The floor: a white picture of the same size and its conversion to 24 bits.
void BM_WhitePictureFloor(benchmark::State& state)
{
    const int width = int(state.range(0));
    const int height = width * 3 / 4;
    for (auto _ : state) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::white);
        image.convertTo(QImage::Format_RGB888);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_WhitePictureFloor)->Arg(2000)->Arg(8000)->Unit(benchmark::kMillisecond);

} // namespace
