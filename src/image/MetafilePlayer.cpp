#include "image/MetafilePlayer.h"

#include "image/ImageSet.h"
#include "image/metafile/EmfPlayer.h"
#include "image/metafile/WmfPlayer.h"
#include "platform/FileIO.h"

#include <cmath>
#include <new>

namespace cvg {

namespace {

// Larger files are refused before anything is read.
constexpr qint64 kMaxMetafileBytes = 512LL * 1024 * 1024;

// Every step of the size rule rounds to the nearest integer, halves to even.
// The operands are integers below 2^63, exact in long double.
long double roundEven(long double v)
{
    return std::nearbyintl(v);
}

// A rounded size as an integer; false for one no picture could have.
bool toSize(long double v, qint64& out)
{
    if (!(std::fabs(v) < 1e15L))
        return false;
    out = qint64(v);
    return true;
}

bool emfNaturalSize(const metafile::EmfHeader& h, qint64& width, qint64& height)
{
    if (h.deviceMmX <= 0 || h.deviceMmY <= 0 || h.devicePixelsX <= 0 || h.devicePixelsY <= 0)
        return false;
    const long double frameWidth = static_cast<long double>(h.frameRight) - h.frameLeft;
    const long double frameHeight = static_cast<long double>(h.frameBottom) - h.frameTop;
    return toSize(
               roundEven(frameWidth * h.devicePixelsX / (static_cast<long double>(h.deviceMmX) * 100)), width)
        && toSize(
            roundEven(frameHeight * h.devicePixelsY / (static_cast<long double>(h.deviceMmY) * 100)), height);
}

bool placeableNaturalSize(const metafile::PlaceableHeader& h, double screenDpi, qint64& width, qint64& height)
{
    const long double inch = h.unitsPerInch == 0 ? 96 : h.unitsPerInch;
    const long double mmWidth = roundEven((static_cast<long double>(h.right) - h.left) * 2540 / inch);
    const long double mmHeight = roundEven((static_cast<long double>(h.bottom) - h.top) * 2540 / inch);
    return toSize(roundEven(mmWidth * screenDpi / 2540), width)
        && toSize(roundEven(mmHeight * screenDpi / 2540), height);
}

// A white 32-bit canvas of the natural size (32 bits because the raster
// operations of metafiles work there), or a null image when refused.
QImage canvasPicture(qint64 width, qint64 height)
{
    if (width < 1 || height < 1 || !pictureSizeAllowed(width, height))
        return QImage();
    QImage picture(int(width), int(height), QImage::Format_RGB32);
    if (!picture.isNull())
        picture.fill(Qt::white);
    return picture;
}

bool play(const QByteArray& bytes, double screenDpi, QImage& out)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const size_t size = size_t(bytes.size());
    if (!(screenDpi > 0) || !std::isfinite(screenDpi))
        screenDpi = kDefaultScreenDpi;
    qint64 width = 0;
    qint64 height = 0;
    QImage picture;
    metafile::EmfHeader emf;
    metafile::PlaceableHeader placeable;
    // An enhanced metafile is known by its header whatever the file is called.
    if (metafile::readEmfHeader(data, size, emf)) {
        if (!emfNaturalSize(emf, width, height))
            return false;
        picture = canvasPicture(width, height);
        if (picture.isNull() || !metafile::playEmf(data, size, emf, picture))
            return false;
    } else if (metafile::readPlaceableHeader(data, size, placeable)) {
        if (!placeableNaturalSize(placeable, screenDpi, width, height))
            return false;
        picture = canvasPicture(width, height);
        if (picture.isNull() || !metafile::playWmf(data, size, placeable, picture))
            return false;
    } else {
        // Plain Windows metafiles carry no size of their own and are refused.
        return false;
    }
    picture.convertTo(kPictureFormat);
    if (picture.isNull() || picture.format() != kPictureFormat)
        return false;
    out = picture;
    return true;
}

} // namespace

bool playMetafile(const QByteArray& bytes, double screenDpi, QImage& out)
{
    out = newPicture(0, 0);
    try {
        return play(bytes, screenDpi, out);
    } catch (const std::bad_alloc&) {
        out = newPicture(0, 0);
        return false;
    }
}

bool LoadMetafilePicture(const QString& path, double screenDpi, QImage& out)
{
    out = newPicture(0, 0);
    const std::optional<QByteArray> bytes = readWholeFile(path, kMaxMetafileBytes);
    if (!bytes)
        return false;
    return playMetafile(*bytes, screenDpi, out);
}

} // namespace cvg
