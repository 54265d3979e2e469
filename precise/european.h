// The setting shared by the precise European prices and Greeks: discount
// factors, log-moneyness and total volatility, and the out-of-the-money
// part of the price.
#ifndef VEXAL_PRECISE_EUROPEAN_H
#define VEXAL_PRECISE_EUROPEAN_H

#include <cmath>

#include "precise/black.h"
#include "precise/erfc.h"

namespace vexal::precise {

// Inputs past the NaN, sign and expiry checks: S, K > 0, T > 0, sigma >= 0.
struct Market {
  double S, K, T, r, sigma, q;
  double Dr, Dq;  // e^{-rT}, e^{-qT}
  double A, B;    // S e^{-qT}, K e^{-rT}: the discounted forward and strike
  double x;       // ln(F/K)
  double em;      // e^x - 1
  double s;       // sigma sqrt(T)
  double h, t;    // x/s (+-inf or 0 at s = 0), s/2

  Market(double S_, double K_, double T_, double r_, double sigma_, double q_)
      : S(S_), K(K_), T(T_), r(r_), sigma(sigma_), q(q_), Dr(std::exp(-r_ * T_)),
        x(log_moneyness(S_, K_, T_, r_, q_)), s(sigma_ * std::sqrt(T_)) {
    // A = B e^x from x, sparing an exponential; S e^{-qT} where x is large.
    B = K * Dr;
    em = std::expm1(x);
    A = std::fabs(x) < 1 ? B + B * em : S * std::exp(-q * T);
    Dq = A / S;
    t = s / 2;
    h = s > 0 ? x / s : (x > 0 ? INFINITY : x < 0 ? -INFINITY : 0.0);
  }

  // The out-of-the-money price (put for x > 0, call for x <= 0),
  // sqrt(A B) b(-|x|, s) with e^{-|x|/2} = sqrt(min(A, B) / max(A, B)).
  double otm() const {
    if (!(s > 0)) return 0.0;
    const double ex = A < B ? std::sqrt(A / B) : std::sqrt(B / A);
    return std::sqrt(A) * std::sqrt(B) * black_otm(-std::fabs(x), s, ex);
  }
  // The discounted intrinsic value of the forward, |A - B|, from x near
  // the money, where the difference would cancel.
  double intrinsic() const { return std::fabs(x) < 1 ? B * std::fabs(em) : std::fabs(A - B); }
};

// A price, level or volatility below zero has no meaning here: NaN.
inline bool out_of_domain(double S, double K, double sigma) { return S < 0 || K < 0 || sigma < 0; }

}  // namespace vexal::precise

#endif
