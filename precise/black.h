// The normalised Black function of the precise family. With forward F,
// strike K, x = ln(F/K) and total volatility s = sigma sqrt(T), the
// undiscounted call divided by sqrt(F K) is
//   b(x, s) = e^{x/2} N(x/s + s/2) - e^{-x/2} N(x/s - s/2),
// and the undiscounted put is the same with x turned over: b(-x, s).
// Every price is an out-of-the-money b (x <= 0) plus, in the money, the
// intrinsic value of the forward, so that nothing large cancels.
#ifndef VEXAL_PRECISE_BLACK_H
#define VEXAL_PRECISE_BLACK_H

#include <cmath>

#include "precise/lanes.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::precise {

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
//
// The formulas are written once for one double and for four lanes
// (precise/lanes.h), so that vexal_map's rows give the scalar doubles.

// Region 1, Y(h + t) - Y(h - t) for h + t <= -12.
template <class T>
VEXAL_LANES T mills_difference_asymptotic_of(const T& h, const T& t) {
  const T w1 = -(h + t), w2 = t - h;
  const T a = 1 / w1, a2 = a * a, q = w1 / w2, q2 = q * q;
  const T g1 = 2 * t / w2;       // 1 - q
  const T step = g1 * (1 + q);  // 1 - q^2
  T g = g1, qm = q, am = a, sum = T{};
  double c = 1;
  for (int n = 0; n < 16; ++n) {
    const T term = c * am * g;
    sum = (n & 1) ? sum - term : sum + term;
    g += qm * step;  // 1 - q^{m+2}
    qm *= q2;
    am *= a2;
    c *= 2 * n + 1;
  }
  return sum;
}

// Region 2, t < 0.21, given y0 = Y(h).
template <class T>
VEXAL_LANES T mills_difference_series_of(const T& h, const T& t, const T& y0) {
  using lanes::pick;
  // Terms needed for 1e-17 (measured over h in [-12, 0]); 1/((k+1)(k+2)).
  const T one = T{} + 1;
  const T terms = 4.0 + pick(t >= 0.01, one, T{}) + pick(t >= 0.05, one, T{}) + pick(t >= 0.1, one, T{}) +
                  pick(t >= 0.15, one, T{});
  const int most = static_cast<int>(lanes::largest(terms));
  static constexpr double inv[8] = {1.0 / 6,  1.0 / 20,  1.0 / 42,  1.0 / 72,
                                    1.0 / 110, 1.0 / 156, 1.0 / 210, 1.0 / 272};
  // Two steps of the recurrence at once, from (Y^(k), Y^(k-1)) with k odd:
  //   Y^(k+2) = (h^2 + k + 1) Y^(k) + h k Y^(k-1),  Y^(k+1) = h Y^(k) + k Y^(k-1).
  const T h2 = h * h, t2 = t * t;
  T odd = 1 + h * y0, even = y0;
  T sum = T{}, f = t;  // f = t^k / k!
  double k = 1;
  for (int i = 0; i < most; ++i, k += 2) {
    sum += pick(terms > i, f * odd, T{});
    const T next_odd = (h2 + (k + 1)) * odd + (h * k) * even;
    even = h * odd + k * even;
    odd = next_odd;
    f *= t2 * inv[i];
  }
  return 2 * sum;
}
template <class T>
VEXAL_LANES T mills_difference_series_of(const T& h, const T& t) {
  return mills_difference_series_of(h, t, lanes::mills_of(h));
}

// b(x, s) for x <= 0 and s > 0 given ex = e^{x/2}, and the normalised vega.
template <class T>
VEXAL_LANES T black_otm_of(const T& x, const T& s, const T& ex, T& vega) {
  using lanes::any;
  using lanes::mills_of;
  using lanes::pick;
  const T h = x / s, t = s / 2, d1 = h + t;
  const T v = kInvSqrt2Pi * exp_any(-(h * h + t * t) / 2);
  vega = v;
  // Region 3 as e^{x/2} less the gap: N(d1) = 1 - phi(d1) Y(-d1); elsewhere
  // 0 where v is.
  const auto wide = d1 > 0.85, rest = !wide && v != 0, deep = rest && d1 <= -12;
  const auto series = rest && !deep && t < 0.21, general = rest && !deep && !(t < 0.21);
  // The Mills ratio every region but 1 needs, Y(-d1), Y(h) or Y(d1), in one
  // evaluation for all lanes; Y(h - t) where regions 3 and 4 need it.
  T m1 = T{};
  if (any(wide || series || general)) m1 = mills_of(pick(wide, -d1, pick(series, h, d1)));
  T m2 = T{};
  if (any(wide || general)) m2 = mills_of(h - t);
  T b = T{};
  if (any(wide)) b = pick(wide, ex - v * (m1 + m2), b);
  if (any(deep)) b = pick(deep, v * mills_difference_asymptotic_of(h, t), b);
  if (any(series)) b = pick(series, v * mills_difference_series_of(h, t, m1), b);
  if (any(general)) b = pick(general, v * (m1 - m2), b);
  return b;
}

// ln(S/K) + (r - q) T with the rounding of S/K put back: S - (S/K) K exactly
// by Dekker's product split (0 where the split is out of range, S/K near
// overflow). Four lanes need S/K normal.
template <class T>
VEXAL_LANES T log_moneyness_of(const T& S, const T& K, const T& tau, const T& r, const T& q) {
  const T ratio = S / K;
  const double c = 134217729.0;  // 2^27 + 1
  const T rh = ratio * c - (ratio * c - ratio), rl = ratio - rh;
  const T kh = K * c - (K * c - K), kl = K - kh;
  const T p = ratio * K;
  const T e = ((rh * kh - p) + rh * kl + rl * kh) + rl * kl;
  T rem = (S - p) - e;
  rem = lanes::pick(rem - rem == 0, rem, T{});
  return lanes::log_of(ratio) + (rem / S + (r - q) * tau);
}

// b(x, s) for x <= 0 and s > 0, given ex = e^{x/2}, to a relative error of
// a few 1e-16 in the body and a few 1e-14 where the value is near the
// smallest doubles; the normalised vega d b / d s = e^{-(x^2/s^2 + s^2/4)/2}
// / sqrt(2 pi) in *vega when asked for (it comes with b at no cost).
double black_otm(double x, double s, double ex, double* vega = nullptr);
inline double black_otm(double x, double s) { return black_otm(x, s, exp_any(x / 2)); }

// ex - b(x, s) for x <= 0 and s > 0: how far the call is below the
// forward, to full relative accuracy when s is large; vega as above.
double black_otm_gap(double x, double s, double ex, double* vega = nullptr);

// D = b(x, s) / b'(x, s) for x <= 0 and s > 0, and the exponent e of
// b' = e^e / sqrt(2 pi) in *exponent (the expression black_otm takes the
// exponential of): ln b = e + ln(D / sqrt(2 pi)) where b' would underflow.
double black_otm_ratio(double x, double s, double* exponent);

// Y(h + t) - Y(h - t) for the Mills ratio Y = N/phi: by its asymptotic
// series where h + t <= -12, by its Taylor series in t where t < 0.21 and
// h >= -12.2 (the regions 1 and 2 below).
double mills_difference_asymptotic(double h, double t);
double mills_difference_series(double h, double t);

// The normalised vega alone.
double black_vega(double x, double s);

// ln(S/K) + (r - q) T with the rounding of S/K put back, so that far out of
// the money at small s the price does not inherit an error of 1 ulp in x.
double log_moneyness(double S, double K, double T, double r, double q);

}  // namespace vexal::precise

#pragma GCC diagnostic pop

#endif
