#include "image/PictureBlock.h"

#include "image/JpegCodec.h"
#include "image/PngCodec.h"
#include "platform/ByteIO.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

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

PictureBlockEncoder::PictureBlockEncoder(const ImageSet& set, const ResizeRecord& record)
    : record_(record)
    , picture_(record.resized ? set.unresizedImage : set.workingImage)
{
    if (!hasPicture())
        return;
    // Each worker reads the picture through its own handle on the shared
    // pixels and keeps what it throws for finish(). Without threads to be
    // had, finish() encodes in turn.
    try {
        jpegWorker_ = std::thread([this, picture = QImage(picture_)] {
            try {
                encoded_ = encodeJpeg(picture, jpeg_);
            } catch (...) {
                jpegError_ = std::current_exception();
            }
        });
        pngWorker_ = std::thread([this, picture = QImage(picture_)] {
            try {
                copied_ = encodePng(picture, png_);
            } catch (...) {
                pngError_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) { }
}

PictureBlockEncoder::~PictureBlockEncoder()
{
    wait();
}

bool PictureBlockEncoder::hasPicture() const
{
    return !picture_.isNull() && picture_.width() > 0 && picture_.height() > 0;
}

void PictureBlockEncoder::wait()
{
    if (jpegWorker_.joinable())
        jpegWorker_.join();
    if (pngWorker_.joinable())
        pngWorker_.join();
}

bool PictureBlockEncoder::finish(const std::vector<ExtensionRecord>& records, const ByteSink& sink)
{
    if (!hasPicture())
        return false;
    const bool jpegThreaded = jpegWorker_.joinable();
    const bool pngThreaded = pngWorker_.joinable();
    wait();
    if (jpegError_)
        std::rethrow_exception(std::exchange(jpegError_, nullptr));
    if (pngError_)
        std::rethrow_exception(std::exchange(pngError_, nullptr));
    if (!jpegThreaded)
        encoded_ = encodeJpeg(picture_, jpeg_);
    if (!encoded_)
        return false;
    if (!pngThreaded)
        copied_ = encodePng(picture_, png_);
    // The copy names the JPEG it belongs to, so that a program that replaces
    // the JPEG but passes our segments on does not bring back a stale picture.
    std::vector<ExtensionRecord> all;
    all.reserve(records.size() + 1);
    if (copied_) {
        ExtensionRecord copy;
        copy.type = ExtensionType::LosslessPicture;
        copy.payload.reserve(4 + png_.size());
        putI32(copy.payload,
            int32_t(checksum(reinterpret_cast<const uchar*>(jpeg_.constData()), size_t(jpeg_.size()))));
        copy.payload.append(png_);
        png_ = QByteArray();
        all.push_back(std::move(copy));
    }
    all.insert(all.end(), records.begin(), records.end());
    const uchar* start = reinterpret_cast<const uchar*>(jpeg_.constData());
    if (jpeg_.size() < 2 || start[0] != 0xFF || start[1] != 0xD8)
        return false;
    const QByteArray resize = encodeResizeRecord(record_);
    sink(resize.constData(), size_t(resize.size()));
    return writeWithExtensions(jpeg_, all, sink);
}

bool encodePictureBlock(const ImageSet& set, const ResizeRecord& record, QByteArray& out,
    const std::vector<ExtensionRecord>& records)
{
    out.clear();
    PictureBlockEncoder encoder(set, record);
    QByteArray block;
    if (!encoder.finish(
            records, [&block](const char* data, size_t size) { block.append(data, qsizetype(size)); }))
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
    const uchar* data, size_t size, ImageSet& set, ResizeRecord& record, const ExtensionsFound& found)
{
    ResizeRecord r;
    if (!decodeResizeRecord(data, size, r))
        return false;
    const uchar* stream = data + kResizeRecordSize;
    const size_t streamSize = size - kResizeRecordSize;
    FoundExtensions extensions = findExtensions(stream, streamSize);
    if (found) {
        std::vector<ExtensionRecord> others;
        for (ExtensionRecord& e : extensions.records)
            if (e.type != ExtensionType::LosslessPicture)
                others.push_back(std::move(e));
        found(std::move(others));
    }
    QImage picture;
    if (!losslessCopy(extensions, picture) && !decodeJpeg(stream, streamSize, picture))
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
    return true;
}

} // namespace cvg
