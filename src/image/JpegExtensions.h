#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvg {

// What the program keeps beyond the document's fixed layout travels inside
// the picture block's JPEG stream as APP15 segments, which every JPEG decoder
// skips. Each segment carries our signature, a version, the record's type and
// number, and one part of the record; a record longer than a segment holds is
// split over consecutive segments.
enum class ExtensionType : uint8_t {
    LosslessPicture = 1, // CRC-32 of the stream without our segments, then a PNG
    PageFractions = 2, // number = page index; see DocumentFile.cpp
};

struct ExtensionRecord {
    ExtensionType type = ExtensionType::LosslessPicture;
    uint32_t number = 0;
    QByteArray payload;
};

// The bytes of one segment: marker, length, our header, at most this much of
// a record.
constexpr size_t kExtensionHeaderSize = 26;
constexpr size_t kExtensionPartSize = 65533 - kExtensionHeaderSize;

// Appends to out the stream with the records' segments placed after the
// start marker and the JFIF header (when the stream has one); every other
// byte as it was. False (out untouched) when jpeg does not begin with a
// start marker.
bool appendWithExtensions(QByteArray& out, const QByteArray& jpeg, const std::vector<ExtensionRecord>& records);

struct FoundExtensions {
    // Records whose every part was found in order and whose length matches;
    // a record met twice is dropped, as is one of a version we do not know.
    std::vector<ExtensionRecord> records;
    // CRC-32 of the stream without any segment of ours: the JPEG as the
    // writer made it, before the segments were placed into it.
    uint32_t plainChecksum = 0;
};

// Walks the stream's segments up to the first scan. A stream whose segment
// lengths do not add up yields no records. Never reads outside data..size.
FoundExtensions findExtensions(const uchar* data, size_t size);

// CRC-32 (the zlib polynomial) of bytes, chained from crc.
uint32_t checksum(const uchar* data, size_t size, uint32_t crc = 0);

} // namespace cvg
