// Precise European implied volatility in a fixed number of steps.
//
// Normalised form (precise/black.h): with x = ln(F/K), s = sigma sqrt T
// and beta the price divided by D sqrt(F K), solve b(x, s) = beta. Parity
// turns every case into an out-of-the-money call, x <= 0, 0 < beta <
// e^{x/2}. The vega b' = e^{-(x^2/s^2 + s^2/4)/2} / sqrt(2 pi) is largest at
// s_c = sqrt(2|x|), where b turns from convex to concave, and
//   b''/b' = x^2/s^3 - s/4,   b'''/b' = (x^2/s^3 - s/4)^2 - 3 x^2/s^4 - 1/4.
// Three branches, each with an objective near linear around its root:
//  - beta <= b(s_c)/4: ln b - ln beta. From the tangent at s_c
//    (above the root, b being convex below s_c), the model ln b = A -
//    x^2 u/2 - k ln u is fitted to the value and slope there (far out of
//    the money k -> 3/2 and the model is exact) and solved by two Newton
//    steps;
//  - up to e^{x/2}/2: b - beta, from the tangent at s_c;
//  - above: ln(e^{x/2} - b) - ln(e^{x/2} - beta), from the upper tail
//    e^{x/2} - b ~ e^{x/2} N(|x|/s - s/2) 2t/(t + |h|), solved twice for s
//    with N^-1 by Abramowitz and Stegun 26.2.23.
// The logarithmic objectives are taken as ln(beta / b), ln(gap / (e^{x/2} -
// beta)): logarithms of ratios near 1, good to an ulp.
// Then two Householder steps of order three on the branch's objective,
// each taking a relative error e to about e^4; from these guesses two steps
// reach the rounding of b (checked over x in [-700, 0] and s in [1e-7, 80]).
// T <= 0 has no volatility: NaN.
#include <cmath>

#include "core/numeric.h"
#include "precise/black.h"
#include "precise/erfc.h"
#include "precise/european.h"
#include "precise/functions.h"
#include "precise/impvol.h"

