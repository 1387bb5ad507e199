#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace cvg::metafile {

// The 22-byte header that makes a Windows metafile placeable.
struct PlaceableHeader {
    int16_t left = 0; // bounding box in metafile units
    int16_t top = 0;
    int16_t right = 0;
    int16_t bottom = 0;
    uint16_t unitsPerInch = 0;
};

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableHeaderSize = 22;

// True when the bytes begin with the placeable key, the checksum over the
// header's first ten words matches, and a Windows metafile header follows.
bool readPlaceableHeader(const uchar* data, size_t size, PlaceableHeader& header);

// Plays every record into picture (32-bit, white, of the natural size),
// mapping the bounding box onto (0, 0)-(width - 1, height - 1). False on a
// broken record chain or when the drawing work exceeds its budget.
bool playWmf(const uchar* data, size_t size, const PlaceableHeader& header, QImage& picture);

} // namespace cvg::metafile
