// The American put on a binomial tree, for the cases the boundary solve does
// not take: the band regime (q < r < 0), where the exercise region lies
// between two boundaries, and the rare market where the solve reports that
// it failed to converge. The tree is centred on the drift (up and down
// factors e^{mu dt +- sigma sqrt(dt)}, mu = r - q - sigma^2/2, so that the
// probability stays near 1/2 for any r, q and sigma); its last step takes
// the European put over one step instead of the payoff, which smooths the
// convergence to order 1/n, and 2 V(2n) - V(n) extrapolates it.
#include <cmath>
#include <vector>

#include "precise/american_boundary.h"
#include "precise/functions.h"

namespace vexal::american {

namespace {

double smoothed_tree(double S, double K, double T, double r, double sigma, double q, int n) {
  const double dt = T / n;
  const double mu = (r - q - sigma * sigma / 2) * dt, step = sigma * std::sqrt(dt);
  const double u = std::exp(mu + step), d = std::exp(mu - step);
  const double p = (std::exp((r - q) * dt) - d) / (u - d);
  const double disc = std::exp(-r * dt);
  // Node (j, i) carries S e^{j mu + (2i - j) step}: spot[k + n] = e^{k step}
  // and drift[j] = S e^{j mu}, exponents held within +-700 (where a put is
  // worth K or nothing), so that no product overflows.
  auto bounded = [](double x) { return std::exp(x < -700 ? -700 : x > 700 ? 700 : x); };
  std::vector<double> spot(2 * static_cast<std::size_t>(n) + 1), drift(static_cast<std::size_t>(n));
  const double lnS = std::log(S);
  for (int k = -n; k <= n; ++k) spot[k + n] = bounded(k * step);
  for (int j = 0; j < n; ++j) drift[j] = bounded(lnS + j * mu);
  // Layer n - 1: the larger of exercise and the European put over dt.
  std::vector<double> V(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double x = drift[n - 1] * spot[2 * i - (n - 1) + n];
    const double e = precise_put_eur(x, K, dt, r, sigma, q);
    V[i] = K - x > e ? K - x : e;
  }
  for (int j = n - 2; j >= 0; --j)
    for (int i = 0; i <= j; ++i) {
      const double x = drift[j] * spot[2 * i - j + n];
      const double hold = disc * (p * V[i + 1] + (1 - p) * V[i]);
      V[i] = K - x > hold ? K - x : hold;
    }
  return V[0];
}

}  // namespace

double put_tree(double S, double K, double T, double r, double sigma, double q, int n) {
  return 2 * smoothed_tree(S, K, T, r, sigma, q, 2 * n) - smoothed_tree(S, K, T, r, sigma, q, n);
}

}  // namespace vexal::american
