#pragma once

// What every reading asks of a pixel: does it belong to the line (by the
// brightness threshold or by colour), and how much of it is ink (its
// coverage, so that anti-aliased edge pixels count in part). The whole-pixel
// scans, the precise reading, following, markers and bars all test pixels
// here, with the same vector shortcut over the background, and skip the
// rectangles the user left out.
#include "trace/TraceLine.h"

#include <QImage>
#include <QRect>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cvg {

// Each channel's share of the brightness, divided separately as the rule
// says; a table lookup instead of three divisions per pixel.
struct BrightnessShares {
    std::array<uint8_t, 256> r {}, g {}, b {};
    constexpr BrightnessShares()
    {
        for (int v = 0; v < 256; ++v) {
            r[size_t(v)] = uint8_t(TTraceLine::Brightness(v, 0, 0));
            g[size_t(v)] = uint8_t(TTraceLine::Brightness(0, v, 0));
            b[size_t(v)] = uint8_t(TTraceLine::Brightness(0, 0, v));
        }
    }
};
inline constexpr BrightnessShares kBrightnessShares;

inline int brightnessOf(const uchar* p)
{
    return kBrightnessShares.r[p[0]] + kBrightnessShares.g[p[1]] + kBrightnessShares.b[p[2]];
}

// The readings read 24-bit pixels; anything else is converted on a copy.
inline QImage asRgb888(const QImage& picture)
{
    return picture.format() == QImage::Format_RGB888 ? picture
                                                     : picture.convertToFormat(QImage::Format_RGB888);
}

// Pixel i of a block of 16 pixels (48 bytes) is bit 3 i of a 48-bit mask
// with one bit per byte.
inline constexpr uint64_t kPixelBits = 0x249249249249;

#if defined(__SSE2__)
// One bit per byte of the 16 bytes at p, set where test gives 0xff.
template <typename Test> inline uint64_t byteMask(const uchar* p, Test test)
{
    return uint64_t(uint32_t(_mm_movemask_epi8(test(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))))));
}
#endif

// Which pixels of a block of 16 have all three channels within reach of a
// colour; the test behind the colour shortcuts.
struct ChannelWindow {
    int reach = -1; // -1: no pixel is within reach
#if defined(__SSE2__)
    // The colour's channels in the order that the three 16-byte thirds of a
    // block hold them, and the reach in every byte.
    __m128i thirds[3] {};
    __m128i reachBytes {};
#endif
    ChannelWindow() = default;
    ChannelWindow(int r, int g, int b, int channelReach)
        : reach(std::min(channelReach, 255))
    {
#if defined(__SSE2__)
        const int channels[3] = { r, g, b };
        for (int third = 0; third < 3; ++third) {
            alignas(16) uchar bytes[16];
            for (int i = 0; i < 16; ++i)
                bytes[i] = uchar(channels[(16 * third + i) % 3]);
            thirds[third] = _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
        }
        reachBytes = _mm_set1_epi8(char(std::max(reach, 0)));
#else
        (void)r, (void)g, (void)b;
#endif
    }
#if defined(__SSE2__)
    uint64_t within(const uchar* block) const
    {
        if (reach < 0)
            return 0;
        uint64_t near = 0;
        for (int third = 0; third < 3; ++third) {
            const __m128i colour = thirds[third];
            const __m128i reachAll = reachBytes;
            near |= byteMask(block + 16 * third, [&](__m128i x) {
                const __m128i distance = _mm_or_si128(_mm_subs_epu8(x, colour), _mm_subs_epu8(colour, x));
                return _mm_cmpeq_epi8(_mm_subs_epu8(distance, reachAll), _mm_setzero_si128());
            }) << (16 * third);
        }
        return near & (near >> 1) & (near >> 2) & kPixelBits;
    }
#endif
};

// The whole-pixel tests of the threshold and the colour. Each also tells,
// for a block of 16 neighbouring pixels at once, which of them can belong at
// all: most pixels of a graph are background, and a block of them is passed
// over with a few vector instructions.
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
    bool operator()(const uchar* p) const { return brightnessOf(p) < bound; }
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
    // stay within the limit.
    ChannelWindow window;
    IsNearColour(QRgb colour, int tolerance)
        : r(qRed(colour))
        , g(qGreen(colour))
        , b(qBlue(colour))
        , limit(TTraceLine::SquaredTolerance(tolerance))
    {
        int channelReach = -1;
        while (channelReach < 255 && (channelReach + 1) * (channelReach + 1) <= limit)
            ++channelReach;
        window = ChannelWindow(r, g, b, channelReach);
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
        return window.within(block);
    }
#endif
};

// A pixel this close to the background (in brightness levels, or in colour
// distance along the line to the ink) is background: clean edges fade out
// below it, and JPEG noise on a flat background stays below it.
inline constexpr int kInkNoise = 2;
// How far a blend may lie off the line from background to ink for noise
// alone (JPEG's among it), in colour distance.
inline constexpr double kColourNoise = 8;

