// Barrier probabilities for wealth W(t) held at k times the Kelly fraction,
// W(0) = 1. Log wealth is a Brownian motion with drift g(k) and volatility
// k mu/sigma, so W^gamma is a martingale for
//
//   gamma = -2 g / (k mu/sigma)^2 = 1 - 2/k,
//
// and optional stopping gives, for L < 1 < U,
//
//   P(U before L) = (1 - L^gamma) / (U^gamma - L^gamma),
//   P(ever down to L) = L^-gamma = L^(2/k - 1)   (k in (0, 2], upward drift).
//
// Neither depends on mu or sigma.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double kellyfr_barriers(double k, double L, double U) {
  if (any_nan(k, L, U)) return NAN;
  const double gamma = -(2 / k) + 1;
  const double a = std::pow(L, gamma);
  const double numerator = 1 - a;
  const double denominator = std::pow(U, gamma) - std::pow(L, gamma);
  return numerator / denominator;
}

// With k outside (0, 2] the drift is downward and L (below 1) is reached
// for certain, where L^(2/k - 1) would exceed 1: the probability is capped
// there. NaN passes through.
double kellyfr_dbarrier(double k, double L) {
  if (any_nan(k, L)) return NAN;
  const double p = std::pow(L, 2 / k + (-1));
  return p > 1 ? 1.0 : p;
}

}  // namespace vexal
