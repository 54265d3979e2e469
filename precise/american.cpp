// Precise American calls and puts under Black-Scholes-Merton with a
// continuous yield, and their regimes of r and q.
//
// Put: never exercised early when r <= 0 and q >= r (then exactly the
// precise European put); one boundary below the strike when r > 0, or r = 0
// > q (american_boundary.cpp); a band between two boundaries when q < r < 0
// (american_band.cpp while the band stays open to 4T, else
// american_tree.cpp, which also takes the markets where the boundary solve
// reports failure, which over the grid of the tests it never does). Calls by the symmetry C(S, K, r, q) = P(K, S, q, r),
// which maps each call regime onto a put regime.
//
// Delta and gamma come with the price from the premium integral; theta from
// the Black-Scholes equation, which holds wherever the option is held:
//   theta = r V - (r - q) S delta - sigma^2 S^2 gamma / 2.
// On the tree, delta and gamma are central differences of its price.
#include <cmath>

#include "core/numeric.h"
#include "precise/american_boundary.h"
#include "precise/functions.h"

namespace vexal {

namespace american {

namespace {

// Steps of the tree (extrapolated from n and 2n).
constexpr int kTreeSteps = 1000;

// A boundary solve whose weighted residual stays above this has failed
// (over the accuracy grid the largest is about 2e-6).
constexpr double kFailed = 1e-4;

// The tree where its steps are fine enough to mean anything (sigma sqrt(dt)
// at most 0.3 on its coarser run); NaN beyond, where neither method holds
// (total volatility sigma sqrt(T) above about 9).
Value tree_value(double S, double K, double T, double r, double sigma, double q) {
  if (!(sigma * std::sqrt(T / kTreeSteps) <= 0.3)) return {NAN, NAN, NAN};
  const double h = S * 1e-3;
  // At least the European and the exercise value, which the tree's
  // rounding and extrapolation can miss by a few units of its error.
  const double floor = std::fmax(precise_put_eur(S, K, T, r, sigma, q), K - S);
  const double v0 = std::fmax(put_tree(S, K, T, r, sigma, q, kTreeSteps), floor);
  const double vu = put_tree(S + h, K, T, r, sigma, q, kTreeSteps);
  const double vd = put_tree(S - h, K, T, r, sigma, q, kTreeSteps);
  return {v0, (vu - vd) / (2 * h), (vu - 2 * v0 + vd) / (h * h)};
}

}  // namespace

Value put_value(double S, double K, double T, double r, double sigma, double q,
                const Setting& s, Isa isa, bool band, bool* tree) {
  if (tree) *tree = false;
  if (r <= 0 && q >= r)  // never exercised early
    return {precise_put_eur(S, K, T, r, sigma, q), precise_put_delta_eur(S, K, T, r, sigma, q),
            precise_gamma_eur(S, K, T, r, sigma, q)};
  if (r < 0) {
    Value v;
    if (band && band_value(S, K, T, r, sigma, q, v)) return v;
    if (tree) *tree = true;
    return tree_value(S, K, T, r, sigma, q);
  }
  const Boundary b = put_boundary(K, T, r, sigma, q, s, isa);
  if (!(b.residual < kFailed)) {
    if (tree) *tree = true;
    return tree_value(S, K, T, r, sigma, q);
  }
  const double eur = precise_put_eur(S, K, T, r, sigma, q);
  if (std::log(S) <= b.log_at(T) && K - S >= eur) return {K - S, -1, 0};
  const Premium p = put_premium(b, S, K, r, sigma, q, s, isa);
  Value v{eur + p.value, precise_put_delta_eur(S, K, T, r, sigma, q) + p.delta,
          precise_gamma_eur(S, K, T, r, sigma, q) + p.gamma};
  if (!(v.price > K - S)) v = {K - S, -1, 0};
  if (!(v.price >= eur)) v.price = eur;
  return v;
}

// With P(S', K') homogeneous of degree one, dP/dK' = (P - S' dP/dS')/K'
// and K'^2 d2P/dK'^2 = S'^2 d2P/dS'^2.
Value call_value(double S, double K, double T, double r, double sigma, double q,
                 const Setting& s, Isa isa, bool band, bool* tree) {
  if (tree) *tree = false;
  if (q <= 0 && r >= q)  // never exercised early
    return {precise_call_eur(S, K, T, r, sigma, q), precise_call_delta_eur(S, K, T, r, sigma, q),
            precise_gamma_eur(S, K, T, r, sigma, q)};
  const Value p = put_value(K, S, T, q, sigma, r, s, isa, band, tree);
  return {p.price, (p.price - K * p.delta) / S, K * K * p.gamma / (S * S)};
}

}  // namespace american

namespace {

using american::Value;

enum class Kind { call, put };
enum class Greek { price, delta, gamma, vega, theta, rho };

// Zero volatility: the larger of 0 and max over t in [0, T] of the
// discounted exercise value, at t = 0, T or where its derivative vanishes.
double still(Kind kind, double S, double K, double T, double r, double q) {
  const double sign = kind == Kind::call ? 1 : -1;
  auto at = [&](double t) { return sign * (S * std::exp(-q * t) - K * std::exp(-r * t)); };
  double best = at(0) > at(T) ? at(0) : at(T);
  if (r != q && r * q > 0) {
    const double t = std::log((r * K) / (q * S)) / (r - q);
    if (t > 0 && t < T && at(t) > best) best = at(t);
  }
  return best > 0 ? best : 0.0;
}

// The option where the method applies: S, K, T, sigma positive and finite.
Value value(Kind kind, double S, double K, double T, double r, double sigma, double q, bool band = true,
            bool* tree = nullptr) {
  // A call is the put with rate q and yield r.
  const american::Isa isa = american::best_isa();
  return kind == Kind::call
             ? american::call_value(S, K, T, r, sigma, q, american::precise_setting(q, r), isa, band, tree)
             : american::put_value(S, K, T, r, sigma, q, american::precise_setting(r, q), isa, band, tree);
}

double price_of(Kind kind, double S, double K, double T, double r, double sigma, double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  if (S < 0 || K < 0 || sigma < 0) return NAN;
  if (!(T > 0)) {
    const double x = kind == Kind::call ? S - K : K - S;
    return x > 0 ? x : 0.0;
  }
  if (!std::isfinite(S) || !std::isfinite(K) || !std::isfinite(T) || !std::isfinite(r) ||
      !std::isfinite(sigma) || !std::isfinite(q))
    return NAN;
  if (S == 0 || K == 0 || sigma == 0) return still(kind, S, K, T, r, q);
  const double v = value(kind, S, K, T, r, sigma, q).price;
  return v > 0 || std::isnan(v) ? v : 0.0;
}

// A central difference of fourth order, f'(x) from f(x +- h), f(x +- 2h).
template <class F>
double slope(F f, double x, double h) {
  return (8 * (f(x + h) - f(x - h)) - (f(x + 2 * h) - f(x - 2 * h))) / (12 * h);
}

// The one-sided difference of fourth order from f(x + k h), k = 0..4 (h of
// either sign).
template <class F>
double slope_from(F f, double x, double h) {
  return (-25 * f(x) + 48 * f(x + h) - 36 * f(x + 2 * h) + 16 * f(x + 3 * h) - 3 * f(x + 4 * h)) / (12 * h);
}

// The regime and setting of the put with rate r and yield q (put_value,
// precise_setting): the price is smooth in r and q within one, not across
// (at r = 0+ the put's premium starts like r ln r, and its rho like ln r).
int put_regime(double r, double q) {
  if (r <= 0 && q >= r) return 0;
  if (r < 0) return 1;
  if (r > 0 && q > r) return q - r < 0.04 ? 2 : 3;
  return 4;
}

// f'(x) by a stencil that stays in x's regime, and well inside it: near an
// edge the price bends on the scale of the distance d to it, so the central stencil
// is halved until 20 times it fits, h <= d/20, which over the tests' grids
// keeps its error under 1e-7 of the slope; at an edge, one-sided into x's
// own regime.
template <class F, class Regime>
double slope_within(F f, double x, double h, Regime regime) {
  constexpr int kMargin = 20;
  const int own = regime(x);
  auto fits = [&](double step, int lo, int hi) {
    for (int k = lo; k <= hi; ++k)
      if (k != 0 && regime(x + k * step) != own) return false;
    return true;
  };
  // Steps below this would not move x by enough to measure a slope.
  const double least = std::fmax(h * 0x1p-30, std::fabs(x) * 1e-9);
  for (double c = h; c >= least; c /= 2)
    if (fits(c, -kMargin, kMargin)) return slope(f, x, c);
  for (double c = h; c >= least; c /= 2) {
    if (fits(c, 1, 4)) return slope_from(f, x, c);
    if (fits(-c, 1, 4)) return slope_from(f, x, -c);
  }
  return slope(f, x, h);
}

double greek_of(Greek g, Kind kind, double S, double K, double T, double r, double sigma,
                double q) {
  if (any_nan(S, K, T, r, sigma, q)) return NAN;
  if (!(S > 0 && K > 0 && T > 0 && sigma > 0) || !std::isfinite(S) || !std::isfinite(K) ||
      !std::isfinite(T) || !std::isfinite(r) || !std::isfinite(sigma) || !std::isfinite(q))
    return NAN;
  // In the band regime a stencil's prices all come from the two ends' solve
  // or all from the tree (whose error is far larger), never some of each.
  int by_tree = 0, by_solve = 0;
  bool band = true;
  auto price = [&](double r_, double sigma_) {
    bool tree = false;
    const double v = value(kind, S, K, T, r_, sigma_, q, band, &tree).price;
    ++(tree ? by_tree : by_solve);
    return v;
  };
  switch (g) {
    case Greek::vega: {
      const double h = sigma * 1e-3;
      auto f = [&](double x) { return price(r, x); };
      const double d = slope(f, sigma, h);
      if (by_tree == 0 || by_solve == 0) return d;
      band = false;
      return slope(f, sigma, h);
    }
    case Greek::rho: {
      // A call is the put with rate q and yield r.
      auto regime = [&](double x) { return kind == Kind::call ? put_regime(q, x) : put_regime(x, q); };
      auto f = [&](double x) { return price(x, sigma); };
      const double d = slope_within(f, r, 1e-4, regime);
      if (by_tree == 0 || by_solve == 0) return d;
      band = false;
      return slope_within(f, r, 1e-4, regime);
    }
    default:
      break;
  }
  const Value v = value(kind, S, K, T, r, sigma, q);
  switch (g) {
    case Greek::delta:
      return v.delta;
    case Greek::gamma:
      return v.gamma;
    case Greek::theta: {
      // Where the option is exercised at once its value does not depend on T.
      const double exercise = kind == Kind::call ? S - K : K - S;
      if (v.price == exercise) return 0.0;
      return r * v.price - (r - q) * S * v.delta - sigma * sigma * S * S * v.gamma / 2;
    }
    default:
      return v.price;
  }
}

}  // namespace

double precise_call_american(double S, double K, double T, double r, double sigma, double q) {
  return price_of(Kind::call, S, K, T, r, sigma, q);
}
double precise_put_american(double S, double K, double T, double r, double sigma, double q) {
  return price_of(Kind::put, S, K, T, r, sigma, q);
}

#define VEXAL_AMERICAN_GREEK(name, greek, kind)                                         \
  double name(double S, double K, double T, double r, double sigma, double q) {         \
    return greek_of(Greek::greek, Kind::kind, S, K, T, r, sigma, q);                     \
  }
VEXAL_AMERICAN_GREEK(precise_call_delta_american, delta, call)
VEXAL_AMERICAN_GREEK(precise_put_delta_american, delta, put)
VEXAL_AMERICAN_GREEK(precise_call_gamma_american, gamma, call)
VEXAL_AMERICAN_GREEK(precise_put_gamma_american, gamma, put)
VEXAL_AMERICAN_GREEK(precise_call_vega_american, vega, call)
VEXAL_AMERICAN_GREEK(precise_put_vega_american, vega, put)
VEXAL_AMERICAN_GREEK(precise_call_theta_american, theta, call)
VEXAL_AMERICAN_GREEK(precise_put_theta_american, theta, put)
VEXAL_AMERICAN_GREEK(precise_call_rho_american, rho, call)
VEXAL_AMERICAN_GREEK(precise_put_rho_american, rho, put)
#undef VEXAL_AMERICAN_GREEK

}  // namespace vexal
