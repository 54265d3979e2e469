// The normalised implied volatility behind precise_{call,put}_impvol_eur.
#ifndef VEXAL_PRECISE_IMPVOL_H
#define VEXAL_PRECISE_IMPVOL_H

#include <cmath>

#include "precise/black.h"
#include "precise/lanes.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::precise {

inline constexpr int kImpvolSteps = 2;
inline constexpr int kImpvolTableSize = 65;  // precise/impvol_table.h

// s with b(x, s) = beta (precise/black.h), for x <= 0 and 0 < beta <
// bmax = e^{x/2}, after the given number of Householder steps.
double normalised_volatility(double x, double beta, double bmax, int steps);

// The same s as precise_{call,put}_impvol_eur find it: one correction from a
// tabulated guess in the central region, one step from an asymptotic one
// far below, kImpvolSteps steps elsewhere. lb is ln beta where the caller
// has it better than beta (beta subnormal or 0), else NaN.
double implied_normalised(double x, double beta, double bmax, double lb = NAN);

// Where implied_normalised's answer comes from: a guess from a table then
// one correction, on b - beta (central) or on ln b - ln beta (lower, with
// ln beta), or (other) a method finished in implied_start.
enum class Start { central, lower, other };

// The guess (or for Start::other the answer) and its kind; lb as for
// implied_normalised, and on return ln beta for Start::lower.
double implied_start(double x, double beta, double bmax, double& lb, Start& kind);

// The corrections below are written once for one double and four lanes
// (vexal_map's rows take them four at a time).

// ln(beta / b) = ln(1 + e), e = (beta - b)/b (exact difference near the
// root): the logarithm of a ratio near 1, an error of an ulp where ln beta -
// ln b would carry one of |ln b| ulp; by its series while |e| < 2^-10 (to
// e^7/7 < 2^-72), which is also more accurate than the logarithm of the
// rounded ratio.
template <class T>
VEXAL_LANES T log_ratio_of(const T& beta, const T& b) {
  const T e = (beta - b) / b;
  const auto near = lanes::magnitude(e) < 0x1p-10;
  const T series = e * (1 - e * (0.5 - e * (1.0 / 3 - e * (0.25 - e * (0.2 - e * (1.0 / 6))))));
  if (lanes::all(near)) return series;
  return lanes::pick(near, series, lanes::log_of(beta / b));
}

// b^(k) / b' for k = 2 .. 5 at s, in P[0..3]. With a = b''/b' = x^2/s^3 -
// s/4, b^(k+1)/b' = (b^(k)/b')' + a b^(k)/b': polynomials in a and its
// derivatives a' = -3x^2/s^4 - 1/4, a'' = 12x^2/s^5, a''' = -60x^2/s^6.
template <class T>
VEXAL_LANES void derivatives_of(const T& x, const T& s, T* P) {
  const T is = 1 / s, q = x * x * is * is * is;  // x^2/s^3
  const T a = q - s / 4, a1 = -3 * q * is - 0.25, a2 = 12 * q * is * is, a3 = -60 * q * is * is * is;
  const T aa = a * a;
  P[0] = a;
  P[1] = a1 + aa;
  P[2] = a2 + 3 * a * a1 + aa * a;
  P[3] = a3 + 3 * a1 * a1 + 4 * a * a2 + 6 * aa * a1 + aa * aa;
}

// The root e of e + t2 e^2 + ... + t5 e^5 = d by the reversed series
//   e = d - t2 d^2 + (2 t2^2 - t3) d^3 + (-5 t2^3 + 5 t2 t3 - t4) d^4
//       + (14 t2^4 - 21 t2^2 t3 + 6 t2 t4 + 3 t3^2 - t5) d^5,
// with an error of order d^6.
template <class T>
VEXAL_LANES T reversed_of(const T& d, const T& t2, const T& t3, const T& t4, const T& t5) {
  const T t22 = t2 * t2;
  const T c3 = 2 * t22 - t3, c4 = 5 * t2 * (t3 - t22) - t4;
  const T c5 = 14 * t22 * t22 - 21 * t22 * t3 + 6 * t2 * t4 + 3 * t3 * t3 - t5;
  const T d2 = d * d;  // in pairs of terms: a shorter chain of dependent operations
  return d + d2 * ((-t2 + d * c3) + d2 * (c4 + d * c5));
}

// The correction of order five on ln b - ln beta, with r = b'/b, g = ln(beta
// / b) and P_k = b^(k)/b':
//   g''/g' = P2 - r,  g'''/g' = P3 - 3 P2 r + 2 r^2,
//   g''''/g' = P4 - 4 P3 r - 3 P2^2 r + 12 P2 r^2 - 6 r^3, and so on.
template <class T>
VEXAL_LANES T log_step(const T* P, const T& r, const T& g) {
  const T a = P[0], aa = a * a, rr = r * r;
  const T H2 = a - r, H3 = P[1] - 3 * a * r + 2 * rr;
  const T H4 = P[2] - 4 * P[1] * r - 3 * aa * r + 12 * a * rr - 6 * rr * r;
  const T H5 =
      P[3] - 5 * P[2] * r - 10 * P[1] * a * r + 20 * P[1] * rr + 30 * aa * rr - 60 * a * rr * r + 24 * rr * rr;
  return reversed_of(g / r, H2 * 0.5, H3 * (1.0 / 6), H4 * (1.0 / 24), H5 * (1.0 / 120));
}

// From the guess s: one correction of order five on b - beta where central,
// else on ln b - ln beta; low marks where b is below the normal doubles,
// where the log correction takes another form (one double only,
// precise/impvol.cpp).
template <class T, class M>
VEXAL_LANES T correction_of(const T& x, const T& s, const T& bmax, const T& beta, const M& central, M& low) {
  T v, P[4];
  const T b = black_otm_of(x, s, bmax, v);
  derivatives_of(x, s, P);
  T out = T{};
  // 1/v while b is still on its way: a correction of 2e-4 needs no
  // correctly rounded division.
  if (lanes::any(central)) {
    const T iv = 1 / v;
    out = lanes::pick(central,
                      s + reversed_of((beta - b) * iv, P[0] * 0.5, P[1] * (1.0 / 6), P[2] * (1.0 / 24),
                                      P[3] * (1.0 / 120)),
                      out);
  }
  const M lower = !central;
  low = lower && !(b > 0x1p-1000 && v > 0);
  if (lanes::any(lower)) out = lanes::pick(lower, s + log_step(P, v / b, log_ratio_of(beta, b)), out);
  return out;
}

}  // namespace vexal::precise

#pragma GCC diagnostic pop

#endif
