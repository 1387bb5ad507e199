#pragma once

#include <QImage>
#include <cstdint>
#include <vector>

namespace cvg {

// One found point: X the pixel column, Y the pixel row counted downward from
// the picture's top edge.
struct TXYData {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const TXYData&) const = default;
};

// Picks the dark pixels of a line out of a rectangle of a picture. Only
// columns x with x mod ScanInterval = 0 (counted from the picture's left
// edge) are scanned; the pixels of the other columns are never read. A pixel
// is dark when its Brightness is below BoundColor.
class TTraceLine {
public:
    int32_t BoundColor = 160;
    // Column spacing; the window sets it to 1 or more. Anything below 1 scans
    // every column rather than dividing by zero.
    int32_t ScanInterval = 0;
    // Number of points of the last scan minus one (-1 for none).
    int32_t LastIndex = 0;
    // The result of the last scan, ordered by column, then by row.
    std::vector<TXYData> Points;

    // R x 30 / 100 + G x 59 / 100 + B x 11 / 100, each product divided on its
    // own with the remainder dropped: 0 for black, 254 for white.
    static constexpr int Brightness(int r, int g, int b)
    {
        return r * 30 / 100 + g * 59 / 100 + b * 11 / 100;
    }

    // Every dark pixel of the scanned columns inside the inclusive bounds,
    // which are clipped to the picture first.
    const std::vector<TXYData>& TraceAll(const QImage& picture, int left, int top, int right, int bottom);
    // One point per scanned column that has dark pixels, at the mean of their
    // rows rounded half to even.
    const std::vector<TXYData>& TraceAverage(const QImage& picture, int left, int top, int right, int bottom);
};

} // namespace cvg
