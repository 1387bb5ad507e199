#pragma once

#include <QImage>
#include <QString>
#include <utility>
#include <vector>

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

// Where the program's own APP15 segments stand in a JPEG stream ([begin, end)
// of each), found by walking the markers up to the first scan; and the stream
// without them.
std::vector<std::pair<int, int>> extensionSegments(const QByteArray& jpeg);
QByteArray withoutExtensionSegments(const QByteArray& jpeg);

} // namespace cvg::test
