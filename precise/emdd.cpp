// Expected maximum drawdown over [0, T] of mu t + sigma W(t)
// (precise_EMDD): sigma sqrt(T) E1(c), c = mu sqrt(T) / sigma, with
//   E1(c) = int_0^inf P(tau_h <= 1) dh
// for sigma = T = 1, tau_h the first time the drawdown max X - X reaches h.
// The drawdown is Brownian motion with drift -c reflected at 0, and the
// Laplace transform of tau_h is (Taylor 1975; Lehoczky 1977)
//   E e^{-s tau_h} = 2b e^{-(a+b)h} / ((b - a) + (b + a) e^{-2bh}),
//   a = c, b = sqrt(c^2 + 2s),
// even in b, its poles (the eigenvalues of the series of Magdon-Ismail,
// Atiya, Pratap and Abu-Mostafa, 2004, roots of tan k = k/(ch)) on the
// negative real axis. Two ways, both inverting on Talbot's fixed contour
// (Abate and Valko, 2004) at t = 1, 22 nodes (about 2e-13 in double):
//  - |c| <= 1.5 and c > 20: P(tau_h <= 1), the transform divided by s,
//    for each h, integrated over h by adaptive Gauss-Kronrod (7, 15) on
//    panels doubling from min(1, 1/|c|)/4 up to H, beyond which
//    P(tau_h <= 1) <= 4 N(-(h - max(0, -c)) / 2) < 5e-19;
//  - otherwise E1's own transform, the integral over h taken first
//    (drawdown_transformed): one inversion, no quadrature. For c < 0 it is
//    the only one of the two that holds, since P(tau_h <= t) is then a step
//    in t near h/(-c), too sharp for the contour; for large c > 0 its two
//    parts cancel, so there the first way is used.
// The eigenfunction series itself weighs its terms by e^{-ch},
// astronomically large for a negative drift; the transform has no such
// factor.
#include <cmath>
#include <complex>

#include "precise/erfc.h"
#include "precise/functions.h"
#include "precise/probability.h"

