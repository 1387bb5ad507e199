#include "calibration/CorrectDistortion.h"

#include "image/ImageSet.h"
#include "platform/Dialogs.h"
#include "platform/Parallel.h"
#include "platform/Progress.h"

#include <algorithm>
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

// ---- The pass over the pixels -------------------------------------------
//
// Along a row each product grows by a constant step, so it is followed in
// fixed point with 40 fractional bits instead of being multiplied out in
// extended precision. The steps gather an error below 2^-25 over the
// longest row; only where a product lies within 2^-20 of a half could that
// change the rounding, and there the exact rule decides.

constexpr int kFractionBits = 40;
constexpr long double kFixedScale = 1099511627776.0L; // 2^40
constexpr int64_t kFixedHalf = int64_t(1) << (kFractionBits - 1);
constexpr uint64_t kFractionMask = (uint64_t(1) << kFractionBits) - 1;
constexpr uint64_t kNearHalf = uint64_t(1) << 20;

// The target rows are filled and mapped in pieces of about this many bytes,
// which stay in the cache between the white fill and the pixels landing.
constexpr qsizetype kPieceBytes = qsizetype(1) << 20;

int64_t toFixed(long double value)
{
    return std::llrint(value * kFixedScale);
}

// q holds the product plus one half in fixed point: the product lies near a
// half when q lies near a whole number.
inline bool nearHalf(int64_t q)
{
    return ((uint64_t(q) + kNearHalf) & kFractionMask) < 2 * kNearHalf;
}

struct Target {
    uchar* bits = nullptr;
    qsizetype stride = 0;
    int64_t width = 0;
    int64_t minX = 0;
    int64_t minY = 0;
};

// The steps of both products from one column to the next, in fixed point,
// and the target row v as a real function v = perRow r + perColumn c, used
// only to find which pixels can land in a piece.
struct RowSteps {
    int64_t u = 0, v = 0;
    double perRow = 0, perColumn = 0;
    explicit RowSteps(const AxisMap& map)
        : u(toFixed(map.axk * (long double)map.by))
        , v(toFixed(map.byk * (long double)-map.ay))
        , perRow(double(map.byk * (long double)map.ax))
        , perColumn(double(map.byk * (long double)-map.ay))
    { }
};

struct Span {
    int64_t first = 0, last = -1;
};

// The x in [0, n) with low <= a + b x <= high, widened by one on each side;
// the map is linear, so this is one interval.
Span solveSpan(double a, double b, double low, double high, int64_t n)
{
    if (b == 0)
        return a >= low && a <= high ? Span { 0, n - 1 } : Span {};
    double from = (low - a) / b, to = (high - a) / b;
    if (from > to)
        std::swap(from, to);
    from = std::clamp(std::floor(from) - 1, -1.0, double(n));
    to = std::clamp(std::ceil(to) + 1, -1.0, double(n));
    return Span { std::max<int64_t>(int64_t(from), 0), std::min<int64_t>(int64_t(to), n - 1) };
}

// Source row r, columns first..last, into the target rows [rowBegin,
// rowEnd); pixels that land elsewhere are left to the other pieces (or,
// one past the last column or row, dropped).
void mapSegment(const AxisMap& map, const RowSteps& steps, const uchar* sourceRow, int64_t r, Span columns,
    const Target& target, int64_t rowBegin, int64_t rowEnd)
{
    int64_t qu = toFixed(map.axk * (long double)map.uTerm(columns.first, r)) + kFixedHalf;
    int64_t qv = toFixed(map.byk * (long double)map.vTerm(columns.first, r)) + kFixedHalf;
    const uint64_t width = uint64_t(target.width);
    const uint64_t rows = uint64_t(rowEnd - rowBegin);
    const int64_t rowOrigin = target.minY + rowBegin;
    uchar* const pieceBits = target.bits + qsizetype(rowBegin) * target.stride;
    const uchar* in = sourceRow + qsizetype(columns.first) * 3;
    for (int64_t c = columns.first; c <= columns.last; ++c, in += 3, qu += steps.u, qv += steps.v) {
        int64_t u = qu >> kFractionBits;
        int64_t v = qv >> kFractionBits;
        if (nearHalf(qu) || nearHalf(qv)) [[unlikely]] {
            u = roundProduct(map.axk, map.uTerm(c, r));
            v = roundProduct(map.byk, map.vTerm(c, r));
        }
        const uint64_t du = uint64_t(u - target.minX);
        const uint64_t dv = uint64_t(v - rowOrigin);
        if (du >= width || dv >= rows)
            continue;
        uchar* out = pieceBits + qsizetype(dv) * target.stride + qsizetype(du) * 3;
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
    }
}

