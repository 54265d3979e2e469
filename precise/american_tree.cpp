// The put whose exercise region is a band (q < r < 0): a Cox-Ross-Rubinstein
// tree of n steps whose last step takes the European put over one step
// instead of the payoff (which smooths its convergence to order 1/n), and
// the Richardson extrapolation 2 V(2n) - V(n). Used only where the integral
// equation of american_boundary.cpp has two boundaries to follow.
#include <cmath>
#include <vector>

#include "precise/american_boundary.h"
#include "precise/functions.h"

namespace vexal::american {

namespace {

double smoothed_tree(double S, double K, double T, double r, double sigma, double q, int n) {
  const double dt = T / n;
  const double u = std::exp(sigma * std::sqrt(dt)), d = 1 / u;
  const double p = (std::exp((r - q) * dt) - d) / (u - d);
  const double disc = std::exp(-r * dt);
  // spot[k + n] = S u^k, k = -n..n
  std::vector<double> spot(2 * static_cast<std::size_t>(n) + 1);
  for (int k = -n; k <= n; ++k) spot[k + n] = S * std::pow(u, k);
  // Layer n - 1: the larger of exercise and the European put over dt.
  std::vector<double> V(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double x = spot[2 * i - (n - 1) + n];
    const double e = precise_put_eur(x, K, dt, r, sigma, q);
    V[i] = K - x > e ? K - x : e;
  }
  for (int j = n - 2; j >= 0; --j)
    for (int i = 0; i <= j; ++i) {
      const double x = spot[2 * i - j + n];
      const double hold = disc * (p * V[i + 1] + (1 - p) * V[i]);
      V[i] = K - x > hold ? K - x : hold;
    }
  return V[0];
}

}  // namespace

double put_band_tree(double S, double K, double T, double r, double sigma, double q, int n) {
  return 2 * smoothed_tree(S, K, T, r, sigma, q, 2 * n) - smoothed_tree(S, K, T, r, sigma, q, n);
}

}  // namespace vexal::american
