#pragma once

#include <cmath>
#include <limits>

namespace preview {

// The window and its views measure in twips; the screen has 15 of them to a pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// Nearest whole number, a tie going to the even neighbour. Written out instead of relying on the
// floating-point rounding mode, which a library may have changed. Saturates at the int range.
inline int nearest(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double lo = std::numeric_limits<int>::min();
    constexpr double hi = std::numeric_limits<int>::max();
    if (value <= lo)
        return std::numeric_limits<int>::min();
    if (value >= hi)
        return std::numeric_limits<int>::max();
    const double down = std::floor(value);
    const double fraction = value - down;
    double result = down;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(down, 2.0) != 0.0))
        result = down + 1.0;
    return static_cast<int>(result);
}

// Largest whole number not above the value, saturating at the int range.
inline int floorToInt(double value) {
    if (std::isnan(value))
        return 0;
    const double down = std::floor(value);
    if (down <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (down >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(down);
}

inline int twipsToPixels(double twips) {
    return nearest(twips / kTwipsPerPixel);
}
inline int pixelsToTwips(int pixels) {
    return pixels * kTwipsPerPixel;
}

}  // namespace preview
