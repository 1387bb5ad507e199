#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstddef>

namespace cvg {

// libjpeg at full size with default settings; greyscale gives grey pixels,
// CMYK and YCCK are converted. A stream that libjpeg only warns about
// (truncated, corrupt) counts as a failure.
bool decodeJpeg(const uchar* data, size_t size, QImage& out);

// Quality 90 by default, baseline, colour. False for an empty picture.
bool encodeJpeg(const QImage& picture, QByteArray& out, int quality = 90);

bool LoadJpegPicture(const QString& path, QImage& out);

// Throws CvgError when the picture is empty or the file cannot be written.
void SaveJpegPicture(const QString& path, const QImage& picture);

} // namespace cvg
