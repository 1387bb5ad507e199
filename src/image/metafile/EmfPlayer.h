#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace cvg::metafile {

// What the header record of an enhanced metafile says about its size.
struct EmfHeader {
    int32_t frameLeft = 0; // picture frame, hundredths of a millimetre
    int32_t frameTop = 0;
    int32_t frameRight = 0;
    int32_t frameBottom = 0;
    int32_t devicePixelsX = 0; // reference device
    int32_t devicePixelsY = 0;
    int32_t deviceMmX = 0;
    int32_t deviceMmY = 0;
    uint16_t handles = 0;
};

// True when the bytes begin with an enhanced metafile header record.
bool readEmfHeader(const uchar* data, size_t size, EmfHeader& header);

// Plays every record into picture (32-bit, white, of the natural size),
// mapping the picture frame onto (0, 0)-(width - 1, height - 1). False on a
// broken record chain or when the drawing work exceeds its budget.
bool playEmf(const uchar* data, size_t size, const EmfHeader& header, QImage& picture);

} // namespace cvg::metafile
