#include "image/ImageSet.h"

#include <cstring>
#include <vector>

namespace cvg {

bool pictureSizeAllowed(qint64 width, qint64 height)
{
    return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide
           && width * height <= kMaxPicturePixels;
}

QImage newPicture(int width, int height)
{
    if (!pictureSizeAllowed(width, height))
        return QImage();
    if (width == 0 || height == 0)
        return QImage(width, height, kPictureFormat);
    QImage image(width, height, kPictureFormat);
    if (image.isNull())
        return image;
    image.fill(Qt::white);
    return image;
}

QImage toPictureFormat(const QImage& image)
{
    if (image.format() == kPictureFormat)
        return image;
    return image.convertToFormat(kPictureFormat);
}

void InitImageSet(ImageSet& set)
{
    set.workingImage = newPicture(0, 0);
    set.unresizedImage = newPicture(0, 0);
    set.correctedImage = newPicture(0, 0);
    set.overviewImage = newPicture(0, 0);
}

void FreeImageSet(ImageSet& set) { set = ImageSet{}; }

void StretchPicture(const QImage& source, QImage& target)
{
    const int tw = target.width();
    const int th = target.height();
    const int sw = source.width();
    const int sh = source.height();
    if (tw <= 0 || th <= 0 || sw <= 0 || sh <= 0)
        return;
    const QImage src = toPictureFormat(source);
    if (target.format() != kPictureFormat)
        target = target.convertToFormat(kPictureFormat);

    // Source column of every target column, computed once.
    std::vector<int> columnOffset(static_cast<size_t>(tw));
    for (int x = 0; x < tw; ++x)
        columnOffset[size_t(x)] = int((qint64(x) * sw) / tw) * 3;

    int previousRow = -1;
    const uchar* previousOut = nullptr;
    for (int y = 0; y < th; ++y) {
        const int sy = int((qint64(y) * sh) / th);
        uchar* out = target.scanLine(y);
        if (sy == previousRow) {
            // A repeated source row: copy the row already produced.
            std::memcpy(out, previousOut, size_t(tw) * 3);
        } else {
            const uchar* in = src.constScanLine(sy);
            for (int x = 0; x < tw; ++x) {
                const uchar* p = in + columnOffset[size_t(x)];
                out[0] = p[0];
                out[1] = p[1];
                out[2] = p[2];
                out += 3;
            }
            out = target.scanLine(y);
        }
        previousRow = sy;
        previousOut = out;
    }
}

bool RebuildWorkingImage(ImageSet& set, const ResizeRecord& record)
{
    QImage picture = newPicture(record.width, record.height);
    if (picture.isNull() && (record.width != 0 || record.height != 0))
        return false;
    StretchPicture(set.unresizedImage, picture);
    set.workingImage = picture;
    return true;
}

} // namespace cvg
