#include "TestPictures.h"

#include "image/ImageSet.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdlib>

namespace cvg::test {

QImage drawGraph(int width, int height)
{
    QImage image = newPicture(width, height);
    QPainter p(&image);
    p.setPen(QPen(Qt::black, 2));
    const int left = width / 10, bottom = height - height / 10;
    p.drawLine(left, bottom, width - width / 20, bottom); // X axis
    p.drawLine(left, bottom, left, height / 20);          // Y axis
    QPainterPath curve;
    for (int x = left; x < width - width / 20; ++x) {
        const double t = double(x - left) / (width - left);
        const double y = bottom - (bottom - height / 10) * (0.5 + 0.4 * std::sin(6.0 * t));
        if (x == left)
            curve.moveTo(x, y);
        else
            curve.lineTo(x, y);
    }
    p.setPen(QPen(Qt::blue, 1));
    p.drawPath(curve);
    p.end();
    return image;
}

QImage patternPicture(int width, int height)
{
    QImage image = newPicture(width, height);
    for (int y = 0; y < height; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < width; ++x) {
            line[3 * x] = uchar(x * 7 + y);
            line[3 * x + 1] = uchar(y * 5 + (x >> 3));
            line[3 * x + 2] = uchar((x ^ y) + 11);
        }
    }
    return image;
}

qint64 differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return qint64(std::max(a.width(), b.width())) * std::max(a.height(), b.height());
    const QImage x = toPictureFormat(a), y = toPictureFormat(b);
    qint64 n = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int col = 0; col < x.width(); ++col)
            if (p[3 * col] != q[3 * col] || p[3 * col + 1] != q[3 * col + 1]
                || p[3 * col + 2] != q[3 * col + 2])
                ++n;
    }
    return n;
}

int maxChannelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    const QImage x = toPictureFormat(a), y = toPictureFormat(b);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int i = 0; i < 3 * x.width(); ++i)
            worst = std::max(worst, std::abs(int(p[i]) - int(q[i])));
    }
    return worst;
}

std::vector<std::pair<int, int>> extensionSegments(const QByteArray& jpeg)
{
    std::vector<std::pair<int, int>> found;
    int pos = 2;
    while (pos + 4 <= jpeg.size() && uchar(jpeg[pos + 1]) != 0xDA) {
        const int length = uchar(jpeg[pos + 2]) << 8 | uchar(jpeg[pos + 3]);
        if (uchar(jpeg[pos + 1]) == 0xEF && jpeg.mid(pos + 4, 8) == QByteArray("CVGLEAN\0", 8))
            found.emplace_back(pos, pos + 2 + length);
        pos += 2 + length;
    }
    return found;
}

QByteArray withoutExtensionSegments(const QByteArray& jpeg)
{
    QByteArray plain = jpeg;
    const auto segments = extensionSegments(jpeg);
    for (auto it = segments.rbegin(); it != segments.rend(); ++it)
        plain.remove(it->first, it->second - it->first);
    return plain;
}

} // namespace cvg::test
