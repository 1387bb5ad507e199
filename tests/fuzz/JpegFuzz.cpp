// libFuzzer entry: any bytes through the JPEG decoder; what decodes must
// encode again.
#include "image/ImageSet.h"
#include "image/JpegCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QImage image;
    if (!cvg::decodeJpeg(data, size, image))
        return 0;
    if (image.format() != cvg::kPictureFormat || !cvg::pictureSizeAllowed(image.width(), image.height()))
        std::abort();
    // Re-encoding is costly on large pictures; small ones are enough.
    if (qint64(image.width()) * image.height() <= 256 * 256) {
        QByteArray out;
        if (!cvg::encodeJpeg(image, out))
            std::abort();
    }
    return 0;
}
