#include "calibration/CorrectDistortion.h"

#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Progress.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace cvg {

namespace {

const QString kCorrectionFailed = QStringLiteral("グラフの歪修正中にエラーが発生しました");

// Mapped coordinates beyond this cannot belong to a picture that may be
// allocated; checking them first keeps the integer conversion defined.
constexpr long double kCoordinateLimit = 1e15L;

// The affine map that makes the X axis horizontal and the Y axis vertical,
// keeping the origin (top-left corner), the horizontal extent of the X axis
// and the vertical extent of the Y axis.
//   u = round((ax k) (c by - r bx)),  v = round((by k) (r ax - c ay)),  k = 1 / det
// The integer parts are exact in 64 bits (the axis vectors are held to the
// int32 range), each product is taken in extended precision and rounded
// half to even.
struct AxisMap {
    int64_t ax = 0, ay = 0, bx = 0, by = 0;
    long double axk = 0; // ax x k
    long double byk = 0; // by x k

    bool square() const { return ay == 0 && bx == 0; }
    int64_t uTerm(int64_t c, int64_t r) const { return c * by - r * bx; }
    int64_t vTerm(int64_t c, int64_t r) const { return r * ax - c * ay; }
};

// Round half to even under the default rounding mode.
inline int64_t roundProduct(long double factor, int64_t term)
{
    return std::llrint(factor * (long double)term);
}

// The map of one point, for the corners and the reference points, with
// its range checked before the conversion to an integer.
bool mapPoint(const AxisMap& map, int64_t c, int64_t r, int64_t& u, int64_t& v)
{
    const long double pu = map.axk * (long double)map.uTerm(c, r);
    const long double pv = map.byk * (long double)map.vTerm(c, r);
    if (!(std::fabs(pu) < kCoordinateLimit) || !(std::fabs(pv) < kCoordinateLimit))
        return false;
    u = std::llrint(pu);
    v = std::llrint(pv);
    return true;
}

bool fitsInt32(int64_t n)
{
    return n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max();
}

bool fail(Dialogs& dialogs, const QString& text)
{
    dialogs.info(text);
    return false;
}

// Axes already square to the grid map every pixel onto itself (the product
// differs from the column or row by far less than a half), so the rows are
// copied as they are.
void copyRows(const QImage& source, QImage& target, ProgressScope& progress)
{
    const size_t rowBytes = size_t(source.width()) * 3;
    for (int r = 0; r < source.height(); ++r) {
        progress.setPosition(r);
        std::memcpy(target.scanLine(r), source.constScanLine(r), rowBytes);
    }
}

// The forward mapping in row-major order: a later pixel overwrites an
// earlier one on the same target pixel. A pixel whose rounded position falls
// one past the last column or row of the target (the box is taken from the
// picture's outer corners, the pixels end one short of them) is dropped.
void mapPixels(const QImage& source, QImage& target, const AxisMap& map, int64_t minX, int64_t minY,
    ProgressScope& progress)
{
    const int width = source.width();
    const uint64_t targetWidth = uint64_t(target.width());
    const uint64_t targetHeight = uint64_t(target.height());
    uchar* const targetBits = target.bits();
    const qsizetype targetStride = target.bytesPerLine();
    for (int r = 0; r < source.height(); ++r) {
        progress.setPosition(r);
        const uchar* in = source.constScanLine(r);
        // The integer terms step by by and -ay from column to column.
        int64_t uTerm = map.uTerm(0, r);
        int64_t vTerm = map.vTerm(0, r);
        for (int c = 0; c < width; ++c, in += 3, uTerm += map.by, vTerm -= map.ay) {
            const uint64_t du = uint64_t(roundProduct(map.axk, uTerm) - minX);
            const uint64_t dv = uint64_t(roundProduct(map.byk, vTerm) - minY);
            if (du >= targetWidth || dv >= targetHeight)
                continue;
            uchar* out = targetBits + qsizetype(dv) * targetStride + qsizetype(du) * 3;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}

} // namespace

bool CorrectDistortion(const QImage& workingImage, Calibration& calibration, QImage& corrected,
    Progress& progress, Dialogs& dialogs)
{
    // The input in 24 bits; the output is empty until it has been produced.
    const QImage source = toPictureFormat(workingImage);
    corrected = newPicture(0, 0);
    const int64_t width = source.width();
    const int64_t height = source.height();
    if (source.isNull() || width == 0 || height == 0)
        return fail(dialogs, kCorrectionFailed);

    // Axis vectors in screen orientation (rows grow downward): the X axis from
    // the left to the right point, the Y axis from the lower to the upper one.
    const auto& p = calibration.SourcePoints;
    int64_t rows[4];
    for (int i = 0; i < 4; ++i)
        rows[i] = height - p[size_t(i)].y;
    AxisMap map;
    map.ax = int64_t(p[XRight].x) - p[XLeft].x;
    map.ay = rows[XRight] - rows[XLeft];
    map.bx = int64_t(p[YUpper].x) - p[YLower].x;
    map.by = rows[YUpper] - rows[YLower];
    for (const int64_t n : { map.ax, map.ay, map.bx, map.by, rows[0], rows[1], rows[2], rows[3] })
        if (!fitsInt32(n))
            return fail(dialogs, kCorrectionFailed);
    const int64_t det = map.ax * map.by - map.bx * map.ay;
    if (det == 0)
        return fail(dialogs, kCorrectionFailed);
    const double k = 1.0 / double(det);
    map.axk = (long double)map.ax * (long double)k;
    map.byk = (long double)map.by * (long double)k;

    // The output is the box of the mapped outer corners and the origin.
    int64_t minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const auto& [c, r] :
        { std::pair<int64_t, int64_t> { 0, height }, { width, height }, { 0, 0 }, { width, 0 } }) {
        int64_t u = 0, v = 0;
        if (!mapPoint(map, c, r, u, v))
            return fail(dialogs, kCorrectionFailed);
        minX = std::min(minX, u);
        maxX = std::max(maxX, u);
        minY = std::min(minY, v);
        maxY = std::max(maxY, v);
    }
    const int64_t targetWidth = maxX - minX;
    const int64_t targetHeight = maxY - minY;
    if (!pictureSizeAllowed(targetWidth, targetHeight))
        return fail(dialogs,
            kCorrectionFailed
                + QStringLiteral("\r\n修正後の画像が大きすぎます（%1 × %2 ピクセル）。")
                      .arg(targetWidth)
                      .arg(targetHeight));

    // The reference points are mapped before the pass, so that nothing can
    // fail after it; on the output their y counts upward again.
    std::array<ReferencePoint, 4> mappedPoints;
    for (int i = 0; i < 4; ++i) {
        int64_t u = 0, v = 0;
        if (!mapPoint(map, p[size_t(i)].x, rows[i], u, v))
            return fail(dialogs, kCorrectionFailed);
        const int64_t x = u - minX;
        const int64_t y = targetHeight - (v - minY);
        if (!fitsInt32(x) || !fitsInt32(y))
            return fail(dialogs, kCorrectionFailed);
        mappedPoints[size_t(i)] = { int32_t(x), int32_t(y), p[size_t(i)].value };
    }

    // White where no input pixel lands; square axes cover every pixel, so
    // their output needs no fill.
    const bool rowCopy = map.square() && targetWidth == width && targetHeight == height;
    QImage target = rowCopy ? QImage(int(width), int(height), kPictureFormat)
                            : newPicture(int(targetWidth), int(targetHeight));
    if (target.isNull())
        return fail(dialogs, kCorrectionFailed);

    // One pass over the input, progress once per row.
    {
        ProgressScope scope(progress, 0, int(height - 1));
        if (rowCopy)
            copyRows(source, target, scope);
        else
            mapPixels(source, target, map, minX, minY, scope);
    }

    corrected = target;
    calibration.CorrectedPoints = mappedPoints;
    return true;
}

} // namespace cvg
