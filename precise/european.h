// The setting shared by the precise European prices and Greeks: discount
// factors, log-moneyness and total volatility, and the out-of-the-money
// part of the price.
#ifndef VEXAL_PRECISE_EUROPEAN_H
#define VEXAL_PRECISE_EUROPEAN_H

#include <cmath>
#include <type_traits>

#include "precise/black.h"
#include "precise/erfc.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::precise {

// Inputs past the NaN, sign and expiry checks: S, K > 0, T > 0, sigma >= 0.
// What only some functions need (the discount factors, the discounted
// forward and strike) is worked out on demand. Written once for one double
// and for four lanes (vexal_map's rows), which give the same doubles; four
// lanes need S/K normal and s > 0, and leave to the caller the case where b
// underflows (underflows()).
template <class F>
struct MarketOf {
  F S, K, T, r, sigma, q;
  F x;     // ln(F/K)
  F s;     // sigma sqrt(T)
  F h, t;  // x/s (+-inf or 0 at s = 0), s/2

  VEXAL_LANES MarketOf(const F& S_, const F& K_, const F& T_, const F& r_, const F& sigma_, const F& q_)
      : S(S_), K(K_), T(T_), r(r_), sigma(sigma_), q(q_),
        x(log_moneyness_of(S_, K_, T_, r_, q_)), s(sigma_ * lanes::root(T_)) {
    using lanes::pick;
    t = s / 2;
    const F big = F{} + INFINITY;
    h = pick(s > 0, x / s, pick(x > 0, big, pick(x < 0, -big, F{})));
  }

  VEXAL_LANES F Dr() const { return exp_any(-r * T); }
  VEXAL_LANES F B() const { return K * Dr(); }  // discounted strike
  VEXAL_LANES F A() const {                     // discounted forward, B e^x
    const auto near = lanes::magnitude(x) < 1;
    if (lanes::all(near)) return B() * exp_any(x);
    if (!lanes::any(near)) return S * exp_any(-q * T);
    return lanes::pick(near, B() * exp_any(x), S * exp_any(-q * T));
  }
  VEXAL_LANES F Dq() const { return A() / S; }

  // sqrt(A B) = sqrt(S K) e^{-(r + q) T / 2}, the scale of the normalised
  // prices.
  VEXAL_LANES F scale() const {
    F root = lanes::root(S * K);
    const auto out = !(root < INFINITY) || root == 0;
    if (lanes::any(out)) root = lanes::pick(out, lanes::root(S) * lanes::root(K), root);
    return root * exp_any(-(r + q) * T / 2);
  }

  // The out-of-the-money price's factors: its normalised price b(-|x|, s)
  // (black_otm_of of -|x|, s and ex = e^{-|x|/2} where b needs it, d1 >
  // 0.85) and the scale; and whether b is below the normal doubles while
  // the scale would lift it back.
  VEXAL_LANES F otm_args(F& ex, F& root) const {
    const F ax = lanes::magnitude(x);
    const auto wide = t - lanes::magnitude(h) > 0.85;
    ex = F{};
    if (lanes::any(wide)) ex = lanes::pick(wide, exp_any(-ax / 2), ex);
    root = scale();
    return -ax;
  }
  VEXAL_LANES F otm_b(F& root) const {
    F ex, v;
    const F xo = otm_args(ex, root);
    return black_otm_of(xo, s, ex, v);
  }
  VEXAL_LANES static auto underflows(const F& b, const F& root) { return b < 0x1p-1000 && root > 1; }

  // The out-of-the-money price (put for x > 0, call for x <= 0),
  // sqrt(A B) b(-|x|, s); e^{-|x|/2} only where b needs it (d1 > 0.85).
  // Where b is below the normal doubles and the scale would lift it back,
  // b = e^E D / sqrt(2 pi) (black_otm_ratio) is scaled before it can
  // underflow: (e^{E/2} sqrt(A B) D / sqrt(2 pi)) e^{E/2} (one double only).
  VEXAL_LANES F otm() const {
    if constexpr (std::is_same_v<F, double>)
      if (!(s > 0)) return 0.0;
    F root;
    const F b = otm_b(root);
    if constexpr (std::is_same_v<F, double>) {
      if (underflows(b, root)) {
        double E;
        const double D = black_otm_ratio(-std::fabs(x), s, &E), m = exp_any(E / 2);
        return m * (root * (kInvSqrt2Pi * D)) * m;
      }
    }
    return root * b;
  }

  // The discounted intrinsic value of the forward, |A - B|, from x near
  // the money, where the difference would cancel.
  VEXAL_LANES F intrinsic() const {
    const auto near = lanes::magnitude(x) < 0.5;
    if (lanes::all(near)) return B() * lanes::magnitude(expm1_half(x));
    if (!lanes::any(near)) return lanes::magnitude(A() - B());
    return lanes::pick(near, B() * lanes::magnitude(expm1_half(x)), lanes::magnitude(A() - B()));
  }
};

using Market = MarketOf<double>;

// Theta where the out-of-the-money price otm is not near its bound (t - |h|
// <= 0.85, or s = 0; precise/european_greeks.cpp has the rest).
template <class F>
VEXAL_LANES F theta_near(const MarketOf<F>& m, bool call, const F& otm) {
  using lanes::pick;
  const F vega = m.A() * lanes::norm_pdf(m.h + m.t) * lanes::root(m.T);
  const F decay = pick(m.s > 0, vega * m.sigma / (2 * m.T), F{});
  const F carry = (m.r - m.q) * m.A();
  const auto above = m.x > 0;  // the put is out of the money
  F th;
  if (lanes::all(above)) {
    th = m.r * otm + carry * lanes::norm_cdf(-(m.h + m.t)) - decay;
  } else if (!lanes::any(above)) {
    th = m.r * otm - carry * lanes::norm_cdf(m.h + m.t) - decay;
  } else {
    th = pick(above, m.r * otm + carry * lanes::norm_cdf(-(m.h + m.t)) - decay,
              m.r * otm - carry * lanes::norm_cdf(m.h + m.t) - decay);
  }
  const F parity = m.q * m.A() - m.r * m.B();
  return call ? pick(above, th + parity, th) : pick(above, th, th - parity);
}

// A price, level or volatility below zero has no meaning here: NaN.
inline bool out_of_domain(double S, double K, double sigma) { return S < 0 || K < 0 || sigma < 0; }

}  // namespace vexal::precise

#pragma GCC diagnostic pop

#endif
