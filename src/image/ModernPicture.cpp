#include "image/ModernPicture.h"

#include "image/ImageSet.h"
#include "image/PictureFiles.h"

#include <QBuffer>
#include <QImageReader>
#include <new>

namespace cvg {

namespace {

// The widest pixel a decoder may build before we convert it: four channels
// of 32-bit floats (TIFF can hold those).
constexpr qint64 kWidestDecodedPixelBytes = 16;

// Which of the four formats the bytes start like; empty for anything else.
QByteArray formatOf(const QByteArray& bytes)
{
    if (bytes.startsWith(QByteArrayLiteral("\x89PNG\r\n\x1a\n")))
        return QByteArrayLiteral("png");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QByteArrayLiteral("gif");
    if (bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4)))
        return QByteArrayLiteral("tiff");
    if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
        return QByteArrayLiteral("webp");
    return {};
}

uchar overWhite(int colour, int alpha)
{
    // colour * alpha / 255 + (255 - alpha), rounded; never halfway because
    // 255 is odd.
    return uchar((colour * alpha + 255 * (255 - alpha) + 127) / 255);
}

} // namespace

bool isModernPictureExtension(const QString& extension)
{
    for (const char* known : { ".png", ".gif", ".tif", ".tiff", ".webp" })
        if (extension == QLatin1String(known))
            return true;
    return false;
}

QImage pictureFromImage(const QImage& any)
{
    if (any.isNull() || !pictureSizeAllowed(any.width(), any.height()))
        return QImage();
    if (!any.hasAlphaChannel())
        return toPictureFormat(any);

    // A premultiplied picture is unpremultiplied here: what that rounding
    // loses stays below half a step once the colour is weighted by its
    // opacity again, so the bytes come out the same.
    const QImage source = any.convertToFormat(QImage::Format_ARGB32);
    if (source.isNull())
        return QImage();
    QImage out(any.width(), any.height(), kPictureFormat);
    if (out.isNull())
        return out;
    const int width = out.width();
    for (int y = 0; y < out.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        uchar* o = out.scanLine(y);
        for (int x = 0; x < width; ++x, o += 3) {
            const QRgb p = in[x];
            const int a = qAlpha(p);
            o[0] = overWhite(qRed(p), a);
            o[1] = overWhite(qGreen(p), a);
            o[2] = overWhite(qBlue(p), a);
        }
    }
    return out;
}

bool decodeModernPicture(const QByteArray& bytes, QImage& out)
{
    const QByteArray format = formatOf(bytes);
    if (format.isEmpty() || !QImageReader::supportedImageFormats().contains(format))
        return false;

    QByteArray data = bytes; // shared, not copied: the buffer only reads
    QBuffer buffer(&data);
    if (!buffer.open(QIODevice::ReadOnly))
        return false;
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false); // as the JPEG reader: pixels as stored

    // The header's size is checked before anything is decoded.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || !pictureSizeAllowed(size.width(), size.height()))
        return false;
    // A decoder that allocates more than the header's size allows (a lying
    // header) is stopped by Qt instead of taking the memory.
    const qint64 widest = qint64(size.width()) * size.height() * kWidestDecodedPixelBytes;
    reader.setAllocationLimit(int((widest >> 20) + 2));

    try {
        QImage decoded;
        if (!reader.read(&decoded) || decoded.isNull())
            return false;
        if (!pictureSizeAllowed(decoded.width(), decoded.height()))
            return false;
        QImage picture = pictureFromImage(decoded);
        if (picture.isNull())
            return false;
        out = picture;
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool LoadModernPicture(const QString& path, QImage& out)
{
    return loadPictureFile(path, out, decodeModernPicture);
}

} // namespace cvg
