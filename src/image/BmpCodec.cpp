#include "image/BmpCodec.h"

#include "image/ImageSet.h"
#include "image/PictureFiles.h"
#include "platform/ByteIO.h"
#include "platform/Errors.h"
#include "platform/FileIO.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace cvg {

namespace {

constexpr size_t kFileHeaderSize = 14;

// Header sizes of the versions we read; the 64-byte one is the second OS/2
// header, whose compression codes 3 and 4 mean something else.
constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kOs2Header = 64;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitfields = 3,
    kAlphaBitfields = 6,
};

struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
};

struct DibHeader {
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0; // always positive; topDown tells the row order
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t sizeImage = 0;
    std::array<Channel, 3> channels {}; // red, green, blue
    std::vector<std::array<uchar, 3>> palette; // red, green, blue
    size_t infoEnd = 0; // where the bits would start after header, masks, palette
};

bool makeChannel(uint32_t mask, Channel& c)
{
    c = Channel {};
    c.mask = mask;
    if (mask == 0)
        return true;
    c.shift = std::countr_zero(mask);
    const uint32_t field = mask >> c.shift;
    // A mask must be one run of set bits.
    if ((field & (field + 1)) != 0)
        return false;
    c.bits = std::popcount(field);
    return true;
}

// Scales a channel value of c.bits bits to 8 bits.
inline uchar channelValue(uint32_t pixel, const Channel& c)
{
    if (c.bits == 0)
        return 0;
    const uint32_t v = (pixel & c.mask) >> c.shift;
    if (c.bits >= 8)
        return uchar(v >> (c.bits - 8));
    const uint32_t max = (1u << c.bits) - 1;
    return uchar((v * 255 + max / 2) / max);
}

bool parseInfo(const uchar* info, size_t infoSize, DibHeader& h)
{
    if (infoSize < 4)
        return false;
    h.headerSize = getU32(info);
    if (h.headerSize > infoSize)
        return false;
    size_t paletteEntrySize = 4;
    uint32_t clrUsed = 0;
    size_t masksAfterHeader = 0;
    if (h.headerSize == kCoreHeader) {
        h.width = getU16(info + 4);
        h.height = getU16(info + 6);
        h.bitCount = getU16(info + 10);
        h.compression = kRgb;
        paletteEntrySize = 3;
    } else if (h.headerSize == kInfoHeader || h.headerSize == 52 || h.headerSize == 56
        || h.headerSize == kOs2Header || h.headerSize == 108 || h.headerSize == 124) {
        h.width = getI32(info + 4);
        const int64_t height = getI32(info + 8);
        h.topDown = height < 0;
        h.height = height < 0 ? -height : height;
        h.bitCount = getU16(info + 14);
        h.compression = getU32(info + 16);
        h.sizeImage = getU32(info + 20);
        clrUsed = getU32(info + 32);
        if (h.headerSize == kOs2Header && h.compression != kRgb && h.compression != kRle8
            && h.compression != kRle4)
            return false; // Huffman 1D and RLE24 of the second OS/2 header
    } else {
        return false;
    }

    if (h.width <= 0 || h.height <= 0 || !pictureSizeAllowed(h.width, h.height))
        return false;

    switch (h.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
        if (h.compression == kRle8 && h.bitCount != 8)
            return false;
        if (h.compression == kRle4 && h.bitCount != 4)
            return false;
        if (h.compression != kRgb && h.compression != kRle8 && h.compression != kRle4)
            return false;
        break;
    case 16:
    case 32:
        if (h.compression != kRgb && h.compression != kBitfields && h.compression != kAlphaBitfields)
            return false;
        break;
    case 24:
        if (h.compression != kRgb)
            return false;
        break;
    default:
        return false;
    }

    // Masks: defaults, or from the header (52 bytes and more), or following a
    // 40-byte header.
    uint32_t masks[3];
    if (h.bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
    }
    if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
        const uchar* at = nullptr;
        if (h.headerSize >= 52) {
            at = info + 40;
        } else {
            masksAfterHeader = h.compression == kAlphaBitfields ? 16 : 12;
            if (infoSize - h.headerSize < masksAfterHeader)
                return false;
            at = info + h.headerSize;
        }
        for (int i = 0; i < 3; ++i)
            masks[i] = getU32(at + 4 * i);
        if (h.bitCount == 16)
            for (uint32_t& m : masks)
                m &= 0xFFFF;
    }
    for (int i = 0; i < 3; ++i)
        if (!makeChannel(masks[i], h.channels[size_t(i)]))
            return false;

    // Palette: clrUsed entries when given, else the full table of the depth.
    // A file may hold fewer than that; missing entries read as black.
    size_t declared = 0;
    if (h.bitCount <= 8)
        declared = clrUsed != 0 ? clrUsed : (size_t(1) << h.bitCount);
    else
        declared = clrUsed; // an optional table that only moves the bits
    const size_t paletteStart = h.headerSize + masksAfterHeader;
    const size_t available = (infoSize - paletteStart) / paletteEntrySize;
    if (declared <= available)
        h.infoEnd = paletteStart + declared * paletteEntrySize;
    else
        h.infoEnd = infoSize; // not all of it is there; the bits must be placed explicitly
    if (h.bitCount <= 8) {
        const size_t usable = std::min({ declared, available, size_t(1) << h.bitCount });
        h.palette.resize(usable);
        for (size_t i = 0; i < usable; ++i) {
            const uchar* e = info + paletteStart + i * paletteEntrySize;
            h.palette[i] = { e[2], e[1], e[0] };
        }
    }
    return true;
}

