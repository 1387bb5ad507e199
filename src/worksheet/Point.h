#pragma once

#include <cstdint>

namespace cvg {

// One picked point: X the pixel column of the corrected picture, Y the row
// counted upward from its bottom edge (Y = height - row).
struct Point {
    int32_t X = 0;
    int32_t Y = 0;
    bool operator==(const Point&) const = default;
};

} // namespace cvg
