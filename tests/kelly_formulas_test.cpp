// The closed-form Kelly formulas: fractions, growth, barrier probabilities
// and exit times, checked against each other and against simulated paths.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "core/functions.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double ln2 = std::log(2.0);

// Exit of X(t) = nu t + v B(t), X(0) = 0, from (a, b), simulated on a grid
// of step dt. Between grid points the path is a Brownian bridge, which
// crosses b with probability exp(-2 (b - x0)(b - x1) / (v^2 dt)) (and a
// likewise); drawing that event removes the grid's bias toward staying
// inside. An exit in a step is dated at the step's middle.
struct Exit {
  double p_up, t_mean, t_se;
  int paths;
};

Exit simulate(double nu, double v, double a, double b, double dt, int paths, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::normal_distribution<double> z(0.0, 1.0);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const double step_mean = nu * dt, step_sd = v * std::sqrt(dt), c = 2 / (v * v * dt);
  int up = 0;
  double sum = 0, sum2 = 0;
  for (int i = 0; i < paths; ++i) {
    double x = 0, t = 0;
    for (;;) {
      const double x1 = x + step_mean + step_sd * z(rng);
      t += dt;
      if (x1 >= b) { ++up; break; }
      if (x1 <= a) break;
      const double eu = c * (b - x) * (b - x1), ed = c * (x - a) * (x1 - a);
      if (eu < 40 || ed < 40) {
        const double pu = std::exp(-eu), pd = std::exp(-ed), r = u(rng);
        if (r < pu) { ++up; break; }
        if (r < pu + pd) break;
      }
      x = x1;
    }
    t -= dt / 2;
    sum += t;
    sum2 += t * t;
  }
  const double mean = sum / paths, var = (sum2 - sum * mean) / (paths - 1);
  return {double(up) / paths, mean, std::sqrt(var / paths), paths};
}

// Four standard errors, plus the grid's dating error for times.
void expect_matches(const Exit& s, double p_up, double t_mean, double dt) {
  const double p_se = std::sqrt(p_up * (1 - p_up) / s.paths);
  EXPECT_NEAR(s.p_up, p_up, 4 * p_se);
  EXPECT_NEAR(s.t_mean, t_mean, 4 * s.t_se + dt);
}
}  // namespace

TEST(KellyFormulas, FractionAndGrowth) {
  EXPECT_DOUBLE_EQ(vexal::kellyfr_norm(0.1, 0.2), 2.5);
  EXPECT_EQ(vexal::kellyfr_norm(-0.1, 0.5), -0.4);
  // mu/sigma = 0.5 exactly, so these are exact.
  EXPECT_EQ(vexal::kellyfr_growth(1, 0.1, 0.2), 1.0 / 8);
  EXPECT_EQ(vexal::kellyfr_growth(0.5, 0.1, 0.2), 3.0 / 32);
  EXPECT_EQ(vexal::kellyfr_growth(2, 0.1, 0.2), 0.0);
  EXPECT_EQ(vexal::kellyfr_growth(3, 0.1, 0.2), -3.0 / 8);
  // Symmetric about full Kelly; the sign of mu does not matter.
  EXPECT_EQ(vexal::kellyfr_growth(0.25, 0.3, 0.7), vexal::kellyfr_growth(1.75, 0.3, 0.7));
  EXPECT_EQ(vexal::kellyfr_growth(0.8, -0.3, 0.7), vexal::kellyfr_growth(0.8, 0.3, 0.7));
  EXPECT_EQ(vexal::kellyfr_norm(0.1, 0), kInf);
  EXPECT_TRUE(std::isnan(vexal::kellyfr_norm(0, 0)));
  EXPECT_EQ(vexal::kellyfr_growth(1, 0.1, 0), kInf);
}

TEST(KellyFormulas, BarrierProbabilities) {
  EXPECT_EQ(vexal::kellyfr_barriers(1, 0.5, 2), 2.0 / 3);  // doubles before halving
  EXPECT_DOUBLE_EQ(vexal::kellyfr_barriers(0.5, 0.5, 2), 8.0 / 9);
  EXPECT_DOUBLE_EQ(vexal::kellyfr_barriers(0.4, 0.5, 2), 16.0 / 17);
  // Overbetting: gamma = 1/3, the drift is downward.
  EXPECT_NEAR(vexal::kellyfr_barriers(3, 0.5, 2), (1 - std::cbrt(0.5)) / (std::cbrt(2.0) - std::cbrt(0.5)), 1e-15);
  EXPECT_TRUE(std::isnan(vexal::kellyfr_barriers(2, 0.5, 2)));  // 0/0
  EXPECT_TRUE(std::isnan(vexal::kellyfr_barriers(0, 0.5, 2)));  // inf/inf

  EXPECT_EQ(vexal::kellyfr_dbarrier(1, 0.3), 0.3);
  EXPECT_EQ(vexal::kellyfr_dbarrier(0.5, 0.5), 1.0 / 8);
  EXPECT_EQ(vexal::kellyfr_dbarrier(2, 0.3), 1.0);
  EXPECT_EQ(vexal::kellyfr_dbarrier(0, 0.3), 0.0);
  // Ruin is the limit of leaving at the bottom as the top recedes.
  for (double k : {0.25, 0.5, 1.0, 1.5})
    EXPECT_NEAR(vexal::kellyfr_dbarrier(k, 0.4), 1 - vexal::kellyfr_barriers(k, 0.4, 1e300), 1e-15) << k;
}

