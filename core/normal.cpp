// Standard normal density, and the distribution function by Abramowitz and
// Stegun 26.2.17: for x >= 0, N(x) = 1 - phi(x) P(t), t = 1 / (1 + p x),
// P a fifth-degree polynomial in t without constant term; |error| < 7.5e-8.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double norm(double x) {
  if (any_nan(x)) return NAN;
  const double c = 1 / std::sqrt(2 * Pi);
  const double e = -(x * x) / 2;
  return std::exp(e) * c;
}

double snorm(double x) {
  if (any_nan(x)) return NAN;
  const double p = 0.2316419;
  const double b1 = 0.31938153, b2 = -0.356563782, b3 = 1.781477937, b4 = -1.821255978,
               b5 = 1.330274429;
  const double s = x >= 0 ? 1.0 : -1.0;  // -0 takes the upper branch, NaN the lower
  const double t = 1 / (1 + p * (x * s));
  const double phi = std::exp(-(x * x) / 2) * (1 / std::sqrt(2 * Pi));
  double P = t * b1 + t * b2 * t;
  P = std::pow(t, 3.0) * b3 + P;
  P = std::pow(t, 4.0) * b4 + P;
  P = std::pow(t, 5.0) * b5 + P;
  return 0.5 + s * (0.5 - P * phi);
}

}  // namespace vexal
