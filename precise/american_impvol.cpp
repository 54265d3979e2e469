// Implied volatility of the precise American prices: the sigma at which
// precise_{call,put}_american equals the given price, by Brent's method on
// a bracket that the European implied volatility closes from above (an
// American price is at least the European one, so the American sigma is at
// most the European sigma of the same price). The price at sigma = 0 is the
// lower end of the attainable range: below it NaN, at it (within the
// rounding of its terms) 0. Above the range (at or above the limit as sigma
// grows, or where no sigma up to 2^10 reaches the price) NaN.
#include <cmath>

#include "core/numeric.h"
#include "precise/brent.h"
#include "precise/functions.h"

namespace vexal {

namespace {

using Price = double (*)(double, double, double, double, double, double);

double implied(bool call, Price price, Price european_impvol, double S, double K, double T,
               double r, double P, double q) {
  if (any_nan(S, K, T, r, P, q)) return NAN;
  if (!(S > 0 && K > 0 && T > 0) || !std::isfinite(S) || !std::isfinite(K) ||
      !std::isfinite(T) || !std::isfinite(r) || !std::isfinite(q) || !std::isfinite(P))
    return NAN;
  if (!(P < precise::price_limit(call, S, K, T, r, q))) return NAN;
  auto f = [&](double sigma) { return price(S, K, T, r, sigma, q) - P; };
  double a = 0, fa = f(0);
  // The value at sigma = 0 is the best of K e^{-rt} - S e^{-qt} (or its
  // negative) over t, in other arithmetic than the price at sigma > 0: deep
  // in the money, where the time value is below the price's last bits, the
  // two differ by a few ulp of those terms, and the answer is the lower end.
  const double terms = S * std::fmax(1, std::exp(-q * T)) + K * std::fmax(1, std::exp(-r * T));
  if (fa > (terms < INFINITY ? 8 * 0x1p-52 * terms : 0.0)) return NAN;
  if (fa >= 0) return 0.0;
  double b = european_impvol(S, K, T, r, P, q);
  if (!(b > 0) || !std::isfinite(b)) b = 1;
  double fb = f(b);
  return precise::implied_root(f, a, fa, b, fb);
}

}  // namespace

double precise_call_impvol_american(double S, double K, double T, double r, double price,
                                    double q) {
  return implied(true, precise_call_american, precise_call_impvol_eur, S, K, T, r, price, q);
}

double precise_put_impvol_american(double S, double K, double T, double r, double price,
                                   double q) {
  return implied(false, precise_put_american, precise_put_impvol_eur, S, K, T, r, price, q);
}

}  // namespace vexal
