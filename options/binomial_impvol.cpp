// Implied volatility of an American call or put: the windowed halving
// search of window_search.h over the tree pricer.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/window_search.h"

namespace vexal {
namespace {

using Pricer = double (*)(double, double, double, double, double, double, double);

// Every probe prices floor(steps) steps.
double impvol(Pricer V, double S, double K, double T, double r, double price, double steps,
              double q) {
  const double n = to_int_floor(steps);
  return window_search([&](double sigma) { return V(S, K, T, r, sigma, n, q); }, price);
}

}  // namespace

double call_impvol_binamer(double S, double K, double T, double r, double price, double steps,
                           double q) {
  if (any_nan(S, K, T, r, price, steps, q)) return NAN;
  return impvol(call_binamer, S, K, T, r, price, steps, q);
}

double put_impvol_binamer(double S, double K, double T, double r, double price, double steps,
                          double q) {
  if (any_nan(S, K, T, r, price, steps, q)) return NAN;
  return impvol(put_binamer, S, K, T, r, price, steps, q);
}

}  // namespace vexal
