// The precise barrier, joint and band probabilities against the mpmath
// reference of precise_probability_reference.h (one accuracy table per
// kind, printed), the expected maximum drawdown against the mpmath series
// and inversion of precise_emdd_reference.h, their semantics at the edges,
// and the exact Kelly fraction.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "include/vexal_kelly.h"
#include "precise/functions.h"
#include "precise_emdd_reference.h"
#include "precise_probability_reference.h"

namespace {

using namespace vexal;
namespace ref = probability_reference;
constexpr double kEps = std::numeric_limits<double>::epsilon();

struct Worst {
  const char* name;
  double err = 0;
  int at = -1;
  void add(double e, int row) {
    if (!(e <= err) && !std::isnan(err)) err = e, at = row;  // a NaN stays
  }
  void print() const { std::printf("  %-26s %9.3g of tol (row %d)\n", name, err, at); }
};

// Within 1e-12 relative where the true value is at least 1e-250, plus what
// 4 ulp of the log price (h and nu T) move it by: an error of one ulp there
// is amplified by the value's slope whatever the method.
double error(double got, double want, double slope, double logs) {
  return std::fabs(got - want) / (1e-12 * std::fabs(want) + 4 * kEps * logs * std::fabs(slope));
}

TEST(PreciseProbability, TouchTable) {
  using Fn = double (*)(double, double, double, double, double);
  Worst w[4] = {{"touch"}, {"stay"}, {"end below"}, {"end above"}};
  int row = 0;
  for (const auto& c : ref::kTouch) {
    const bool up = c.H > c.S;
    const Fn f[4] = {up ? precise_ProbMaxPTUB : precise_ProbMinPTBB, up ? precise_ProbMaxPTBB : precise_ProbMinPTUB,
                     precise_ProbPTBB, precise_ProbPTUB};
    const double logs = std::fabs(std::log(c.H / c.S)) + std::fabs((c.mu - c.sigma * c.sigma / 2) * c.T) + 1;
    for (int i = 0; i < 4; ++i)
      if (c.value[i] >= 1e-250)
        w[i].add(error(f[i](c.mu, c.sigma, c.T, c.H, c.S), c.value[i], c.slope[i], logs), row);
    ++row;
  }
  for (const auto& x : w) {
    x.print();
    EXPECT_LE(x.err, 1) << x.name;
  }
}

TEST(PreciseProbability, JointTable) {
  Worst w{"joint"};
  int row = 0;
  for (const auto& c : ref::kJoint) {
    const double got = c.B > c.S ? precise_ProbFPBBMaxPTUB(c.mu, c.sigma, c.T, c.B, c.X, c.S)
                                 : precise_ProbFPUBMinPTBB(c.mu, c.sigma, c.T, c.B, c.X, c.S);
    const double logs = std::fabs(std::log(c.B / c.S)) + std::fabs(std::log(c.X / c.S)) +
                        std::fabs((c.mu - c.sigma * c.sigma / 2) * c.T) + 1;
    if (c.value >= 1e-250) w.add(error(got, c.value, c.slope, logs), row);
    ++row;
  }
  w.print();
  EXPECT_LE(w.err, 1);
}

TEST(PreciseProbability, BandTable) {
  Worst stay{"band stay"}, leave{"band leave"};
  int row = 0;
  for (const auto& c : ref::kBand) {
    const double logs = std::fabs(std::log(c.U / c.L)) + std::fabs((c.mu - c.sigma * c.sigma / 2) * c.T) + 1;
    if (c.stay >= 1e-250)
      stay.add(error(precise_ProbWR(c.S, c.mu, c.sigma, c.T, c.U, c.L), c.stay, c.slope, logs), row);
    if (c.leave >= 1e-250)
      leave.add(error(precise_ProbBR(c.S, c.mu, c.sigma, c.T, c.U, c.L), c.leave, c.slope, logs), row);
    ++row;
  }
  stay.print();
  leave.print();
  EXPECT_LE(stay.err, 1);
  EXPECT_LE(leave.err, 1);
}

// E[MDD] = sigma sqrt(T) E1(mu sqrt(T) / sigma) within 1e-10 relative over
// x = mu^2 T / (2 sigma^2) from 1e-6 to 1e4, both signs of mu, at sigma = T = 1
// and rescaled (sigma = 0.3, T = 7).
TEST(PreciseProbability, EmddTable) {
  Worst w{"EMDD"};
  int row = 0;
  for (const auto& p : emdd_reference::kPoints) {
    w.add(std::fabs(precise_EMDD(p.c, 1, 1) - p.e1) / (1e-10 * p.e1), row);
    const double sigma = 0.3, T = 7, scale = sigma * std::sqrt(T);
    w.add(std::fabs(precise_EMDD(p.c * sigma / std::sqrt(T), sigma, T) - scale * p.e1) / (1e-10 * scale * p.e1), row);
    ++row;
  }
  w.print();
  EXPECT_LE(w.err, 1);
}

// Extreme inputs, drawn log-uniformly far beyond the grids (prices 1e-3 to
// 1e6, sigma 1e-6 to 50, T 1e-8 to 1000, barriers up to a factor 1000 away):
// every value a probability, and each with its complement summing to 1
// (to the rounding of two values of a few ulp each).
TEST(PreciseProbability, ExtremeInputsStayProbabilities) {
  std::mt19937_64 g(7);
  std::uniform_real_distribution<double> u(0, 1);
  auto lu = [&](double a, double b) { return std::exp(std::log(a) + u(g) * (std::log(b) - std::log(a))); };
  int bad = 0;
  for (int i = 0; i < 20000; ++i) {
    const double S = lu(1e-3, 1e6), mu = (u(g) - 0.5) * lu(1e-6, 100), s = lu(1e-6, 50), T = lu(1e-8, 1e3);
    const double H = S * lu(1e-3, 1e3), X = S * lu(1e-3, 1e3), U = S * lu(1 + 1e-12, 1e3), L = S / lu(1 + 1e-12, 1e3);
    const double p[] = {precise_ProbMaxPTUB(mu, s, T, H, S), precise_ProbMaxPTBB(mu, s, T, H, S),
                        precise_ProbMinPTBB(mu, s, T, H, S), precise_ProbMinPTUB(mu, s, T, H, S),
                        precise_ProbPTBB(mu, s, T, H, S),     precise_ProbPTUB(mu, s, T, H, S),
                        precise_ProbWR(S, mu, s, T, U, L),    precise_ProbBR(S, mu, s, T, U, L),
                        precise_ProbFPBBMaxPTUB(mu, s, T, H, X, S), precise_ProbFPUBMinPTBB(mu, s, T, H, X, S)};
    for (double v : p) bad += !(v >= 0 && v <= 1);
    for (int k = 0; k < 8; k += 2) bad += !(std::fabs(p[k] + p[k + 1] - 1) <= 1e-15);
  }
  EXPECT_EQ(bad, 0);
}

// Where the legacy functions have no answer: barriers on or beyond the
// start, a start outside the band, sigma = 0 or T = 0, bad input, NaN.
TEST(PreciseProbability, Semantics) {
  const double nan = NAN;
  struct Case { const char* what; double got, want; } cases[] = {
      {"max barrier below S: touched", precise_ProbMaxPTUB(0.1, 0.2, 1, 90, 100), 1},
      {"max barrier below S: stays 0", precise_ProbMaxPTBB(0.1, 0.2, 1, 90, 100), 0},
      {"min barrier at S: touched", precise_ProbMinPTBB(0.1, 0.2, 1, 100, 100), 1},
      {"min barrier at S: stays 0", precise_ProbMinPTUB(0.1, 0.2, 1, 100, 100), 0},
      {"joint, barrier already touched", precise_ProbFPBBMaxPTUB(0.1, 0.2, 1, 90, 100, 100),
       precise_ProbPTBB(0.1, 0.2, 1, 100, 100)},
      {"band, S below L", precise_ProbWR(80, 0.1, 0.2, 1, 120, 90), 0},
      {"band, S at U", precise_ProbWR(120, 0.1, 0.2, 1, 120, 90), 0},
      {"band, S outside: leave 1", precise_ProbBR(80, 0.1, 0.2, 1, 120, 90), 1},
      {"no barrier: H infinite", precise_ProbMaxPTBB(0.1, 0.2, 1, INFINITY, 100), 1},
      {"band without U is the touch of L", precise_ProbWR(100, 0.1, 0.2, 1, INFINITY, 90),
       precise_ProbMinPTUB(0.1, 0.2, 1, 90, 100)},
      {"sigma = 0, drift reaches H", precise_ProbMaxPTUB(0.2, 0, 1, 120, 100), 1},
      {"sigma = 0, drift short of H", precise_ProbMaxPTUB(0.1, 0, 1, 120, 100), 0},
      {"T = 0, end below", precise_ProbPTBB(0.1, 0.2, 0, 120, 100), 1},
      {"sigma = 0, end exactly at H", precise_ProbPTBB(0.0, 0, 1, 100, 100), 0.5},
      {"sigma = 0, band kept", precise_ProbWR(100, 0.1, 0, 1, 120, 90), 1},
      {"T = 0, band kept", precise_ProbWR(100, 0.1, 0.2, 0, 120, 90), 1},
      {"sigma = 0, band left", precise_ProbBR(100, 0.3, 0, 1, 120, 90), 1},
      {"BGK factor", precise_AdjBarrier(0.2, 1.0 / 252), std::exp(0.5825971579390107 * 0.2 * std::sqrt(1.0 / 252))},
      {"EMDD, no drift", precise_EMDD(0, 0.2, 4), std::sqrt(3.14159265358979323846 / 2) * 0.4},
      {"EMDD, sigma = 0, falling", precise_EMDD(-0.1, 0, 2), 0.2},
      {"EMDD, sigma = 0, rising", precise_EMDD(0.1, 0, 2), 0},
      {"EMDD, T = 0", precise_EMDD(0.1, 0.2, 0), 0},
      {"BGK factor, lower barrier", precise_AdjBarrier(-0.2, 1.0 / 252) * precise_AdjBarrier(0.2, 1.0 / 252), 1},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.got, c.want, 1e-15) << c.what;
  // NaN in any argument, a non-positive price, a negative sigma or T, L >= U.
  using F5 = double (*)(double, double, double, double, double);
  using F6 = double (*)(double, double, double, double, double, double);
  const F5 five[] = {precise_ProbPTBB, precise_ProbPTUB, precise_ProbMaxPTUB, precise_ProbMaxPTBB,
                     precise_ProbMinPTBB, precise_ProbMinPTUB};
  const F6 six[] = {precise_ProbFPBBMaxPTUB, precise_ProbFPUBMinPTBB};
  const double a5[5] = {0.1, 0.2, 1, 110, 100}, a6[6] = {0.1, 0.2, 1, 110, 105, 100};
  const double band6[6] = {100, 0.1, 0.2, 1, 120, 90};
  for (int i = 0; i < 6; ++i) {
    double b[6], j[6];
    for (int k = 0; k < 6; ++k) b[k] = k == i ? nan : band6[k], j[k] = k == i ? nan : a6[k];
    EXPECT_TRUE(std::isnan(precise_ProbWR(b[0], b[1], b[2], b[3], b[4], b[5])));
    EXPECT_TRUE(std::isnan(precise_ProbBR(b[0], b[1], b[2], b[3], b[4], b[5])));
    for (F6 f : six) EXPECT_TRUE(std::isnan(f(j[0], j[1], j[2], j[3], j[4], j[5])));
    if (i < 5) {
      double a[5];
      for (int k = 0; k < 5; ++k) a[k] = k == i ? nan : a5[k];
      for (F5 f : five) EXPECT_TRUE(std::isnan(f(a[0], a[1], a[2], a[3], a[4])));
    }
  }
  for (F5 f : five) {
    EXPECT_TRUE(std::isnan(f(0.1, -0.2, 1, 110, 100)));
    EXPECT_TRUE(std::isnan(f(0.1, 0.2, -1, 110, 100)));
    EXPECT_TRUE(std::isnan(f(0.1, 0.2, 1, 110, 0)));
    EXPECT_TRUE(std::isnan(f(0.1, 0.2, 1, -110, 100)));
  }
  EXPECT_TRUE(std::isnan(precise_ProbWR(100, 0.1, 0.2, 1, 90, 120)));   // L >= U
  EXPECT_TRUE(std::isnan(precise_ProbWR(100, 0.1, 0.2, 1, 120, 0)));    // L <= 0
  EXPECT_TRUE(std::isnan(precise_ProbBR(100, 0.1, -0.2, 1, 120, 90)));  // sigma < 0
  EXPECT_TRUE(std::isnan(precise_AdjBarrier(nan, 1)) && std::isnan(precise_AdjBarrier(0.2, -1)));
  EXPECT_TRUE(std::isnan(precise_EMDD(nan, 0.2, 1)) && std::isnan(precise_EMDD(0.1, nan, 1)) &&
              std::isnan(precise_EMDD(0.1, 0.2, nan)) && std::isnan(precise_EMDD(0.1, -0.2, 1)) &&
              std::isnan(precise_EMDD(0.1, 0.2, -1)));
  // Continuous and falling through mu = 0 (dE/dmu there is about -0.41 T).
  const double e0 = precise_EMDD(0, 0.2, 4), up = precise_EMDD(1e-9, 0.2, 4), down = precise_EMDD(-1e-9, 0.2, 4);
  EXPECT_TRUE(up < e0 && up > e0 - 2e-9 && down > e0 && down < e0 + 2e-9) << up - e0 << " " << down - e0;
  EXPECT_GT(precise_EMDD(-0.05, 0.2, 1), precise_EMDD(0, 0.2, 1));
  EXPECT_LT(precise_EMDD(0.05, 0.2, 1), precise_EMDD(0, 0.2, 1));
}

// The exact Kelly fraction: the double nearest the root of the first-order
// condition for the doubles given (mpmath at 50 digits; 0.6 and 0.4 are not
// exact, so the 60/40 bet's root is 0.19999999999999996), growth and
// deviation as the legacy accessors define them, and the errors, which
// write nothing.
TEST(KellyExact, Table) {
  struct Case {
    const char* what;
    std::vector<double> p, b;
    double f;
  } cases[] = {
      {"60/40 even money", {0.6, 0.4}, {1, -1}, 0.19999999999999996},
      {"examples/bets.csv", {0.5, 0.3, 0.2}, {1, -1, -0.5}, 0.11897503240933457},
      {"weights, not summing to 1", {3, 2}, {1, -1}, 0.2},
      {"a losing table: bet against it", {0.4, 0.6}, {1, -1}, -0.19999999999999996},
      {"2-to-1 odds at 40 %, an outcome of probability 0", {0.4, 0.6, 0}, {2, -1, -7}, 0.10000000000000003},
      {"fair table", {0.5, 0.5}, {1, -1}, 0},
  };
  for (const auto& c : cases) {
    double r[3];
    ASSERT_EQ(vexal_kelly_exact(c.p.data(), c.b.data(), static_cast<long long>(c.p.size()), r), VEXAL_OK) << c.what;
    EXPECT_EQ(r[0], c.f) << c.what;
    double g = 0, s = 0, total = 0;
    for (double p : c.p) total += p;
    for (std::size_t i = 0; i < c.p.size(); ++i) g += c.p[i] / total * std::log(1 + c.f * c.b[i]);
    for (std::size_t i = 0; i < c.p.size(); ++i) s += c.p[i] / total * std::pow(std::log(1 + c.f * c.b[i]) - g, 2);
    EXPECT_NEAR(r[1], g, 1e-15) << c.what;
    EXPECT_NEAR(r[2], std::sqrt(s), 1e-15) << c.what;
  }
  const double p[] = {0.6, 0.4}, b[] = {1, -1}, up[] = {1, 2}, bad_p[] = {0.6, -0.4}, nan_b[] = {1, NAN};
  struct Bad { const double *p, *b; long long n; int rc; } bad[] = {
      {p, b, -1, VEXAL_E_NEGATIVE}, {nullptr, b, 2, VEXAL_E_NULL}, {p, b, 0, VEXAL_E_KELLY_TABLE},
      {bad_p, b, 2, VEXAL_E_KELLY_TABLE}, {p, nan_b, 2, VEXAL_E_KELLY_TABLE}, {p, up, 2, VEXAL_E_KELLY_UNBOUNDED},
  };
  for (const auto& c : bad) {
    double r[3] = {7, 7, 7};
    EXPECT_EQ(vexal_kelly_exact(c.p, c.b, c.n, r), c.rc);
    EXPECT_TRUE(r[0] == 7 && r[1] == 7 && r[2] == 7);
  }
}

}  // namespace
