#pragma once
// What the PNG writer and reader of the document's lossless copy share.

#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cvg::png {

constexpr uchar kSignature[8] = { 0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A };
constexpr int kBytesPerPixel = 3;

inline uint32_t getBE32(const uchar* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// Bytewise a + b and a - b (modulo 256) of n bytes, eight at a time: the
// low seven bits of each byte add without reaching the next byte, and the
// top bit is put back by exclusive or.
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr uint64_t kTop = 0x8080808080808080ULL;

inline void addBytes(uchar* out, const uchar* a, const uchar* b, size_t n)
{
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        const uint64_t sum = ((x & kLow7) + (y & kLow7)) ^ ((x ^ y) & kTop);
        std::memcpy(out + k, &sum, 8);
    }
    for (; k < n; ++k)
        out[k] = uchar(a[k] + b[k]);
}

inline void subtractBytes(uchar* out, const uchar* a, const uchar* b, size_t n)
{
    size_t k = 0;
    for (; k + 8 <= n; k += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        const uint64_t difference = ((x | kTop) - (y & kLow7)) ^ ((x ^ ~y) & kTop);
        std::memcpy(out + k, &difference, 8);
    }
    for (; k < n; ++k)
        out[k] = uchar(a[k] - b[k]);
}

} // namespace cvg::png
