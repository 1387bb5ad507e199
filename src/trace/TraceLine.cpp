#include "trace/TraceLine.h"

#include <algorithm>
#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cvg {

namespace {

// Each channel's share of the brightness, divided separately as the rule
// says; a table lookup instead of three divisions per pixel.
struct BrightnessTables {
    std::array<uint8_t, 256> r {}, g {}, b {};
    constexpr BrightnessTables()
    {
        for (int v = 0; v < 256; ++v) {
            r[size_t(v)] = uint8_t(TTraceLine::Brightness(v, 0, 0));
            g[size_t(v)] = uint8_t(TTraceLine::Brightness(0, v, 0));
            b[size_t(v)] = uint8_t(TTraceLine::Brightness(0, 0, v));
        }
    }
};
constexpr BrightnessTables kShares;

// The scans below take the region by value: the stores into their tallies
// then cannot alias its fields, which stay in registers.

// Pixel i of a block of 16 pixels (48 bytes) is bit 3 i of a 48-bit mask
// with one bit per byte.
constexpr uint64_t kPixelBits = 0x249249249249;

#if defined(__SSE2__)
// One bit per byte of the 16 bytes at p, set where test gives 0xff.
template <typename Test> inline uint64_t byteMask(const uchar* p, Test test)
{
    return uint64_t(uint32_t(_mm_movemask_epi8(test(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))))));
}
#endif

// The two membership tests; the scans are instantiated once for each, so
// the brightness test costs what it did before the colour test came. Each
// also tells, for a block of 16 neighbouring pixels at once, which of them
// can belong at all: most pixels of a graph are background, and a block of
// them is passed over with a few vector instructions.
struct IsDark {
    int bound;
    // The lowest level at which three equal channels are no longer dark;
    // pixels whose three channels all reach it cannot be dark either, since
    // the brightness grows with each channel. 256 when no such level exists.
    int brightLevel = 256;
    explicit IsDark(int boundColor)
        : bound(boundColor)
    {
        for (int t = 255; t >= 0 && TTraceLine::Brightness(t, t, t) >= bound; --t)
            brightLevel = t;
    }
    bool operator()(const uchar* p) const
    {
        return kShares.r[p[0]] + kShares.g[p[1]] + kShares.b[p[2]] < bound;
    }
#if defined(__SSE2__)
    uint64_t candidates(const uchar* block) const
    {
        if (brightLevel > 255)
            return kPixelBits;
        const __m128i level = _mm_set1_epi8(char(brightLevel));
        const auto reaches = [level](__m128i x) { return _mm_cmpeq_epi8(_mm_max_epu8(x, level), x); };
        const uint64_t bright = byteMask(block, reaches) | byteMask(block + 16, reaches) << 16
            | byteMask(block + 32, reaches) << 32;
        return ~(bright & (bright >> 1) & (bright >> 2)) & kPixelBits;
    }
#endif
};

struct IsNearColour {
    int r, g, b;
    int limit;
    // The largest difference one channel may have: its square alone must
    // stay within the limit. -1 when nothing is near.
    int channelReach = -1;
#if defined(__SSE2__)
    // The colour's channels in the order that the three 16-byte thirds of a
    // block hold them, and the reach in every byte.
    __m128i thirds[3];
    __m128i reach;
#endif
    IsNearColour(QRgb colour, int tolerance)
        : r(qRed(colour))
        , g(qGreen(colour))
        , b(qBlue(colour))
        , limit(TTraceLine::SquaredTolerance(tolerance))
    {
        while (channelReach < 255 && (channelReach + 1) * (channelReach + 1) <= limit)
            ++channelReach;
#if defined(__SSE2__)
        const int channels[3] = { r, g, b };
        for (int third = 0; third < 3; ++third) {
            alignas(16) uchar bytes[16];
            for (int i = 0; i < 16; ++i)
                bytes[i] = uchar(channels[(16 * third + i) % 3]);
            thirds[third] = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
        }
        reach = _mm_set1_epi8(char(std::max(channelReach, 0)));
#endif
    }
    bool operator()(const uchar* p) const
    {
        const int dr = p[0] - r;
        const int dg = p[1] - g;
        const int db = p[2] - b;
        return dr * dr + dg * dg + db * db <= limit;
    }
#if defined(__SSE2__)
    uint64_t candidates(const uchar* block) const
    {
        if (channelReach < 0)
            return 0;
        uint64_t near = 0;
        for (int third = 0; third < 3; ++third) {
            const __m128i colour = thirds[third];
            near |= byteMask(block + 16 * third, [&](__m128i x) {
                const __m128i distance = _mm_or_si128(_mm_subs_epu8(x, colour), _mm_subs_epu8(colour, x));
                return _mm_cmpeq_epi8(_mm_subs_epu8(distance, reach), _mm_setzero_si128());
            }) << (16 * third);
        }
        return near & (near >> 1) & (near >> 2) & kPixelBits;
    }
#endif
};

// Calls hit(i) for every pixel i in [0, count) of the contiguous pixels at
// p that belongs, in increasing order.
template <typename Member, typename Hit>
inline void scanContiguous(const uchar* p, int count, const Member& belongs, Hit&& hit)
{
    int i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= count; i += 16) {
        for (uint64_t maybe = belongs.candidates(p + 3 * i); maybe != 0; maybe &= maybe - 1) {
            const int k = i + std::countr_zero(maybe) / 3;
            if (belongs(p + 3 * k))
                hit(k);
        }
    }
