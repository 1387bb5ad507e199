#include "image/PngCodec.h"

#include "image/ImageSet.h"
#include "image/PngBytes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include <zlib.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace cvg {

namespace {

using namespace png;

constexpr int kUpFilter = 2;
// Deflate can refer at most this far back.
constexpr size_t kWindow = 32768;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 258;
// The compressed stream goes into IDAT chunks of at most this size.
constexpr size_t kChunkData = size_t(1) << 20;

void putBE32(QByteArray& out, uint32_t v)
{
    const char b[4] = { char(v >> 24), char(v >> 16), char(v >> 8), char(v) };
    out.append(b, 4);
}

void putChunk(QByteArray& out, const char type[4], const uchar* data, size_t size)
{
    putBE32(out, uint32_t(size));
    const qsizetype at = out.size();
    out.append(type, 4);
    out.append(reinterpret_cast<const char*>(data), qsizetype(size));
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.constData() + at), uInt(size + 4));
    putBE32(out, uint32_t(crc));
}


// Adler-32 of the filtered rows. zlib's own goes a byte at a time; here
// sixteen bytes at a time, the running sum from a sum of absolute
// differences and the weighted sum from multiply-adds. Blocks stay short
// enough that no sum leaves 64 bits before it is reduced.
uint32_t adler32Of(uint32_t adler, const uchar* p, size_t n)
{
    constexpr uint32_t kBase = 65521;
    uint64_t s1 = adler & 0xFFFF;
    uint64_t s2 = adler >> 16;
#if defined(__SSE2__)
    constexpr size_t kBlock = 5536;
    const __m128i zero = _mm_setzero_si128();
    const __m128i firstWeights = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i secondWeights = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    while (n >= 16) {
        const size_t block = std::min(n, kBlock) & ~size_t(15);
        __m128i sum = zero, before = zero, weighted = zero;
        for (size_t k = 0; k < block; k += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
            before = _mm_add_epi64(before, sum);
            sum = _mm_add_epi64(sum, _mm_sad_epu8(bytes, zero));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(bytes, zero), firstWeights));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(bytes, zero), secondWeights));
        }
        uint64_t lanes[2];
        uint32_t words[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), sum);
        const uint64_t total = lanes[0] + lanes[1];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), before);
        const uint64_t earlier = lanes[0] + lanes[1];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(words), weighted);
        const uint64_t weights = uint64_t(words[0]) + words[1] + words[2] + words[3];
        s2 = (s2 + block * s1 + 16 * earlier + weights) % kBase;
        s1 = (s1 + total) % kBase;
        p += block;
        n -= block;
    }
#endif
    for (size_t k = 0; k < n; ++k) {
        s1 += p[k];
        s2 += s1;
    }
    return uint32_t((s2 % kBase) << 16 | (s1 % kBase));
}

// ---- deflate with the fixed codes --------------------------------------------

// A code and its extra bits as deflate writes them: the Huffman code
// reversed (deflate packs codes from their first bit), then the extra bits.
struct Code {
    uint32_t bits = 0;
    int length = 0;
};

uint32_t reversed(uint32_t code, int length)
{
    uint32_t r = 0;
    for (int i = 0; i < length; ++i)
        r |= ((code >> i) & 1u) << (length - 1 - i);
    return r;
}

// The fixed literal/length code of a symbol 0..287.
Code fixedCode(int symbol)
{
    if (symbol < 144)
        return { reversed(0x30u + uint32_t(symbol), 8), 8 };
    if (symbol < 256)
        return { reversed(0x190u + uint32_t(symbol - 144), 9), 9 };
    if (symbol < 280)
        return { reversed(uint32_t(symbol - 256), 7), 7 };
    return { reversed(0xC0u + uint32_t(symbol - 280), 8), 8 };
}

constexpr int kLengthBase[29]
    = { 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258 };
constexpr int kLengthExtra[29] = { 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0 };
constexpr int kDistanceBase[30] = { 1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769,
    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577 };
constexpr int kDistanceExtra[30]
    = { 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13 };

struct FixedCodes {
    std::array<Code, 256> literal;
    std::array<Code, kMaxMatch + 1> length; // symbol and extra bits for 3..258
    Code end;
    FixedCodes()
    {
        for (int s = 0; s < 256; ++s)
            literal[size_t(s)] = fixedCode(s);
        end = fixedCode(256);
        for (int len = int(kMinMatch); len <= int(kMaxMatch); ++len) {
            int i = 28;
            while (kLengthBase[i] > len)
                --i;
            const Code c = fixedCode(257 + i);
            length[size_t(len)] = { c.bits | uint32_t(len - kLengthBase[i]) << c.length, c.length + kLengthExtra[i] };
        }
    }
};

