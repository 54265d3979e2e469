// EWMA volatility over the whole window at once: the newest of the n - 1
// log returns has weight 1, each older one a further factor lambda,
//   sigma = sqrt( (1 - lambda) / (1 - lambda^(n-1)) * sum w_i r_i^2 ) * sqrt(A),
// the factor making the weights sum to 1. No seed variance, no recursion;
// every weight is its own pow, not a running product.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double Price_Vol_EWMA(const double* prices, double n, double lambda, double A, double order) {
  if (any_nan(n, lambda, A)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  const bool newest_first = order != 0.0 && !std::isnan(order);
  double w = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    const double fi = static_cast<double>(i);
    double r, weight;
    if (newest_first) {
      r = std::log(prices[i - 1] / prices[i]);
      weight = std::pow(lambda, fi - 1);
    } else {
      r = std::log(prices[i] / prices[i - 1]);
      weight = std::pow(lambda, (n - 1) - fi);
    }
    w += weight * r * r;
  }
  return std::sqrt((1 - lambda) / (1 - std::pow(lambda, n - 1)) * w) * std::sqrt(A);
}

}  // namespace vexal