// Beyond 2x Kelly (or short of zero) the drift is downward, L is reached for
// certain, and the raw power L^(2/k - 1) would exceed 1.
TEST(KellyFormulas, RuinProbabilityIsCappedWhereTheDriftIsDownward) {
  EXPECT_EQ(vexal::kellyfr_dbarrier(3, 0.5), 1.0);
  EXPECT_EQ(vexal::kellyfr_dbarrier(-1, 0.5), 1.0);
  EXPECT_EQ(vexal::kellyfr_dbarrier(1e300, 0.5), 1.0);
  EXPECT_TRUE(std::isnan(vexal::kellyfr_dbarrier(kNaN, 0.5)));
  EXPECT_TRUE(std::isnan(vexal::kellyfr_dbarrier(0.8, -0.5)));
}

TEST(KellyFormulas, ExitTimes) {
  EXPECT_DOUBLE_EQ(vexal::kellyfr_exittime(1, 0.1, 0.2, 2), 8 * ln2);
  EXPECT_NEAR(vexal::kellyfr_exittime_ab(1, 0.1, 0.2, 0.5, 2), 8.0 / 3 * ln2, 1e-14);
  EXPECT_NEAR(vexal::exittime(0.1, 0.2, 2), ln2 / 0.08, 1e-13);
  EXPECT_NEAR(vexal::exittime_ab(0.1, 0.2, 0.5, 2), (15.0 / 17) * ln2 / 0.08, 1e-13);
  // Overbetting: leaves the band (mostly at the bottom) with negative growth.
  const double p3 = vexal::kellyfr_barriers(3, 0.5, 2);
  EXPECT_NEAR(vexal::kellyfr_exittime_ab(3, 0.1, 0.2, 0.5, 2), (2 * p3 - 1) * ln2 / -0.375, 1e-14);

  EXPECT_EQ(vexal::kellyfr_exittime(1, 0.1, 0.2, 1), 0.0);
  EXPECT_EQ(vexal::exittime(0.1, 0.2, 1), 0.0);
  EXPECT_EQ(vexal::kellyfr_exittime(2, 0.1, 0.2, 2), kInf);  // no growth
  EXPECT_TRUE(std::isnan(vexal::kellyfr_exittime(2, 0.1, 0.2, 1)));
  EXPECT_TRUE(std::isnan(vexal::kellyfr_exittime_ab(2, 0.1, 0.2, 0.5, 2)));
  EXPECT_EQ(vexal::exittime(0.125, 0.5, 2), kInf);  // mu = sigma^2/2 exactly
  EXPECT_TRUE(std::isnan(vexal::exittime_ab(0.125, 0.5, 0.5, 2)));
  EXPECT_TRUE(std::isnan(vexal::exittime_ab(0.1, 0, 0.5, 2)));
}

// The price is the wealth of a strategy holding k' = sigma^2/mu times the
// Kelly fraction, whose growth is mu - sigma^2/2.
TEST(KellyFormulas, PriceIsWealthAtFullInvestment) {
  for (double mu : {0.05, 0.1, 0.3})
    for (double sigma : {0.15, 0.2, 0.4}) {
      const double kp = sigma * sigma / mu;
      if (std::fabs(mu - sigma * sigma / 2) < 1e-3) continue;
      const double ab = vexal::exittime_ab(mu, sigma, 0.6, 1.7);
      EXPECT_NEAR(ab, vexal::kellyfr_exittime_ab(kp, mu, sigma, 0.6, 1.7), 1e-12 * std::fabs(ab)) << mu << " " << sigma;
      const double w = mu > sigma * sigma / 2 ? 1.7 : 0.6;
      const double one = vexal::exittime(mu, sigma, w);
      EXPECT_NEAR(one, vexal::kellyfr_exittime(kp, mu, sigma, w), 1e-12 * one) << mu << " " << sigma;
    }
}

