// Four doubles at a time for the precise family's inner loops and
// vexal_map's rows, by GCC's vector extensions: two SSE2 or one AVX2
// instruction per operation, the same double operations in every lane
// either way (no contraction into fused multiply-adds), so both builds give
// the same doubles. Every helper is forced inline, so that a caller built
// for AVX2 gets AVX2 code.
//
// The helpers are overloaded for one double too, so that a formula written
// once serves a single value and four.
#ifndef VEXAL_PRECISE_LANES_H
#define VEXAL_PRECISE_LANES_H

#include <cmath>
#include <cstring>

#include "precise/erfc.h"
#include "precise/exp.h"

// Every function taking or returning lanes is inlined, so no call passes
// them by the platform's convention and its AVX note does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::lanes {

VEXAL_LANES V splat(double x) { return V{x, x, x, x}; }
VEXAL_LANES V load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
VEXAL_LANES void store(double* p, const V& v) { std::memcpy(p, &v, sizeof v); }
// The lanes' sum, in the same order on every target.
VEXAL_LANES double sum(const V& v) { return (v[0] + v[1]) + (v[2] + v[3]); }
template <class M, class = decltype(M{}[0])>
VEXAL_LANES bool any(const M& m) {
  return (m[0] | m[1] | m[2] | m[3]) != 0;
}
template <class M, class = decltype(M{}[0])>
VEXAL_LANES bool all(const M& m) {
  return (m[0] & m[1] & m[2] & m[3]) != 0;
}
VEXAL_LANES bool any(bool m) { return m; }
VEXAL_LANES bool all(bool m) { return m; }
// The largest lane.
VEXAL_LANES double largest(double x) { return x; }
VEXAL_LANES double largest(const V& x) {
  const double a = x[0] > x[1] ? x[0] : x[1], b = x[2] > x[3] ? x[2] : x[3];
  return a > b ? a : b;
}

VEXAL_LANES double magnitude(double x) { return std::fabs(x); }
VEXAL_LANES V magnitude(const V& x) { return reinterpret_cast<V>(reinterpret_cast<U>(x) & 0x7fffffffffffffffULL); }

// sqrt(x) for x >= 0 (lane by lane: both targets round it the same).
VEXAL_LANES double root(double x) { return std::sqrt(x); }
VEXAL_LANES V root(const V& x) { return V{std::sqrt(x[0]), std::sqrt(x[1]), std::sqrt(x[2]), std::sqrt(x[3])}; }

// e^x: x = (64 k + j) ln2/64 + t, |t| <= ln2/128, e^x = 2^k 2^{j/64} e^t,
// e^t by its Taylor polynomial of degree 6 (error under 3e-20) and
// 2^{j/64} from a table (rounded to nearest); within 4 ulp, 0 below -708,
// +inf above 709.
template <class T>
VEXAL_LANES T exp_of(const T& x) {
  constexpr double kInvStep = 92.332482616893656768;  // 64/ln2
  // ln2/64 in two parts, the first with 36 significant bits (k kStepHi exact).
  constexpr double kStepHi = 1.0830424696223417e-02, kStepLo = 2.572804622327669e-14;
  // Rounded to an integer by adding 1.5 2^52, whose low bits then hold k.
  constexpr double kShift = 6755399441055744.0;
  const T shifted = x * kInvStep + kShift;
  const T kf = shifted - kShift;
  const T t = (x - kf * kStepHi) - kf * kStepLo;
  const auto k = low_bits(shifted);
  const T t2 = t * t;
  const T p = 1 + t + t2 * ((0.5 + t * (1.0 / 6)) + t2 * ((1.0 / 24 + t * (1.0 / 120)) + t2 * (1.0 / 720)));
  // Out of range the lanes' k is meaningless but harmless: they are replaced.
  const T e = power_of_two(k >> 6) * (table(k) * p);
  return pick(x > -708, pick(x < 709, e, x * 0 + INFINITY), pick(x < -708, x * 0, x));
}

// erfcx(y) for y >= 0 in Cody's three ranges; for four lanes only the
// ranges some lane needs are evaluated.
VEXAL_LANES double erfcx_of(double y) { return precise::erfcx(y); }
VEXAL_LANES V erfcx_of(const V& y) {
  const I small = y <= 0.46875, large = y > 4;
  V c = precise::erfcx_mid(y);
  if (any(small)) c = small ? precise::erfcx_small(y) : c;
  if (any(large)) c = large ? precise::erfcx_asymptotic(y) : c;
  return c;
}

