// A GARCH(1,1) price path from a fixed seed, for the fit's tests and
// benchmark: r[t] = sqrt(h[t]) z[t], h[t] = omega + alpha r[t-1]^2 + beta h[t-1],
// P[t] = P[t-1] (1 + r[t]).
#ifndef VEXAL_TESTS_GARCH_SIM_H
#define VEXAL_TESTS_GARCH_SIM_H

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

inline std::vector<double> simulate_garch(int n, double omega, double alpha, double beta,
                                          std::uint32_t seed) {
  std::mt19937 gen(seed);  // the engine's output is fixed by the standard
  auto uniform = [&] { return (gen() + 0.5) / 4294967296.0; };
  std::vector<double> p(n);
  double h = omega / (1 - alpha - beta), r = 0, price = 100;
  for (int t = 0; t < n; ++t) {
    if (t > 0) {
      h = omega + alpha * r * r + beta * h;
      const double z = std::sqrt(-2 * std::log(uniform())) * std::cos(2 * std::numbers::pi * uniform());
      r = std::sqrt(h) * z;
      price *= 1 + r;
    }
    p[t] = price;
  }
  return p;
}

#endif
