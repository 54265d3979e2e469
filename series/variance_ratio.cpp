// Variance ratio: the mean square of the overlapping k-step log returns
// over k times the mean square of the one-step returns, both about zero:
//   A = sum_{i=k}^{n-1} ln(p[i]/p[i-k])^2 / (n - k)
//   B = sum_{i=1}^{n-1} ln(p[i]/p[i-1])^2 / (n - 1)
//   VR = A / k / B
// A random walk gives about 1; k = 1 gives exactly 1.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double Price_vr(const double* prices, double n, double k) {
  if (any_nan(n, k)) return NAN;
  // A negative or unrepresentable holding period would index before p[0].
  const std::int32_t kk = to_int_nearest(k);
  if (!(k >= 0) || kk == kBadInt) return NAN;

  const std::int64_t last = to_int_nearest(n - 1);
  double a = 0;
  for (std::int64_t i = kk; i <= last; ++i) {
    // i >= round(k) >= k - 1/2, so i - k rounds to 0 or more.
    const std::int64_t j = to_int_nearest(static_cast<double>(i) - k);
    a += std::pow(std::log(prices[i] / prices[j]), 2.0);
  }
  a = a / (n - k);

  double b = 0;
  for (std::int64_t i = 1; i <= last; ++i) b += std::pow(std::log(prices[i] / prices[i - 1]), 2.0);
  b = b / (n - 1);

  return a / k / b;
}

}  // namespace vexal
