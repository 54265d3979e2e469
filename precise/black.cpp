// b(x, s) for x <= 0 in four regions, h = x/s, t = s/2, d1,2 = h +- t.
// Writing N(z) = phi(z) Y(z) with the Mills ratio Y = N/phi and using
// e^{x/2} phi(d1) = e^{-x/2} phi(d2) = phi(h) e^{-t^2/2},
//   b = phi(h) e^{-t^2/2} (Y(h + t) - Y(h - t)),
// a difference of two ratios of order one instead of two tiny terms.
//  1. d1 <= -12: Y(-w) = sum_n (-1)^n (2n-1)!! / w^{2n+1} (asymptotic; 16
//     terms give the last bit), each difference w1^-m - w2^-m summed in
//     positive parts.
//  2. t < 0.21: Y(h+t) - Y(h-t) = 2 sum_{k odd} t^k Y^(k)(h) / k!, the
//     derivatives from Y' = 1 + hY, Y^(n+1) = h Y^(n) + n Y^(n-1) (forward,
//     which grows errors by about e^{t|h|} <= e^{2.6}); at most 8 terms.
//  3. d1 > 0.85: e^{x/2} less the gap e^{x/2} N(-d1) + e^{-x/2} N(d2)
//     = phi(h) e^{-t^2/2} (Y(-d1) + Y(d2)), which is at most 0.4 e^{x/2}.
//  4. otherwise: the difference of the two Mills ratios by erfcx, which
//     loses a factor of about max(1, |h|) / 2t: under 2.4 for |h| <= 1, up
//     to 30 at h = -12, where a change of one ulp in x moves b by h^2 ulp.
#include <cmath>

#include "precise/black.h"
#include "precise/erfc.h"

namespace vexal::precise {

namespace {

double asymptotic(double h, double t) {
  const double w1 = -(h + t), w2 = t - h;
  const double a = 1 / w1, a2 = a * a, q = w1 / w2, q2 = q * q;
  const double g1 = 2 * t / w2;        // 1 - q
  const double step = g1 * (1 + q);   // 1 - q^2
  double g = g1, qm = q, am = a, c = 1, sum = 0;
  for (int n = 0; n < 16; ++n) {
    const double term = c * am * g;
    sum += (n & 1) ? -term : term;
    g += qm * step;   // 1 - q^{m+2}
    qm *= q2;
    am *= a2;
    c *= 2 * n + 1;
  }
  return sum;
}

double small_t(double h, double t) {
  // Terms needed for 1e-17 (measured over h in [-12, 0]); 1/((k+1)(k+2)).
  const int terms = 4 + (t >= 0.01) + (t >= 0.05) + (t >= 0.1) + (t >= 0.15);
  static constexpr double inv[8] = {1.0 / 6,  1.0 / 20,  1.0 / 42,  1.0 / 72,
                                    1.0 / 110, 1.0 / 156, 1.0 / 210, 1.0 / 272};
  // Two steps of the recurrence at once, from (Y^(k), Y^(k-1)) with k odd:
  //   Y^(k+2) = (h^2 + k + 1) Y^(k) + h k Y^(k-1),  Y^(k+1) = h Y^(k) + k Y^(k-1).
  const double y0 = mills(h), h2 = h * h, t2 = t * t;
  double odd = 1 + h * y0, even = y0;
  double sum = 0, f = t;  // f = t^k / k!
  double k = 1;
  for (int i = 0; i < terms; ++i, k += 2) {
    sum += f * odd;
    const double next_odd = (h2 + (k + 1)) * odd + (h * k) * even;
    even = h * odd + k * even;
    odd = next_odd;
    f *= t2 * inv[i];
  }
  return 2 * sum;
}

}  // namespace

double black_vega(double x, double s) {
  const double h = x / s, t = s / 2;
  return kInvSqrt2Pi * std::exp(-(h * h + t * t) / 2);
}

double black_otm(double x, double s, double ex, double* vega) {
  const double h = x / s, t = s / 2, d1 = h + t;
  const double v = kInvSqrt2Pi * std::exp(-(h * h + t * t) / 2);
  if (vega) *vega = v;
  // Region 3 as e^{x/2} less the gap: N(d1) = 1 - phi(d1) Y(-d1).
  if (d1 > 0.85) return ex - v * (mills(-d1) + mills(h - t));
  if (v == 0) return 0.0;
  if (d1 <= -12) return v * asymptotic(h, t);
  if (t < 0.21) return v * small_t(h, t);
  return v * (mills(d1) - mills(h - t));
}

double black_otm_ratio(double x, double s, double* exponent) {
  const double h = x / s, t = s / 2, d1 = h + t;
  *exponent = -(h * h + t * t) / 2;
  if (d1 > 0.85) {
    double v;
    const double b = black_otm(x, s, std::exp(x / 2), &v);
    return b / v;
  }
  if (d1 <= -12) return asymptotic(h, t);
  if (t < 0.21) return small_t(h, t);
  return mills(d1) - mills(h - t);
}

double mills_difference_asymptotic(double h, double t) { return asymptotic(h, t); }

double mills_difference_series(double h, double t) { return small_t(h, t); }

double black_otm_gap(double x, double s, double ex, double* vega) {
  const double h = x / s, t = s / 2, d1 = h + t;
  if (d1 > 0.85) {
    const double v = kInvSqrt2Pi * std::exp(-(h * h + t * t) / 2);
    if (vega) *vega = v;
    return v * (mills(-d1) + mills(h - t));
  }
  return ex - black_otm(x, s, ex, vega);
}

double log_moneyness(double S, double K, double T, double r, double q) {
  const double ratio = S / K;
  // S - ratio K exactly, by Dekker's product split.
  const double c = 134217729.0;  // 2^27 + 1
  const double rh = ratio * c - (ratio * c - ratio), rl = ratio - rh;
  const double kh = K * c - (K * c - K), kl = K - kh;
  const double p = ratio * K;
  const double e = ((rh * kh - p) + rh * kl + rl * kh) + rl * kl;
  double rem = (S - p) - e;
  if (!std::isfinite(rem)) rem = 0;  // split out of range: S/K near overflow
  return std::log(ratio) + (rem / S + (r - q) * T);
}

}  // namespace vexal::precise
