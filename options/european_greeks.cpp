// Black-Scholes-Merton Greeks with a continuous yield q, per unit of the raw
// argument (vega per 1.0 of sigma, rho per 1.0 of r, theta per time unit):
//   delta_C = e^{-qT} N(d1),            delta_P = e^{-qT} (N(d1) - 1),
//   gamma   = e^{-qT} n(d1) / (S sigma sqrt T),
//   vega    = S e^{-qT} n(d1) sqrt T,
//   theta_C = A + q S e^{-qT} N(d1)  - r K e^{-rT} N(d2),
//   theta_P = A - q S e^{-qT} N(-d1) + r K e^{-rT} N(-d2),
//             A = -S e^{-qT} n(d1) sigma / (2 sqrt T),
//   rho_C   = K T e^{-rT} N(d2),        rho_P = -K T e^{-rT} N(-d2).
// No expiry branch: T <= 0 gives what the arithmetic gives.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/european_terms.h"

namespace vexal {

double call_delta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double Dq = std::exp(-q * T);
  return snorm(d1) * Dq;
}

double put_delta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double Dq = std::exp(-q * T);
  return (snorm(d1) - 1.0) * Dq;
}

double gamma_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double Dq = std::exp(-q * T);
  return norm(d1) * Dq / ((sigma * S) * std::sqrt(T));
}

double vega_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double Dq = std::exp(-q * T);
  return norm(d1) * (Dq * S * std::sqrt(T));
}

double call_theta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double d2 = european::d2(d1, T, sigma);
  const double Dq = std::exp(-q * T), Dr = std::exp(-r * T);
  const double A = norm(d1) * (-S * Dq) * sigma / (2 * std::sqrt(T));
  return A + snorm(d1) * (q * S * Dq) - snorm(d2) * (r * K * Dr);
}

double put_theta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double d2 = european::d2(d1, T, sigma);
  const double Dq = std::exp(-q * T), Dr = std::exp(-r * T);
  const double A = norm(d1) * (-S * Dq) * sigma / (2 * std::sqrt(T));
  return A - snorm(-d1) * (q * S * Dq) + snorm(-d2) * (r * K * Dr);
}

double call_rho_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double d2 = european::d2(d1, T, sigma);
  const double Dr = std::exp(-r * T);
  return snorm(d2) * (Dr * T * K);
}

double put_rho_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  const double d1 = european::d1(S, K, T, r, sigma, q);
  const double d2 = european::d2(d1, T, sigma);
  const double Dr = std::exp(-r * T);
  return -snorm(-d2) * (Dr * K * T);
}

}  // namespace vexal
