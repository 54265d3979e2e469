// Precise European call and put: the out-of-the-money price from the
// normalised Black function (precise/black.cpp), plus the discounted
// intrinsic value of the forward in the money,
//   C = D K e^{x/2} b(-|x|, s) + D K max(e^x - 1, 0),   D = e^{-rT},
// which is put-call parity C - P = D (F - K) with nothing cancelling.
// T <= 0: the intrinsic value S - K or K - S; s = 0 (or S or K zero): the
// discounted intrinsic value of the forward.
#include <cmath>

#include "core/numeric.h"
#include "precise/european.h"
#include "precise/functions.h"

namespace vexal {

double precise_call_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q) || precise::out_of_domain(S, K, sigma)) return NAN;
  if (!(T > 0)) return S > K ? S - K : 0.0;
  if (S == 0) return 0.0;
  if (K == 0) return S * std::exp(-q * T);
  const precise::Market m(S, K, T, r, sigma, q);
  return m.otm() + (m.x > 0 ? m.intrinsic() : 0.0);
}

double precise_put_eur(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q) || precise::out_of_domain(S, K, sigma)) return NAN;
  if (!(T > 0)) return S < K ? K - S : 0.0;
  if (K == 0) return 0.0;
  if (S == 0) return K * std::exp(-r * T);
  const precise::Market m(S, K, T, r, sigma, q);
  return m.otm() + (m.x < 0 ? m.intrinsic() : 0.0);
}

// N(d2), the risk-neutral probability that S ends above K; at s = 0 the
// limit 1, 1/2 or 0 as F is above, at or below K; past expiry 1 if S > K.
double precise_prob_itm(double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q) || precise::out_of_domain(S, K, sigma)) return NAN;
  if (!(T > 0)) return S > K ? 1.0 : 0.0;
  if (S == 0) return 0.0;
  if (K == 0) return 1.0;
  const precise::Market m(S, K, T, r, sigma, q);
  return precise::norm_cdf(m.h - m.t);
}

}  // namespace vexal
