// Picture resampling, JPEG coding and the lossless copy on large pictures, each beside a plain
// memcpy of the same number of bytes as the floor.
#include "BenchFloor.h"
#include "BenchPictures.h"
#include "image/ImageSet.h"
#include "image/JpegCodec.h"
#include "image/PngCodec.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <cstring>
#include <vector>

namespace {


void BM_StretchPictureTo10000x10000(benchmark::State& state)
{
    const QImage source = benchPicture(4000, 3000);
    QImage target = cvg::newPicture(10000, 10000);
    for (auto _ : state) {
        cvg::StretchPicture(source, target);
        benchmark::DoNotOptimize(target.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 10000LL * 10000LL * 3);
}

void BM_MemcpyOf10000x10000Picture(benchmark::State& state)
{
    copyBytes(state, 10000ULL * 10000ULL * 3);
}

void BM_JpegEncode4000x3000(benchmark::State& state)
{
    const QImage source = benchPicture(4000, 3000);
    QByteArray jpeg;
    for (auto _ : state) {
        if (!cvg::encodeJpeg(source, jpeg))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(jpeg.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 4000LL * 3000LL * 3);
}

void BM_JpegDecode4000x3000(benchmark::State& state)
{
    QByteArray jpeg;
    if (!cvg::encodeJpeg(benchPicture(4000, 3000), jpeg)) {
        state.SkipWithError("encode failed");
        return;
    }
    QImage picture;
    for (auto _ : state) {
        if (!cvg::decodeJpeg(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()), picture))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 4000LL * 3000LL * 3);
}

// The document's lossless copy of the same picture.
void BM_PngEncode4000x3000(benchmark::State& state)
{
    const QImage source = benchPicture(4000, 3000);
    QByteArray png;
    for (auto _ : state) {
        if (!cvg::encodePng(source, png))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(png.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 4000LL * 3000LL * 3);
    state.counters["bytes"] = double(png.size());
}

void BM_PngDecode4000x3000(benchmark::State& state)
{
    QByteArray png;
    if (!cvg::encodePng(benchPicture(4000, 3000), png)) {
        state.SkipWithError("encode failed");
        return;
    }
    QImage picture;
    for (auto _ : state) {
        if (!cvg::decodePng(reinterpret_cast<const uchar*>(png.constData()), size_t(png.size()), picture))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(picture.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 4000LL * 3000LL * 3);
}

void BM_MemcpyOf4000x3000Picture(benchmark::State& state)
{
    copyBytes(state, 4000ULL * 3000ULL * 3);
}

} // namespace

BENCHMARK(BM_StretchPictureTo10000x10000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MemcpyOf10000x10000Picture)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_JpegEncode4000x3000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_JpegDecode4000x3000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PngEncode4000x3000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PngDecode4000x3000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MemcpyOf4000x3000Picture)->Unit(benchmark::kMillisecond)->Iterations(5);
