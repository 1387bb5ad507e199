#include "image/JpegExtensions.h"

#include "platform/ByteIO.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <utility>

#include <zlib.h>

namespace cvg {

namespace {

constexpr uchar kApp0 = 0xE0;
constexpr uchar kApp15 = 0xEF;
constexpr uchar kStartOfScan = 0xDA;
constexpr char kSignature[8] = { 'C', 'V', 'G', 'L', 'E', 'A', 'N', '\0' };
constexpr uint8_t kVersion = 1;

void putBE16(QByteArray& out, size_t v)
{
    out.append(char((v >> 8) & 0xFF));
    out.append(char(v & 0xFF));
}

size_t partsOf(const ExtensionRecord& record)
{
    return std::max<size_t>(1, (size_t(record.payload.size()) + kExtensionPartSize - 1) / kExtensionPartSize);
}

void putSegments(QByteArray& out, const ExtensionRecord& record)
{
    const size_t total = size_t(record.payload.size());
    const size_t parts = partsOf(record);
    for (size_t part = 0; part < parts; ++part) {
        const size_t at = part * kExtensionPartSize;
        const size_t n = std::min(kExtensionPartSize, total - at);
        out.append(char(0xFF));
        out.append(char(kApp15));
        putBE16(out, 2 + kExtensionHeaderSize + n);
        out.append(kSignature, sizeof kSignature);
        putU8(out, kVersion);
        putU8(out, uint8_t(record.type));
        putI32(out, int32_t(record.number));
        putI32(out, int32_t(part));
        putI32(out, int32_t(parts));
        putI32(out, int32_t(total));
        out.append(record.payload.constData() + at, qsizetype(n));
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
    if (part.version != kVersion || (part.type != uint8_t(ExtensionType::LosslessPicture)
            && part.type != uint8_t(ExtensionType::PageFractions))) {
        a.active = false;
        return;
    }
    if (part.index == 0) {
        a = Assembly {};
        // A record can never be longer than its parts or the stream hold.
        if (part.parts == 0 || part.total > streamSize || part.total > uint64_t(part.parts) * kExtensionPartSize)
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

} // namespace

uint32_t checksum(const uchar* data, size_t size, uint32_t crc)
{
    uLong c = crc;
    constexpr size_t kStep = size_t(1) << 30;
    for (size_t at = 0; at < size; at += kStep)
        c = crc32(c, data + at, uInt(std::min(kStep, size - at)));
    return uint32_t(c);
}

bool appendWithExtensions(QByteArray& out, const QByteArray& jpeg, const std::vector<ExtensionRecord>& records)
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
    size_t extra = 0;
    for (const ExtensionRecord& r : records)
        extra += size_t(r.payload.size()) + partsOf(r) * (4 + kExtensionHeaderSize);
    out.reserve(out.size() + qsizetype(size + extra));
    out.append(jpeg.constData(), qsizetype(at));
    for (const ExtensionRecord& r : records)
        putSegments(out, r);
    out.append(jpeg.constData() + at, qsizetype(size - at));
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
