#pragma once

#include <QImage>
#include <algorithm>

namespace cvg {

// Fills and outlines on a 24-bit picture, row by row, clipped to the picture;
// right and bottom are inclusive.
inline void putPixel(uchar* line, int x, QRgb colour)
{
    uchar* p = line + 3 * x;
    p[0] = uchar(qRed(colour));
    p[1] = uchar(qGreen(colour));
    p[2] = uchar(qBlue(colour));
}

inline void fillPictureRect(QImage& image, int left, int top, int right, int bottom, QRgb colour)
{
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, image.width() - 1);
    bottom = std::min(bottom, image.height() - 1);
    for (int y = top; y <= bottom; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = left; x <= right; ++x)
            putPixel(line, x, colour);
    }
}

inline void outlinePictureRect(QImage& image, int left, int top, int right, int bottom, QRgb colour)
{
    fillPictureRect(image, left, top, right, top, colour);
    fillPictureRect(image, left, bottom, right, bottom, colour);
    fillPictureRect(image, left, top, left, bottom, colour);
    fillPictureRect(image, right, top, right, bottom, colour);
}

} // namespace cvg