namespace vexal::precise {
namespace {

using Complex = std::complex<double>;

constexpr int kTalbot = 22;

struct Contour {
  Complex s[kTalbot], w[kTalbot];  // nodes and weights, w including e^{s}
  Contour() {
    const double r = 2.0 * kTalbot / 5;
    s[0] = r;
    w[0] = 0.5 * std::exp(r) * r / kTalbot;
    for (int k = 1; k < kTalbot; ++k) {
      const double th = k * kPiValue / kTalbot, cot = std::cos(th) / std::sin(th);
      s[k] = Complex(r * th * cot, r * th);
      const double sig = th + (th * cot - 1) * cot;
      w[k] = std::exp(s[k]) * Complex(1, sig) * (r / kTalbot);
    }
  }
};

const Contour& contour() {
  static const Contour c;
  return c;
}

// b + c and b - c, the one that cancels as (b + c)(b - c) = 2s.
void sum_and_difference(double c, const Complex& b, const Complex& s, Complex& bpc, Complex& bmc) {
  if (c < 0) {
    bmc = b - c;
    bpc = 2.0 * s / bmc;
  } else {
    bpc = b + c;
    bmc = 2.0 * s / bpc;
  }
}

// P(tau_h <= 1) for the drawdown of c t + W(t).
double reached(double c, double h) {
  if (h <= 0) return 1.0;
  const Contour& k = contour();
  double sum = 0;
  for (int j = 0; j < kTalbot; ++j) {
    const Complex s = k.s[j], b = std::sqrt(c * c + 2.0 * s);
    Complex bpc, bmc;
    sum_and_difference(c, b, s, bpc, bmc);
    const Complex g = 2.0 * b * std::exp(-bpc * h) / (bmc + bpc * std::exp(-2.0 * b * h));
    sum += std::real(k.w[j] * g / s);
  }
  return std::fmin(1.0, std::fmax(0.0, sum));
}

// For a drift c < 0 the same transform integrated over h first: with
// y = e^{-2bh}, beta = (c + b)/(2b) and z = (b + c)/(b - c), |z| < 1,
//   int_0^inf E e^{-s tau_h} dh = sum_n (-z)^n / (n + beta) / (b - c),
// and E1 is the inverse of that divided by s at t = 1, a smooth function of
// t (about -c t for large -c), where P(tau_h <= t) is a step in t near
// h/(-c) too sharp for the contour.
// For c > 0, |z| > 1; with int_0^inf y^{beta-1}/(1 + zy) dy = z^{-beta} pi / sin(pi beta),
//   sum_n (-z)^n / (n + beta) = z^{-beta} pi / sin(pi beta) - sum_n (-1/z)^n / (n + 1 - beta) / z.
double drawdown_transformed(double c) {
  const Contour& k = contour();
  double sum = 0;
  for (int j = 0; j < kTalbot; ++j) {
    const Complex s = k.s[j], b = std::sqrt(c * c + 2.0 * s);
    Complex bpc, bmc;
    sum_and_difference(c, b, s, bpc, bmc);
    const Complex beta = bpc / (2.0 * b);
    const bool inverse = c > 0;
    const Complex z = bpc / bmc, q = inverse ? -1.0 / z : -z, shift = inverse ? 1.0 - beta : beta;
    Complex term = 1.0, series = 1.0 / shift;
    for (int n = 1; n < 20000; ++n) {
      term *= q;
      const Complex add = term / (double(n) + shift);
      series += add;
      if (std::abs(add) <= 1e-17 * std::abs(series)) break;
    }
    if (inverse) series = std::pow(z, -beta) * (kPiValue / std::sin(kPiValue * beta)) - series / z;
    sum += std::real(k.w[j] * series / (bmc * s));
  }
  return sum;
}

constexpr double kXgk[8] = {0.991455371120812639, 0.949107912342758525, 0.864864423359769073,
                            0.741531185599394440, 0.586087235467691130, 0.405845151377397167,
                            0.207784955007898468, 0.0};
constexpr double kWgk[8] = {0.022935322010529225, 0.063092092629978553, 0.104790010322250184,
                            0.140653259715525919, 0.169004726639267903, 0.190350578064785410,
                            0.204432940075298892, 0.209482141084727828};
constexpr double kWg[4] = {0.129484966168869693, 0.279705391489276668, 0.381830050505118945,
                           0.417959183673469388};

double kronrod(double c, double a, double b, double tol, int depth) {
  const double m = (a + b) / 2, half = (b - a) / 2;
  double k = kWgk[7] * reached(c, m), g = kWg[3] * reached(c, m);
  for (int i = 0; i < 7; ++i) {
    const double f = reached(c, m - half * kXgk[i]) + reached(c, m + half * kXgk[i]);
    k += kWgk[i] * f;
    if (i & 1) g += kWg[i / 2] * f;
  }
  k *= half;
  g *= half;
  if (std::fabs(k - g) <= tol || depth >= 16) return k;
  return kronrod(c, a, m, tol / 2, depth + 1) + kronrod(c, m, b, tol / 2, depth + 1);
}

}  // namespace
}  // namespace vexal::precise

namespace vexal {

double precise_EMDD(double mu, double sigma, double T) {
  if (std::isnan(mu) || !(sigma >= 0) || !(T >= 0)) return NAN;
  if (T == 0) return 0.0;
  const double scale = sigma * std::sqrt(T), c = mu * std::sqrt(T) / sigma;
  if (sigma == 0 || !std::isfinite(c)) return mu < 0 ? -mu * T : 0.0;  // a straight line
  if (c == 0) return precise::kSqrtHalfPi * scale;
  // Far out, the laws of Q(x), x = c^2/2: x + 1/2 for c < 0 (met to 1e-14
  // from c = -1000 on), 0.25 ln x + 0.49088 for c > 0 (to about 1e-6 there).
  if (c < -1e4) return scale * (-c - 1 / c);
  if (c > 1e6) return scale * 2 / c * (0.5 * std::log(c) - 0.25 * std::log(2.0) + 0.49088);
  if (c < -1.5 || (c > 1.5 && c <= 20)) return scale * precise::drawdown_transformed(c);
  // Panels doubling from the drawdown's scale, min(1, 1/|c|) / 4, to H.
  const double H = std::fmax(0.0, -c) + 18;
  const double size = c < 0 ? 1 - c : 1.25 / (1 + c);  // below E1(c)
  double a = 0, b = std::fmin(1.0, 1 / std::fabs(c)) / 4, sum = 0;
  while (a < H) {
    sum += precise::kronrod(c, a, std::fmin(b, H), 1e-13 * size, 0);
    a = b;
    b *= 2;
  }
  return scale * sum;
}

}  // namespace vexal
