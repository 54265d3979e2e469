// Four doubles at a time for the American solver's inner loops, by GCC's
// vector extensions: two SSE2 or one AVX2 instruction per operation, the
// same double operations in every lane either way (no contraction into
// fused multiply-adds), so both builds give the same doubles. Every helper
// is forced inline, so that a caller built for AVX2 gets AVX2 code.
//
// The helpers are overloaded for one double too, so that a formula written
// once serves a single value and four.
#ifndef VEXAL_PRECISE_LANES_H
#define VEXAL_PRECISE_LANES_H

#include <cmath>
#include <cstring>

#include "precise/erfc.h"

#define VEXAL_LANES inline __attribute__((always_inline))

// Every function taking or returning lanes is inlined, so no call passes
// them by the platform's convention and its AVX note does not apply.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::lanes {

typedef double V __attribute__((vector_size(32)));
typedef long long I __attribute__((vector_size(32)));
typedef unsigned long long U __attribute__((vector_size(32)));

VEXAL_LANES V splat(double x) { return V{x, x, x, x}; }
VEXAL_LANES V load(const double* p) {
  V v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
VEXAL_LANES void store(double* p, const V& v) { std::memcpy(p, &v, sizeof v); }
// The lanes' sum, in the same order on every target.
VEXAL_LANES double sum(const V& v) { return (v[0] + v[1]) + (v[2] + v[3]); }
VEXAL_LANES bool any(const I& m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }

VEXAL_LANES double pick(bool m, double a, double b) { return m ? a : b; }
VEXAL_LANES V pick(const I& m, const V& a, const V& b) { return m ? a : b; }

VEXAL_LANES double magnitude(double x) { return std::fabs(x); }
VEXAL_LANES V magnitude(const V& x) { return reinterpret_cast<V>(reinterpret_cast<U>(x) & 0x7fffffffffffffffULL); }

// sqrt(x) for x >= 0 (lane by lane: both targets round it the same).
VEXAL_LANES double root(double x) { return std::sqrt(x); }
VEXAL_LANES V root(const V& x) { return V{std::sqrt(x[0]), std::sqrt(x[1]), std::sqrt(x[2]), std::sqrt(x[3])}; }

// e^x: x = (64 k + j) ln2/64 + t, |t| <= ln2/128, e^x = 2^k 2^{j/64} e^t,
// e^t by its Taylor polynomial of degree 6 (error under 3e-20) and
// 2^{j/64} from a table (rounded to nearest); within 4 ulp, 0 below -708,
// +inf above 709.
inline constexpr double kExp2[64] = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0, 0x1.0874518759bc8p+0,
    0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0, 0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0,
    0x1.172b83c7d517bp+0, 0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0, 0x1.2d285a6e4030bp+0,
    0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0, 0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0,
    0x1.3dea64c123422p+0, 0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0, 0x1.56f4736b527dap+0,
    0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0, 0x1.6247eb03a5585p+0, 0x1.6623882552225p+0,
    0x1.6a09e667f3bcdp+0, 0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0, 0x1.868d99b4492edp+0,
    0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0, 0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0,
    0x1.9c49182a3f090p+0, 0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0, 0x1.bcc1e904bc1d2p+0,
    0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0, 0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0,
    0x1.d5818dcfba487p+0, 0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0, 0x1.fa7c1819e90d8p+0,
};

// The low 51 bits of x's representation, sign-extended; 2^k from k; the
// table at k mod 64.
VEXAL_LANES long long low_bits(double x) {
  unsigned long long b;
  std::memcpy(&b, &x, sizeof b);
  return static_cast<long long>(b << 13) >> 13;
}
VEXAL_LANES I low_bits(const V& x) { return reinterpret_cast<I>(reinterpret_cast<U>(x) << 13) >> 13; }
VEXAL_LANES double power_of_two(long long k) {
  const unsigned long long b = static_cast<unsigned long long>(k + 1023) << 52;
  double x;
  std::memcpy(&x, &b, sizeof x);
  return x;
}
VEXAL_LANES V power_of_two(const I& k) { return reinterpret_cast<V>(reinterpret_cast<U>(k + 1023) << 52); }
VEXAL_LANES double table(long long k) { return kExp2[k & 63]; }
VEXAL_LANES V table(const I& k) {
  const I j = k & 63;
  return V{kExp2[j[0]], kExp2[j[1]], kExp2[j[2]], kExp2[j[3]]};
}

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
