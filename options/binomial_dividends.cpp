// American call and put with cash dividends a[k] paid at times t[k], by the
// escrowed-dividend tree: the tree follows S* = S - D0, D0 the present value
// of the dividends paid before T, with volatility (S*sigma)/S* and growth
// exp(dt*r). Expiry node i adds back A_i, the dividends paid from i*dt up
// to T, discounted to i*dt; earlier nodes exercise on the escrowed price.
// The count m reads entries 0..nearest(m - 1); a NaN among them, time or
// amount, gives NaN.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/binomial.h"

namespace vexal {
namespace {

double binamer_d(double sign, double S, double K, double T, double r, double sigma, double steps,
                 const double* t, const double* a, double m) {
  using namespace binomial;
  if (any_nan(S, K, T, r, sigma, steps, m)) return NAN;
  const std::int32_t n = to_int_floor(steps);
  if (n < -1) return NAN;
  const std::int64_t L = to_int_nearest(m - 1.0);
  if (any_nan_in(t, L) || any_nan_in(a, L)) return NAN;
  double D0 = 0.0;
  for (std::int64_t k = 0; k <= L; ++k)
    if (t[k] < T) D0 = std::exp(-t[k] * r) * a[k] + D0;
  const double Ss = S - D0;
  const double sigmas = (S * sigma) / Ss;
  // Expiry node i's stock price carries A_i, the dividends paid from i*dt
  // to T discounted to i*dt (a NaN i*dt, at zero steps, adds nothing).
  auto add_back = [&](std::int64_t i, double dt, double x) {
    const double ti = static_cast<double>(i) * dt;
    double A = 0.0;
    for (std::int64_t k = 0; k <= L; ++k)
      if (t[k] < T && t[k] >= ti) A = std::exp(-(t[k] - ti) * r) * a[k] + A;
    return x + sign * A;
  };
  return run_tree(induct, sign, Ss, K, T, r, sigmas, r, n, add_back);
}

}  // namespace

double call_binamer_d(double S, double K, double T, double r, double sigma, double steps,
                      const double* times, const double* amounts, double n) {
  return binamer_d(binomial::kCall, S, K, T, r, sigma, steps, times, amounts, n);
}

double put_binamer_d(double S, double K, double T, double r, double sigma, double steps,
                     const double* times, const double* amounts, double n) {
  return binamer_d(binomial::kPut, S, K, T, r, sigma, steps, times, amounts, n);
}

}  // namespace vexal
