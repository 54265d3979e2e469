// The growth-optimal fraction of an asset with drift mu and volatility
// sigma, and the growth rate of log wealth when k times that fraction is
// held:
//
//   f* = mu / sigma^2,   g(k) = (mu/sigma)^2 (k - k^2/2).
//
// g is largest at k = 1 (full Kelly), falls to zero at k = 2 and is
// negative beyond.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double kellyfr_norm(double mu, double sigma) {
  if (any_nan(mu, sigma)) return NAN;
  return mu / (sigma * sigma);
}

double kellyfr_growth(double k, double mu, double sigma) {
  if (any_nan(k, mu, sigma)) return NAN;
  const double t = k - (k * k) / 2;
  const double s = std::pow(mu / sigma, 2.0);
  return s * t;
}

}  // namespace vexal
