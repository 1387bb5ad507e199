#include "image/PictureBlock.h"

#include "image/JpegCodec.h"
#include "image/PngCodec.h"
#include "platform/ByteIO.h"

#include <system_error>
#include <thread>

namespace cvg {

QByteArray encodeResizeRecord(const ResizeRecord& record)
{
    QByteArray out;
    out.reserve(kResizeRecordSize);
    putU8(out, record.resized ? 1 : 0);
    for (uint8_t b : record.padding)
        putU8(out, b);
    putI32(out, record.width);
    putI32(out, record.height);
    return out;
}

bool decodeResizeRecord(const uchar* data, size_t size, ResizeRecord& record)
{
    if (!data || size < size_t(kResizeRecordSize))
        return false;
    ResizeRecord r;
    r.resized = data[0] != 0;
    for (size_t i = 0; i < r.padding.size(); ++i)
        r.padding[i] = data[1 + i];
    r.width = getI32(data + 4);
    r.height = getI32(data + 8);
    record = r;
    return true;
}

bool encodePictureBlock(
    const ImageSet& set, const ResizeRecord& record, QByteArray& out, std::vector<ExtensionRecord> records)
{
    out.clear();
    const QImage& stored = record.resized ? set.unresizedImage : set.workingImage;
    // The lossless copy is made on a second thread while the JPEG is encoded:
    // the two take about as long, so a save waits for the longer one only.
    // The thread reads the picture through its own handle on the shared pixels.
    QByteArray png;
    bool copied = false;
    std::thread copier;
    try {
        copier = std::thread([&png, &copied, picture = QImage(stored)] { copied = encodePng(picture, png); });
    } catch (const std::system_error&) {
        // No thread to be had: the copy is made after the JPEG instead.
    }
    QByteArray jpeg;
    bool encoded = false;
    {
        // Whatever the JPEG encoder does, the copier is waited for here.
        struct Join {
            std::thread& thread;
            ~Join()
            {
                if (thread.joinable())
                    thread.join();
            }
        } join { copier };
        const bool threaded = copier.joinable();
        encoded = encodeJpeg(stored, jpeg);
        if (!threaded && encoded)
            copied = encodePng(stored, png);
    }
    if (!encoded)
        return false;
    // The copy names the JPEG it belongs to, so that a program that replaces
    // the JPEG but passes our segments on does not bring back a stale picture.
    if (copied) {
        ExtensionRecord copy;
        copy.type = ExtensionType::LosslessPicture;
        copy.payload.reserve(4 + png.size());
        putI32(copy.payload, int32_t(checksum(reinterpret_cast<const uchar*>(jpeg.constData()), size_t(jpeg.size()))));
        copy.payload.append(png);
        png = QByteArray();
        records.insert(records.begin(), std::move(copy));
    }
    QByteArray block = encodeResizeRecord(record);
    if (!appendWithExtensions(block, jpeg, records))
        return false;
    out = std::move(block);
    return true;
}

namespace {

// The lossless copy, when the stream holds one made for it.
bool losslessCopy(const FoundExtensions& found, QImage& picture)
{
    for (const ExtensionRecord& r : found.records) {
        if (r.type != ExtensionType::LosslessPicture || r.number != 0 || r.payload.size() < 4)
            continue;
        const uchar* p = reinterpret_cast<const uchar*>(r.payload.constData());
        return getU32(p) == found.plainChecksum && decodePng(p + 4, size_t(r.payload.size()) - 4, picture);
    }
    return false;
}

} // namespace

bool decodePictureBlock(
    const uchar* data, size_t size, ImageSet& set, ResizeRecord& record, std::vector<ExtensionRecord>* records)
{
    ResizeRecord r;
    if (!decodeResizeRecord(data, size, r))
        return false;
    const uchar* stream = data + kResizeRecordSize;
    const size_t streamSize = size - kResizeRecordSize;
    FoundExtensions found = findExtensions(stream, streamSize);
    QImage picture;
    if (!losslessCopy(found, picture) && !decodeJpeg(stream, streamSize, picture))
        return false;
    if (r.resized) {
        // A resized picture is rebuilt at the stored size; a size no resize
        // can produce means a damaged file.
        if (r.width <= 0 || r.height <= 0 || !pictureSizeAllowed(r.width, r.height))
            return false;
        ImageSet rebuilt = set;
        rebuilt.unresizedImage = picture;
        if (!RebuildWorkingImage(rebuilt, r))
            return false;
        set = rebuilt;
    } else {
        set.workingImage = picture;
    }
    record = r;
    if (records) {
        records->clear();
        for (ExtensionRecord& e : found.records)
            if (e.type != ExtensionType::LosslessPicture)
                records->push_back(std::move(e));
    }
    return true;
}

} // namespace cvg
