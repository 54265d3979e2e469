// Probability that S e^{X(t)} stays strictly inside (L, U) up to T
// (precise_ProbWR) and its complement (precise_ProbBR). In log price the
// band is (l, u), l = ln(L/S) < 0 < u = ln(U/S), of width w = u - l; with
// tau = v^2 / w^2 two exact series:
//
// Eigenfunctions (tau > 1/8, or tau > 1/50 where the drift across the
// band, |theta| w, exceeds 20: there the images' weights e^{theta c} grow
// faster than their tails fall, and the pairs cancel). With k_n = n pi / w,
// z0 = -l and theta = nu / sigma^2,
//   P = (2/w) sum_n sin(k_n z0) k_n / (theta^2 + k_n^2) e^{-k_n^2 v^2 / 2}
//       (A_l - (-1)^n A_u),     A_y = e^{theta y - theta^2 v^2 / 2};
// the first term dominates the rest by e^{-3 pi^2 tau / 2} or more, so the
// sum is short and P small keeps its relative accuracy.
//
// Images (the rest). The killed density is that of images at c_k = 2kw
// (+) and 2l - 2kw (-); the image at 2l + 2kw is paired with the one at
// 2kw, their centre p = l + 2kw on a barrier's line outside the band. Each
// pair is integrated over the band from the side of its centre, as a Mills
// difference and a correction of one sign (pair_lower), so that as S
// nears l, where every pair vanishes like S - L, nothing cancels. The pair
// k = 0 gives the survival past l less the paths that end above u. The
// barrier whose own survival is smaller is taken as l (the problem is
// turned over otherwise), so that its pair dominates; the complement is
// the touch of that barrier plus the rest, with the signs turned.
#include <cmath>

#include "precise/erfc.h"
#include "precise/functions.h"
#include "precise/probability.h"

