#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>

namespace cvg {

// Decodes a whole Windows bitmap file (every depth, compression and header
// version) into a 24-bit picture. False on any damage; never reads past size.
bool decodeBmp(const uchar* data, size_t size, QImage& out);

// Decodes a device-independent bitmap given as its information block
// (header, masks, palette) and its pixel bits, as metafiles carry them.
bool decodeDib(const uchar* info, size_t infoSize, const uchar* bits, size_t bitsSize, QImage& out);

// An uncompressed 24-bit bottom-up bitmap file of the picture.
QByteArray encodeBmp(const QImage& picture);

// out becomes a new empty picture, then the file's picture on success.
bool LoadBmpPicture(const QString& path, QImage& out);

// Throws CvgError when the picture is empty or the file cannot be written.
void SaveBmpPicture(const QString& path, const QImage& picture);

} // namespace cvg
