#pragma once

#include <cstdint>

namespace cvg {

// Steps per pixel of a point's sub-pixel rest: a power of two, so that the
// precise position X + rest / steps is exact in a double.
constexpr int kFractionSteps = 32768;
constexpr int kHalfFraction = kFractionSteps / 2;

// One picked point: X the pixel column of the corrected picture, Y the row
// counted upward from its bottom edge (Y = height - row). These whole pixels
// are what the grid shows and the document's point records hold.
//
// A point read to a fraction of a pixel also keeps the rest of its precise
// position beyond X and Y, in 1/kFractionSteps pixel and never more than half
// a pixel either way, so that X and Y are the precise position rounded half
// to even. The rest rides inside the point (4 bytes more than the whole
// pixels) so that every copy of a point, by sorting, cut, paste, undo or page
// moves, keeps it without a second list to keep in step. Points from the
// mouse, the point editor, pasted text and the whole-pixel readings have no
// rest, and every value computed from them is what the whole pixels give.
struct Point {
    int32_t X = 0;
    int32_t Y = 0;
    int16_t fracX = 0;
    int16_t fracY = 0;

    // The precise position in the same units as X and Y: the centre of pixel
    // column X is exactly X.
    double preciseX() const { return X + double(fracX) / kFractionSteps; }
    double preciseY() const { return Y + double(fracY) / kFractionSteps; }
    bool hasFraction() const { return fracX != 0 || fracY != 0; }

    // The point at a precise position: whole pixels rounded half to even, the
    // rest kept to 1/kFractionSteps pixel. Positions beyond the 32-bit range
    // are held at its ends; a position that is not a number counts as 0.
    static Point atPrecise(double x, double y);

    bool operator==(const Point&) const = default;
};

// Whether a rest belongs to a whole pixel: at most half a pixel, and exactly
// half only where rounding half to even comes back to that pixel.
constexpr bool IsValidFraction(int32_t whole, int32_t rest)
{
    if (rest > kHalfFraction || rest < -kHalfFraction)
        return false;
    return (rest != kHalfFraction && rest != -kHalfFraction) || whole % 2 == 0;
}

} // namespace cvg
