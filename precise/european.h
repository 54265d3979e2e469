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
// What only some functions need (the discount factors, the discounted
// forward and strike) is worked out on demand.
struct Market {
  double S, K, T, r, sigma, q;
  double x;     // ln(F/K)
  double s;     // sigma sqrt(T)
  double h, t;  // x/s (+-inf or 0 at s = 0), s/2

  Market(double S_, double K_, double T_, double r_, double sigma_, double q_)
      : S(S_), K(K_), T(T_), r(r_), sigma(sigma_), q(q_),
        x(log_moneyness(S_, K_, T_, r_, q_)), s(sigma_ * std::sqrt(T_)) {
    t = s / 2;
    h = s > 0 ? x / s : (x > 0 ? INFINITY : x < 0 ? -INFINITY : 0.0);
  }

  double Dr() const { return std::exp(-r * T); }
  double B() const { return K * Dr(); }  // discounted strike
  double A() const {                     // discounted forward, B e^x
    return std::fabs(x) < 1 ? B() * std::exp(x) : S * std::exp(-q * T);
  }
  double Dq() const { return A() / S; }

  // sqrt(A B) = sqrt(S K) e^{-(r + q) T / 2}, the scale of the normalised
  // prices.
  double scale() const {
    double root = std::sqrt(S * K);
    if (!(root < INFINITY) || root == 0) root = std::sqrt(S) * std::sqrt(K);
    return root * std::exp(-(r + q) * T / 2);
  }

  // The out-of-the-money price (put for x > 0, call for x <= 0),
  // sqrt(A B) b(-|x|, s); e^{-|x|/2} only where b needs it (d1 > 0.85).
  // Where b is below the normal doubles and the scale would lift it back,
  // b = e^E D / sqrt(2 pi) (black_otm_ratio) is scaled before it can
  // underflow: (e^{E/2} sqrt(A B) D / sqrt(2 pi)) e^{E/2}.
  double otm() const {
    if (!(s > 0)) return 0.0;
    const double ex = t - std::fabs(h) > 0.85 ? std::exp(-std::fabs(x) / 2) : 0.0;
    const double b = black_otm(-std::fabs(x), s, ex), root = scale();
    if (b < 0x1p-1000 && root > 1) {
      double E;
      const double D = black_otm_ratio(-std::fabs(x), s, &E), m = std::exp(E / 2);
      return m * (root * (kInvSqrt2Pi * D)) * m;
    }
    return root * b;
  }

  // The discounted intrinsic value of the forward, |A - B|, from x near
  // the money, where the difference would cancel.
  double intrinsic() const {
    return std::fabs(x) < 0.5 ? B() * std::fabs(std::expm1(x)) : std::fabs(A() - B());
  }
};

// A price, level or volatility below zero has no meaning here: NaN.
inline bool out_of_domain(double S, double K, double sigma) { return S < 0 || K < 0 || sigma < 0; }

}  // namespace vexal::precise

#endif
