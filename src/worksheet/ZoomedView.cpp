#include "worksheet/ZoomedView.h"

#include "image/ImageSet.h"

#include <cstring>

namespace cvg {

namespace {

constexpr uchar kOutside = 0x80;

} // namespace

QImage renderZoomedView(const QImage& picture, QRect area, const ViewScale& scale,
                        const std::vector<MarkLayer>& layers, int markerSize)
{
    if (area.isEmpty())
        return QImage();
    QImage view(area.size(), QImage::Format_RGB888);
    if (view.isNull())
        return view;
    const QImage source = toPictureFormat(picture);
    const int width = source.width(), height = source.height();
    // The source column of every view column, once for all rows.
    std::vector<int> columns(size_t(area.width()));
    for (int i = 0; i < area.width(); ++i)
        columns[size_t(i)] = scale.toPixel(area.left() + i);
    int lastRow = -1;
    for (int j = 0; j < area.height(); ++j) {
        uchar* out = view.scanLine(j);
        const int row = scale.toPixel(area.top() + j);
        if (row < 0 || row >= height) {
            std::memset(out, kOutside, size_t(area.width()) * 3);
            lastRow = -1;
            continue;
        }
        if (row == lastRow) {
            // Zoomed in, neighbouring view rows show the same picture row.
            std::memcpy(out, view.constScanLine(j - 1), size_t(area.width()) * 3);
            continue;
        }
        const uchar* in = source.constScanLine(row);
        for (int i = 0; i < area.width(); ++i, out += 3) {
            const int x = columns[size_t(i)];
            if (x < 0 || x >= width)
                out[0] = out[1] = out[2] = kOutside;
            else
                std::memcpy(out, in + qsizetype(x) * 3, 3);
        }
        lastRow = row;
    }
    for (const MarkLayer& layer : layers)
        drawScaledMarkLayer(view, area.topLeft(), scale, height, layer, markerSize);
    return view;
}

} // namespace cvg
