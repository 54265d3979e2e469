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
// For |x| <= 1, in the lower and central branches, and for 1 < |x| <= 256
// in the lower one, a tabulated guess and one correction of order five
// replace all that (implied_normalised below): one evaluation of b instead
// of two or three.
// T <= 0 has no volatility: NaN.
#include <algorithm>
#include <cmath>

#include "core/numeric.h"
#include "precise/black.h"
#include "precise/erfc.h"
#include "precise/european.h"
#include "precise/functions.h"
#include "precise/impvol.h"
#include "precise/impvol_table.h"

namespace vexal {

namespace precise {

namespace {

// For the objective ln b - ln beta: r = b'/b and g = ln(beta / b) at s
// (log_ratio_of, precise/impvol.h), or where b is below the normal doubles
// from the exponent of b' and the ratio b / b'.
void log_objective(double x, double s, double bmax, double beta, double lb, double& r, double& g) {
  double v;
  const double b = black_otm(x, s, bmax, &v);
  if (b > 0x1p-1000 && v > 0) {
    r = v / b;
    g = log_ratio_of(beta, b);
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

double householder(double x, double beta, double bmax, double lb, int branch, double s, int steps);

// The general solver, given s_c and b_c = b(x, s_c).
double iterate(double x, double beta, double bmax, double sc, double bc, int steps) {
  const double vc = kInvSqrt2Pi * bmax;
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
  return householder(x, beta, bmax, lb, branch, s, steps);
}

// `steps` Householder steps of order three from s on the branch's
// objective (0: ln b - ln beta, with lb = ln beta; 1: b - beta; 2: the
// upper gap's logarithm).
double householder(double x, double beta, double bmax, double lb, int branch, double s, int steps) {
  const double x2 = x * x;
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

// Far below (beta < e^{x/2 - 200}, so d1 < -20 at the root) the Mills
// ratios' asymptotic series Y(-w) = 1/w - 1/w^3 + 3/w^5 - ... with
// w1 = -d1 and w2 = -d2 = w1 + s give, in h = x/s, t = s/2 and
// m = w1 w2 = h^2 - t^2 (w1 + w2 = -2h),
//   b = phi(h) e^{-t^2/2} D,
//   D ~ 2t/m - 2t(3h^2 + t^2)/m^3 + 6t(16h^4 - 12h^2 m + m^2)/m^5,
// to a relative 105/w1^6 < 2e-6. Its root in s, from the root of
// x^2/(2s^2) + s^2/8 = -ln beta by two Newton steps (d ln b/ds = 1/D),
// is within 5e-6 relative, and one Householder step of order three on the
// exact b takes that to the rounding: one evaluation of b, where the
// general solver needs three.
double far_tail(double x, double beta, double bmax, double lb) {
  const double L = -lb, x2 = x * x;
  double s = std::sqrt(x2 / (L + std::sqrt(L * L - x2 / 4)));
  for (int i = 0; i < 2; ++i) {
    const double h = x / s, t = s / 2, h2 = h * h, t2 = t * t, m = h2 - t2;
    const double im = 1 / m, im2 = im * im, h4 = h2 * h2;
    const double D = 2 * t * im * (1 - ((3 * h2 + t2) - 3 * (16 * h4 - 12 * h2 * m + m * m) * im2) * im2);
    const double f = std::log(kInvSqrt2Pi * D) - (h2 + t2) / 2 - lb;
    s -= f * D;
  }
  return householder(x, beta, bmax, lb, 0, s, 1);
}

// s_c = sqrt(-2x) and, with d1 = 0 and d2 = -s_c there, b_c = e^{x/2} (1/2
// - Y(-s_c) / sqrt(2 pi)).
double central_value(double x, double bmax, double& sc) {
  sc = std::sqrt(-2 * x);
  return bmax * (0.5 - kInvSqrt2Pi * mills(-sc));
}

// One correction of order five on ln b - ln beta from the guess s; where b
// is below the normal doubles, with g and r from log_objective.
double log_correction(double x, double s, double bmax, double beta, double lb) {
  bool low = false;
  const double c = correction_of(x, s, bmax, beta, false, low);
  if (!low) return c;
  double P[4], r, g;
  log_objective(x, s, bmax, beta, lb, r, g);
  derivatives_of(x, s, P);
  return s + log_step(P, r, g);
}

// Where |x| and beta are both below 2^-40, b is the Bachelier price to a
// relative 2^-80: b = s phi(h) R, h = x/s, R = 1 + h Y(h), and d ln b /
// d ln s = 1/R. (The solver above loses s there to the rounding of b_c,
// of the order of 1e-17.) Newton's method on ln b - ln beta in ln s, from
// the larger of two bounds below the root: beta sqrt(2 pi) (R <= 1, and the
// root at x = 0) and |x| / sqrt(-2 ln beta) (beta <= s phi(h) with s < 1).
// ln b is concave in ln s, so the steps stay below the root; |h| stays
// under 39, where R loses at most 1e-13 to cancellation. The objective as
// the logarithm of a ratio, ln(s R / (beta sqrt(2 pi))) - h^2/2, unless
// beta is subnormal (then from lb).
double bachelier(double x, double beta, double lb) {
  constexpr double kLnSqrt2Pi = 0.91893853320467274178;
  const bool sub = !std::isnan(lb);
  if (!sub) lb = std::log(beta);
  double s = (sub ? std::exp(lb) : beta) * kSqrt2Pi;
  if (x == 0) return s;
  s = std::fmax(s, -x / std::sqrt(-2 * lb));
  auto step = [&] {
    const double h = x / s, R = 1 + h * mills(h);
    const double g = sub ? std::log(s * R) - (h * h / 2 + kLnSqrt2Pi) - lb
                         : std::log(s * R / (beta * kSqrt2Pi)) - h * h / 2;
    return g * R;
  };
  for (int i = 0; i < 100; ++i) {
    const double d = step();
    s *= std::exp(-d);
    if (!(std::fabs(d) > 1e-9)) break;
  }
  return s * std::exp(-step());
}

}  // namespace

double normalised_volatility(double x, double beta, double bmax, int steps) {
  double sc;
  const double bc = central_value(x, bmax, sc);
  return iterate(x, beta, bmax, sc, bc, steps);
}

// For |x| <= 1 a guess from a table (precise/impvol_table.h, good to 6e-4),
// then one correction of order five: with d = -g/g' for the objective g and
// t_k = g^(k) / (k! g') at the guess, the root is s + e with e + t2 e^2 +
// ... + t5 e^5 = d (to order e^6, below 1e-19). In the central region
// (b_c/4 < beta < e^{x/2}/2) g = b - beta, the table in y = sqrt(-x) and
// beta's place between the two. Below it (x <= -1/100, e^-200 <= beta <=
// e^-2) g = ln b - ln beta, with r = b'/b and P_k = b^(k)/b',
//   g''/g' = P2 - r,  g'''/g' = P3 - 3 P2 r + 2 r^2,
//   g''''/g' = P4 - 4 P3 r - 3 P2^2 r + 12 P2 r^2 - 6 r^3, and so on,
// the table in y and w = -1/ln beta, of s sqrt(2/w) / |x| (which tends to 1
// as beta goes to 0). For 1 < |x| <= 256 the same below the central region,
// the table of s/s0 in 1/sqrt|x| and 1/kappa, kappa = ln(e^{x/2}/beta), s0
// the root of x^2/(2s^2) + s^2/8 = -ln beta (good to 7e-5). Elsewhere
// kImpvolSteps steps of the general solver.
double implied_start(double x, double beta, double bmax, double& lb, Start& kind) {
  constexpr int n = kImpvolTableSize;
  kind = Start::other;
  if (x > -0x1p-40 && beta < 0x1p-40) return bachelier(x, beta, lb);
  if (beta < bmax * 1.3838965267367376e-87)  // e^-200
    return far_tail(x, beta, bmax, std::isnan(lb) ? lanes::log_of(beta) : lb);
  if (x >= -1) {
    bool central, lower;
    double l = 0;
    const double s = table_start(x, beta, bmax, l, central, lower);
    if (central) {
      kind = Start::central;
      return s;
    }
    if (lower) {
      kind = Start::lower;
      lb = l;
      return s;
    }
  } else if (x >= -256) {
    // kappa = ln(e^{x/2} / beta) >= 8/3 lies below the central region for
    // every x < -1 (whose bound, ln(4 e^{x/2} / b_c), falls from 2.64 at
    // x = -1 to ln 8).
    if (std::isnan(lb)) lb = lanes::log_of(beta);
    const double ax = -x, kappa = x / 2 - lb;
    if (kappa >= 8.0 / 3) {
      const double s0 = ax / std::sqrt(kappa + ax / 2 + std::sqrt(kappa * (kappa + ax)));
      int i, k;
      float e[4], f[4];
      stencil_of((1 / std::sqrt(ax) - 0.0625) * (16.0 / 15) * (n - 1), i, e);
      stencil_of((1 / kappa - 0.005) / 0.37 * (n - 1), k, f);
      const double R = interpolate_of<double>(kImpvolWideTable, i, e, k, f);
      kind = Start::lower;
      return s0 * R;
    }
  }
  double sc;
  const double bc = central_value(x, bmax, sc);
  return iterate(x, beta, bmax, sc, bc, kImpvolSteps);
}

double implied_normalised(double x, double beta, double bmax, double lb) {
  Start kind;
  const double s = implied_start(x, beta, bmax, lb, kind);
  if (kind == Start::central) {
    bool low;
    return correction_of(x, s, bmax, beta, true, low);
  }
  return kind == Start::lower ? log_correction(x, s, bmax, beta, lb) : s;
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
  const double scale = m.scale(), bmax = precise::exp_any(-std::fabs(m.x) / 2);
  const double lower = call == (m.x > 0) ? m.intrinsic() : 0.0;
  const double upper = call == (m.x > 0) ? scale / bmax : scale * bmax;
  // A price within rounding of the upper bound (whose e^{|x|/2} carries an
  // error of about |x| ulp) is what the price functions give at a volatility
  // so large that the gap to the bound is below one ulp: infinity. One
  // within rounding of the lower bound is what they give deep in the money,
  // where the time value is below an ulp: 0, as at the bound.
  const double slack = (16 + 2 * std::fabs(m.x)) * 0x1p-52;
  if (P > upper && P <= upper * (1 + slack)) return INFINITY;
  if (P < lower && P >= lower * (1 - slack)) return 0.0;
  if (!(P >= lower && P <= upper)) return NAN;
  if (P == lower) return 0.0;
  if (P == upper) return INFINITY;
  const double beta = (P - lower) / scale;
  if (!(beta < bmax)) return INFINITY;
  // Where beta is subnormal (or 0) it has lost its bits; its logarithm
  // has not.
  const double lb = beta < 0x1p-1000 ? std::log(P - lower) - std::log(scale) : NAN;
  return precise::implied_normalised(-std::fabs(m.x), beta, bmax, lb) / std::sqrt(T);
}

}  // namespace

double precise_call_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, true);
}

double precise_put_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, false);
}

}  // namespace vexal
