#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace cvg {

// PNG, GIF (first frame), TIFF (first page) and WebP, read through Qt's image
// plugins. The content decides which of the four it is; anything else is
// refused, whatever the file is called.

// True for the extensions opened by this reader, compared exactly as every
// other extension of the program: ".png", ".gif", ".tif", ".tiff", ".webp".
bool isModernPictureExtension(const QString& extension);

// Decodes a whole file's bytes into a 24-bit picture; transparency is laid
// over white. False when the bytes are none of the four formats, the plugin
// for it is missing, the size is refused (checked before decoding) or the
// data is damaged.
bool decodeModernPicture(const QByteArray& bytes, QImage& out);

// out becomes a new empty picture, then the file's picture on success.
// Files larger than kMaxPictureFileBytes are not read.
bool LoadModernPicture(const QString& path, QImage& out);

// Any picture (a decoded file, the clipboard's) as a 24-bit picture: a pixel
// of colour c and opacity a becomes round(c * a / 255 + 255 * (255 - a) / 255)
// in each channel, i.e. it is laid over white. Null for a null picture or one
// whose size is refused.
QImage pictureFromImage(const QImage& any);

} // namespace cvg
