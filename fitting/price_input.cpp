// Price_input: loads the prices that the GARCH fit (fitting/garch.cpp)
// works on into the module's series, oldest first, reversing a series given
// newest first.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"
#include "fitting/garch.h"

namespace vexal {

// Copies indices 0..nearest(count - 1) of a (reversed when the flag is
// nonzero) and sets the count to floor(count). A load that would not fit
// writes nothing and returns NaN.
double Price_input(const double* a, double count, double reverse) {
  PriceSeries& ps = price_series();
  const std::int32_t n = to_int_floor(count);
  const std::int32_t last = to_int_nearest(count - 1);
  if (n < 0 || n > kPriceCapacity || last >= kPriceCapacity) return NAN;

  if (reverse != 0.0 && !std::isnan(reverse)) {
    for (std::int32_t i = 0; i <= last; ++i) {
      // Ties in count - 1 - i round to even, so targets may repeat.
      const std::int32_t j = to_int_nearest(count - 1 - i);
      if (j >= 0 && j < kPriceCapacity) ps.prices[j] = a[i];
    }
  } else {
    for (std::int32_t i = 0; i <= last; ++i) ps.prices[i] = a[i];
  }
  ps.count = n;
  return 1.0;
}

}  // namespace vexal
