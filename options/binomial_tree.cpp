// American call and put on a Cox-Ross-Rubinstein tree with a continuous
// yield q: n = floor(steps), dt = T/n, u = exp(sqrt(dt)*sigma), d = 1/u,
// p = (exp((r-q)*dt) - d)/(u - d), one-step discount exp(-r*dt); node (j, i)
// carries (S*u^i)*d^(j-i). Expiry values are floored at zero, earlier nodes
// take larger_of(continuation, exercise).
//
// n = -1 prices nothing and gives 0.0, n < -1 (out-of-range steps) gives
// NaN, as does a NaN in any argument. An option that expires now (T <= 0)
// is worth its floored exercise value; a degenerate tree (see run_tree) is
// worth at least 0.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/binomial.h"

namespace vexal {

namespace binomial {

double binamer(Induct induct, double sign, double S, double K, double T, double r, double sigma,
               double steps, double q) {
  if (any_nan(S, K, T, r, sigma, steps, q)) return NAN;
  const std::int32_t n = to_int_floor(steps);
  if (n < -1) return NAN;
  return run_tree(induct, sign, S, K, T, r, sigma, r - q, n,
                  [](std::int64_t, double, double x) { return x; });
}

}  // namespace binomial

double call_binamer(double S, double K, double T, double r, double sigma, double steps, double q) {
  return binomial::binamer(binomial::induct, binomial::kCall, S, K, T, r, sigma, steps, q);
}

double put_binamer(double S, double K, double T, double r, double sigma, double steps, double q) {
  return binomial::binamer(binomial::induct, binomial::kPut, S, K, T, r, sigma, steps, q);
}

}  // namespace vexal