// The band numerator goes through two powers and one logarithm, not
// P ln U + (1 - P) ln L; the results differ in the last bits.
TEST(KellyFormulas, BandExitFormedThroughPowers) {
  int differ = 0;
  for (double k = 0.1; k < 4; k += 0.07)
    for (double L : {0.3, 0.55, 0.9})
      for (double U : {1.1, 1.9, 3.7}) {
        const double P = vexal::kellyfr_barriers(k, L, U), G = vexal::kellyfr_growth(k, 0.07, 0.23);
        const double got = vexal::kellyfr_exittime_ab(k, 0.07, 0.23, L, U);
        EXPECT_EQ(got, std::log(std::pow(U, P) / std::pow(L, -1 + P)) / G);
        differ += got != (P * std::log(U) + (1 - P) * std::log(L)) / G;
      }
  EXPECT_GT(differ, 0);
  const double kp = (0.23 * 0.23) / 0.07, P = vexal::kellyfr_barriers(kp, 0.55, 1.9);
  EXPECT_EQ(vexal::exittime_ab(0.07, 0.23, 0.55, 1.9),
            std::log(std::pow(1.9, P) / std::pow(0.55, -1 + P)) / (0.07 - (0.23 * 0.23) / 2));
}

// A level against the drift is reached with probability below one, so the
// expected time to reach it is infinite, never negative.
TEST(KellyFormulas, LevelAgainstTheDriftTakesForever) {
  EXPECT_EQ(vexal::kellyfr_exittime(1, 0.1, 0.2, 0.5), kInf);
  EXPECT_EQ(vexal::kellyfr_exittime(3, 0.1, 0.2, 2), kInf);
  EXPECT_EQ(vexal::kellyfr_exittime(-1, 0.1, 0.2, 2), kInf);
  EXPECT_EQ(vexal::kellyfr_exittime(2, 0.1, 0.2, 0.5), kInf);
  EXPECT_EQ(vexal::exittime(0.1, 0.2, 0.5), kInf);
  EXPECT_EQ(vexal::exittime(0.01, 0.2, 2), kInf);
  EXPECT_EQ(vexal::exittime(0.1, 0.2, 0), kInf);
  // With the drift the formula stands.
  EXPECT_DOUBLE_EQ(vexal::kellyfr_exittime(3, 0.1, 0.2, 0.5), ln2 / 0.375);
  EXPECT_DOUBLE_EQ(vexal::exittime(0.01, 0.2, 0.5), ln2 / 0.01);
  EXPECT_TRUE(std::isnan(vexal::exittime(0.1, 0.2, -1)));
  EXPECT_TRUE(std::isnan(vexal::kellyfr_exittime(1, 0.1, 0.2, kNaN)));
}

// Log wealth at k times the Kelly fraction is a Brownian motion with drift
// g(k) and volatility k mu/sigma; the simulated exits must agree with the
// closed forms.
TEST(KellySimulation, WealthLeavingABand) {
  const double mu = 0.1, sigma = 0.2, L = 0.5, U = 2;
  struct Case { double k, dt; int paths; };
  for (const Case& c : {Case{1, 0.003, 10000}, Case{0.5, 0.01, 6000}, Case{3, 2e-4, 10000}}) {
    SCOPED_TRACE(c.k);
    const Exit s = simulate(vexal::kellyfr_growth(c.k, mu, sigma), c.k * mu / sigma, std::log(L), std::log(U), c.dt,
                            c.paths, 20261207 + c.paths);
    expect_matches(s, vexal::kellyfr_barriers(c.k, L, U), vexal::kellyfr_exittime_ab(c.k, mu, sigma, L, U), c.dt);
  }
}

TEST(KellySimulation, PriceLeavingABand) {
  const double mu = 0.1, sigma = 0.2, L = 0.5, U = 2, dt = 0.01;
  const Exit s = simulate(mu - sigma * sigma / 2, sigma, std::log(L), std::log(U), dt, 8000, 7);
  expect_matches(s, vexal::kellyfr_barriers(sigma * sigma / mu, L, U), vexal::exittime_ab(mu, sigma, L, U), dt);
  // A narrower, lopsided band with a faster price.
  const Exit f = simulate(0.3 - 0.5 * 0.5 / 2, 0.5, std::log(0.8), std::log(1.5), 0.001, 8000, 8);
  expect_matches(f, vexal::kellyfr_barriers(0.5 * 0.5 / 0.3, 0.8, 1.5), vexal::exittime_ab(0.3, 0.5, 0.8, 1.5), 0.001);
}

TEST(KellySimulation, FirstPassageToALevel) {
  const double dt = 0.01;
  const Exit w = simulate(vexal::kellyfr_growth(0.5, 0.1, 0.2), 0.25, -kInf, std::log(1.5), dt, 6000, 11);
  EXPECT_EQ(w.p_up, 1.0);
  EXPECT_NEAR(w.t_mean, vexal::kellyfr_exittime(0.5, 0.1, 0.2, 1.5), 4 * w.t_se + dt);
  const Exit p = simulate(0.1 - 0.2 * 0.2 / 2, 0.2, -kInf, std::log(1.5), dt, 6000, 12);
  EXPECT_NEAR(p.t_mean, vexal::exittime(0.1, 0.2, 1.5), 4 * p.t_se + dt);
}
