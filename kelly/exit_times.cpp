// Expected exit times of a log process X(t) = nu t + v B(t), X(0) = 0.
// By Wald's identity E X(tau) = nu E tau, so
//
//   first passage to ln W (on the side of the drift): E tau = ln W / nu,
//   exit from (ln L, ln U):  E tau = (P ln U + (1 - P) ln L) / nu,
//
// P the probability of leaving at the top. The band numerator is formed
// as ln(U^P / L^(P - 1)).
//
// For wealth at k times the Kelly fraction nu = g(k); for the price itself
// nu = mu - sigma^2/2, and the price is the wealth of k' = sigma^2/mu.
//
// A level on the far side of the drift is reached with probability below
// one, so its expected passage time is infinite; ln W / nu is negative
// there and is replaced by +inf.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

static double passage_time(double t) { return t < 0 ? INFINITY : t; }

double kellyfr_exittime(double k, double mu, double sigma, double W) {
  if (any_nan(k, mu, sigma, W)) return NAN;
  return passage_time(std::log(W) / vexal::kellyfr_growth(k, mu, sigma));
}

double kellyfr_exittime_ab(double k, double mu, double sigma, double L, double U) {
  if (any_nan(k, mu, sigma, L, U)) return NAN;
  const double G = vexal::kellyfr_growth(k, mu, sigma);
  const double P = vexal::kellyfr_barriers(k, L, U);
  return std::log(std::pow(U, P) / std::pow(L, -1 + P)) / G;
}

double exittime(double mu, double sigma, double W) {
  if (any_nan(mu, sigma, W)) return NAN;
  return passage_time(std::log(W) / (mu - (sigma * sigma) / 2));
}

double exittime_ab(double mu, double sigma, double L, double U) {
  if (any_nan(mu, sigma, L, U)) return NAN;
  const double D = mu - (sigma * sigma) / 2;
  const double kp = (sigma * sigma) / mu;
  const double P = vexal::kellyfr_barriers(kp, L, U);
  return std::log(std::pow(U, P) / std::pow(L, -1 + P)) / D;
}

}  // namespace vexal
