// Precise European implied volatility in a fixed number of steps.
//
// Normalised form (precise/black.h): with x = ln(F/K), s = sigma sqrt T
// and beta the price divided by D sqrt(F K), solve b(x, s) = beta. Parity
// turns every case into an out-of-the-money call, x <= 0, 0 < beta <
// e^{x/2}. The vega b' = e^{-(x^2/s^2 + s^2/4)/2} / sqrt(2 pi) is largest at
// s_c = sqrt(2|x|), where b turns from convex to concave, and
//   b''/b' = x^2/s^3 - s/4,   b'''/b' = (x^2/s^3 - s/4)^2 - 3 x^2/s^4 - 1/4.
// Three branches, each with an objective near linear in s around its root:
//  - beta <= b(s_c): ln b - ln beta. The guess inverts the lower asymptote
//    b = b' D(s), D = Y(d1) - Y(d2), a quadratic in s^2 for given D, with Y
//    the Mills ratio taken as 2 / (a + sqrt(a^2 + 8/pi)) at -a (exact at 0
//    and for large a), twice;
//  - b(s_c) < beta < e^{x/2}/2: b - beta, from the tangent at s_c;
//  - above: ln(e^{x/2} - b) - ln(e^{x/2} - beta), the upper tail; the guess
//    from e^{x/2} - b ~ e^{x/2} N(|x|/s - s/2) 2t/(t + |h|), N^-1 by
//    Abramowitz and Stegun 26.2.23.
// Then three Householder steps of order three on the branch's objective,
// each taking the error e to about e^4.
#include <cmath>

#include "core/numeric.h"
#include "precise/black.h"
#include "precise/erfc.h"
#include "precise/functions.h"
#include "precise/impvol.h"

namespace vexal {

namespace precise {

namespace {

// N^{-1}(p) for 0 < p <= 1/2, to about 5e-4.
double inv_norm_guess(double p) {
  const double t = std::sqrt(-2 * std::log(p));
  return -(t - (2.515517 + t * (0.802853 + t * 0.010328)) / (1 + t * (1.432788 + t * (0.189269 + t * 0.001308))));
}

// One Householder step of order three, from the objective's value and its
// first three derivatives.
double householder(double g, double g1, double g2, double g3) {
  const double nu = -g / g1, h2 = g2 / g1, h3 = g3 / g1;
  return nu * (1 + 0.5 * h2 * nu) / (1 + nu * (h2 + h3 * nu / 6));
}

}  // namespace

double normalised_volatility(double x, double beta, int steps) {
  const double bmax = std::exp(x / 2);
  const double sc = std::sqrt(-2 * x);
  const double bc = sc > 0 ? black_otm(x, sc) : 0.0;
  const double x2 = x * x;
  double s;
  int branch;
  if (beta <= bc) {
    branch = 0;
    // The tangent at s_c: b is convex below s_c, so this is above the root.
    s = sc - (bc - beta) / black_vega(x, sc);
  } else if (beta < bmax / 2) {
    branch = 1;
    s = sc + (beta - bc) / black_vega(x, sc);
  } else {
    branch = 2;
    const double gamma = bmax - beta;
    double c = 2;
    s = sc;
    for (int i = 0; i < 2; ++i) {
      const double z = -inv_norm_guess(gamma / (bmax * c));
      s = z + std::sqrt(z * z - 2 * x);
      const double t = s / 2, h = -x / s;
      c = 2 * t / (t + h);
    }
  }
  const double lb = std::log(beta), lg = std::log(bmax - beta);
  for (int i = 0; i < steps; ++i) {
    const double v = black_vega(x, s);
    const double a = x2 / (s * s * s) - s / 4;
    const double b1 = v, b2 = v * a, b3 = v * (a * a - 3 * x2 / (s * s * s * s) - 0.25);
    double g, g1, g2, g3;
    if (branch == 0) {
      // ln b - ln beta in u = 1/s^2, where it is near linear far below.
      const double b = black_otm(x, s), r = b1 / b;
      const double f = std::log(b) - lb, f1 = r, f2 = b2 / b - r * r,
                   f3 = b3 / b - 3 * (b2 / b) * r + 2 * r * r * r;
      const double s2 = s * s, su = -s * s2 / 2, suu = 0.75 * s2 * s2 * s, suuu = -1.875 * s2 * s2 * s2 * s;
      const double du = householder(f, f1 * su, f2 * su * su + f1 * suu,
                                    f3 * su * su * su + 3 * f2 * su * suu + f1 * suuu);
      s = 1 / std::sqrt(1 / s2 + du);
      continue;
    } else if (branch == 1) {
      g = black_otm(x, s) - beta;
      g1 = b1, g2 = b2, g3 = b3;
    } else {
      const double gap = black_otm_gap(x, s), r = b1 / gap;
      g = std::log(gap) - lg;
      g1 = -r;
      g2 = -b2 / gap - r * r;
      g3 = -b3 / gap - 3 * (b2 / gap) * r - 2 * r * r * r;
    }
    s += householder(g, g1, g2, g3);
  }
  return s;
}

}  // namespace precise

namespace {

double impvol(double S, double K, double T, double r, double P, double q, bool call) {
  if (any_nan(S, K, T, r, P, q)) return NAN;
  if (!(S > 0 && K > 0 && T > 0) || std::isinf(S) || std::isinf(K) || std::isinf(T)) return NAN;
  const double Dr = std::exp(-r * T), Dq = std::exp(-q * T);
  const double x = precise::log_moneyness(S, K, T, r, q);
  const double fwd = std::fabs(x) < 0.5 ? K * Dr * std::expm1(x) : S * Dq - K * Dr;  // D (F - K)
  const double lower = call ? (fwd > 0 ? fwd : 0.0) : (fwd < 0 ? -fwd : 0.0);
  const double upper = call ? S * Dq : K * Dr;
  if (!(P >= lower && P <= upper)) return NAN;
  if (P == lower) return 0.0;
  if (P == upper) return INFINITY;
  const double otm = (call == (x > 0)) ? P - lower : P;
  const double beta = otm / (std::sqrt(S * Dq) * std::sqrt(K * Dr));
  const double bmax = std::exp(-std::fabs(x) / 2);
  if (!(beta < bmax)) return INFINITY;
  return precise::normalised_volatility(-std::fabs(x), beta, precise::kImpvolSteps) / std::sqrt(T);
}

}  // namespace

double precise_call_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, true);
}

double precise_put_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, false);
}

}  // namespace vexal
