// libFuzzer entry: any bytes through the bitmap decoder, whole file and as a
// separate information block and bits (as metafiles carry them).
#include "image/BmpCodec.h"
#include "image/ImageSet.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QImage image;
    if (cvg::decodeBmp(data, size, image)) {
        if (image.format() != cvg::kPictureFormat || !cvg::pictureSizeAllowed(image.width(), image.height()))
            std::abort();
    }
    // The first byte splits the rest into information block and bits.
    if (size > 1) {
        const size_t split = std::min(size - 1, size_t(data[0]) * 4);
        QImage dib;
        cvg::decodeDib(data + 1, split, data + 1 + split, size - 1 - split, dib);
    }
    return 0;
}
