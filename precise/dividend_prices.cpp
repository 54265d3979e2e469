// Precise European and American prices, Greeks and implied volatilities
// with cash dividends (dividends.h for the model and the method).
//
// With no dividend counted (none read, or none with 0 < t < T and D > 0)
// every function is its continuous-yield twin with q = 0, called as such.
// Delta and gamma come with the price from the recursion; theta from the
// Black-Scholes equation at t = 0, where no dividend is paid,
//   theta = r V - r S delta - sigma^2 S^2 gamma / 2
// (the decay as time passes and the dividend dates draw nearer; 0 where an
// American is exercised at once); vega and rho by central differences of
// fourth order, one-sided of second order where the stencil in r would
// cross 0, where the American's exercise changes kind.
//
// At sigma = 0 the path is certain: the value is the discounted payoff at
// expiry, or for an American the best discounted exercise value, which
// between dividend dates is monotone in time and so is found at the ends.
// At S = 0 the stock stays at 0.
#include <cmath>
#include <vector>

#include "core/numeric.h"
#include "precise/dividends.h"
#include "precise/brent.h"
#include "precise/functions.h"

namespace vexal {

namespace {

using dividends::Dividend;
using dividends::Kind;
using dividends::Style;
using Divs = std::vector<Dividend>;

enum class Greek { price, delta, gamma, vega, theta, rho };

// Reads the schedule; false where the inputs give NaN.
bool inputs(double S, double K, double T, double r, double sigma, const double* times,
            const double* amounts, double n, Divs* divs) {
  if (any_nan(S, K, T, r, sigma, n)) return false;
  if (to_int_nearest(n - 1) >= 0 && (times == nullptr || amounts == nullptr)) return false;
  return dividends::read_schedule(T, times, amounts, n, divs);
}

double payoff(Kind kind, double S, double K) {
  const double v = kind == Kind::call ? S - K : K - S;
  return v > 0 ? v : 0.0;
}

// sigma = 0 (or S = 0): the certain path.
double certain(Kind kind, Style style, double S, double K, double T, double r, const Divs& divs) {
  double best = style == Style::american ? payoff(kind, S, K) : 0.0;
  double x = S, t = 0;
  for (const Dividend& d : divs) {
    x *= std::exp(r * (d.t - t));
    t = d.t;
    if (style == Style::american) best = std::fmax(best, std::exp(-r * t) * payoff(kind, x, K));
    x = x > d.D ? x - d.D : 0.0;
    if (style == Style::american) best = std::fmax(best, std::exp(-r * t) * payoff(kind, x, K));
  }
  x *= std::exp(r * (T - t));
  return std::fmax(best, std::exp(-r * T) * payoff(kind, x, K));
}

bool finite(double S, double K, double T, double r, double sigma) {
  return std::isfinite(S) && std::isfinite(K) && std::isfinite(T) && std::isfinite(r) &&
         std::isfinite(sigma);
}

// The price with at least one dividend counted.
double price(Kind kind, Style style, double S, double K, double T, double r, double sigma,
             const Divs& divs) {
  if (S < 0 || K < 0 || sigma < 0 || !finite(S, K, T, r, sigma)) return NAN;
  if (S == 0 || sigma == 0) return certain(kind, style, S, K, T, r, divs);
  if (K == 0) return kind == Kind::put ? 0.0 : style == Style::american ? S : NAN;
  return dividends::value(kind, style, S, K, T, r, sigma, divs).price;
}

template <class F>
double slope(F f, double x, double h) {
  return (8 * (f(x + h) - f(x - h)) - (f(x + 2 * h) - f(x - 2 * h))) / (12 * h);
}

template <class F>
double slope_one_sided(F f, double x, double h) {
  return (-3 * f(x) + 4 * f(x + h) - f(x + 2 * h)) / (2 * h);
}

// sigma = 0: differences of the certain path's value, one-sided in sigma.
double still_greek(Greek g, Kind kind, Style style, double S, double K, double T, double r,
                   const Divs& divs) {
  auto at = [&](double s, double x) { return certain(kind, style, s, K, T, x, divs); };
  const double h = S * 1e-5, v = at(S, r);
  const double delta = (at(S + h, r) - at(S - h, r)) / (2 * h);
  switch (g) {
    case Greek::delta:
      return delta;
    case Greek::gamma:
      return 0.0;
    case Greek::vega:
      return slope_one_sided(
          [&](double x) { return price(kind, style, S, K, T, r, x, divs); }, 0.0, 1e-4);
    case Greek::theta:
      if (style == Style::american && v == payoff(kind, S, K) && v > 0) return 0.0;
      return r * v - r * S * delta;
    case Greek::rho:
      return (at(S, r + 1e-5) - at(S, r - 1e-5)) / 2e-5;
    default:
      return v;
  }
}

double greek(Greek g, Kind kind, Style style, double S, double K, double T, double r,
             double sigma, const Divs& divs) {
  if (!(S > 0 && K > 0 && sigma >= 0) || !finite(S, K, T, r, sigma)) return NAN;
  if (sigma == 0) return still_greek(g, kind, style, S, K, T, r, divs);
  if (g == Greek::vega) {
    const double h = sigma * 1e-3;
    return slope([&](double v) { return dividends::value(kind, style, S, K, T, r, v, divs).price; },
                 sigma, h);
  }
  if (g == Greek::rho) {
    auto f = [&](double x) { return dividends::value(kind, style, S, K, T, x, sigma, divs).price; };
    const double h = 1e-4;
    if (style == Style::american && std::fabs(r) < 2 * h)
      return r >= 0 ? slope_one_sided(f, r, h) : -slope_one_sided(f, r, -h);
    return slope(f, r, h);
  }
  const dividends::Value v = dividends::value(kind, style, S, K, T, r, sigma, divs);
  switch (g) {
    case Greek::delta:
      return v.delta;
    case Greek::gamma:
      return v.gamma;
    case Greek::theta: {
      if (style == Style::american && v.price == payoff(kind, S, K) && v.price > 0) return 0.0;
      return r * v.price - r * S * v.delta - sigma * sigma * S * S * v.gamma / 2;
    }
    default:
      return v.price;
  }
}

using Twin = double (*)(double, double, double, double, double, double);

double priced(Kind kind, Style style, Twin twin, double S, double K, double T, double r,
              double sigma, const double* times, const double* amounts, double n) {
  Divs divs;
  if (!inputs(S, K, T, r, sigma, times, amounts, n, &divs)) return NAN;
  if (divs.empty()) return twin(S, K, T, r, sigma, 0.0);
  return price(kind, style, S, K, T, r, sigma, divs);
}

double greek_of(Greek g, Kind kind, Style style, Twin twin, double S, double K, double T,
                double r, double sigma, const double* times, const double* amounts, double n) {
  Divs divs;
  if (!inputs(S, K, T, r, sigma, times, amounts, n, &divs)) return NAN;
  if (divs.empty()) return twin(S, K, T, r, sigma, 0.0);
  return greek(g, kind, style, S, K, T, r, sigma, divs);
}

// Brent's method on sigma for price(sigma) = P, as the American implied
// volatility without dividends: the price at sigma = 0 is the lower end of
// the attainable range (below it NaN, at it 0), and a price at or above
// its limit as sigma grows, or that no sigma up to 2^10 reaches, gives NaN.
// The search starts from the escrowed spot's European implied volatility.
double implied(Kind kind, Style style, Twin twin, double S, double K, double T, double r,
               double P, const double* times, const double* amounts, double n) {
  Divs divs;
  if (!inputs(S, K, T, r, P, times, amounts, n, &divs)) return NAN;
  if (divs.empty()) return twin(S, K, T, r, P, 0.0);
  if (!(S > 0 && K > 0) || !finite(S, K, T, r, P)) return NAN;
  if (!(P < precise::price_limit(kind == Kind::call, S, K, T, r, 0.0))) return NAN;
  auto f = [&](double sigma) { return price(kind, style, S, K, T, r, sigma, divs) - P; };
  double a = 0, fa = f(0);
  if (fa > 0) return NAN;
  if (fa == 0) return 0.0;
  double pv = 0;
  for (const Dividend& d : divs) pv += d.D * std::exp(-r * d.t);
  double b = S > pv ? (kind == Kind::call ? precise_call_impvol_eur : precise_put_impvol_eur)(
                          S - pv, K, T, r, P, 0)
                    : NAN;
  if (!(b > 0) || !std::isfinite(b)) b = 0.5;
  double fb = f(b);
  while (fb > 0 && b > 1e-3) {  // the guess above the answer: come down
    const double c = b / 2, fc = f(c);
    if (fc > 0) {
      b = c;
      fb = fc;
    } else {
      a = c;
      fa = fc;
      break;
    }
  }
  return precise::implied_root(f, a, fa, b, fb);
}

}  // namespace

#define VEXAL_DIVIDEND_ARGS                                                                 \
  double S, double K, double T, double r, double sigma, const double *times,              \
      const double *amounts, double n

double precise_call_eur_d(VEXAL_DIVIDEND_ARGS) {
  return priced(Kind::call, Style::european, precise_call_eur, S, K, T, r, sigma, times, amounts, n);
}
double precise_put_eur_d(VEXAL_DIVIDEND_ARGS) {
  return priced(Kind::put, Style::european, precise_put_eur, S, K, T, r, sigma, times, amounts, n);
}
double precise_call_american_d(VEXAL_DIVIDEND_ARGS) {
  return priced(Kind::call, Style::american, precise_call_american, S, K, T, r, sigma, times,
                amounts, n);
}
double precise_put_american_d(VEXAL_DIVIDEND_ARGS) {
  return priced(Kind::put, Style::american, precise_put_american, S, K, T, r, sigma, times,
                amounts, n);
}

#define VEXAL_DIVIDEND_GREEK(name, greek, kind, style, twin)                               \
  double name(VEXAL_DIVIDEND_ARGS) {                                                      \
    return greek_of(Greek::greek, Kind::kind, Style::style, twin, S, K, T, r, sigma, times, \
                    amounts, n);                                                          \
  }
VEXAL_DIVIDEND_GREEK(precise_call_delta_eur_d, delta, call, european, precise_call_delta_eur)
VEXAL_DIVIDEND_GREEK(precise_put_delta_eur_d, delta, put, european, precise_put_delta_eur)
VEXAL_DIVIDEND_GREEK(precise_call_gamma_eur_d, gamma, call, european, precise_gamma_eur)
VEXAL_DIVIDEND_GREEK(precise_put_gamma_eur_d, gamma, put, european, precise_gamma_eur)
VEXAL_DIVIDEND_GREEK(precise_call_vega_eur_d, vega, call, european, precise_vega_eur)
VEXAL_DIVIDEND_GREEK(precise_put_vega_eur_d, vega, put, european, precise_vega_eur)
VEXAL_DIVIDEND_GREEK(precise_call_theta_eur_d, theta, call, european, precise_call_theta_eur)
VEXAL_DIVIDEND_GREEK(precise_put_theta_eur_d, theta, put, european, precise_put_theta_eur)
VEXAL_DIVIDEND_GREEK(precise_call_rho_eur_d, rho, call, european, precise_call_rho_eur)
VEXAL_DIVIDEND_GREEK(precise_put_rho_eur_d, rho, put, european, precise_put_rho_eur)
VEXAL_DIVIDEND_GREEK(precise_call_delta_american_d, delta, call, american, precise_call_delta_american)
VEXAL_DIVIDEND_GREEK(precise_put_delta_american_d, delta, put, american, precise_put_delta_american)
VEXAL_DIVIDEND_GREEK(precise_call_gamma_american_d, gamma, call, american, precise_call_gamma_american)
VEXAL_DIVIDEND_GREEK(precise_put_gamma_american_d, gamma, put, american, precise_put_gamma_american)
VEXAL_DIVIDEND_GREEK(precise_call_vega_american_d, vega, call, american, precise_call_vega_american)
VEXAL_DIVIDEND_GREEK(precise_put_vega_american_d, vega, put, american, precise_put_vega_american)
VEXAL_DIVIDEND_GREEK(precise_call_theta_american_d, theta, call, american, precise_call_theta_american)
VEXAL_DIVIDEND_GREEK(precise_put_theta_american_d, theta, put, american, precise_put_theta_american)
VEXAL_DIVIDEND_GREEK(precise_call_rho_american_d, rho, call, american, precise_call_rho_american)
VEXAL_DIVIDEND_GREEK(precise_put_rho_american_d, rho, put, american, precise_put_rho_american)
#undef VEXAL_DIVIDEND_GREEK

#define VEXAL_DIVIDEND_IMPVOL(name, kind, style, twin)                                    \
  double name(double S, double K, double T, double r, double price, const double* times,  \
              const double* amounts, double n) {                                          \
    return implied(Kind::kind, Style::style, twin, S, K, T, r, price, times, amounts, n);  \
  }
VEXAL_DIVIDEND_IMPVOL(precise_call_impvol_eur_d, call, european, precise_call_impvol_eur)
VEXAL_DIVIDEND_IMPVOL(precise_put_impvol_eur_d, put, european, precise_put_impvol_eur)
VEXAL_DIVIDEND_IMPVOL(precise_call_impvol_american_d, call, american, precise_call_impvol_american)
VEXAL_DIVIDEND_IMPVOL(precise_put_impvol_american_d, put, american, precise_put_impvol_american)
#undef VEXAL_DIVIDEND_IMPVOL
#undef VEXAL_DIVIDEND_ARGS

}  // namespace vexal
