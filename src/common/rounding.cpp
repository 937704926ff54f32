#include "common/rounding.h"

#include <cmath>

namespace vistrel {

double roundHalfEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    const double rest = value - below;
    if (rest < 0.5)
        return below == 0.0 ? 0.0 : below;
    if (rest > 0.5)
        return below + 1.0;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

} // namespace vistrel