const FixedCodes& fixedCodes()
{
    static const FixedCodes codes;
    return codes;
}

// Codes of every distance a match can have, 1 .. kWindow.
const std::vector<Code>& distanceCodes()
{
    static const std::vector<Code> codes = [] {
        std::vector<Code> table(kWindow + 1);
        int i = 0;
        for (size_t d = 1; d <= kWindow; ++d) {
            while (i < 29 && size_t(kDistanceBase[i + 1]) <= d)
                ++i;
            table[d] = { reversed(uint32_t(i), 5) | uint32_t(d - size_t(kDistanceBase[i])) << 5, 5 + kDistanceExtra[i] };
        }
        return table;
    }();
    return codes;
}

// Bits collected least significant first and handed to the output in whole
// 32-bit words; the output grows in chunks rather than byte by byte.
class BitWriter {
public:
    explicit BitWriter(QByteArray& out) : out_(out) { }
    void put(uint32_t bits, int length)
    {
        acc_ |= uint64_t(bits) << count_;
        count_ += length;
        if (count_ >= 32) {
            const uint32_t word = uint32_t(acc_);
            uchar* p = buffer_.data() + used_;
            p[0] = uchar(word);
            p[1] = uchar(word >> 8);
            p[2] = uchar(word >> 16);
            p[3] = uchar(word >> 24);
            used_ += 4;
            if (used_ == buffer_.size())
                flushBuffer();
            acc_ >>= 32;
            count_ -= 32;
        }
    }
    void finish()
    {
        while (count_ > 0) {
            buffer_[used_++] = uchar(acc_);
            if (used_ == buffer_.size())
                flushBuffer();
            acc_ >>= 8;
            count_ -= 8;
        }
        count_ = 0;
        flushBuffer();
    }

private:
    void flushBuffer()
    {
        out_.append(reinterpret_cast<const char*>(buffer_.data()), qsizetype(used_));
        used_ = 0;
    }
    QByteArray& out_;
    std::array<uchar, 65536> buffer_ {};
    size_t used_ = 0;
    uint64_t acc_ = 0;
    int count_ = 0;
};

