#include "worksheet/Point.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cvg {

namespace {

void split(double v, int32_t& whole, int16_t& rest)
{
    if (std::isnan(v))
        v = 0;
    v = std::clamp(v, double(std::numeric_limits<int32_t>::min()), double(std::numeric_limits<int32_t>::max()));
    const double w = std::nearbyint(v);
    // |v - w| <= 0.5, exact in a double; its steps fit 16 bits.
    int32_t r = int32_t(std::nearbyint((v - w) * kFractionSteps));
    whole = int32_t(w);
    // A rest rounded up to half a pixel beside an odd pixel would round to
    // the neighbour: keep it just inside.
    if (!IsValidFraction(whole, r))
        r += r > 0 ? -1 : 1;
    rest = int16_t(r);
}

} // namespace

Point Point::atPrecise(double x, double y)
{
    Point p;
    split(x, p.X, p.fracX);
    split(y, p.Y, p.fracY);
    return p;
}

} // namespace cvg
