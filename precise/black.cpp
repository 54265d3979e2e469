// The normalised Black function, its ratio to its vega and its gap below
// the forward (the formulas in precise/black.h).
#include <cmath>

#include "precise/black.h"
#include "precise/erfc.h"

namespace vexal::precise {

double black_vega(double x, double s) {
  const double h = x / s, t = s / 2;
  return kInvSqrt2Pi * exp_any(-(h * h + t * t) / 2);
}

double black_otm(double x, double s, double ex, double* vega) {
  double v;
  const double b = black_otm_of(x, s, ex, v);
  if (vega) *vega = v;
  return b;
}

double black_otm_ratio(double x, double s, double* exponent) {
  const double h = x / s, t = s / 2, d1 = h + t;
  *exponent = -(h * h + t * t) / 2;
  if (d1 > 0.85) {
    double v;
    const double b = black_otm(x, s, exp_any(x / 2), &v);
    return b / v;
  }
  if (d1 <= -12) return mills_difference_asymptotic_of(h, t);
  if (t < 0.21) return mills_difference_series_of(h, t);
  return mills(d1) - mills(h - t);
}

double mills_difference_asymptotic(double h, double t) { return mills_difference_asymptotic_of(h, t); }

double mills_difference_series(double h, double t) { return mills_difference_series_of(h, t); }

double black_otm_gap(double x, double s, double ex, double* vega) {
  const double h = x / s, t = s / 2, d1 = h + t;
  if (d1 > 0.85) {
    const double v = kInvSqrt2Pi * exp_any(-(h * h + t * t) / 2);
    if (vega) *vega = v;
    return v * (mills(-d1) + mills(h - t));
  }
  return ex - black_otm(x, s, ex, vega);
}

double log_moneyness(double S, double K, double T, double r, double q) {
  return log_moneyness_of(S, K, T, r, q);
}

}  // namespace vexal::precise