// The Mills ratio Y(z) = N(z)/phi(z) (precise::mills).
VEXAL_LANES double mills_of(double z) { return precise::mills(z); }
VEXAL_LANES V mills_of(const V& z) {
  const V c = precise::kSqrtHalfPi * erfcx_of(magnitude(z) * precise::kInvSqrt2);
  const I above = z > 0;
  if (!any(above)) return c;
  return pick(above, precise::kSqrt2Pi * precise::exp_any(z * z / 2) - c, c);
}

// ln x: for one double any x, for four lanes normal positive ones.
VEXAL_LANES double log_of(double x) {
  return x >= 0x1p-1022 && x < INFINITY ? precise::log_normal(x) : std::log(x);
}
VEXAL_LANES V log_of(const V& x) { return precise::log_normal(x); }

// precise::tail_ratio with each lane's coefficients from its own quarter;
// k is clamped so that lanes outside [0.5, 5.75) read a valid row.
VEXAL_LANES V tail_ratio(const V& a) {
  const V a4 = a * 4;
  const V in = pick(a4 >= 2 && a4 < 23, a4, V{} + 2);
  int k[4];
  for (int j = 0; j < 4; ++j) k[j] = static_cast<int>(in[j]);
  const double* c[4] = {precise::kTailRatio[k[0] - 2], precise::kTailRatio[k[1] - 2],
                        precise::kTailRatio[k[2] - 2], precise::kTailRatio[k[3] - 2]};
  const V mid = V{2.0 * k[0] + 1, 2.0 * k[1] + 1, 2.0 * k[2] + 1, 2.0 * k[3] + 1} * 0.125;
  const V t = a - mid;
  V p = V{c[0][11], c[1][11], c[2][11], c[3][11]};
  for (int i = 10; i >= 2; --i) p = p * t + V{c[0][i], c[1][i], c[2][i], c[3][i]};
  return V{c[0][0], c[1][0], c[2][0], c[3][0]} + (V{c[0][1], c[1][1], c[2][1], c[3][1]} + t * p);
}

// precise::norm_cdf and precise::norm_pdf, lane by lane (one double: the
// scalar functions).
VEXAL_LANES double norm_cdf(double x) { return precise::norm_cdf(x); }
VEXAL_LANES double norm_pdf(double x) { return precise::norm_pdf(x); }
VEXAL_LANES V norm_cdf(const V& x) {
  using namespace precise;
  const V a = magnitude(x);
  const I central = a <= 0.46875 * 1.41421356237309504880;
  const I far = a > 4 * 1.41421356237309504880;
  const I tail = !central && x > -40 && x < 10;  // NaN lanes in none
  V r = pick(x >= 10, V{} + 1, V{});
  r = pick(x == x, r, x);
  if (any(central)) r = pick(central, 0.5 + 0.5 * erf_small(x * kInvSqrt2), r);
  if (any(tail)) {
    const V b = pick(tail, a, V{} + 1);  // harmless where unused
    V f = V{};
    if (any(far)) f = kInvSqrt2Pi - kInvSqrt2 * cody_large(2 / (b * b));
    const I near = tail && !far;
    const V e = precise::exp_half_sq(b);
    V n = e * f / b;
    if (any(near)) n = pick(near, e * tail_ratio(b), n);
    r = pick(tail, pick(x < 0, n, 1 - n), r);
  }
  return r;
}

VEXAL_LANES V norm_pdf(const V& x) {
  const I inside = magnitude(x) < 40;
  const V b = pick(inside, x, V{});  // harmless where unused
  const V d = precise::kInvSqrt2Pi * precise::exp_half_sq(b);
  return pick(inside, d, pick(x == x, V{}, x));
}

// Phi(x) and phi(x) together, sharing the exponential: to a few ulp times
// x^2 in the tails, ample inside integrals.
template <class T>
VEXAL_LANES T cdf_pdf(const T& x, T& density) {
  const T e = exp_of(-0.5 * x * x);
  density = precise::kInvSqrt2Pi * e;
  const T tail = 0.5 * e * erfcx_of(magnitude(x) * precise::kInvSqrt2);
  return pick(x < 0, tail, 1 - tail);
}

}  // namespace vexal::lanes

#pragma GCC diagnostic pop

#endif
