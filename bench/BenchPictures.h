#pragma once

#include "image/ImageSet.h"

#include <QImage>

// A scanned-graph-like picture: smooth background with dark grid lines, so
// that JPEG and the document writer see both flat areas and edges.
inline QImage benchPicture(int width, int height)
{
    QImage image = cvg::newPicture(width, height);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const bool grid = x % 100 < 2 || y % 100 < 2;
            line[3 * x] = grid ? 20 : uchar(200 + (x * 50) / width);
            line[3 * x + 1] = grid ? 20 : uchar(220 + (y * 30) / height);
            line[3 * x + 2] = grid ? 40 : uchar(235 + ((x + y) & 15));
        }
    }
    return image;
}
