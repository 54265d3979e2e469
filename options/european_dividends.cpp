// European prices with cash dividends by the escrowed-spot method: the
// dividends paid before expiry, discounted at r from their payment times,
// come out of the spot, S* = S - D, and the volatility is scaled so that
// S* sigma* = S sigma. The yield is zero.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {
namespace {

// D = sum over i <= last with times[i] < T of e^{-r t_i} amounts[i]; NaN
// when an entry read is NaN, paid before T or not.
double escrowed(double T, double r, const double* times, const double* amounts, double n) {
  const std::int64_t last = to_int_nearest(n - 1);  // kBadInt for NaN n: none read
  if (any_nan_in(times, last) || any_nan_in(amounts, last)) return NAN;
  double D = 0.0;
  for (std::int64_t i = 0; i <= last; ++i) {
    if (times[i] >= T) continue;
    D = std::exp(-times[i] * r) * amounts[i] + D;
  }
  return D;
}

}  // namespace

double call_eur_d(double S, double K, double T, double r, double sigma, const double* times,
                  const double* amounts, double n) {
  if (any_nan(S, K, T, r, sigma, n)) return NAN;
  const double Sx = S - escrowed(T, r, times, amounts, n);
  const double sigmax = (S / Sx) * sigma;
  return call_eur(Sx, K, T, r, sigmax, 0.0);
}

double put_eur_d(double S, double K, double T, double r, double sigma, const double* times,
                 const double* amounts, double n) {
  if (any_nan(S, K, T, r, sigma, n)) return NAN;
  const double Sx = S - escrowed(T, r, times, amounts, n);
  const double sigmax = (S / Sx) * sigma;
  return put_eur(Sx, K, T, r, sigmax, 0.0);
}

}  // namespace vexal