// Output row for a stored row: stored rows run bottom-up unless top-down.
inline uchar* outputRow(QImage& image, const DibHeader& h, int64_t storedRow)
{
    const int64_t y = h.topDown ? storedRow : h.height - 1 - storedRow;
    return image.scanLine(int(y));
}

inline void putIndex(uchar* out, const DibHeader& h, unsigned index)
{
    if (index < h.palette.size()) {
        const auto& c = h.palette[index];
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    } else {
        out[0] = out[1] = out[2] = 0;
    }
}

inline int64_t strideOf(const DibHeader& h)
{
    return ((h.width * h.bitCount + 31) / 32) * 4;
}

// Bytes the uncompressed bits need; the last row may lack its padding.
int64_t uncompressedBytes(const DibHeader& h)
{
    const int64_t lastRowBytes = (h.width * h.bitCount + 7) / 8;
    return strideOf(h) * (h.height - 1) + lastRowBytes;
}

// The caller has checked that the bits hold uncompressedBytes(h).
void decodeUncompressed(const DibHeader& h, const uchar* bits, QImage& image)
{
    const int64_t stride = strideOf(h);
    const int w = int(h.width);
    for (int64_t r = 0; r < h.height; ++r) {
        const uchar* in = bits + r * stride;
        uchar* out = outputRow(image, h, r);
        switch (h.bitCount) {
        case 1:
        case 2:
        case 4:
        case 8: {
            const int bpp = h.bitCount;
            const unsigned valueMask = (1u << bpp) - 1;
            for (int x = 0; x < w; ++x) {
                const int64_t bit = int64_t(x) * bpp;
                const unsigned shift = unsigned(8 - bpp - (bit & 7));
                putIndex(out + 3 * x, h, (in[bit >> 3] >> shift) & valueMask);
            }
            break;
        }
        case 16:
            for (int x = 0; x < w; ++x) {
                const uint32_t p = getU16(in + 2 * x);
                out[3 * x] = channelValue(p, h.channels[0]);
                out[3 * x + 1] = channelValue(p, h.channels[1]);
                out[3 * x + 2] = channelValue(p, h.channels[2]);
            }
            break;
        case 24:
            for (int x = 0; x < w; ++x) {
                out[3 * x] = in[3 * x + 2];
                out[3 * x + 1] = in[3 * x + 1];
                out[3 * x + 2] = in[3 * x];
            }
            break;
        case 32:
            for (int x = 0; x < w; ++x) {
                const uint32_t p = getU32(in + 4 * x);
                out[3 * x] = channelValue(p, h.channels[0]);
                out[3 * x + 1] = channelValue(p, h.channels[1]);
                out[3 * x + 2] = channelValue(p, h.channels[2]);
            }
            break;
        default:
            break;
        }
    }
}

// Run-length decoding. Pixels the stream skips (delta, early end of line or
// of the bitmap) stay white, as every new picture starts. Runs are clipped at
// the right edge. The stream must end with end-of-bitmap or run past the last
// row; running out of data before that is a damaged file.
bool decodeRle(const DibHeader& h, const uchar* bits, size_t bitsSize, QImage& image)
{
    if (h.sizeImage != 0 && h.sizeImage < bitsSize)
        bitsSize = h.sizeImage;
    const bool four = h.compression == kRle4;
    const int64_t w = h.width;
    int64_t x = 0;
    int64_t y = 0;
    size_t pos = 0;
    uchar* row = outputRow(image, h, 0);

    auto put = [&](unsigned index) {
        if (x < w)
            putIndex(row + 3 * x, h, index);
        ++x;
    };

    while (y < h.height) {
        if (bitsSize - pos < 2)
            return false;
        const unsigned count = bits[pos];
        const unsigned value = bits[pos + 1];
        pos += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < w; ++i)
                put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            if (++y < h.height)
                row = outputRow(image, h, y);
            break;
        case 1: // end of bitmap
            return true;
        case 2: { // delta
            if (bitsSize - pos < 2)
                return false;
            x += bits[pos];
            y += bits[pos + 1];
            pos += 2;
            if (y < h.height)
                row = outputRow(image, h, y);
            break;
        }
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = four ? (value + 1) / 2 : value;
            const size_t padded = (bytes + 1) & ~size_t(1);
            if (bitsSize - pos < bytes)
                return false;
            for (unsigned i = 0; i < value && x < w; ++i) {
                const uchar b = bits[pos + (four ? i / 2 : i)];
                put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            pos += std::min(padded, bitsSize - pos);
            break;
        }
        }
    }
    return true;
}

