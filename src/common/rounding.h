#pragma once

namespace vistrel {

// Round to the nearest whole number, halves to the even neighbour (2.5 gives 2, 3.5 gives 4),
// whatever rounding mode the process runs in. Infinities and NaN come back unchanged; -0.4
// gives 0, not -0.
double roundHalfEven(double value);

} // namespace vistrel
