// The volatility at which the European price equals the target, on a
// 2^-16 grid (see window_search.h).
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/window_search.h"

namespace vexal {

double call_impvol_eur(double S, double K, double T, double r, double price, double q) {
  if (any_nan(S, K, T, r, price, q)) return NAN;
  return window_search([&](double v) { return call_eur(S, K, T, r, v, q); }, price);
}

double put_impvol_eur(double S, double K, double T, double r, double price, double q) {
  if (any_nan(S, K, T, r, price, q)) return NAN;
  return window_search([&](double v) { return put_eur(S, K, T, r, v, q); }, price);
}

}  // namespace vexal
