// Joint law of a barrier touch and the final price: with b = ln(B/S),
// x = ln(X/S), v = sigma sqrt(T) and q = (B/S)^(2 nu / sigma^2),
//   P(max >= b, X(T) <= x) = q N((x - 2b - nu T) / v)    (x <= b, b > 0)
//   P(min <= b, X(T) >= x) = q N((2b - x + nu T) / v)    (x >= b, b < 0)
// (reflect the path at its first passage through b). At X = B these are the
// reflected terms of the touch probabilities.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double ProbFPBBMaxPTUB(double mu, double sigma, double T, double B, double X, double S) {
  if (any_nan(mu, sigma, T, B, X, S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double b = std::log(B / S);
  const double x = std::log(X / S);
  const double v = sigma * std::sqrt(T);
  const double q = std::pow(B / S, 2 * nu / (sigma * sigma));
  return q * snorm((x - 2 * b - T * nu) / v);
}

double ProbFPUBMinPTBB(double mu, double sigma, double T, double B, double X, double S) {
  if (any_nan(mu, sigma, T, B, X, S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double b = std::log(B / S);
  const double x = std::log(X / S);
  const double v = sigma * std::sqrt(T);
  const double q = std::pow(B / S, 2 * nu / (sigma * sigma));
  return q * snorm((2 * b - x + T * nu) / v);
}

}  // namespace vexal
