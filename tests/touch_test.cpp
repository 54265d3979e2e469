// Touch probabilities and the barrier shift: the identities between them, the
// closed forms evaluated with an exact normal distribution, and a Monte Carlo
// of the path that knows nothing of the reflection principle.
#include <cmath>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "core/functions.h"

using namespace vexal;

namespace {

struct Case {
  double mu, sigma, T, S;
};

// Drifts on both sides of sigma^2/2, short and long horizons.
const Case kCases[] = {
    {0.08, 0.2, 1, 100}, {-0.05, 0.3, 0.5, 50}, {0.3, 0.15, 2, 10},
    {0.0, 0.4, 0.25, 1}, {0.125, 0.5, 3, 200}, {0.02, 0.05, 0.1, 1000},
};
const double kUp[] = {1.01, 1.1, 1.3, 2.0};    // barrier / price above
const double kDown[] = {0.99, 0.9, 0.75, 0.5};  // barrier / price below

long double exact_cdf(long double x) { return 0.5L * std::erfc(-x / std::sqrt(2.0L)); }

// The closed forms in long double with the exact distribution.
struct Exact {
  long double nu, h, v, q, T;
  Exact(const Case& c, double H) : T(c.T) {
    nu = (long double)c.mu - (long double)c.sigma * c.sigma / 2;
    h = std::log((long double)H / c.S);
    v = c.sigma * std::sqrt((long double)c.T);
    q = std::exp(2 * nu * h / ((long double)c.sigma * c.sigma));
  }
  long double below() const { return exact_cdf((h - nu * T) / v); }
  long double max_touch() const { return exact_cdf((nu * T - h) / v) + q * exact_cdf((-h - nu * T) / v); }
  long double min_touch() const { return exact_cdf((h - nu * T) / v) + q * exact_cdf((h + nu * T) / v); }
};

}  // namespace

TEST(Touch, ComplementsAddUpToOne) {
  for (const Case& c : kCases)
    for (double r : {0.5, 0.9, 1.0, 1.1, 2.0}) {
      const double H = c.S * r;
      EXPECT_NEAR(ProbPTBB(c.mu, c.sigma, c.T, H, c.S) + ProbPTUB(c.mu, c.sigma, c.T, H, c.S), 1.0, 2e-16);
      EXPECT_EQ(ProbMaxPTBB(c.mu, c.sigma, c.T, H, c.S), 1 - ProbMaxPTUB(c.mu, c.sigma, c.T, H, c.S));
      EXPECT_EQ(ProbMinPTUB(c.mu, c.sigma, c.T, H, c.S), 1 - ProbMinPTBB(c.mu, c.sigma, c.T, H, c.S));
    }
}

// Touching = ending beyond the barrier + touching and coming back (X = B).
TEST(Touch, ReflectedTermIsTheJointProbabilityAtTheBarrier) {
  for (const Case& c : kCases) {
    for (double r : kUp) {
      const double B = c.S * r;
      const double joint = ProbFPBBMaxPTUB(c.mu, c.sigma, c.T, B, B, c.S);
      EXPECT_NEAR(ProbMaxPTUB(c.mu, c.sigma, c.T, B, c.S), ProbPTUB(c.mu, c.sigma, c.T, B, c.S) + joint, 4e-16)
          << c.mu << " " << c.sigma << " " << r;
    }
    for (double r : kDown) {
      const double B = c.S * r;
      EXPECT_EQ(ProbMinPTBB(c.mu, c.sigma, c.T, B, c.S),
                ProbPTBB(c.mu, c.sigma, c.T, B, c.S) + ProbFPUBMinPTBB(c.mu, c.sigma, c.T, B, B, c.S));
    }
  }
}

TEST(Touch, BarrierAtThePrice) {
  // nu != 0: the two terms are N(x) and N(-x).
  EXPECT_NEAR(ProbMaxPTUB(0.08, 0.2, 1, 100, 100), 1.0, 2e-16);
  EXPECT_NEAR(ProbMinPTBB(0.08, 0.2, 1, 100, 100), 1.0, 2e-16);
  EXPECT_NEAR(ProbMaxPTBB(0.08, 0.2, 1, 100, 100), 0.0, 2e-16);
  EXPECT_NEAR(ProbMinPTUB(-0.3, 0.2, 1, 100, 100), 0.0, 2e-16);
  // nu = 0 (mu = sigma^2/2 exactly): both arguments are 0.
  EXPECT_EQ(ProbMaxPTUB(0.125, 0.5, 1, 100, 100), 2 * snorm(0));
  EXPECT_EQ(ProbMinPTBB(0.125, 0.5, 1, 100, 100), 2 * snorm(0));
  EXPECT_GT(ProbMaxPTUB(0.125, 0.5, 1, 100, 100), 1.0);
}

TEST(Touch, ZeroLogDriftDoublesTheTail) {
  const double v = 0.5 * std::sqrt(2.0);
  for (double H : {110.0, 150.0, 300.0}) {
    const double h = std::log(H / 100);
    EXPECT_EQ(ProbMaxPTUB(0.125, 0.5, 2, H, 100), 2 * snorm(-h / v));
    EXPECT_NEAR(ProbMaxPTUB(0.125, 0.5, 2, H, 100), 2 * ProbPTUB(0.125, 0.5, 2, H, 100), 4e-16);
  }
  // The barrier's side is not tested: below the price the result passes 1.
  EXPECT_EQ(ProbMaxPTUB(0.125, 0.5, 2, 80, 100), 2 * snorm(std::log(100.0 / 80) / v));
  EXPECT_GT(ProbMaxPTUB(0.125, 0.5, 2, 80, 100), 1.2);
}