namespace vexal {

namespace precise {

namespace {

// For the objective ln b - ln beta: r = b'/b and g = ln(beta / b) at s,
// the logarithm of a ratio near 1 (an error of an ulp, where ln beta - ln b
// would carry one of |ln b| ulp), or where b is below the normal doubles
// from the exponent of b' and the ratio b / b'.
void log_objective(double x, double s, double bmax, double beta, double lb, double& r, double& g) {
  double v;
  const double b = black_otm(x, s, bmax, &v);
  if (b > 0x1p-1000 && v > 0) {
    r = v / b;
    g = std::log(beta / b);
    return;
  }
  double e;
  const double D = black_otm_ratio(x, s, &e);
  r = 1 / D;
  g = lb - (e + std::log(kInvSqrt2Pi * D));
}

// N^{-1}(p) for 0 < p <= 1/2, to about 5e-4.
double inv_norm_guess(double p) {
  const double t = std::sqrt(-2 * std::log(p));
  return -(t - (2.515517 + t * (0.802853 + t * 0.010328)) / (1 + t * (1.432788 + t * (0.189269 + t * 0.001308))));
}

}  // namespace

double normalised_volatility(double x, double beta, double bmax, int steps) {
  // At s_c, d1 = 0 and d2 = -s_c: b = e^{x/2} (1/2 - Y(-s_c) / sqrt(2 pi)).
  const double sc = std::sqrt(-2 * x);
  const double vc = kInvSqrt2Pi * bmax;
  const double bc = bmax * (0.5 - kInvSqrt2Pi * mills(-sc));
  const double x2 = x * x;
  double s;
  int branch;
  const double lb = beta <= bc / 4 ? std::log(beta) : 0.0;
  if (beta <= bc / 4) {
    branch = 0;
    // ln b = A - x^2 u / 2 - k ln u in u = 1/s^2, fitted to the value and
    // slope of ln b at a point above the root: exact far below (k -> 3/2),
    // close in between; then two Newton steps on the model from there.
    s = sc - (bc - beta) / vc;  // the tangent at s_c, above the root (b convex below s_c)
    const double u0 = 1 / (s * s);
    double r, g;  // b'/b and ln(beta / b) at s
    log_objective(x, s, bmax, beta, lb, r, g);
    const double k = u0 * (r * s * s * s / 2 - x2 / 2);
    double u = u0 + g / (-x2 / 2 - k / u0);
    u += (g + x2 * (u - u0) / 2 + k * std::log(u / u0)) / (-x2 / 2 - k / u);
    s = 1 / std::sqrt(u);
  } else if (beta < bmax / 2) {
    branch = 1;
    s = sc + (beta - bc) / vc;
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
  const double gamma = bmax - beta;
  for (int i = 0; i < steps; ++i) {
    double v = 1, value = 0, r = 0, lg0 = 0;
    if (branch == 0)
      log_objective(x, s, bmax, beta, lb, r, lg0);
    else
      value = branch == 1 ? black_otm(x, s, bmax, &v) : black_otm_gap(x, s, bmax, &v);
    const double is = 1 / s, is2 = is * is;
    const double a = x2 * is2 * is - s / 4;              // b'' / b'
    const double c = a * a - 3 * x2 * is2 * is2 - 0.25;  // b''' / b'
    // The step nu (1 + H2 nu / 2) / (1 + nu (H2 + H3 nu / 6)), nu = -g/g',
    // H2 = g''/g', H3 = g'''/g', written with g' cleared (one division).
    double g, g1, H2, H3;
    if (branch == 1) {  // b - beta
      g = beta - value, g1 = v, H2 = a, H3 = c;
    } else if (branch == 0) {  // ln b - ln beta
      g = lg0, g1 = r, H2 = a - r, H3 = c - 3 * a * r + 2 * r * r;
    } else {  // ln gap - ln(e^{x/2} - beta), gap' = -b'
      const double r = v / value;
      g = std::log(value / gamma), g1 = r, H2 = a + r, H3 = c + 3 * a * r + 2 * r * r;
    }
    s += g * (g1 + 0.5 * H2 * g) / (g1 * g1 + g * (H2 * g1 + H3 * g / 6));
  }
  return s;
}

}  // namespace precise

namespace {

double impvol(double S, double K, double T, double r, double P, double q, bool call) {
  if (any_nan(S, K, T, r, P, q)) return NAN;
  if (!(S > 0 && K > 0 && T > 0) || std::isinf(S) || std::isinf(K) || std::isinf(T)) return NAN;
  // The discounted forward and strike; the bounds are their difference (the
  // price at sigma = 0, as precise_call_eur and precise_put_eur give it) and
  // the discounted forward (call) or strike (put).
  const precise::Market m(S, K, T, r, 0.0, q);
  const double scale = m.scale(), bmax = std::exp(-std::fabs(m.x) / 2);
  const double lower = call == (m.x > 0) ? m.intrinsic() : 0.0;
  const double upper = call == (m.x > 0) ? scale / bmax : scale * bmax;
  // A price within rounding of the upper bound (whose e^{|x|/2} carries an
  // error of about |x| ulp) is what the price functions give at a volatility
  // so large that the gap to the bound is below one ulp.
  if (P > upper && P <= upper * (1 + (16 + 2 * std::fabs(m.x)) * 0x1p-52)) return INFINITY;
  if (!(P >= lower && P <= upper)) return NAN;
  if (P == lower) return 0.0;
  if (P == upper) return INFINITY;
  const double beta = (P - lower) / scale;
  if (!(beta < bmax)) return INFINITY;
  return precise::normalised_volatility(-std::fabs(m.x), beta, bmax, precise::kImpvolSteps) / std::sqrt(T);
}

}  // namespace

double precise_call_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, true);
}

double precise_put_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, false);
}

}  // namespace vexal
