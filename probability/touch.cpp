// Where a geometric Brownian motion S exp(nu t + sigma W(t)) ends and whether
// its running maximum or minimum reaches a barrier H by T; nu = mu - sigma^2/2
// is the drift of the log price and h = ln(H/S). By the reflection principle
//   P(max >= h) = N((nu T - h) / v) + q N((-h - nu T) / v)     (h > 0)
//   P(min <= h) = N((h - nu T) / v) + q N((h + nu T) / v)      (h < 0)
// with v = sigma sqrt(T) and q = (H/S)^(2 nu / sigma^2) = exp(2 nu h / sigma^2),
// the likelihood ratio that turns the reflected path's drift around.
// The barrier's side is not tested: the formulas are evaluated as they stand.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double ProbPTBB(double mu, double sigma, double T, double H, double S) {
  if (any_nan(mu, sigma, T, H, S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double h = std::log(H / S);
  const double v = sigma * std::sqrt(T);
  return snorm((h - T * nu) / v);
}

double ProbPTUB(double mu, double sigma, double T, double H, double S) {
  if (any_nan(mu, sigma, T, H, S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double h = std::log(H / S);
  const double v = sigma * std::sqrt(T);
  return 1 - snorm((h - T * nu) / v);
}

double ProbMaxPTUB(double mu, double sigma, double T, double H, double S) {
  if (any_nan(mu, sigma, T, H, S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double h = std::log(H / S);
  const double v = sigma * std::sqrt(T);
  const double q = std::pow(H / S, 2 * nu / (sigma * sigma));
  return snorm((T * nu - h) / v) + q * snorm((-h - T * nu) / v);
}

double ProbMaxPTBB(double mu, double sigma, double T, double H, double S) {
  if (any_nan(mu, sigma, T, H, S)) return NAN;
  return 1 - ProbMaxPTUB(mu, sigma, T, H, S);
}

double ProbMinPTBB(double mu, double sigma, double T, double H, double S) {
  if (any_nan(mu, sigma, T, H, S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double h = std::log(H / S);
  const double v = sigma * std::sqrt(T);
  const double q = std::pow(H / S, 2 * nu / (sigma * sigma));
  return snorm((h - T * nu) / v) + q * snorm((h + T * nu) / v);
}

double ProbMinPTUB(double mu, double sigma, double T, double H, double S) {
  if (any_nan(mu, sigma, T, H, S)) return NAN;
  return 1 - ProbMinPTBB(mu, sigma, T, H, S);
}

}  // namespace vexal
