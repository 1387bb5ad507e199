#include "image/PictureBlock.h"

#include "image/JpegCodec.h"
#include "platform/ByteIO.h"

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

bool encodePictureBlock(const ImageSet& set, const ResizeRecord& record, QByteArray& out)
{
    out.clear();
    QByteArray jpeg;
    if (!encodeJpeg(record.resized ? set.unresizedImage : set.workingImage, jpeg))
        return false;
    out = encodeResizeRecord(record);
    out.append(jpeg);
    return true;
}

bool decodePictureBlock(const uchar* data, size_t size, ImageSet& set, ResizeRecord& record)
{
    ResizeRecord r;
    if (!decodeResizeRecord(data, size, r))
        return false;
    QImage picture;
    if (!decodeJpeg(data + kResizeRecordSize, size - kResizeRecordSize, picture))
        return false;
    if (!r.resized) {
        set.workingImage = picture;
        record = r;
        return true;
    }
    // A resized picture is rebuilt at the stored size; a size no resize can
    // produce means a damaged file.
    if (r.width <= 0 || r.height <= 0 || !pictureSizeAllowed(r.width, r.height))
        return false;
    ImageSet rebuilt = set;
    rebuilt.unresizedImage = picture;
    if (!RebuildWorkingImage(rebuilt, r))
        return false;
    set = rebuilt;
    record = r;
    return true;
}

} // namespace cvg
