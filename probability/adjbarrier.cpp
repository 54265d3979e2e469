// Broadie-Glasserman-Kou: a barrier monitored every dt behaves like a
// continuous one moved away from the price by the factor
// exp(beta sigma sqrt(dt)), beta = -zeta(1/2)/sqrt(2 pi) = 0.5826.
// The sign of sigma chooses the side: > 1 for an upper barrier, < 1 for a lower.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double AdjBarrier(double sigma, double dt) {
  if (any_nan(sigma, dt)) return NAN;
  return std::exp(std::sqrt(dt) * sigma * 0.5826);
}

}  // namespace vexal
