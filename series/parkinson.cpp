// Parkinson's range estimator over all n bars:
//   sigma^2 = A / (4 ln 2 * n) * sum ln(high_i / low_i)^2.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double Price_Vol_Parkinson(const double* high, const double* low, double A, double n) {
  if (any_nan(A, n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  double p = 0;
  for (std::int64_t i = 0; i <= last; ++i) p += std::pow(std::log(high[i] / low[i]), 2.0);
  return std::sqrt(p * A / (2.772588722239781 * n));
}

}  // namespace vexal