bool decodePixels(const DibHeader& h, const uchar* bits, size_t bitsSize, QImage& out)
{
    const bool rle = h.compression == kRle8 || h.compression == kRle4;
    if (!rle && uint64_t(uncompressedBytes(h)) > bitsSize)
        return false; // before anything is allocated
    QImage image = newPicture(int(h.width), int(h.height));
    if (image.isNull())
        return false;
    if (rle) {
        if (!decodeRle(h, bits, bitsSize, image))
            return false;
    } else {
        decodeUncompressed(h, bits, image);
    }
    out = image;
    return true;
}

} // namespace

bool decodeDib(const uchar* info, size_t infoSize, const uchar* bits, size_t bitsSize, QImage& out)
{
    out = QImage();
    if (!info || !bits)
        return false;
    DibHeader h;
    if (!parseInfo(info, infoSize, h))
        return false;
    return decodePixels(h, bits, bitsSize, out);
}

bool decodeBmp(const uchar* data, size_t size, QImage& out)
{
    out = QImage();
    if (!data || size < kFileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t offBits = getU32(data + 10);
    const uchar* info = data + kFileHeaderSize;
    const size_t rest = size - kFileHeaderSize;
    const uint32_t headerSize = getU32(info);
    if (headerSize > rest)
        return false;

    // A trustworthy offset bounds the information block; a missing or
    // impossible one (some writers leave 0) is replaced by where the bits
    // follow the header, masks and palette.
    DibHeader h;
    const bool offsetUsable = offBits >= kFileHeaderSize + headerSize && offBits <= size;
    if (offsetUsable) {
        if (!parseInfo(info, offBits - kFileHeaderSize, h))
            return false;
        return decodePixels(h, data + offBits, size - offBits, out);
    }
    if (offBits > size)
        return false;
    if (!parseInfo(info, rest, h))
        return false;
    const size_t start = kFileHeaderSize + h.infoEnd;
    return decodePixels(h, data + start, size - start, out);
}

QByteArray encodeBmp(const QImage& picture)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return {};
    const QImage image = toPictureFormat(picture);
    const int w = image.width();
    const int h = image.height();
    const qint64 stride = ((qint64(w) * 3 + 3) / 4) * 4;
    const qint64 imageBytes = stride * h;
    const qint64 fileBytes = 54 + imageBytes;
    if (fileBytes > qint64(UINT32_MAX))
        return {};

    QByteArray out;
    out.reserve(fileBytes);
    // File header.
    putU8(out, 'B');
    putU8(out, 'M');
    putI32(out, int32_t(uint32_t(fileBytes)));
    putU16(out, 0);
    putU16(out, 0);
    putI32(out, 54);
    // Information header: 40 bytes, bottom-up, uncompressed, 24 bits.
    putI32(out, 40);
    putI32(out, w);
    putI32(out, h);
    putU16(out, 1);
    putU16(out, 24);
    putI32(out, kRgb);
    putI32(out, int32_t(uint32_t(imageBytes)));
    putI32(out, 0);
    putI32(out, 0);
    putI32(out, 0);
    putI32(out, 0);

    const qint64 headerBytes = out.size();
    out.resize(fileBytes);
    uchar* dst = reinterpret_cast<uchar*>(out.data()) + headerBytes;
    for (int y = h - 1; y >= 0; --y) {
        const uchar* in = image.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            dst[3 * x] = in[3 * x + 2];
            dst[3 * x + 1] = in[3 * x + 1];
            dst[3 * x + 2] = in[3 * x];
        }
        for (qint64 i = qint64(w) * 3; i < stride; ++i)
            dst[i] = 0;
        dst += stride;
    }
    return out;
}

bool LoadBmpPicture(const QString& path, QImage& out)
{
    return loadPictureFile(path, out, [](const QByteArray& bytes, QImage& picture) {
        return decodeBmp(reinterpret_cast<const uchar*>(bytes.constData()), size_t(bytes.size()), picture);
    });
}

void SaveBmpPicture(const QString& path, const QImage& picture)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        throw CvgError(noPictureToSaveText());
    const QByteArray bytes = encodeBmp(picture);
    if (bytes.isEmpty())
        throw CvgError(cannotCreateFileText(path, QString()));
    writeFileReplacing(path, bytes);
}

} // namespace cvg