#endif
    for (; i < count; ++i)
        if (belongs(p + 3 * i))
            hit(i);
}

// The scanned columns of a region clipped to the picture.
struct ScanRegion {
    const QImage* picture = nullptr;
    int firstColumn = 0; // the first x >= left with x mod interval = 0
    int columns = 0; // how many columns are scanned
    int interval = 1;
    int top = 0;
    int bottom = -1;
    bool empty() const { return columns <= 0 || top > bottom; }
};

ScanRegion scanRegion(const QImage& picture, int interval, int left, int top, int right, int bottom)
{
    ScanRegion region;
    region.picture = &picture;
    region.interval = std::max(interval, 1);
    left = std::max(left, 0);
    right = std::min(right, picture.width() - 1);
    region.top = std::max(top, 0);
    region.bottom = std::min(bottom, picture.height() - 1);
    if (left > right)
        return region;
    const int64_t step = region.interval;
    const int64_t first = (int64_t(left) + step - 1) / step * step;
    if (first > right)
        return region;
    region.firstColumn = int(first);
    region.columns = int((right - first) / step + 1);
    return region;
}

// The engine reads 24-bit pixels; anything else is converted on a copy.
QImage asRgb888(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB888 ? picture
                                                     : picture.convertToFormat(QImage::Format_RGB888);
}

// Calls hit(c, y) for every pixel of the line, c the index of its scanned
// column, rows in memory order, one pass; pixels of unscanned columns are
// not read.
template <typename Member, typename Hit>
void forEachMember(const ScanRegion& region, const Member& belongs, Hit&& hit)
{
    const QImage& picture = *region.picture;
    const size_t first = size_t(region.firstColumn) * 3;
    const size_t stride = size_t(region.interval) * 3;
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* p = picture.constScanLine(y) + first;
        if (region.interval == 1) {
            scanContiguous(p, region.columns, belongs, [&](int c) { hit(c, y); });
            continue;
        }
        for (int c = 0; c < region.columns; ++c, p += stride)
            if (belongs(p))
                hit(c, y);
    }
}

// Every pixel of the line in the scanned columns, by column, then by row.
template <typename Member>
void collectAll(const ScanRegion region, Member belongs, std::vector<TXYData>& points)
{
    // The rows of the pixels found are gathered per column and then handed
    // out column by column. The gathered rows never outnumber the points
    // they become.
    std::vector<std::vector<int32_t>> found(size_t(region.columns));
    size_t total = 0;
    forEachMember(region, belongs, [&](int c, int y) {
        found[size_t(c)].push_back(y);
        ++total;
    });
    points.reserve(total);
    for (int c = 0; c < region.columns; ++c) {
        const int32_t x = region.firstColumn + c * region.interval;
        for (int32_t y : found[size_t(c)])
            points.push_back(TXYData { x, y });
    }
}

// One point per scanned column with pixels of the line, at their mean row.
template <typename Member>
void collectAverage(const ScanRegion region, Member belongs, std::vector<TXYData>& points)
{
    std::vector<int32_t> counts(size_t(region.columns), 0);
    std::vector<int64_t> sums(size_t(region.columns), 0);
    int32_t* const count = counts.data();
    int64_t* const sum = sums.data();
    forEachMember(region, belongs, [count, sum](int c, int y) {
        ++count[c];
        sum[c] += y;
    });
    for (int c = 0; c < region.columns; ++c) {
        const int64_t n = count[c];
        if (n == 0)
            continue;
        // Integer division, then half to even on the remainder.
        int64_t mean = sum[c] / n;
        const int64_t twice = (sum[c] % n) * 2;
        if (twice > n || (twice == n && (mean & 1) != 0))
            ++mean;
        points.push_back(TXYData { region.firstColumn + c * region.interval, int32_t(mean) });
    }
}

// Clears the list, scans the region with the mode's membership test and
// keeps the points all or averaged per column.
void scan(TTraceLine& trace, bool average, const QImage& source, int left, int top, int right, int bottom)
{
    trace.Points.clear();
    const QImage picture = asRgb888(source);
    const ScanRegion region = scanRegion(picture, trace.ScanInterval, left, top, right, bottom);
    if (!region.empty()) {
        auto collect = [&](auto belongs) {
            if (average)
                collectAverage(region, belongs, trace.Points);
            else
                collectAll(region, belongs, trace.Points);
        };
        if (trace.Mode == TraceMode::Colour)
            collect(IsNearColour(trace.LineColour, trace.Tolerance));
        else
            collect(IsDark(trace.BoundColor));
    }
    trace.LastIndex = int32_t(trace.Points.size()) - 1;
}

} // namespace

const std::vector<TXYData>& TTraceLine::TraceAll(
    const QImage& source, int left, int top, int right, int bottom)
{
    scan(*this, false, source, left, top, right, bottom);
    return Points;
}

const std::vector<TXYData>& TTraceLine::TraceAverage(
    const QImage& source, int left, int top, int right, int bottom)
{
    scan(*this, true, source, left, top, right, bottom);
    return Points;
}

} // namespace cvg