TEST(Touch, DegenerateInputsGiveWhatTheArithmeticGives) {
  EXPECT_EQ(ProbPTBB(0.1, 0.2, 0, 90, 100), 0.0);  // h / 0 = -inf
  EXPECT_EQ(ProbPTBB(0.1, 0.2, 0, 110, 100), 1.0);
  EXPECT_TRUE(std::isnan(ProbPTBB(0.1, 0.2, 0, 100, 100)));  // 0 / 0
  EXPECT_TRUE(std::isnan(ProbMaxPTUB(0.1, 0.2, 1, -5, 100)));
  EXPECT_EQ(ProbMinPTBB(0.1, 0.0, 1, 90, 100), 0.0);  // both N at -inf, q = 0.9^inf = 0
}

TEST(Touch, AgreesWithExactNormalDistribution) {
  // snorm is within 7.5e-8 of the exact N, so each result is within
  // (number of N terms, weighted by q) * 7.5e-8.
  const long double eps = 7.5e-8L;
  for (const Case& c : kCases) {
    for (double r : kUp) {
      const double H = c.S * r;
      const Exact e(c, H);
      EXPECT_NEAR(ProbPTUB(c.mu, c.sigma, c.T, H, c.S), (double)(1 - e.below()), (double)eps);
      EXPECT_NEAR(ProbMaxPTUB(c.mu, c.sigma, c.T, H, c.S), (double)e.max_touch(), (double)((1 + e.q) * eps));
      // Joint probability with X below B: the reflected law read at x - 2b.
      const double X = c.S * (2 - r);
      const long double x = std::log((long double)X / c.S);
      const long double want = e.q * exact_cdf((x - 2 * e.h - e.nu * e.T) / e.v);
      EXPECT_NEAR(ProbFPBBMaxPTUB(c.mu, c.sigma, c.T, H, X, c.S), (double)want, (double)(e.q * eps));
    }
    for (double r : kDown) {
      const double H = c.S * r;
      const Exact e(c, H);
      EXPECT_NEAR(ProbPTBB(c.mu, c.sigma, c.T, H, c.S), (double)e.below(), (double)eps);
      EXPECT_NEAR(ProbMinPTBB(c.mu, c.sigma, c.T, H, c.S), (double)e.min_touch(), (double)((1 + e.q) * eps));
      const double X = c.S * (2 - r);
      const long double x = std::log((long double)X / c.S);
      const long double want = e.q * exact_cdf((2 * e.h - x + e.nu * e.T) / e.v);
      EXPECT_NEAR(ProbFPUBMinPTBB(c.mu, c.sigma, c.T, H, X, c.S), (double)want, (double)(e.q * eps));
    }
  }
}

// Simulates the log price in steps and decides whether the barrier was
// touched within each step from the Brownian bridge between its ends:
// P(max over the step >= b | ends y0, y1 below b) = exp(-2 (b - y0)(b - y1) / (sigma^2 dt)).
// The bridge law does not involve the drift, so no reflection formula with
// drift enters the simulation; the estimate is unbiased at any step size.
TEST(Touch, AgreesWithBridgeMonteCarlo) {
  const double mu = 0.1, sigma = 0.3, T = 1, S = 100, U = 120, D = 85, XU = 110, XD = 95;
  const int paths = 200000, steps = 16;
  const double nu = mu - sigma * sigma / 2, dt = T / steps, sd = sigma * std::sqrt(dt);
  const double bu = std::log(U / S), bd = std::log(D / S), xu = std::log(XU / S), xd = std::log(XD / S);
  std::mt19937_64 gen(20240607);
  auto uniform = [&] { return ((gen() >> 11) + 0.5) * 0x1.0p-53; };
  long up = 0, down = 0, up_below = 0, down_above = 0;
  for (int p = 0; p < paths; ++p) {
    double y = 0;
    bool hit_u = false, hit_d = false;
    for (int s = 0; s < steps; ++s) {
      const double z = std::sqrt(-2 * std::log(uniform())) * std::cos(2 * std::numbers::pi * uniform());
      const double y1 = y + nu * dt + sd * z;
      if (!hit_u) hit_u = y1 >= bu || uniform() < std::exp(-2 * (bu - y) * (bu - y1) / (sd * sd));
      if (!hit_d) hit_d = y1 <= bd || uniform() < std::exp(-2 * (bd - y) * (bd - y1) / (sd * sd));
      y = y1;
    }
    up += hit_u;
    down += hit_d;
    up_below += hit_u && y <= xu;
    down_above += hit_d && y >= xd;
  }
  auto check = [&](const char* what, long count, double want) {
    const double p = double(count) / paths;
    const double se = std::sqrt(want * (1 - want) / paths);
    EXPECT_NEAR(p, want, 4.5 * se + 1e-7) << what << " (standard error " << se << ")";
  };
  check("max touch", up, ProbMaxPTUB(mu, sigma, T, U, S));
  check("min touch", down, ProbMinPTBB(mu, sigma, T, D, S));
  check("max touch, ends below", up_below, ProbFPBBMaxPTUB(mu, sigma, T, U, XU, S));
  check("min touch, ends above", down_above, ProbFPUBMinPTBB(mu, sigma, T, D, XD, S));
}

TEST(AdjBarrier, ShiftFactorAndItsReciprocal) {
  const double dt = 1.0 / 252;
  EXPECT_EQ(AdjBarrier(0.2, dt), std::exp(std::sqrt(dt) * 0.2 * 0.5826));
  EXPECT_NEAR(AdjBarrier(0.2, dt), 1.007367, 1e-6);
  EXPECT_NEAR(AdjBarrier(-0.2, dt) * AdjBarrier(0.2, dt), 1.0, 2.3e-16);
  EXPECT_EQ(AdjBarrier(0.0, dt), 1.0);
  EXPECT_TRUE(std::isnan(AdjBarrier(0.2, -1)));
}
