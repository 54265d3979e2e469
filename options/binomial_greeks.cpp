// Greeks of the American call and put by relative 1 % bumps of one argument,
// the up-bumped price first: (V(1.01x) - V(0.99x)) / (0.02x), theta with
// the sign of the passage of time. Gamma is the difference of two one-sided
// slopes in the spot. Steps are passed on as received.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {
namespace {

using Pricer = double (*)(double, double, double, double, double, double, double);

double delta(Pricer V, double S, double K, double T, double r, double sigma, double steps, double q) {
  const double A = V(1.01 * S, K, T, r, sigma, steps, q);
  const double B = V(0.99 * S, K, T, r, sigma, steps, q);
  return (A - B) / (0.02 * S);
}

double gamma(Pricer V, double S, double K, double T, double r, double sigma, double steps, double q) {
  const double U = V(1.01 * S, K, T, r, sigma, steps, q);
  const double M = V(1.0 * S, K, T, r, sigma, steps, q);
  const double D = V(0.99 * S, K, T, r, sigma, steps, q);
  const double up = (U - M) / (0.01 * S);
  const double down = (M - D) / (0.01 * S);
  return (up - down) / (0.01 * S);
}

double vega(Pricer V, double S, double K, double T, double r, double sigma, double steps, double q) {
  const double A = V(S, K, T, r, 1.01 * sigma, steps, q);
  const double B = V(S, K, T, r, 0.99 * sigma, steps, q);
  return (A - B) / (0.02 * sigma);
}

double theta(Pricer V, double S, double K, double T, double r, double sigma, double steps, double q) {
  const double A = V(S, K, 1.01 * T, r, sigma, steps, q);
  const double B = V(S, K, 0.99 * T, r, sigma, steps, q);
  return (B - A) / (0.02 * T);
}

double rho(Pricer V, double S, double K, double T, double r, double sigma, double steps, double q) {
  const double A = V(S, K, T, 1.01 * r, sigma, steps, q);
  const double B = V(S, K, T, 0.99 * r, sigma, steps, q);
  return (A - B) / (0.02 * r);
}

}  // namespace

#define VEXAL_BINOMIAL_GREEK(greek)                                                              \
  double call_##greek##_binamer(double S, double K, double T, double r, double sigma,         \
                                double steps, double q) {                                     \
    if (any_nan(S, K, T, r, sigma, steps, q)) return NAN;                                     \
    return greek(call_binamer, S, K, T, r, sigma, steps, q);                                  \
  }                                                                                           \
  double put_##greek##_binamer(double S, double K, double T, double r, double sigma,          \
                               double steps, double q) {                                      \
    if (any_nan(S, K, T, r, sigma, steps, q)) return NAN;                                     \
    return greek(put_binamer, S, K, T, r, sigma, steps, q);                                   \
  }

VEXAL_BINOMIAL_GREEK(delta)
VEXAL_BINOMIAL_GREEK(gamma)
VEXAL_BINOMIAL_GREEK(vega)
VEXAL_BINOMIAL_GREEK(theta)
VEXAL_BINOMIAL_GREEK(rho)

#undef VEXAL_BINOMIAL_GREEK

}  // namespace vexal
