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
  double x;       // ln(F/K)
  double s;       // sigma sqrt(T)
  double h, t;    // x/s (+-inf or 0 at s = 0), s/2

  Market(double S_, double K_, double T_, double r_, double sigma_, double q_)
      : S(S_), K(K_), T(T_), r(r_), sigma(sigma_), q(q_),
        Dr(std::exp(-r_ * T_)), Dq(std::exp(-q_ * T_)),
        x(log_moneyness(S_, K_, T_, r_, q_)), s(sigma_ * std::sqrt(T_)) {
    t = s / 2;
    h = s > 0 ? x / s : (x > 0 ? INFINITY : x < 0 ? -INFINITY : 0.0);
  }

  // The undiscounted out-of-the-money price (put for x > 0, call for
  // x <= 0), times Dr.
  double otm() const {
    if (!(s > 0)) return 0.0;
    return std::sqrt(S * Dq) * std::sqrt(K * Dr) * black_otm(-std::fabs(x), s);
  }
  // The discounted intrinsic value of the forward, |F - K| Dr: from x near
  // the money, where the difference would cancel.
  double intrinsic() const {
    if (std::fabs(x) < 0.5) return K * Dr * std::fabs(std::expm1(x));
    return std::fabs(S * Dq - K * Dr);
  }
};

// A price, level or volatility below zero has no meaning here: NaN.
inline bool out_of_domain(double S, double K, double sigma) { return S < 0 || K < 0 || sigma < 0; }

}  // namespace vexal::precise

#endif
