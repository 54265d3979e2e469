// The pieces of e^x and ln x shared by one double and four
// (precise/lanes.h): the lane types, 2^{j/64} in two parts, e^x to about
// half an ulp, e^x - 1 and ln x, written once for both so that the rows
// vexal_map takes four at a time give the scalar doubles.
#ifndef VEXAL_PRECISE_EXP_H
#define VEXAL_PRECISE_EXP_H

#include <cmath>
#include <cstring>

#define VEXAL_LANES inline __attribute__((always_inline))

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::lanes {

typedef double V __attribute__((vector_size(32)));
typedef long long I __attribute__((vector_size(32)));
typedef unsigned long long U __attribute__((vector_size(32)));

VEXAL_LANES double pick(bool m, double a, double b) { return m ? a : b; }
// A comparison of lanes gives I, or a vector of long of the same width
// where long has 64 bits: either serves as a mask.
template <class M, class = decltype(M{}[0])>
VEXAL_LANES V pick(const M& m, const V& a, const V& b) {
  return m ? a : b;
}

// x rounded toward zero, for |x| < 2^31 (by the conversions to 32-bit
// integers and back, one instruction each for four lanes; -0 comes back +0).
typedef int I32 __attribute__((vector_size(16)));
VEXAL_LANES double whole(double x) { return static_cast<double>(static_cast<int>(x)); }
VEXAL_LANES V whole(const V& x) { return __builtin_convertvector(__builtin_convertvector(x, I32), V); }

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

// 2^{j/64} - kExp2[j], rounded to nearest.
inline constexpr double kExp2Lo[64] = {
    0.0, -1.5234778603368577e-17, 5.109225028973444e-17, 7.600838874027088e-18,
    8.551889705537965e-17, 1.759325738772092e-18, -7.899853966841582e-17, -6.656660436056593e-17,
    -3.046782079812471e-17, 5.2660368715706944e-17, 1.0410278456845571e-16, 5.165856758795457e-17,
    8.912812676025408e-17, 3.250710218863827e-17, 3.8292048369240935e-17, 5.554203254218079e-17,
    3.982015231465646e-17, 6.644981499252301e-17, -7.712630692681488e-17, -1.89878163130253e-17,
    4.658027591836937e-17, -6.7113898212968784e-18, 2.667932131342186e-18, 1.713594918243561e-17,
    2.5382502794888315e-17, -7.181536135519454e-17, -2.8587312100388614e-17, 8.927282594831732e-17,
    7.70094837980299e-17, 9.593797919118849e-17, -6.770511658794786e-17, -9.614213209051323e-17,
    -9.667293313452913e-17, -1.2031642489053655e-17, -3.0237581349939873e-17, -5.600377186075216e-17,
    -3.483994556892796e-17, 1.4192920154284036e-17, -1.016455327754295e-16, -1.1024941712342561e-16,
    7.949834809697621e-17, 3.7812070533575275e-17, -1.0136916471278304e-17, -1.0094406542311964e-16,
    2.4707192569797888e-17, -6.712955084707084e-17, -1.0125679913674773e-16, 5.8909926967131e-17,
    8.199010020581497e-17, -8.0237193703977e-18, -1.851380418263111e-17, 3.164389299292957e-17,
    2.960140695448873e-17, 6.429731796556572e-17, 1.8227458427912087e-17, -9.969531538920349e-17,
    3.283107224245627e-17, 9.761887490727594e-17, -6.122763413004143e-17, 3.4034035352165297e-17,
    -1.0619946056195963e-16, 1.0332385960676326e-16, 8.960767791036668e-17, 4.0388753109278167e-17,
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
// A double's representation and back.
VEXAL_LANES long long bits_of(double x) {
  long long b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}
VEXAL_LANES I bits_of(const V& x) { return reinterpret_cast<I>(x); }
VEXAL_LANES double from_bits(long long b) {
  double x;
  std::memcpy(&x, &b, sizeof x);
  return x;
}
VEXAL_LANES V from_bits(const I& b) { return reinterpret_cast<V>(b); }
VEXAL_LANES double table(long long k) { return kExp2[k & 63]; }
VEXAL_LANES double table_lo(long long k) { return kExp2Lo[k & 63]; }
VEXAL_LANES V table(const I& k) {
  const I j = k & 63;
  return V{kExp2[j[0]], kExp2[j[1]], kExp2[j[2]], kExp2[j[3]]};
}
VEXAL_LANES V table_lo(const I& k) {
  const I j = k & 63;
  return V{kExp2Lo[j[0]], kExp2Lo[j[1]], kExp2Lo[j[2]], kExp2Lo[j[3]]};
}

}  // namespace vexal::lanes

namespace vexal::precise {

// e^x: x = (64 k + j) ln2/64 + t, |t| <= ln2/128, and
// e^x = 2^k (h + (l + h (e^t - 1))) with 2^{j/64} = h + l; e^t - 1 by its
// Taylor polynomial of degree 6 (error under 3e-20), whose rounding reaches
// the result scaled by |t| < 0.0055, so all but the last addition's half
// ulp is a few thousandths of one. 2^k is applied in two steps, so that a
// subnormal result is rounded once and a large one overflows only where
// e^x does; 0 below -746, +inf from 709.79, NaN for NaN.
template <class T>
VEXAL_LANES T exp_any(const T& x) {
  using namespace lanes;
  constexpr double kInvStep = 92.332482616893656768;  // 64/ln2
  constexpr double kStepHi = 1.0830424696223417e-02, kStepLo = 2.572804622327669e-14;
  constexpr double kShift = 6755399441055744.0;
  const T y = pick(x > -746, pick(x < 710, x, T{} + 710), T{} - 746);
  const T shifted = y * kInvStep + kShift;
  const T kf = shifted - kShift;
  const T t = (y - kf * kStepHi) - kf * kStepLo;
  const auto k = low_bits(shifted);
  const T t2 = t * t;
  const T p = t + t2 * ((0.5 + t * (1.0 / 6)) + t2 * ((1.0 / 24 + t * (1.0 / 120)) + t2 * (1.0 / 720)));
  const T h = table(k);
  const T m = h + (table_lo(k) + h * p);
  const auto e = k >> 6, e1 = e >> 1;
  const T r = m * power_of_two(e1) * power_of_two(e - e1);
  return pick(x > -746, r, pick(x == x, T{}, x));
}

// e^x - 1 for |x| <= 1/2 by its Taylor polynomial of degree 16 (error
// under 3e-20 relative): x plus terms at most a quarter of it, so that the
// result keeps little more than the last addition's half ulp. The terms
// past x^2 by Estrin's scheme (a short chain of dependent operations).
template <class T>
VEXAL_LANES T expm1_half(const T& x) {
  constexpr double c2 = 1.0 / 2, c3 = 1.0 / 6, c4 = 1.0 / 24, c5 = 1.0 / 120, c6 = 1.0 / 720,
                   c7 = 1.0 / 5040, c8 = 1.0 / 40320, c9 = 1.0 / 362880, c10 = 1.0 / 3628800,
                   c11 = 1.0 / 39916800, c12 = 1.0 / 479001600, c13 = 1.0 / 6227020800,
                   c14 = 1.0 / 87178291200, c15 = 1.0 / 1307674368000, c16 = 1.0 / 20922789888000;
  const T x2 = x * x, x4 = x2 * x2, x8 = x4 * x4;
  const T f0 = (c3 + c4 * x) + (c5 + c6 * x) * x2, f1 = (c7 + c8 * x) + (c9 + c10 * x) * x2;
  const T f2 = (c11 + c12 * x) + (c13 + c14 * x) * x2, f3 = c15 + c16 * x;
  return x + x2 * (c2 + x * ((f0 + f1 * x4) + (f2 + f3 * x4) * x8));
}

// ln x for a normal positive x: x = 2^k (1 + f) with sqrt(2)/2 <= 1 + f <
// sqrt(2), s = f/(2 + f), ln(1 + f) = 2 atanh s = f - f^2/2 + s (f^2/2 + R),
// R = s^2 (L1 + L2 s^2 + ... + L7 s^12) a minimax fit (error under 2^-58);
// k ln 2 in two parts, the first exact for any k. Within 1 ulp.
template <class T>
VEXAL_LANES T log_normal(const T& x) {
  using namespace lanes;
  constexpr double kLn2Hi = 6.93147180369123816490e-01, kLn2Lo = 1.90821492927058770002e-10;
  constexpr double L1 = 6.666666666666735130e-01, L2 = 3.999999999940941908e-01,
                   L3 = 2.857142874366239149e-01, L4 = 2.222219843214978396e-01,
                   L5 = 1.818357216161805012e-01, L6 = 1.531383769920937332e-01,
                   L7 = 1.479819860511658591e-01;
  // Adding the difference of the representations of 1 and sqrt(2)/2 carries
  // into the exponent exactly where the significand reaches sqrt(2).
  auto b = bits_of(x) + 0x00095f6200000000LL;
  const auto e = b >> 52;
  const T m = from_bits((b & 0x000fffffffffffffLL) + 0x3fe6a09e00000000LL);
  const T k = from_bits(e | 0x4330000000000000LL) - (4503599627370496.0 + 1023);
  const T f = m - 1, hf = 0.5 * f * f, s = f / (2 + f), z = s * s, w = z * z;
  const T R = z * (L1 + w * (L3 + w * (L5 + w * L7))) + w * (L2 + w * (L4 + w * L6));
  return s * (hf + R) + k * kLn2Lo - hf + f + k * kLn2Hi;
}

// e^d - 1 for |d| < 2^-10: Taylor to degree 5 (relative error under 2e-18).
template <class T>
VEXAL_LANES T expm1_small(const T& d) {
  const T d2 = d * d;
  return d + d2 * ((0.5 + d * (1.0 / 6)) + d2 * (1.0 / 24 + d * (1.0 / 120)));
}

}  // namespace vexal::precise

#pragma GCC diagnostic pop

#endif
