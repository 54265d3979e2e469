// Drawdowns of a series scanned once from p[0]. A new peak is a price
// strictly above the running peak; each stretch between peaks is closed at
// the next peak or at the end. p[0] is read whatever n is.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

// Largest (peak - trough) / peak over the stretches.
double MaxDrawdown(const double* prices, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  double peak = prices[0], trough = prices[0], best = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    const double p = prices[i];
    if (p < trough) trough = p;
    if (p > peak) {
      const double d = (peak - trough) / peak;
      if (d > best) best = d;
      peak = p;
      trough = p;
    }
  }
  const double d = (peak - trough) / peak;
  if (d > best) best = d;
  return best;
}

// Most observations strictly between two peaks; the trailing stretch counts
// those strictly between the last peak and p[n-1], n - peakIndex - 2.
double MaxTimeDrawdown(const double* prices, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  double peak = prices[0], best = 0;
  std::int64_t peak_index = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    if (prices[i] > peak) {
      const double d = static_cast<double>(i - peak_index - 1);
      if (d > best) best = d;
      peak = prices[i];
      peak_index = i;
    }
  }
  const double d = n - static_cast<double>(peak_index) - 2;
  if (d > best) best = d;
  return best;
}

}  // namespace vexal