// The ink by brightness: a pixel darker than BoundColor is the line itself,
// and one still darker than the background weighs by its darkness below the
// background. The darkness of full ink is not known in advance; the readings
// that need coverage in pixels take it from the ink they find.
struct DarkInk {
    int background; // brightness of the background
    int memberBelow; // darker than this differs from the background
    IsDark dark; // the line itself
    DarkInk(QRgb paper, int boundColor)
        : background(TTraceLine::Brightness(qRed(paper), qGreen(paper), qBlue(paper)))
        , memberBelow(background - kInkNoise)
        , dark(boundColor)
    { }
    // The pixel's weight (0 for background); seed tells whether it is the line itself.
    int weigh(const uchar* p, bool& seed) const
    {
        const int b = brightnessOf(p);
        if (b >= memberBelow)
            return 0;
        seed = b < dark.bound;
        return background - b;
    }
    bool isInk(const uchar* p) const { return dark(p); }
    // The weight of full ink when nothing better is known: black.
    int fullWeight() const { return std::max(background, 1); }
#if defined(__SSE2__)
    uint64_t candidates(const uchar* block) const
    {
        return dark.candidates(block);
    }
#endif
};

// The ink by colour: coverage along the line from background B to ink C. For
// a pixel P with u = P - B and v = C - B, its share of ink is t = u.v / v.v,
// and its distance from the line is what is left of u beside it. The ink may
// stray from C by the tolerance, so a blend holding a share t of it may stray
// t times as far (and a little for noise): a blend of another ink with the
// background (grey text beside a blue curve) then stays out at every share,
// while a wider tolerance would let its darker pixels in whole. From half way
// to the ink a pixel is the line itself.
struct ColourInk {
    int br = 0, bg = 0, bb = 0; // background
    int vr = 0, vg = 0, vb = 0; // ink - background
    int cr = 0, cg = 0, cb = 0; // ink
    int64_t length2 = 0; // v.v
    int64_t noise2 = 0; // kInkNoise^2 v.v: a smaller share is background
    int64_t tolerance2 = -1; // squared tolerance, -1 for none
    double tolerance = 0; // the tolerance, 0 for none
    // Pixels with every channel this close to the background are short of
    // half way to the ink whatever their direction.
    ChannelWindow paper;

    ColourInk(QRgb background, QRgb ink, int toleranceSetting)
        : br(qRed(background))
        , bg(qGreen(background))
        , bb(qBlue(background))
        , vr(qRed(ink) - br)
        , vg(qGreen(ink) - bg)
        , vb(qBlue(ink) - bb)
        , cr(qRed(ink))
        , cg(qGreen(ink))
        , cb(qBlue(ink))
    {
        length2 = int64_t(vr) * vr + int64_t(vg) * vg + int64_t(vb) * vb;
        noise2 = int64_t(kInkNoise) * kInkNoise * length2;
        tolerance2 = TTraceLine::SquaredTolerance(toleranceSetting);
        tolerance = tolerance2 < 0 ? 0.0 : std::sqrt(double(tolerance2));
        // u.v <= reach (|vr| + |vg| + |vb|) must stay below v.v / 2.
        const int64_t sum = std::abs(vr) + std::abs(vg) + std::abs(vb);
        const int reach = sum > 0 ? int((length2 - 1) / (2 * sum)) : -1;
        paper = ChannelWindow(br, bg, bb, std::min(reach, 255));
    }
    // An ink of the background's own colour cannot be told from it.
    bool usable() const { return length2 > 0 && tolerance2 >= 0; }
    int weigh(const uchar* p, bool& seed) const
    {
        const int ur = p[0] - br, ug = p[1] - bg, ub = p[2] - bb;
        const int64_t dot = int64_t(ur) * vr + int64_t(ug) * vg + int64_t(ub) * vb;
        if (dot <= 0 || dot * dot <= noise2 || tolerance2 < 0)
            return 0;
        if (dot >= length2) {
            const int dr = p[0] - cr, dg = p[1] - cg, db = p[2] - cb;
            if (int64_t(dr) * dr + int64_t(dg) * dg + int64_t(db) * db > tolerance2)
                return 0;
            seed = true;
            return int(length2);
        }
        const int64_t u2 = int64_t(ur) * ur + int64_t(ug) * ug + int64_t(ub) * ub;
        const double share = double(dot) / double(length2);
        // |u|^2 - dot^2 / v.v is the squared distance from the line.
        const double distance2 = double(u2) - double(dot) * share;
        const double allowed = tolerance * share + kColourNoise;
        if (distance2 > allowed * allowed)
            return 0;
        seed = 2 * dot >= length2;
        return int(dot);
    }
    bool isInk(const uchar* p) const
    {
        bool seed = false;
        return weigh(p, seed) > 0 && seed;
    }
    int fullWeight() const { return int(length2); }
#if defined(__SSE2__)
    uint64_t candidates(const uchar* block) const
    {
        return ~paper.within(block) & kPixelBits;
    }
#endif
};

