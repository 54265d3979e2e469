// Precise European Greeks, in the units of the legacy ones (vega per 1.0 of
// sigma, rho per 1.0 of r with q held, theta = -d price / d T):
//   delta_C = e^{-qT} N(d1),  delta_P = -e^{-qT} N(-d1),
//   gamma = e^{-qT} phi(d1) / (S s),  vega = S e^{-qT} phi(d1) sqrt T,
//   rho_C = K T e^{-rT} N(d2),  rho_P = -K T e^{-rT} N(-d2).
// Theta of the out-of-the-money option from its own price V,
//   theta_C = r C - (r - q) S e^{-qT} N(d1)  - vega sigma / (2T),
//   theta_P = r P + (r - q) S e^{-qT} N(-d1) - vega sigma / (2T),
// whose terms are of the size of the result, and in the money by parity,
// theta_C - theta_P = q S e^{-qT} - r K e^{-rT}.
// Past expiry (T <= 0) the Greeks of the payoff: delta 1 (or -1) in the
// money, 0 otherwise; the rest 0.
#include <cmath>

#include "core/numeric.h"
#include "precise/european.h"
#include "precise/functions.h"

namespace vexal {

namespace {

using precise::Market;
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

double theta(const Market& m, bool call) {
  const double vega = m.A() * norm_pdf(m.h + m.t) * std::sqrt(m.T);
  const double decay = m.s > 0 ? vega * m.sigma / (2 * m.T) : 0.0;
  const double carry = (m.r - m.q) * m.A();
  const double otm = m.otm();
  double th;
  if (m.x > 0)  // the put is out of the money
    th = m.r * otm + carry * norm_cdf(-(m.h + m.t)) - decay;
  else
    th = m.r * otm - carry * norm_cdf(m.h + m.t) - decay;
  const double parity = m.q * m.A() - m.r * m.B();
  if (call && m.x > 0) th += parity;
  if (!call && !(m.x > 0)) th -= parity;
  return th;
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
