#include "image/JpegExtensions.h"

#include "platform/ByteIO.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include <zlib.h>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace cvg {

namespace {

constexpr uchar kApp0 = 0xE0;
constexpr uchar kApp15 = 0xEF;
constexpr uchar kStartOfScan = 0xDA;
constexpr char kSignature[8] = { 'C', 'V', 'G', 'L', 'E', 'A', 'N', '\0' };
constexpr uint8_t kVersion = 1;

void storeBE16(uchar* p, size_t v)
{
    p[0] = uchar((v >> 8) & 0xFF);
    p[1] = uchar(v & 0xFF);
}

size_t partsOf(const ExtensionRecord& record)
{
    return std::max<size_t>(1, (size_t(record.payload.size()) + kExtensionPartSize - 1) / kExtensionPartSize);
}

// Each segment's marker and header go out from a small buffer, its part of
// the record straight from the payload.
void writeSegments(const ExtensionRecord& record, const ByteSink& sink)
{
    const size_t total = size_t(record.payload.size());
    const size_t parts = partsOf(record);
    uchar head[4 + kExtensionHeaderSize];
    for (size_t part = 0; part < parts; ++part) {
        const size_t at = part * kExtensionPartSize;
        const size_t n = std::min(kExtensionPartSize, total - at);
        head[0] = 0xFF;
        head[1] = kApp15;
        storeBE16(head + 2, 2 + kExtensionHeaderSize + n);
        std::memcpy(head + 4, kSignature, sizeof kSignature);
        head[12] = kVersion;
        head[13] = uint8_t(record.type);
        storeU32(head + 14, record.number);
        storeU32(head + 18, uint32_t(part));
        storeU32(head + 22, uint32_t(parts));
        storeU32(head + 26, uint32_t(total));
        sink(reinterpret_cast<const char*>(head), sizeof head);
        if (n > 0)
            sink(record.payload.constData() + at, n);
    }
}

// A record being put together from its parts.
struct Assembly {
    bool active = false;
    ExtensionRecord record;
    uint32_t parts = 0;
    uint32_t total = 0;
    uint32_t next = 0;
};

// One segment of ours: header fields and its part of the record.
struct Part {
    uint8_t version;
    uint8_t type;
    uint32_t number, index, parts, total;
    const uchar* data;
    size_t size;
};

void takePart(const Part& part, size_t streamSize, Assembly& a, std::vector<ExtensionRecord>& done)
{
    if (part.version != kVersion
        || (part.type != uint8_t(ExtensionType::LosslessPicture)
            && part.type != uint8_t(ExtensionType::PageFractions))) {
        a.active = false;
        return;
    }
    if (part.index == 0) {
        a = Assembly {};
        // A record can never be longer than its parts or the stream hold.
        if (part.parts == 0 || part.total > streamSize
            || part.total > uint64_t(part.parts) * kExtensionPartSize)
            return;
        a.active = true;
        a.record.type = ExtensionType(part.type);
        a.record.number = part.number;
        a.parts = part.parts;
        a.total = part.total;
        a.record.payload.reserve(qsizetype(part.total));
    } else if (!a.active || part.index != a.next || part.parts != a.parts || part.total != a.total
        || part.number != a.record.number || part.type != uint8_t(a.record.type)) {
        a.active = false;
        return;
    }
    if (part.size > a.total - size_t(a.record.payload.size())) {
        a.active = false;
        return;
    }
    a.record.payload.append(reinterpret_cast<const char*>(part.data), qsizetype(part.size));
    a.next = part.index + 1;
    if (a.next == a.parts) {
        if (size_t(a.record.payload.size()) == a.total)
            done.push_back(std::move(a.record));
        a = Assembly {};
    }
}

#if defined(__x86_64__)
// CRC-32 of size bytes (at least 64, a multiple of 16) by folding with
// carry-less multiplication, four 128-bit lanes at a time, then Barrett
// reduction to 32 bits; crc and the result are the inverted running value.
// The constants are powers of x modulo the reflected polynomial.
#define CVG_FOLDING __attribute__((target("pclmul,sse4.1")))

CVG_FOLDING inline __m128i load128(const uchar* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x times the constants k, plus next.
CVG_FOLDING inline __m128i fold(__m128i x, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

CVG_FOLDING uint32_t foldCrc(const uchar* p, size_t size, uint32_t crc)
{
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
    __m128i x1 = _mm_xor_si128(load128(p), _mm_cvtsi32_si128(int(crc)));
    __m128i x2 = load128(p + 16), x3 = load128(p + 32), x4 = load128(p + 48);
    p += 64;
    size -= 64;
    for (; size >= 64; p += 64, size -= 64) {
        x1 = fold(x1, k1k2, load128(p));
        x2 = fold(x2, k1k2, load128(p + 16));
        x3 = fold(x3, k1k2, load128(p + 32));
        x4 = fold(x4, k1k2, load128(p + 48));
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    for (; size >= 16; p += 16, size -= 16)
        x1 = fold(x1, k3k4, load128(p));

    // 128 bits to 64, then to 32 by Barrett reduction.
    __m128i x2r = _mm_clmulepi64_si128(x1, k3k4, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2r);
    x2r = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), x2r);
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    return uint32_t(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}
#endif

} // namespace

uint32_t checksum(const uchar* data, size_t size, uint32_t crc)
{
    uLong c = crc;
#if defined(__x86_64__)
    // Folding runs many times faster than zlib's table: a million points'
    // records are 8 MB that the writer and the reader each check.
    static const bool folding = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    if (folding && size >= 64) {
        const size_t folded = size & ~size_t(15);
        c = ~foldCrc(data, folded, ~uint32_t(c));
        data += folded;
        size -= folded;
    }
#endif
    constexpr size_t kStep = size_t(1) << 30;
    for (size_t at = 0; at < size; at += kStep)
        c = crc32(c, data + at, uInt(std::min(kStep, size - at)));
    return uint32_t(c);
}

bool writeWithExtensions(
    const QByteArray& jpeg, const std::vector<ExtensionRecord>& records, const ByteSink& sink)
{
    const uchar* p = reinterpret_cast<const uchar*>(jpeg.constData());
    const size_t size = size_t(jpeg.size());
    if (size < 2 || p[0] != 0xFF || p[1] != 0xD8)
        return false;
    size_t at = 2;
    if (size >= 6 && p[2] == 0xFF && p[3] == kApp0) {
        const size_t length = size_t(p[4]) << 8 | p[5];
        if (length >= 2 && 4 + length <= size)
            at = 4 + length;
    }
    sink(jpeg.constData(), at);
    for (const ExtensionRecord& r : records)
        writeSegments(r, sink);
    sink(jpeg.constData() + at, size - at);
    return true;
}

FoundExtensions findExtensions(const uchar* data, size_t size)
{
    FoundExtensions found;
    if (!data)
        return found;
    std::vector<std::pair<size_t, size_t>> ours; // [begin, end) of our segments
    std::vector<ExtensionRecord> records;
    Assembly assembly;
    bool whole = size >= 2 && data[0] == 0xFF && data[1] == 0xD8;
    size_t pos = 2;
    while (whole) {
        if (pos >= size || data[pos] != 0xFF) {
            whole = false;
            break;
        }
        size_t q = pos + 1;
        while (q < size && data[q] == 0xFF)
            ++q; // fill bytes
        if (q >= size) {
            whole = false;
            break;
        }
        const uchar marker = data[q];
        // The segments of ours stand among the tables, before the first scan.
        if (marker == kStartOfScan || marker == 0xD9 || marker == 0x01 || marker == 0x00
            || (marker >= 0xD0 && marker <= 0xD7))
            break;
        if (size - q < 3) {
            whole = false;
            break;
        }
        const size_t length = size_t(data[q + 1]) << 8 | data[q + 2];
        if (length < 2 || length > size - q - 1) {
            whole = false;
            break;
        }
        const uchar* body = data + q + 3;
        const size_t bodySize = length - 2;
        if (marker == kApp15 && bodySize >= kExtensionHeaderSize
            && std::memcmp(body, kSignature, sizeof kSignature) == 0) {
            ours.emplace_back(q - 1, q + 1 + length);
            const Part part { body[8], body[9], getU32(body + 10), getU32(body + 14), getU32(body + 18),
                getU32(body + 22), body + kExtensionHeaderSize, bodySize - kExtensionHeaderSize };
            takePart(part, size, assembly, records);
        }
        pos = q + 1 + length;
    }
    if (!whole) {
        found.plainChecksum = checksum(data, size);
        return found;
    }
    uint32_t crc = 0;
    size_t from = 0;
    for (const auto& [begin, end] : ours) {
        crc = checksum(data + from, begin - from, crc);
        from = end;
    }
    found.plainChecksum = checksum(data + from, size - from, crc);

    // Two records under one name leave no telling which is meant: neither is used.
    std::map<std::pair<uint8_t, uint32_t>, int> seen;
    for (const ExtensionRecord& r : records)
        ++seen[{ uint8_t(r.type), r.number }];
    for (ExtensionRecord& r : records)
        if (seen[{ uint8_t(r.type), r.number }] == 1)
            found.records.push_back(std::move(r));
    return found;
}

} // namespace cvg
