// Precise European Greeks, in the units of the legacy ones (vega per 1.0 of
// sigma, rho per 1.0 of r with q held, theta = -d price / d T):
//   delta_C = e^{-qT} N(d1),  delta_P = -e^{-qT} N(-d1),
//   gamma = e^{-qT} phi(d1) / (S s),  vega = S e^{-qT} phi(d1) sqrt T,
//   rho_C = K T e^{-rT} N(d2),  rho_P = -K T e^{-rT} N(-d2).
// Theta of the out-of-the-money option from its own price V,
//   theta_C = r C - (r - q) S e^{-qT} N(d1)  - vega sigma / (2T),
//   theta_P = r P + (r - q) S e^{-qT} N(-d1) - vega sigma / (2T),
// whose terms are of the size of the result, and in the money by parity,
// theta_C - theta_P = q S e^{-qT} - r K e^{-rT}; where the out-of-the-money
// price is near its bound, from the gap below the bounds (theta_wide).
// Past expiry (T <= 0) the Greeks of the payoff: delta 1 (or -1) in the
// money, 0 otherwise; the rest 0.
#include <cmath>

#include "core/numeric.h"
#include "precise/european.h"
#include "precise/functions.h"

namespace vexal {

namespace {

using precise::kInvSqrt2Pi;
using precise::Market;
using precise::mills;
using precise::norm_cdf;
using precise::norm_pdf;

bool bad(double S, double K, double T, double r, double sigma, double q) {
  return any_nan(S, K, T, r, sigma, q) || precise::out_of_domain(S, K, sigma);
}

// S or K zero: the price is linear in S, the option sure to end in (or out
// of) the money; handled as zero volatility.
Market market(double S, double K, double T, double r, double sigma, double q) {
  if (S == 0 || K == 0) sigma = 0;
  if (S == 0) S = 0x1p-1074;
  if (K == 0) K = 0x1p-1074;
  return Market(S, K, T, r, sigma, q);
}

// Theta where the out-of-the-money price is near its bound (t - |h| > 0.85,
// as in black_otm): both prices are their bound less the same gap
// G = A N(-d1) + B N(d2) (C = A - G, P = B - G), and theta = qA + dG/dT
// (call) or rB + dG/dT (put), with
//   dG/dT = -sqrt(AB) v (q Y(-d1) + r Y(d2) + s/2T),
// v = e^{-(h^2+t^2)/2} / sqrt(2 pi) and Y the Mills ratio, both arguments
// below 0. The forms above would take it as a difference of terms of size
// rB and qA, which loses everything as s grows and G falls to e^{-s^2/8}.
// The factor sqrt(AB) v goes through logarithms where v would underflow.
double theta_wide(const Market& m, bool call) {
  const double E = (m.h * m.h + m.t * m.t) / 2;
  double w = m.scale() * (kInvSqrt2Pi * std::exp(-E));
  if (E > 700 || !(w > 0 && w < INFINITY))
    w = kInvSqrt2Pi * std::exp((std::log(m.S) + std::log(m.K)) / 2 - (m.r + m.q) * m.T / 2 - E);
  const double d1 = m.h + m.t, d2 = m.h - m.t;
  const double dG = -w * (m.q * mills(-d1) + m.r * mills(d2) + m.s / (2 * m.T));
  return (call ? m.q * m.A() : m.r * m.B()) + dG;
}

double theta(const Market& m, bool call) {
  if (m.s > 0 && m.t - std::fabs(m.h) > 0.85) return theta_wide(m, call);
  return precise::theta_near(m, call, m.otm());
}

}  // namespace

double precise_call_delta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return S > K ? 1.0 : 0.0;
  const Market m = market(S, K, T, r, sigma, q);
  return m.Dq() * norm_cdf(m.h + m.t);
}

double precise_put_delta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return S < K ? -1.0 : 0.0;
  const Market m = market(S, K, T, r, sigma, q);
  return -m.Dq() * norm_cdf(-(m.h + m.t));
}

double precise_gamma_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0) || S == 0 || K == 0) return 0.0;
  const Market m = market(S, K, T, r, sigma, q);
  if (!(m.s > 0)) return m.x == 0 ? INFINITY : 0.0;
  return m.Dq() * norm_pdf(m.h + m.t) / (m.S * m.s);
}

double precise_vega_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0) || S == 0 || K == 0) return 0.0;
  const Market m = market(S, K, T, r, sigma, q);
  return m.A() * norm_pdf(m.h + m.t) * std::sqrt(m.T);
}

double precise_call_theta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return 0.0;
  return theta(market(S, K, T, r, sigma, q), true);
}

double precise_put_theta_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return 0.0;
  return theta(market(S, K, T, r, sigma, q), false);
}

double precise_call_rho_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return 0.0;
  const Market m = market(S, K, T, r, sigma, q);
  return m.K * m.T * m.Dr() * norm_cdf(m.h - m.t);
}

double precise_put_rho_eur(double S, double K, double T, double r, double sigma, double q) {
  if (bad(S, K, T, r, sigma, q)) return NAN;
  if (!(T > 0)) return 0.0;
  const Market m = market(S, K, T, r, sigma, q);
  return -m.K * m.T * m.Dr() * norm_cdf(-(m.h - m.t));
}

}  // namespace vexal
