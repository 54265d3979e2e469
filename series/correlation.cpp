// Pearson correlation of the log returns x_i, y_i (i = 1..n-1) of two
// series read at the same indices. The deviations are population ones from
// the raw sums, sx^2 = Sxx/m - Sx^2/m^2; the co-moment takes a second pass
// about the means:
//   rho = sum (x - mx)(y - my) / sx / sy / m.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double Price_cor(const double* pricesA, const double* pricesB, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  double sx = 0, sxx = 0, sy = 0, syy = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    const double x = std::log(pricesA[i] / pricesA[i - 1]);
    const double y = std::log(pricesB[i] / pricesB[i - 1]);
    sx += x;
    sxx += x * x;
    sy += y;
    syy += y * y;
  }
  const double dx = std::sqrt(sxx / (n - 1) - sx * sx / std::pow(n - 1, 2.0));
  const double dy = std::sqrt(syy / (n - 1) - sy * sy / std::pow(n - 1, 2.0));
  const double mx = sx / (n - 1);
  const double my = sy / (n - 1);

  double c = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    const double x = std::log(pricesA[i] / pricesA[i - 1]);
    const double y = std::log(pricesB[i] / pricesB[i - 1]);
    c += (x - mx) * (y - my);
  }
  return c / dx / dy / (n - 1);
}

}  // namespace vexal
