// Y = exp(X), X normal with mean mu t and variance sigma^2 t:
//   E Y = exp(mu t + sigma^2 t / 2),  Var Y = (exp(sigma^2 t) - 1) exp(2 mu t + sigma^2 t),
//   median exp(mu t),  mode exp(mu t - sigma^2 t).
// Back from the mean m and deviation s of Y, with v = 1 + (s/m)^2:
//   E ln Y = ln(m / sqrt v),  sd ln Y = sqrt(ln v).
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double LogNormal_mn(double mu, double sigma, double t) {
  if (any_nan(mu, sigma, t)) return NAN;
  return std::exp(t * mu + sigma * sigma * t / 2);
}

double LogNormal_sd(double mu, double sigma, double t) {
  if (any_nan(mu, sigma, t)) return NAN;
  const double e = std::exp(t * mu * 2 + sigma * sigma * t);
  return std::sqrt((std::exp(sigma * sigma * t) - 1.0) * e);
}

double LogNormal_median(double mu, double, double t) {
  if (any_nan(mu, t)) return NAN;
  return std::exp(t * mu);
}

double LogNormal_mode(double mu, double sigma, double t) {
  if (any_nan(mu, sigma, t)) return NAN;
  return std::exp(t * mu - sigma * sigma * t);
}

double Normal_mn(double m, double s) {
  if (any_nan(m, s)) return NAN;
  return std::log(m / std::sqrt(std::pow(s / m, 2.0) + 1.0));
}

double Normal_sd(double m, double s) {
  if (any_nan(m, s)) return NAN;
  return std::sqrt(std::log(std::pow(s / m, 2.0) + 1.0));
}

}  // namespace vexal
