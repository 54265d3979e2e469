// Precise European implied volatility (first version: Newton steps on a
// log objective from the inflection point of b in s).
#include <cmath>

#include "core/numeric.h"
#include "precise/black.h"
#include "precise/functions.h"

namespace vexal {

namespace {

// s with b(x, s) = beta for x <= 0, 0 < beta < e^{x/2}.
double solve(double x, double beta) {
  const double sc = std::sqrt(-2 * x);
  const double bc = sc > 0 ? precise::black_otm(x, sc) : 0.0;
  if (beta <= bc) {
    double u = 1 / (sc * sc);
    const double lb = std::log(beta);
    for (int i = 0; i < 40; ++i) {
      const double s = 1 / std::sqrt(u);
      const double b = precise::black_otm(x, s), v = precise::black_vega(x, s);
      const double g = std::log(b) - lb, dg = -(v / b) * s * s * s / 2;
      u -= g / dg;
    }
    return 1 / std::sqrt(u);
  }
  const double lg = std::log(std::exp(x / 2) - beta);
  double s = sc;
  for (int i = 0; i < 40; ++i) {
    const double gap = precise::black_otm_gap(x, s), v = precise::black_vega(x, s);
    const double g = std::log(gap) - lg, dg = -v / gap;
    s -= g / dg;
  }
  return s;
}

double impvol(double S, double K, double T, double r, double P, double q, bool call) {
  if (any_nan(S, K, T, r, P, q)) return NAN;
  if (!(S > 0 && K > 0 && T > 0) || std::isinf(S) || std::isinf(K) || std::isinf(T)) return NAN;
  const double Dr = std::exp(-r * T);
  const double x = precise::log_moneyness(S, K, T, r, q);
  const double fwd = K * Dr * std::expm1(x);  // D (F - K)
  const double lower = call ? (fwd > 0 ? fwd : 0.0) : (fwd < 0 ? -fwd : 0.0);
  const double upper = call ? K * Dr * std::exp(x) : K * Dr;
  if (!(P >= lower && P <= upper)) return NAN;
  if (P == lower) return 0.0;
  if (P == upper) return INFINITY;
  const double otm = (call == (x > 0)) ? P - lower : P;
  const double beta = otm / (K * Dr * std::exp(x / 2));
  const double s = solve(-std::fabs(x), beta);
  return s / std::sqrt(T);
}

}  // namespace

double precise_call_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, true);
}

double precise_put_impvol_eur(double S, double K, double T, double r, double price, double q) {
  return impvol(S, K, T, r, price, q, false);
}

}  // namespace vexal
