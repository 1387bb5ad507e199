#pragma once

#include <QImage>
#include <QRect>
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

// How a pixel is told to belong to the line.
enum class TraceMode {
    Brightness, // darker than BoundColor
    Colour, // within Tolerance of LineColour
};

// The largest distance two colours can have in RGB space is sqrt(3) x 255,
// just above 441: the tolerance runs from 0 to 441, and 441 takes in every
// pixel.
inline constexpr int kMaxColourTolerance = 441;

// Picks the pixels of a line out of a rectangle of a picture. Only columns x
// with x mod ScanInterval = 0 (counted from the picture's left edge) are
// scanned; the pixels of the other columns are never read. In the brightness
// mode a pixel belongs to the line when its Brightness is below BoundColor;
// in the colour mode when its Euclidean distance in RGB space from
// LineColour is at most Tolerance, so curves drawn in different colours on
// one graph can be told apart.
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
    TraceMode Mode = TraceMode::Brightness;
    // The line's colour in the colour mode (the alpha byte is ignored).
    QRgb LineColour = qRgb(255, 0, 0);
    // The largest distance still counted as the line's colour; below 0
    // nothing matches.
    int32_t Tolerance = 60;
    // Rectangles (inclusive pixel bounds) that every reading leaves out: a
    // legend, a label, an inset inside the traced rectangle.
    std::vector<QRect> Excluded;

    // R x 30 / 100 + G x 59 / 100 + B x 11 / 100, each product divided on its
    // own with the remainder dropped: 0 for black, 254 for white.
    static constexpr int Brightness(int r, int g, int b)
    {
        return r * 30 / 100 + g * 59 / 100 + b * 11 / 100;
    }

    // The largest squared distance that a tolerance lets in: -1 (nothing)
    // below 0, the whole cube (3 x 255^2) from 441 up, so that the top of
    // the range takes in white against black too, else tolerance^2.
    static constexpr int SquaredTolerance(int tolerance)
    {
        if (tolerance < 0)
            return -1;
        if (tolerance >= kMaxColourTolerance)
            return 3 * 255 * 255;
        return tolerance * tolerance;
    }

    // Whether (r, g, b) lies within tolerance of the colour: compared in
    // integers as dr^2 + dg^2 + db^2 <= tolerance^2, boundary included.
    static constexpr bool WithinTolerance(int r, int g, int b, QRgb colour, int tolerance)
    {
        const int dr = r - qRed(colour);
        const int dg = g - qGreen(colour);
        const int db = b - qBlue(colour);
        return dr * dr + dg * dg + db * db <= SquaredTolerance(tolerance);
    }

    // Every pixel of the line of the scanned columns inside the inclusive bounds,
    // which are clipped to the picture first.
    const std::vector<TXYData>& TraceAll(const QImage& picture, int left, int top, int right, int bottom);
    // One point per scanned column that has pixels of the line, at the mean of their
    // rows rounded half to even.
    const std::vector<TXYData>& TraceAverage(const QImage& picture, int left, int top, int right, int bottom);
};

} // namespace cvg
