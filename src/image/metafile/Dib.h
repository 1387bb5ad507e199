#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace cvg::metafile {

class Canvas;

// A device-independent bitmap inside a record: its information block and
// bits at the given offsets from the record's start. False when they do not
// lie inside the record, the bitmap is too large, or it does not decode (the
// record is then skipped). The decoding work is charged to the canvas.
bool loadDib(const uchar* record, size_t recordSize, uint64_t infoOffset, uint64_t infoSize,
    uint64_t bitsOffset, uint64_t bitsSize, Canvas& canvas, QImage& out, bool* bottomUp = nullptr);

// The size of the information block (header, masks, colour table) at the
// start of a packed bitmap of `size` bytes; usage 1 means the colour table
// holds 16-bit palette indices. False when the block does not fit.
bool packedDibInfoSize(const uchar* dib, size_t size, uint32_t usage, size_t& infoSize);

} // namespace cvg::metafile