// Calls f with the ink test that the settings name, against the background
// colour; false (f not called) when the ink cannot be told from it.
template <typename F> bool withInk(const TTraceLine& settings, QRgb background, F&& f)
{
    if (settings.Mode == TraceMode::Colour) {
        const ColourInk ink(background, settings.LineColour, settings.Tolerance);
        if (!ink.usable())
            return false;
        f(ink);
    } else {
        f(DarkInk(background, settings.BoundColor));
    }
    return true;
}

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

// The scanned columns of a rectangle clipped to the picture: x from left to
// right with x mod interval = 0, counted from the picture's left edge.
struct ScanRegion {
    int firstColumn = 0; // the first x >= left with x mod interval = 0
    int columns = 0; // how many columns are scanned
    int interval = 1;
    int left = 0, right = -1; // the clipped bounds, inclusive
    int top = 0, bottom = -1;
    bool empty() const { return columns <= 0 || top > bottom; }
};

inline ScanRegion scanRegion(const QImage& picture, int interval, int left, int top, int right, int bottom)
{
    ScanRegion region;
    region.interval = std::max(interval, 1);
    region.left = std::max(left, 0);
    region.right = std::min(right, picture.width() - 1);
    region.top = std::max(top, 0);
    region.bottom = std::min(bottom, picture.height() - 1);
    if (region.left > region.right)
        return region;
    const int64_t step = region.interval;
    const int64_t first = (int64_t(region.left) + step - 1) / step * step;
    if (first > region.right)
        return region;
    region.firstColumn = int(first);
    region.columns = int((region.right - first) / step + 1);
    return region;
}

// The rectangles left out of every reading, inclusive pixel bounds. Few,
// so each row simply asks all of them.
class Exclusions {
public:
    Exclusions() = default;
    explicit Exclusions(const std::vector<QRect>& rects)
    {
        for (const QRect& r : rects)
            if (r.isValid())
                rects_.push_back(r.normalized());
    }
    bool empty() const { return rects_.empty(); }
    bool contains(int x, int y) const
    {
        for (const QRect& r : rects_)
            if (r.contains(x, y))
                return true;
        return false;
    }
    // Calls span(a, b) for each stretch [a, b] of x0..x1 on row y that no
    // rectangle leaves out, left to right.
    template <typename Span> void forEachSpan(int y, int x0, int x1, Span&& span) const
    {
        if (rects_.empty()) {
            if (x0 <= x1)
                span(x0, x1);
            return;
        }
        cut_.clear();
        for (const QRect& r : rects_)
            if (r.top() <= y && y <= r.bottom() && r.right() >= x0 && r.left() <= x1)
                cut_.push_back({ r.left(), r.right() });
        std::sort(cut_.begin(), cut_.end());
        int from = x0;
        for (const auto& [a, b] : cut_) {
            if (a > from)
                span(from, std::min(a - 1, x1));
            from = std::max(from, b + 1);
            if (from > x1)
                return;
        }
        if (from <= x1)
            span(from, x1);
    }

private:
    std::vector<QRect> rects_;
    mutable std::vector<std::pair<int, int>> cut_;
};

// Calls run(y, x0, x1) for every stretch of the line's pixels (the ink test's
// isInk) on each row of the inclusive bounds, rows in order, one pass; the
// rectangles left out are skipped.
template <typename Ink, typename Run>
void forEachInkRun(
    const QImage& picture, const ScanRegion& region, const Exclusions& excluded, const Ink& ink, Run&& run)
{
    struct Member {
        const Ink& ink;
        // A filled shape (a bar, a marker) is mostly one colour: a pixel
        // like its left neighbour takes that one's verdict.
        mutable uint32_t lastColour = ~0u;
        mutable bool lastVerdict = false;
        bool operator()(const uchar* p) const
        {
            const uint32_t colour = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
            if (colour != lastColour) {
                lastColour = colour;
                lastVerdict = ink.isInk(p);
            }
            return lastVerdict;
        }
#if defined(__SSE2__)
        uint64_t candidates(const uchar* block) const
        {
            return ink.candidates(block);
        }
#endif
    } member { ink };
    for (int y = region.top; y <= region.bottom; ++y) {
        const uchar* line = picture.constScanLine(y);
        excluded.forEachSpan(y, region.left, region.right, [&](int a, int b) {
            int start = -1, last = -2;
            scanContiguous(line + 3 * size_t(a), b - a + 1, member, [&](int i) {
                if (i != last + 1) {
                    if (start >= 0)
                        run(y, a + start, a + last);
                    start = i;
                }
                last = i;
            });
            if (start >= 0)
                run(y, a + start, a + last);
        });
    }
}

} // namespace cvg
