#pragma once

#include <QImage>
#include <QString>

namespace cvg::test {

// A white 24-bit picture with a black frame of axes and a curve, as a
// scanned graph would show them.
QImage drawGraph(int width, int height);

// A picture whose pixels all differ (colour from position), to check that
// pixels land exactly where they should.
QImage patternPicture(int width, int height);

// Compares two pictures pixel by pixel (24-bit); returns how many differ.
qint64 differingPixels(const QImage& a, const QImage& b);

// The largest channel difference between two pictures of equal size.
int maxChannelDifference(const QImage& a, const QImage& b);

} // namespace cvg::test
