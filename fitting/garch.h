// GARCH(1,1) fit by variance targeting. The fit runs on prices and a
// GarchState that its caller owns; the exports use one module-level pair.
#ifndef VEXAL_GARCH_H
#define VEXAL_GARCH_H

#include <cstdint>

#include "core/numeric.h"
#include "fitting/gradient_ascent.h"

namespace vexal {

inline constexpr std::int32_t kPriceCapacity = 100001;

struct PriceSeries {
  double prices[kPriceCapacity];  // oldest first
  std::int32_t count;
};

struct GarchState {
  double result[4];  // objective, omega, alpha, beta
  double target_var;
  OptimiserState opt;  // x[1] = alpha, x[2] = beta
};

PriceSeries& price_series();
GarchState& garch_state();

// Fits prices[0..n-1] (oldest first) from (alpha0, beta0) and stores the
// result in g. The optimiser continues from what g's previous fit left (its
// pass count and last value); a value-initialised GarchState starts afresh.
void garch_fit(const double* prices, std::int64_t n, double alpha0, double beta0, GarchState& g);

// Sample variance of the log returns of prices[0..n-1]; without arguments,
// of the loaded series.
double garch_sample_var(const double* prices, std::int64_t n);
double garch_sample_var();

// The objective over a series, with the simple returns and their
// squares computed once. Gives the same doubles as forming the returns and
// the variance array afresh for every evaluation; NaN when its working
// storage could not be obtained.
class GarchLoglik {
 public:
  GarchLoglik(const double* prices, std::int64_t n, double target_var);
  GarchLoglik();  // the loaded series and the module fit's target variance
  double operator()(double alpha, double beta) const;
  static double objective(const OptimiserState& s, void* self);

 private:
  std::int64_t n_;
  double var_;
  WorkArray r_;   // r[t] = (P[t] - P[t-1]) / P[t-1], t = 1..n-1
  WorkArray r2_;  // r[t] * r[t]
};

}  // namespace vexal

#endif
