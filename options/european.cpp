// European call and put under Black-Scholes-Merton with a continuous yield:
//   C = S e^{-qT} N(d1) - K e^{-rT} N(d2),
//   P = K e^{-rT} N(-d2) - S e^{-qT} N(-d1).
// At or past expiry (T <= 0) the undiscounted intrinsic value; a NaN
// argument gives NaN. A price below zero is floored at 0: a negative sigma
// turns the formula over (a put of -4e7 is possible), and far out of the
// money the error of snorm can outweigh a true value of almost nothing.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/european_terms.h"

namespace vexal {

double call_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return S > K ? S - K : 0.0;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double d2 = european::d2(d1, T, sigma);
  const double Dq = std::exp(-q * T), Dr = std::exp(-r * T);
  const double C = snorm(d1) * (S * Dq) - snorm(d2) * (Dr * K);
  return C < 0 ? 0.0 : C;
}

double put_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return S >= K ? 0.0 : K - S;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double d2 = european::d2(d1, T, sigma);
  const double Dq = std::exp(-q * T), Dr = std::exp(-r * T);
  const double P = snorm(-d2) * (Dr * K) - snorm(-d1) * (Dq * S);
  return P < 0 ? 0.0 : P;
}

// Risk-neutral probability that S_T > K: N(d2), written as 1 - N(z) with
// z = (ln(K/S) - T (r - q - sigma^2/2)) / (sigma sqrt T) = -d2.
double prob_itm(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double ratio = K / S;
  const double z = (std::log(ratio) - T * ((r - q) - sigma * sigma / 2)) / (std::sqrt(T) * sigma);
  return 1.0 - snorm(z);
}

}  // namespace vexal