namespace vexal::precise {
namespace {

struct Band {
  double theta, v;
};

// T(lo, y) - T(hi, y) for images lo < hi whose centre p = (lo + hi)/2 is at
// or above y, T the weighted lower tail at y of image_tail:
//   e^F (Y(a_lo) - e^D Y(a_hi)) / sqrt(2 pi),  D = (hi - lo)(y - p)/v^2 <= 0,
// a Mills difference plus (-expm1(D)) e^{-D} T(hi, y), of one sign.
double pair_lower(const Band& g, double lo, double hi, double y) {
  const double p = (lo + hi) / 2;
  const double a = (y - lo) / g.v - g.theta * g.v, b = (y - hi) / g.v - g.theta * g.v;
  const double F = g.theta * lo - a * a / 2;
  const double D = (hi - lo) * (p - y) / (g.v * g.v);
  // (e^D - 1) T(hi, y); where e^D alone would overflow, e^D T(hi, y) in one
  // exponent (the exponent of T(hi, y) is F - D).
  double rest;
  if (D < 1) {
    rest = std::expm1(D) * image_tail(g.theta, g.v, hi, y);
  } else if (b <= 0) {
    rest = -std::expm1(-D) * std::exp(F) * mills(b) * kInvSqrt2Pi;  // e^{F_hi + D} = e^F
  } else {
    rest = -std::expm1(-D) * std::exp(D + g.theta * hi) * norm_cdf(b);
  }
  return mills_gap(a, b, F, (hi - lo) / (2 * g.v)) * kInvSqrt2Pi + rest;
}

// T(c, y) - T(c2, y), centre at or above y.
double lower_at(const Band& g, double c, double c2, double y) {
  return c < c2 ? pair_lower(g, c, c2, y) : -pair_lower(g, c2, c, y);
}

// The same for the upper tails, centre at or below y (turned over).
double upper_at(const Band& g, double c, double c2, double y) {
  return lower_at({-g.theta, g.v}, -c, -c2, -y);
}

// The band integral of the pair (2kw, 2l + 2kw).
double pair(const Band& g, double l, double u, int k) {
  const double w = u - l, c = 2 * k * w, c2 = 2 * l + 2 * k * w;
  if (k <= 0) return upper_at(g, c, c2, l) - upper_at(g, c, c2, u);
  return lower_at(g, c, c2, u) - lower_at(g, c, c2, l);
}

struct Survival {
  double stay, leave;
};

// Images, the lower barrier the nearer one.
Survival images(double nu, double sigma, double T, double l, double u) {
  const Band g{nu / (sigma * sigma), sigma * std::sqrt(T)};
  const Touch near = touch_upper(-nu, sigma, T, -l);
  const double beyond = upper_at(g, 0, 2 * l, u);  // leave through u, never touching l
  double rest = 0;
  for (int k = 1; k <= 40; ++k) {
    const double add = pair(g, l, u, k) + pair(g, l, u, -k);
    rest += add;
    if (std::fabs(add) <= 1e-18 * (near.stay + std::fabs(rest))) break;
  }
  // Where the drift carries the price across the band more than about 1.7
  // times in T at tau < 1/50, surviving means being held off the near
  // barrier by the far one, the rest nearly cancels the near survival, and
  // a survival below about 1e-20 keeps only its absolute accuracy (about
  // 1e-16 of the near barrier's own survival): it is kept within [0, 1].
  const double stay = std::fmax(0.0, near.stay - beyond + rest), leave = std::fmin(1.0, near.touch + beyond - rest);
  return {std::fmin(1.0, stay), std::fmax(0.0, leave)};
}

Survival eigen(double nu, double sigma, double T, double l, double u) {
  const double w = u - l, v = sigma * std::sqrt(T), ratio = nu / sigma;
  const double th = nu / (sigma * sigma), base = -(ratio * ratio) * T / 2;  // -theta^2 v^2 / 2
  const double Al = std::exp(th * l + base), Au = std::exp(th * u + base);
  const double odd = Al + Au;
  const double even = std::fabs(th * w) < 1 ? -Al * std::expm1(th * w) : Al - Au;
  // sin(k_n z0) from the nearer barrier: sin(n pi (w - z0)/w) = (-1)^{n+1} sin(n pi z0 / w).
  const bool from_u = u < -l;
  const double alpha = kPiValue * (from_u ? u : -l) / w;
  const double s1 = std::sin(alpha), c2 = 2 * std::cos(alpha);
  const double k1 = kPiValue / w, tau = (v / w) * (v / w);
  const double q = std::exp(-kPiValue * kPiValue * tau / 2);  // e^{-k_1^2 v^2 / 2}
  double s_prev = 0, s = s1, qn = q, step = q * q * q, sum = 0;
  for (int n = 1; n <= 400; ++n) {
    const double kn = n * k1;
    const double sn = from_u && !(n & 1) ? -s : s;
    const double term = sn * kn / (th * th + kn * kn) * qn * ((n & 1) ? odd : even);
    sum += term;
    if (n > 1 && std::fabs(term) <= 1e-18 * std::fabs(sum)) break;
    const double s_next = c2 * s - s_prev;
    s_prev = s, s = s_next;
    qn *= step;  // q^{n^2} -> q^{(n+1)^2}
    step *= q * q;
  }
  const double stay = std::fmin(1.0, std::fmax(0.0, 2 / w * sum));
  return {stay, 1 - stay};
}

Survival band(double S, double mu, double sigma, double T, double U, double L) {
  if (std::isnan(mu) || !(sigma >= 0) || !(T >= 0) || !(S > 0) || !(L > 0) || !(U > L)) return {NAN, NAN};
  if (!(S > L && S < U)) return {0.0, 1.0};
  const double nu = mu - sigma * sigma / 2;
  const double l = log_ratio(L, S), u = log_ratio(U, S), v = sigma * std::sqrt(T);
  if (!(v > 0)) return (nu * T > l && nu * T < u) ? Survival{1.0, 0.0} : Survival{0.0, 1.0};
  if (u == INFINITY) {  // one barrier, L
    const Touch t = touch_upper(-nu, sigma, T, -l);
    return {t.stay, t.touch};
  }
  const double w = u - l;
  if (v * v > w * w / 8 || (v * v > w * w / 50 && std::fabs(nu) * w > 20 * sigma * sigma))
    return eigen(nu, sigma, T, l, u);
  // The barrier with the smaller survival of its own as the lower one.
  const double stay_l = touch_upper(-nu, sigma, T, -l).stay, stay_u = touch_upper(nu, sigma, T, u).stay;
  return stay_l <= stay_u ? images(nu, sigma, T, l, u) : images(-nu, sigma, T, -u, -l);
}

}  // namespace
}  // namespace vexal::precise

namespace vexal {

double precise_ProbWR(double S, double mu, double sigma, double T, double U, double L) {
  return precise::band(S, mu, sigma, T, U, L).stay;
}

double precise_ProbBR(double S, double mu, double sigma, double T, double U, double L) {
  return precise::band(S, mu, sigma, T, U, L).leave;
}

}  // namespace vexal
