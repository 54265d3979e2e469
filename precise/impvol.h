// The normalised implied volatility behind precise_{call,put}_impvol_eur.
#ifndef VEXAL_PRECISE_IMPVOL_H
#define VEXAL_PRECISE_IMPVOL_H

#include <cmath>
#include <cstring>

#include "precise/black.h"
#include "precise/impvol_table.h"
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

// The tables' four-point (cubic Lagrange) stencils and interpolation, for
// one double (float weights, int index) and four lanes (four of each).
typedef float F4 __attribute__((vector_size(16)));
template <class T>
struct TableTypes {
  using F = float;
  using N = int;
};
template <>
struct TableTypes<lanes::V> {
  using F = F4;
  using N = lanes::I32;
};
VEXAL_LANES int to_index(double x) { return static_cast<int>(x); }
VEXAL_LANES lanes::I32 to_index(const lanes::V& x) { return __builtin_convertvector(x, lanes::I32); }
VEXAL_LANES double to_double(int i) { return i; }
VEXAL_LANES lanes::V to_double(const lanes::I32& i) { return __builtin_convertvector(i, lanes::V); }
VEXAL_LANES double to_double(float f) { return f; }
VEXAL_LANES lanes::V to_double(const F4& f) { return __builtin_convertvector(f, lanes::V); }
VEXAL_LANES float to_float(double x) { return static_cast<float>(x); }
VEXAL_LANES F4 to_float(const lanes::V& x) { return __builtin_convertvector(x, F4); }
// Four consecutive entries t[i + l], l = 0..3, as four values: for four
// lanes each lane's four by one load, then turned into four vectors over
// the lanes.
VEXAL_LANES void entries(const float* t, int i, float* e) {
  for (int l = 0; l < 4; ++l) e[l] = t[i + l];
}
VEXAL_LANES void entries(const float* t, const lanes::I32& i, F4* e) {
  F4 r[4];
  for (int j = 0; j < 4; ++j) std::memcpy(&r[j], t + i[j], sizeof r[j]);
  const F4 a = __builtin_shufflevector(r[0], r[1], 0, 4, 1, 5), b = __builtin_shufflevector(r[0], r[1], 2, 6, 3, 7);
  const F4 c = __builtin_shufflevector(r[2], r[3], 0, 4, 1, 5), d = __builtin_shufflevector(r[2], r[3], 2, 6, 3, 7);
  e[0] = __builtin_shufflevector(a, c, 0, 1, 4, 5);
  e[1] = __builtin_shufflevector(a, c, 2, 3, 6, 7);
  e[2] = __builtin_shufflevector(b, d, 0, 1, 4, 5);
  e[3] = __builtin_shufflevector(b, d, 2, 3, 6, 7);
}

// The stencil at u in units of an n-point grid, kept inside: its first
// point and weights, in single precision (the tables', far below the
// interpolation's error). The index is taken from u held in [0, n], which
// gives the same point.
template <class T>
VEXAL_LANES void stencil_of(const T& u, typename TableTypes<T>::N& i, typename TableTypes<T>::F* c) {
  using F = typename TableTypes<T>::F;
  constexpr int n = kImpvolTableSize;
  i = to_index(lanes::pick(u > 0, lanes::pick(u < n, u, T{} + n), T{})) - 1;
  i = i < 0 ? i * 0 : i;
  i = i > n - 4 ? i * 0 + (n - 4) : i;
  const F f = to_float(u - to_double(i));
  const F f1 = f - 1, f2 = f - 2, f3 = f - 3, f01 = f * f1 * (1.0f / 6), f23 = f2 * f3 * 0.5f;
  c[0] = -f1 * f23 * (1.0f / 3), c[1] = f * f23, c[2] = -3 * f01 * f3, c[3] = f01 * f2;
}

// Cubic interpolation in an n x n table, the four columns side by side.
template <class T>
VEXAL_LANES T interpolate_of(const float* table, const typename TableTypes<T>::N& ai,
                             const typename TableTypes<T>::F* ac, const typename TableTypes<T>::N& ci,
                             const typename TableTypes<T>::F* cc) {
  using F = typename TableTypes<T>::F;
  constexpr int n = kImpvolTableSize;
  F col[4] = {F{}, F{}, F{}, F{}};
  const auto at = ai * n + ci;
  for (int k = 0; k < 4; ++k) {
    F row[4];
    entries(table, at + k * n, row);
    for (int l = 0; l < 4; ++l) col[l] += ac[k] * row[l];
  }
  return to_double((cc[0] * col[0] + cc[1] * col[1]) + (cc[2] * col[2] + cc[3] * col[3]));
}

// For -1 <= x <= 0 the guess from a table: central where the table of the
// central region holds beta (s for a correction of b - beta), else lower
// where that of the region below does (s for a correction of ln b - ln
// beta, and lb = ln beta); neither elsewhere. Four lanes need beta normal.
template <class T, class M>
VEXAL_LANES T table_start(const T& x, const T& beta, const T& bmax, T& lb, M& central, M& lower) {
  using F = typename TableTypes<T>::F;
  using N = typename TableTypes<T>::N;
  constexpr int n = kImpvolTableSize;
  const T y = lanes::root(-x);
  N sy;
  F c[4];
  stencil_of(y * (n - 1), sy, c);
  // beta / e^{x/2} against the branch's bounds b_c/(4 e^{x/2}) and 1/2,
  // the bound and the scale of the table's column from x alone.
  const T bn = beta / bmax;
  F q[4], g[4];
  entries(kImpvolCentralBound, sy, q);
  entries(kImpvolCentralScale, sy, g);
  const T lo = to_double((c[0] * q[0] + c[1] * q[1]) + (c[2] * q[2] + c[3] * q[3]));
  const T scale = to_double((c[0] * g[0] + c[1] * g[1]) + (c[2] * g[2] + c[3] * g[3]));
  central = bn > lo && bn < 0.5;
  T s = T{};
  if (lanes::any(central)) {
    N k;
    F d[4];
    stencil_of((bn - lo) * scale, k, d);
    s = lanes::pick(central, interpolate_of<T>(kImpvolTable, sy, c, k, d), s);
  }
  const M below = !central && bn <= lo && x <= -0.01;
  lower = below;
  if (!lanes::any(below)) return s;
  lb = lanes::pick(below, lanes::log_of(lanes::pick(below, beta, T{} + 1)), T{});
  lower = below && lb >= -200 && lb <= -2;
  if (!lanes::any(lower)) return s;
  const T w = -1 / lanes::pick(lower, lb, T{} - 1);  // (a harmless w elsewhere)
  N i, k;
  F e[4], f[4];
  stencil_of((y - 0.1) / 0.9 * (n - 1), i, e);
  stencil_of((w - 0.005) / 0.495 * (n - 1), k, f);
  return lanes::pick(lower, interpolate_of<T>(kImpvolLowerTable, i, e, k, f) * -x * lanes::root(w / 2), s);
}

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
