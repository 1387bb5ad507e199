// Reading the lossless copy: every chunk, length and checksum checked before use.
#include "image/PngCodec.h"

#include "image/ImageSet.h"
#include "image/PngBytes.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <zlib.h>

namespace cvg {

namespace {

using namespace png;

uchar paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return uchar(a);
    return pb <= pc ? uchar(b) : uchar(c);
}

// Undoes one row's filter into out; previous is the row above (zeros for
// the first). False for an unknown filter type.
bool unfilter(int type, const uchar* in, const uchar* previous, uchar* out, size_t n)
{
    constexpr size_t bpp = kBytesPerPixel;
    switch (type) {
    case 0:
        std::memcpy(out, in, n);
        return true;
    case 1:
        for (size_t k = 0; k < n; ++k)
            out[k] = uchar(in[k] + (k >= bpp ? out[k - bpp] : 0));
        return true;
    case 2:
        addBytes(out, in, previous, n);
        return true;
    case 3:
        for (size_t k = 0; k < n; ++k)
            out[k] = uchar(in[k] + ((k >= bpp ? out[k - bpp] : 0) + previous[k]) / 2);
        return true;
    case 4:
        for (size_t k = 0; k < n; ++k)
            out[k] = uchar(in[k]
                + paeth(k >= bpp ? out[k - bpp] : 0, previous[k], k >= bpp ? previous[k - bpp] : 0));
        return true;
    default:
        return false;
    }
}

struct Chunk {
    const uchar* type = nullptr;
    const uchar* data = nullptr;
    size_t size = 0;
};

// The chunks of a PNG up to and including IEND, each checked for length and
// CRC. False on any fault.
bool readChunks(const uchar* data, size_t size, std::vector<Chunk>& chunks)
{
    if (!data || size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0)
        return false;
    size_t pos = sizeof kSignature;
    while (true) {
        if (size - pos < 12)
            return false;
        const size_t length = getBE32(data + pos);
        if (length > 0x7FFFFFFFu || length > size - pos - 12)
            return false;
        Chunk chunk { data + pos + 4, data + pos + 8, length };
        const uint32_t stored = getBE32(data + pos + 8 + length);
        if (uint32_t(crc32(0, chunk.type, uInt(length + 4))) != stored)
            return false;
        chunks.push_back(chunk);
        pos += 12 + length;
        if (std::memcmp(chunk.type, "IEND", 4) == 0)
            return true;
    }
}

class Inflater {
public:
    // The chunks' CRCs already vouch for every byte of the stream: its own
    // Adler-32 of the inflated bytes would cost a second pass over them.
    Inflater() { ok_ = inflateInit(&stream_) == Z_OK && inflateValidate(&stream_, 0) == Z_OK; }
    ~Inflater()
    {
        if (ok_)
            inflateEnd(&stream_);
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Fills out[0..n) from the IDAT chunks in order. False when the stream
    // is damaged or ends early.
    bool read(uchar* out, size_t n)
    {
        if (!ok_)
            return false;
        stream_.next_out = out;
        stream_.avail_out = uInt(n);
        while (stream_.avail_out > 0) {
            if (stream_.avail_in == 0 && !nextInput())
                return false;
            const int status = inflate(&stream_, Z_NO_FLUSH);
            if (status == Z_STREAM_END)
                return stream_.avail_out == 0;
            if (status != Z_OK && status != Z_BUF_ERROR)
                return false;
            if (status == Z_BUF_ERROR && stream_.avail_in == 0 && !nextInput())
                return false;
        }
        return true;
    }

    // True when the stream ends here.
    bool atEnd()
    {
        uchar extra = 0;
        stream_.next_out = &extra;
        stream_.avail_out = 1;
        while (true) {
            const int status = inflate(&stream_, Z_NO_FLUSH);
            if (status == Z_STREAM_END)
                return stream_.avail_out == 1;
            if ((status != Z_OK && status != Z_BUF_ERROR) || stream_.avail_out == 0)
                return false;
            if (stream_.avail_in == 0 && !nextInput())
                return false;
        }
    }

    std::vector<Chunk> inputs;

private:
    bool nextInput()
    {
        while (next_ < inputs.size()) {
            const Chunk& c = inputs[next_++];
            if (c.size == 0)
                continue;
            stream_.next_in = const_cast<Bytef*>(c.data);
            stream_.avail_in = uInt(c.size);
            return true;
        }
        return false;
    }
    z_stream stream_ {};
    bool ok_ = false;
    size_t next_ = 0;
};

} // namespace

bool decodePng(const uchar* data, size_t size, QImage& out)
{
    out = QImage();
    try {
        std::vector<Chunk> chunks;
        if (!readChunks(data, size, chunks) || chunks.front().size != 13
            || std::memcmp(chunks.front().type, "IHDR", 4) != 0)
            return false;
        const uchar* header = chunks.front().data;
        const uint32_t width = getBE32(header);
        const uint32_t height = getBE32(header + 4);
        if (width == 0 || height == 0 || !pictureSizeAllowed(width, height) || header[8] != 8 || header[9] != 2
            || header[10] != 0 || header[11] != 0 || header[12] != 0)
            return false;
        Inflater inflater;
        for (size_t i = 1; i < chunks.size(); ++i) {
            const Chunk& c = chunks[i];
            if (std::memcmp(c.type, "IDAT", 4) == 0) {
                // The picture's data runs in one sequence of IDAT chunks.
                if (!inflater.inputs.empty() && std::memcmp(chunks[i - 1].type, "IDAT", 4) != 0)
                    return false;
                inflater.inputs.push_back(c);
            } else if ((c.type[0] & 0x20) == 0 && std::memcmp(c.type, "IEND", 4) != 0) {
                return false; // a critical chunk we do not know (a palette, for one)
            }
        }
        QImage picture(int(width), int(height), kPictureFormat);
        if (picture.isNull())
            return false;
        const size_t n = size_t(width) * kBytesPerPixel;
        std::vector<uchar> row(1 + n);
        const std::vector<uchar> zeros(n, 0);
        for (int y = 0; y < int(height); ++y) {
            if (!inflater.read(row.data(), row.size()))
                return false;
            const uchar* previous = y > 0 ? picture.constScanLine(y - 1) : zeros.data();
            if (!unfilter(row[0], row.data() + 1, previous, picture.scanLine(y), n))
                return false;
        }
        if (!inflater.atEnd())
            return false;
        out = picture;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace cvg