// One piece of the target: white, then every source pixel that lands in it,
// in row-major order, so that the later of two pixels on one spot wins as in
// a plain pass. Pieces share no target pixel, so they can run in any order
// and on any thread.
void mapPiece(const QImage& source, const AxisMap& map, const RowSteps& steps, const Target& target,
    int64_t rowBegin, int64_t rowEnd)
{
    std::memset(target.bits + qsizetype(rowBegin) * target.stride, 0xff,
        size_t(rowEnd - rowBegin) * size_t(target.stride));
    const int64_t width = source.width();
    const double low = double(target.minY + rowBegin) - 1;
    const double high = double(target.minY + rowEnd);
    const double across = steps.perColumn * double(width - 1);
    const Span rows = solveSpan(
        0, steps.perRow, low - std::max(across, 0.0), high - std::min(across, 0.0), source.height());
    for (int64_t r = rows.first; r <= rows.last; ++r) {
        const Span columns = solveSpan(steps.perRow * double(r), steps.perColumn, low, high, width);
        if (columns.first <= columns.last)
            mapSegment(map, steps, source.constScanLine(int(r)), r, columns, target, rowBegin, rowEnd);
    }
}

// Axes already square to the grid map every pixel onto itself (the product
// differs from the column or row by far less than a half), so the rows are
// copied as they are.
void copyRows(const QImage& source, const Target& target, int64_t rowBegin, int64_t rowEnd)
{
    const size_t rowBytes = size_t(source.width()) * 3;
    for (int64_t r = rowBegin; r < rowEnd; ++r)
        std::memcpy(target.bits + qsizetype(r) * target.stride, source.constScanLine(int(r)), rowBytes);
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

    // Square axes cover every pixel, so their output needs no white fill.
    const bool rowCopy = map.square() && targetWidth == width && targetHeight == height;
    QImage target(int(targetWidth), int(targetHeight), kPictureFormat);
    if (target.isNull())
        return fail(dialogs, kCorrectionFailed);
    Target out;
    out.bits = target.bits();
    out.stride = target.bytesPerLine();
    out.width = targetWidth;
    out.minX = minX;
    out.minY = minY;
    const RowSteps steps(map);

    // The target rows in pieces over the worker threads; the progress bar
    // moves through the input rows as the pieces get done.
    const int64_t pieceRows = std::max<int64_t>(1, kPieceBytes / out.stride);
    const int pieces = int((targetHeight + pieceRows - 1) / pieceRows);
    {
        ProgressScope scope(progress, 0, int(height - 1));
        int shown = 0;
        forEachPiece(
            pieces,
            [&](int i) {
                const int64_t rowBegin = i * pieceRows;
                const int64_t rowEnd = std::min(rowBegin + pieceRows, targetHeight);
                if (rowCopy)
                    copyRows(source, out, rowBegin, rowEnd);
                else
                    mapPiece(source, map, steps, out, rowBegin, rowEnd);
            },
            [&](int done) {
                for (const int64_t reached = height * done / pieces; shown < reached; ++shown)
                    scope.setPosition(shown);
            });
    }

    corrected = target;
    calibration.CorrectedPoints = mappedPoints;
    return true;
}

} // namespace cvg
