#include "image/metafile/Dib.h"

#include "image/BmpCodec.h"
#include "image/ImageSet.h"
#include "image/metafile/Canvas.h"
#include "platform/ByteIO.h"

#include <cstdlib>

namespace cvg::metafile {

bool loadDib(const uchar* record, size_t recordSize, uint64_t infoOffset, uint64_t infoSize,
    uint64_t bitsOffset, uint64_t bitsSize, Canvas& canvas, QImage& out, bool* bottomUp)
{
    out = QImage();
    if (infoSize < 12 || infoOffset > recordSize || infoSize > recordSize - infoOffset
        || bitsOffset > recordSize || bitsSize > recordSize - bitsOffset)
        return false;
    const uchar* info = record + infoOffset;
    const uint32_t headerSize = getU32(info);
    int64_t width = 0;
    int64_t height = 0;
    if (headerSize == 12) {
        width = getU16(info + 4);
        height = getU16(info + 6);
    } else if (headerSize >= 16 && infoSize >= 12) {
        width = getI32(info + 4);
        height = getI32(info + 8);
    } else {
        return false;
    }
    const bool upward = height > 0;
    height = std::llabs(height);
    if (width <= 0 || height <= 0 || !pictureSizeAllowed(width, height))
        return false;
    if (!canvas.charge(2.0 * double(width) * double(height)))
        return false;
    if (!decodeDib(info, size_t(infoSize), record + bitsOffset, size_t(bitsSize), out) || out.isNull())
        return false;
    if (bottomUp)
        *bottomUp = upward;
    return true;
}

bool packedDibInfoSize(const uchar* dib, size_t size, uint32_t usage, size_t& infoSize)
{
    if (size < 12)
        return false;
    const uint32_t headerSize = getU32(dib);
    uint64_t bitCount = 0;
    uint64_t colors = 0;
    uint64_t entrySize = usage == 1 ? 2 : 4;
    uint64_t info = headerSize;
    if (headerSize == 12) {
        bitCount = getU16(dib + 10);
        if (usage != 1)
            entrySize = 3;
        colors = bitCount <= 8 ? (uint64_t(1) << bitCount) : 0;
    } else if (headerSize >= 40 && headerSize <= size) {
        bitCount = getU16(dib + 14);
        const uint32_t compression = getU32(dib + 16);
        const uint64_t used = getU32(dib + 32);
        if (headerSize == 40 && compression == 3)
            info += 12; // three channel masks follow the header
        else if (headerSize == 40 && compression == 6)
            info += 16;
        colors = used != 0 ? used : (bitCount <= 8 ? (uint64_t(1) << bitCount) : 0);
    } else {
        return false;
    }
    if (colors > size || info > size)
        return false;
    info += colors * entrySize;
    if (info > size)
        return false;
    infoSize = size_t(info);
    return true;
}

} // namespace cvg::metafile
