// The root finder of the implied volatilities that have no closed-form
// start of their own: from a point a below the root (f(a) < 0) and a guess
// b, b is doubled up to 1024 until f(b) >= 0 (NaN if it never gets there,
// or if f is NaN anywhere on the way),
// then Brent's method (inverse quadratic interpolation, secant, bisection)
// runs on the bracket to 4e-16 relative.
#ifndef VEXAL_PRECISE_BRENT_H
#define VEXAL_PRECISE_BRENT_H

#include <cmath>

namespace vexal::precise {

// The American price's limit as sigma grows, which no sigma reaches:
// S max(1, e^{-qT}) for the call, K max(1, e^{-rT}) for the put (q = 0
// with cash dividends, which the stock pays instead).
inline double price_limit(bool call, double S, double K, double T, double r, double q) {
  return (call ? S : K) * std::fmax(1, std::exp(-(call ? q : r) * T));
}

template <class F>
double implied_root(F&& f, double a, double fa, double b, double fb) {
  while (fb < 0) {
    if (b >= 1024) return NAN;
    a = b;
    fa = fb;
    b *= 2;
    fb = f(b);
  }
  if (std::isnan(fb)) return NAN;  // priced beyond the method's reach
  if (fb == 0) return b;
  // b the best point so far, a the previous one, c brackets with b.
  double c = a, fc = fa, d = b - a, e = d;
  for (int it = 0; it < 200; ++it) {
    if ((fb > 0) == (fc > 0)) {
      c = a;
      fc = fa;
      d = e = b - a;
    }
    if (std::fabs(fc) < std::fabs(fb)) {
      a = b;
      b = c;
      c = a;
      fa = fb;
      fb = fc;
      fc = fa;
    }
    const double tol = 4e-16 * std::fabs(b) + 1e-300;
    const double m = (c - b) / 2;
    if (std::fabs(m) <= tol || fb == 0) break;
    if (std::fabs(e) >= tol && std::fabs(fa) > std::fabs(fb)) {
      double p, qq;
      const double s = fb / fa;
      if (a == c) {
        p = 2 * m * s;
        qq = 1 - s;
      } else {
        const double t = fa / fc, u = fb / fc;
        p = s * (2 * m * t * (t - u) - (b - a) * (u - 1));
        qq = (t - 1) * (u - 1) * (s - 1);
      }
      if (p > 0) qq = -qq;
      p = std::fabs(p);
      if (2 * p < std::fmin(3 * m * qq - std::fabs(tol * qq), std::fabs(e * qq))) {
        e = d;
        d = p / qq;
      } else {
        d = m;
        e = m;
      }
    } else {
      d = m;
      e = m;
    }
    a = b;
    fa = fb;
    b += std::fabs(d) > tol ? d : (m > 0 ? tol : -tol);
    fb = f(b);
    if (std::isnan(fb)) return NAN;
  }
  return b;
}

}  // namespace vexal::precise

#endif