uint32_t load32(const uchar* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

uint64_t load64(const uchar* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// How many bytes from p equal those from q, up to limit.
size_t matchLength(const uchar* p, const uchar* q, size_t limit)
{
    size_t n = 0;
    while (n + 8 <= limit) {
        const uint64_t diff = load64(p + n) ^ load64(q + n);
        if (diff != 0)
            return n + size_t(__builtin_ctzll(diff) / 8);
        n += 8;
    }
    while (n < limit && p[n] == q[n])
        ++n;
    return n;
}

constexpr int kHashBits = 15;

uint32_t hash4(const uchar* p)
{
    return (load32(p) * 2654435761u) >> (32 - kHashBits);
}

// The matcher: each position's four bytes are looked up in a table of the
// last place they were seen, and a hit within the window is extended as far
// as it goes; a short one is weighed against the row above. Long misses step
// faster, as incompressible data has little to find.
class Matcher {
public:
    Matcher(QByteArray& out, size_t rowLen) : bits_(out), table_(size_t(1) << kHashBits, 0)
    {
        const size_t above[3] = { rowLen, rowLen - kBytesPerPixel, rowLen + kBytesPerPixel };
        for (size_t k = 0; k < 3; ++k)
            above_[k] = above[k] <= kWindow ? above[k] : 0;
    }

    void start() { bits_.put(1 | 1 << 1, 3); } // the final block, fixed codes
    void finish()
    {
        const Code& end = fixedCodes().end;
        bits_.put(end.bits, end.length);
        bits_.finish();
    }

    // Codes data[from, to); base is the stream offset of data[0], and the
    // kWindow bytes before data[from] (as far as they exist) are history.
    void code(const uchar* data, size_t from, size_t to, size_t base)
    {
        const FixedCodes& codes = fixedCodes();
        const std::vector<Code>& distances = distanceCodes();
        size_t i = from;
        size_t misses = 0;
        while (i + 4 <= to) {
            const uint32_t h = hash4(data + i);
            const size_t seen = table_[h]; // stream offset + 1, 0 for none
            const size_t here = base + i;
            table_[h] = uint32_t(here + 1);
            const size_t limit = std::min(kMaxMatch, to - i);
            size_t length = 0;
            size_t distance = 0;
            if (seen != 0 && here + 1 - seen <= kWindow && seen - 1 >= base
                && load32(data + seen - 1 - base) == load32(data + i)) {
                distance = here + 1 - seen;
                length = 4 + matchLength(data + i + 4, data + i + 4 - distance, limit - 4);
            }
            // The row above, straight up and one pixel to either side: a
            // picture's rows often repeat each other, shifted or not.
            for (size_t k = 0; k < above_.size() && length < kGoodMatch; ++k) {
                const size_t d = above_[k];
                if (d == 0 || d > i)
                    continue;
                const size_t n = matchLength(data + i, data + i - d, limit);
                if (n > length) {
                    length = n;
                    distance = d;
                }
            }
            if (length >= kMinMatch) {
                const Code& l = codes.length[length];
                const Code& d = distances[distance];
                bits_.put(l.bits, l.length);
                bits_.put(d.bits, d.length);
                i += length;
                misses = 0;
                continue;
            }
            const size_t step = std::min(1 + (misses++ >> 5), to - i);
            for (size_t k = 0; k < step; ++k) {
                const Code& c = codes.literal[data[i + k]];
                bits_.put(c.bits, c.length);
            }
            i += step;
        }
        for (; i < to; ++i) {
            const Code& c = codes.literal[data[i]];
            bits_.put(c.bits, c.length);
        }
    }

private:
    // A match this long is not worth looking past.
    static constexpr size_t kGoodMatch = 32;
    BitWriter bits_;
    std::vector<uint32_t> table_;
    std::array<size_t, 3> above_ {}; // 0 where beyond the window
};

// Codes the rows of one picture into a zlib stream (header, one final block
// with the fixed codes, Adler-32). Rows are filtered into a buffer that keeps
// the last kWindow bytes before them as the matcher's history.
void deflateRows(const QImage& picture, QByteArray& out)
{
    const size_t width = size_t(picture.width());
    const size_t pixelBytes = width * kBytesPerPixel;
    const size_t rowLen = 1 + pixelBytes;
    const size_t capacity = kWindow + std::max(size_t(1) << 20, rowLen);
    std::vector<uchar> buffer(capacity);

    out.append(char(0x78));
    out.append(char(0x01));
    Matcher matcher(out, rowLen);
    matcher.start();
    uint32_t adler = 1;
    size_t base = 0; // stream offset of buffer[0]
    size_t filled = 0;
    const uchar* previous = nullptr;
    int y = 0;
    while (y < picture.height()) {
        if (filled + rowLen > capacity) {
            const size_t keep = std::min(filled, kWindow);
            std::memmove(buffer.data(), buffer.data() + filled - keep, keep);
            base += filled - keep;
            filled = keep;
        }
        const size_t from = filled;
        for (; y < picture.height() && filled + rowLen <= capacity; ++y) {
            uchar* row = buffer.data() + filled;
            const uchar* pixels = picture.constScanLine(y);
            row[0] = kUpFilter;
            if (previous) {
                subtractBytes(row + 1, pixels, previous, pixelBytes);
            } else {
                std::memcpy(row + 1, pixels, pixelBytes);
            }
            previous = pixels;
            filled += rowLen;
        }
        adler = adler32Of(adler, buffer.data() + from, filled - from);
        matcher.code(buffer.data(), from, filled, base);
    }
    matcher.finish();
    putBE32(out, uint32_t(adler));
}

} // namespace

bool encodePng(const QImage& source, QByteArray& out) noexcept
{
    try {
        out.clear();
        if (source.isNull() || source.width() <= 0 || source.height() <= 0)
            return false;
        const QImage picture = toPictureFormat(source);
        if (picture.isNull())
            return false;
        QByteArray z;
        deflateRows(picture, z);
        QByteArray png;
        png.reserve(qsizetype(64 + z.size() + 12 * (z.size() / qsizetype(kChunkData) + 1)));
        png.append(reinterpret_cast<const char*>(kSignature), sizeof kSignature);
        uchar header[13];
        const uint32_t w = uint32_t(picture.width());
        const uint32_t h = uint32_t(picture.height());
        for (int i = 0; i < 4; ++i) {
            header[i] = uchar(w >> (24 - 8 * i));
            header[4 + i] = uchar(h >> (24 - 8 * i));
        }
        header[8] = 8; // bits per channel
        header[9] = 2; // RGB
        header[10] = header[11] = header[12] = 0; // deflate, adaptive filters, no interlacing
        putChunk(png, "IHDR", header, sizeof header);
        const uchar* zdata = reinterpret_cast<const uchar*>(z.constData());
        for (size_t at = 0; at < size_t(z.size()); at += kChunkData)
            putChunk(png, "IDAT", zdata + at, std::min(kChunkData, size_t(z.size()) - at));
        putChunk(png, "IEND", nullptr, 0);
        out = std::move(png);
        return true;
    } catch (...) {
        out.clear();
        return false;
    }
}

} // namespace cvg
