// Complementary error function pieces shared by the precise family, after
// W. J. Cody's rational Chebyshev approximations (Math. Comp. 23, 1969):
//   erf(y)   = y P(y^2) / Q(y^2)                    for |y| <= 0.46875,
//   erfcx(y) = P(y) / Q(y)                          for 0.46875 < y <= 4,
//   erfcx(y) = (1/sqrt(pi) - z P(z)/Q(z)) / y,     z = 1/y^2, for y > 4,
// with erfcx(y) = e^{y^2} erfc(y). The factor e^{-x^2/2} that turns erfcx
// back into erfc is taken in two parts, x = x0 + dx with x0 a multiple of
// 2^-16 (x0^2/2 exact), e^{-x0^2/2} (1 + expm1(-dx (x + x0)/2)), so that its
// relative error stays near one ulp where x^2/2 is in the hundreds.
#ifndef VEXAL_PRECISE_ERFC_H
#define VEXAL_PRECISE_ERFC_H

#include <cmath>

namespace vexal::precise {

inline constexpr double kInvSqrtPi = 0.56418958354775628695;    // 1/sqrt(pi)
inline constexpr double kInvSqrt2 = 0.70710678118654752440;     // 1/sqrt(2)
inline constexpr double kInvSqrt2Pi = 0.39894228040143267794;   // 1/sqrt(2 pi)
inline constexpr double kSqrtHalfPi = 1.25331413731550025121;   // sqrt(pi/2)
inline constexpr double kSqrt2Pi = 2.50662827463100050242;      // sqrt(2 pi)

// erf(y) for |y| <= 0.46875.
inline double erf_small(double y) {
  const double a0 = 3.16112374387056560e00, a1 = 1.13864154151050156e02,
               a2 = 3.77485237685302021e02, a3 = 3.20937758913846947e03,
               a4 = 1.85777706184603153e-1;
  const double b0 = 2.36012909523441209e01, b1 = 2.44024637934444173e02,
               b2 = 1.28261652607737228e03, b3 = 2.84423683343917062e03;
  const double z = y * y;
  const double num = (((a4 * z + a0) * z + a1) * z + a2) * z + a3;
  const double den = (((z + b0) * z + b1) * z + b2) * z + b3;
  return y * num / den;
}

// Coefficients of erfcx on 0.46875 < y <= 4: numerator c0..c8, denominator
// d0..d7 (leading 1).
namespace cody_mid {
inline constexpr double c0 = 5.64188496988670089e-1, c1 = 8.88314979438837594e00,
                        c2 = 6.61191906371416295e01, c3 = 2.98635138197400131e02,
                        c4 = 8.81952221241769090e02, c5 = 1.71204761263407058e03,
                        c6 = 2.05107837782607147e03, c7 = 1.23033935479799725e03,
                        c8 = 2.15311535474403846e-8;
inline constexpr double d0 = 1.57449261107098347e01, d1 = 1.17693950891312499e02,
                        d2 = 5.37181101862009858e02, d3 = 1.62138957456669019e03,
                        d4 = 3.29079923573345963e03, d5 = 4.36261909014324716e03,
                        d6 = 3.43936767414372164e03, d7 = 1.23033935480374942e03;
}  // namespace cody_mid

// The formulas below are templates, forced inline, so that they serve four
// lanes of doubles as well as one (precise/lanes.h).
#define VEXAL_ERFC_INLINE inline __attribute__((always_inline))
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

// z P(z)/Q(z) of erfcx(y) = (1/sqrt(pi) - z P(z)/Q(z)) / y, z = 1/y^2, y > 4.
template <class T>
VEXAL_ERFC_INLINE T cody_large(const T& z) {
  const double p0 = 3.05326634961232344e-1, p1 = 3.60344899949804439e-1,
               p2 = 1.25781726111229246e-1, p3 = 1.60837851487422766e-2,
               p4 = 6.58749161529837803e-4, p5 = 1.63153871373020978e-2;
  const double q0 = 2.56852019228982242e00, q1 = 1.87295284992346725e00,
               q2 = 5.27905102951428412e-1, q3 = 6.05183413124413191e-2,
               q4 = 2.33520497626869185e-3;
  const T num = ((((p5 * z + p0) * z + p1) * z + p2) * z + p3) * z + p4;
  const T den = ((((z + q0) * z + q1) * z + q2) * z + q3) * z + q4;
  return z * num / den;
}

// erfcx(y) for y > 4.
template <class T>
VEXAL_ERFC_INLINE T erfcx_asymptotic(const T& y) {
  return (kInvSqrtPi - cody_large(1 / (y * y))) / y;
}

// erfcx(y) = e^{y^2} erfc(y) for y > 0.46875.
inline double erfcx_large(double y) {
  if (y <= 4.0) {
    using namespace cody_mid;
    const double num = (((((((c8 * y + c0) * y + c1) * y + c2) * y + c3) * y + c4) * y + c5) * y + c6) * y + c7;
    const double den = (((((((y + d0) * y + d1) * y + d2) * y + d3) * y + d4) * y + d5) * y + d6) * y + d7;
    return num / den;
  }
  return erfcx_asymptotic(y);
}

// erfcx(y) for 0 <= y <= 0.46875: a polynomial of degree 14 fitted to
// erfcx on that interval (Chebyshev fit at 50 digits, error 5e-19), by
// Estrin's scheme; about 1.5 ulp, and no exponential.
template <class T>
VEXAL_ERFC_INLINE T erfcx_small(const T& y) {
  const double a0 = 1.0, a1 = -1.1283791670955121, a2 = 0.9999999999999272,
               a3 = -0.7522527780590824, a4 = 0.4999999998480475, a5 = -0.3009011081924036,
               a6 = 0.16666662706695665, a7 = -0.08597139057651734, a8 = 0.0416644034186636,
               a9 = -0.019094431557020355, a10 = 0.008298595196302048, a11 = -0.0033895642113891643,
               a12 = 0.0012437051379932786, a13 = -0.00036014486726468293, a14 = 5.9034165254523164e-05;
  const T y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
  const T q0 = (a0 + a1 * y) + (a2 + a3 * y) * y2, q1 = (a4 + a5 * y) + (a6 + a7 * y) * y2;
  const T q2 = (a8 + a9 * y) + (a10 + a11 * y) * y2, q3 = (a12 + a13 * y) + a14 * y2;
  return (q0 + q1 * y4) + (q2 + q3 * y4) * y8;
}

// erfcx_large(y) for 0.46875 < y <= 4 with the same coefficients, its
// numerator and denominator by Estrin's scheme (a shorter chain of
// dependent operations than Horner's, the same accuracy to an ulp).
template <class T>
VEXAL_ERFC_INLINE T erfcx_mid(const T& y) {
  using namespace cody_mid;
  const T y2 = y * y, y4 = y2 * y2, y8 = y4 * y4;
  const T num = ((c7 + c6 * y) + (c5 + c4 * y) * y2) + ((c3 + c2 * y) + (c1 + c0 * y) * y2) * y4 + c8 * y8;
  const T den = ((d7 + d6 * y) + (d5 + d4 * y) * y2) + ((d3 + d2 * y) + (d1 + d0 * y) * y2) * y4 + y8;
  return num / den;
}

#pragma GCC diagnostic pop

// erfcx(y) for y >= 0.
inline double erfcx(double y) {
  return y > 0.46875 ? (y <= 4 ? erfcx_mid(y) : erfcx_large(y)) : erfcx_small(y);
}

// e^{-x^2/2} for |x| < 64, to about one ulp.
inline double exp_half_sq(double x) {
  const double x0 = std::trunc(x * 65536) / 65536;
  const double e = std::exp(-(x0 * x0) / 2);
  return e + e * std::expm1(-(x - x0) * (x + x0) / 2);
}

// Y(z) = N(z) / phi(z), the Mills ratio of the lower tail; above 0 by
// Y(z) = 1/phi(z) - Y(-z) (used up to z = 0.85, where it loses under 1 bit).
inline double mills(double z) {
  if (z <= 0) return kSqrtHalfPi * erfcx(-z * kInvSqrt2);
  return kSqrt2Pi * std::exp(z * z / 2) - kSqrtHalfPi * erfcx(z * kInvSqrt2);
}

// The lower tail N(-a) for a > 0.46875 sqrt 2. Beyond y = a/sqrt 2 = 4 the
// division by y is folded into the division by a, so that the rounding of
// y does not reach the result.
inline double norm_tail(double a) {
  if (a > 4 * 1.41421356237309504880)
    return exp_half_sq(a) * (kInvSqrt2Pi - kInvSqrt2 * cody_large(2 / (a * a))) / a;
  return 0.5 * exp_half_sq(a) * erfcx_large(a * kInvSqrt2);
}

// Standard normal distribution function.
inline double norm_cdf(double x) {
  if (std::isnan(x)) return x;
  if (x <= -40) return 0.0;
  if (x >= 10) return 1.0;
  if (std::fabs(x) <= 0.46875 * 1.41421356237309504880) return 0.5 + 0.5 * erf_small(x * kInvSqrt2);
  return x < 0 ? norm_tail(-x) : 1 - norm_tail(x);
}

// Standard normal density.
inline double norm_pdf(double x) {
  if (!(std::fabs(x) < 40)) return std::isnan(x) ? x : 0.0;
  return kInvSqrt2Pi * exp_half_sq(x);
}

}  // namespace vexal::precise

#endif
