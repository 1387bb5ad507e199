#include "image/Overview.h"

#include "image/ImageSet.h"
#include "image/PixelFill.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cvg {

namespace {

constexpr int kDefaultBarThickness = 16;

int clampToInt(double value)
{
    if (!(value > std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (!(value < std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(value);
}

int effectiveThickness(ScrollBarInfo bar)
{
    return bar.visible && bar.thickness == 0 ? kDefaultBarThickness : bar.thickness;
}

} // namespace

int roundEven(double value)
{
    return clampToInt(std::nearbyint(value));
}

std::optional<OverviewGeometry> overviewGeometry(int screenWidth, QSize picture)
{
    if (picture.width() <= 0 || picture.height() <= 0)
        return std::nullopt;
    OverviewGeometry g;
    g.width = screenWidth / 4;
    g.height = roundEven(double(g.width) * picture.height() / picture.width());
    if (g.width <= 0 || g.height <= 0)
        return std::nullopt;
    g.sy = double(g.height) / picture.height();
    g.sx = double(g.width) / picture.width();
    return g;
}

QImage makeOverviewPicture(const QImage& source, const OverviewGeometry& geometry)
{
    QImage overview = newPicture(geometry.width, geometry.height);
    if (overview.isNull() || overview.width() == 0 || overview.height() == 0)
        return QImage();
    StretchPicture(source, overview);
    return overview;
}

QSize rangeFrameSize(QSize viewBox, ScrollBarInfo horizontal, ScrollBarInfo vertical, double sx, double sy)
{
    const int width = roundEven((viewBox.width() - effectiveThickness(horizontal)) * sx);
    const int height = roundEven((viewBox.height() - effectiveThickness(vertical)) * sy);
    return { std::max(width, 0), std::max(height, 0) };
}

QImage makeRangeFrame(QSize size)
{
    QImage frame = newPicture(size.width(), size.height());
    if (frame.isNull() || frame.width() == 0 || frame.height() == 0)
        return frame;
    outlinePictureRect(frame, 0, 0, frame.width() - 1, frame.height() - 1, qRgb(255, 0, 0));
    return frame;
}

int frameDropScroll(int offset, int pictureSide, int overviewSide)
{
    if (overviewSide == 0)
        return 0;
    const qint64 scroll = qint64(offset) * pictureSide / overviewSide;
    return int(std::clamp<qint64>(scroll, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int frameOffsetForScroll(int scroll, int pictureSide, int overviewSide)
{
    if (pictureSide == 0)
        return 0;
    return roundEven(double(scroll) * overviewSide / pictureSide);
}

QColor colorFromBgr(int32_t bgr)
{
    const auto v = uint32_t(bgr);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int32_t bgrFromColor(const QColor& color)
{
    return int32_t(uint32_t(color.red()) | (uint32_t(color.green()) << 8) | (uint32_t(color.blue()) << 16));
}

QImage makeScopeImage(const QImage& source, int x, int row, int32_t crosshairBgr)
{
    QImage scope(kScopeSize, kScopeSize, kPictureFormat);
    scope.fill(QColor::fromRgb(kScopeBackground));
    const QImage picture = toPictureFormat(source);
    const int half = kScopeSpan / 2;
    // The source column of every scope column (-1 outside the picture).
    int columns[kScopeSize];
    for (int t = 0; t < kScopeSize; ++t) {
        const qint64 c = qint64(x) - half + t * kScopeSpan / kScopeSize;
        columns[t] = c >= 0 && c < picture.width() ? int(c) : -1;
    }
    for (int t = 0; t < kScopeSize; ++t) {
        const qint64 r = qint64(row) - half + t * kScopeSpan / kScopeSize;
        if (r < 0 || r >= picture.height())
            continue;
        const uchar* in = picture.constScanLine(int(r));
        uchar* out = scope.scanLine(t);
        for (int u = 0; u < kScopeSize; ++u) {
            if (columns[u] < 0)
                continue;
            const uchar* p = in + 3 * columns[u];
            out[3 * u] = p[0];
            out[3 * u + 1] = p[1];
            out[3 * u + 2] = p[2];
        }
    }
    const QRgb cross = colorFromBgr(crosshairBgr).rgb();
    fillPictureRect(scope, 0, kScopeSize / 2, kScopeSize - 1, kScopeSize / 2, cross);
    fillPictureRect(scope, kScopeSize / 2, 0, kScopeSize / 2, kScopeSize - 1, cross);
    return scope;
}

} // namespace cvg
