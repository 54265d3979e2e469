// American options on the binomial tree: the same doubles as the tree
// written out node by node, steps floored, cash dividends, Greeks, implied
// volatility, and NaN when working storage is refused.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/binomial.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

using Pricer = double (*)(double, double, double, double, double, double, double);
using PricerD = double (*)(double, double, double, double, double, double, const double*,
                           const double*, double);

double larger_of(double x, double y) { return x > y ? x : y; }

bool same_bits(double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; }

// The tree evaluated word for word: both powers and the discount factor at
// every node.
double literal(bool call, double S, double K, double T, double r, double sigma, double steps,
               double q) {
  const int n = vexal::to_int_floor(steps);
  if (n < -1) return kNaN;
  std::vector<double> V(static_cast<std::size_t>(n) + 2, 0.0);
  if (n == -1) return V[0];
  const double dt = T / n;
  const double u = std::exp(std::sqrt(dt) * sigma);
  const double d = 1.0 / u;
  const double g = std::exp((r - q) * dt);
  const double p = (g - d) / (u - d);
  auto intrinsic = [&](int j, int i) {
    const double du = std::pow(u, static_cast<double>(i)), dd = std::pow(d, static_cast<double>(j - i));
    return call ? (S * du) * dd - K : (-S * du) * dd + K;
  };
  for (int i = 0; i <= n; ++i) V[i] = larger_of(intrinsic(n, i), 0.0);
  for (int j = n - 1; j >= 0; --j)
    for (int i = 0; i <= j; ++i) {
      const double E = intrinsic(j, i);
      const double C = std::exp(-r * dt) * (p * V[i + 1] + (1 - p) * V[i]);
      V[i] = larger_of(C, E);
    }
  return V[0];
}

double literal_d(bool call, double S, double K, double T, double r, double sigma, double steps,
                 const double* t, const double* a, double m) {
  const int n = vexal::to_int_floor(steps);
  if (n < -1) return kNaN;
  std::vector<double> V(static_cast<std::size_t>(n) + 2, 0.0);
  if (n == -1) return V[0];
  const int L = vexal::to_int_nearest(m - 1.0);
  double D0 = 0.0;
  for (int k = 0; k <= L; ++k)
    if (t[k] < T) D0 = std::exp(-t[k] * r) * a[k] + D0;
  const double Ss = S - D0;
  const double sigmas = (S * sigma) / Ss;
  const double dt = T / n;
  const double u = std::exp(std::sqrt(dt) * sigmas);
  const double d = 1.0 / u;
  const double g = std::exp(dt * r);
  const double p = (g - d) / (u - d);
  auto X = [&](int j, int i) {
    return (Ss * std::pow(u, static_cast<double>(i))) * std::pow(d, static_cast<double>(j - i));
  };
  for (int i = 0; i <= n; ++i) {
    double A = 0.0;
    for (int k = 0; k <= L; ++k) {
      if (t[k] >= T) continue;
      if (t[k] >= i * dt) A = std::exp(-(t[k] - i * dt) * r) * a[k] + A;
    }
    V[i] = larger_of(call ? (X(n, i) - K) + A : (K - X(n, i)) - A, 0.0);
  }
  for (int j = n - 1; j >= 0; --j)
    for (int i = 0; i <= j; ++i) {
      const double E = call ? X(j, i) - K : K - X(j, i);
      const double C = std::exp(-r * dt) * (p * V[i + 1] + (1 - p) * V[i]);
      V[i] = larger_of(C, E);
    }
  return V[0];
}

struct Inputs {
  double S, K, T, r, sigma, steps, q;
};

Inputs random_inputs(std::mt19937_64& rng) {
  auto U = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  Inputs x{U(50, 150), U(50, 150), U(0.01, 3), U(-0.05, 0.15), U(0.02, 1.2), U(0, 70), U(-0.05, 0.1)};
  if (rng() % 8 == 0) x.steps = static_cast<double>(rng() % 3) + U(0, 0.99);  // n = 0, 1, 2
  if (rng() % 16 == 0) x.steps = U(200, 300);
  if (rng() % 10 == 0) x.T = std::array<double, 3>{0.0, -0.5, kNaN}[rng() % 3];
  return x;
}

// A degenerate tree (p outside [0, 1]) is floored at zero at the root; a
// well-formed one is never below zero.
double floored(double literal_value) { return literal_value < 0 ? 0.0 : literal_value; }

// The literal tree lets an option that expires now (T not > 0) take its
// bare exercise value; ours floors it at zero, gives NaN for a NaN time,
// and is otherwise the same.
double expected(double literal_value, double T) {
  if (std::isnan(T)) return kNaN;
  return T > 0 ? floored(literal_value) : larger_of(literal_value, 0.0);
}

// Swappable allocation: counts requests and can refuse the k-th one.
int g_allocs = 0;
int g_refuse = -1;
std::size_t g_first_count = 0;
void* counting_alloc(std::size_t count, std::size_t size) {
  if (g_allocs == 0) g_first_count = count;
  return g_allocs++ == g_refuse ? nullptr : std::calloc(count, size);
}
struct AllocHook {
  vexal::ZeroAllocFn saved = vexal::work_alloc;
  explicit AllocHook(int refuse = -1) {
    g_allocs = 0;
    g_refuse = refuse;
    vexal::work_alloc = counting_alloc;
  }
  ~AllocHook() { vexal::work_alloc = saved; }
};

}  // namespace

TEST(BinomialPricer, SameDoublesAsLiteralTree) {
  std::mt19937_64 rng(20261207);
  for (int trial = 0; trial < 1500; ++trial) {
    const Inputs x = random_inputs(rng);
    const double c = vexal::call_binamer(x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q);
    const double p = vexal::put_binamer(x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q);
    ASSERT_TRUE(same_bits(c, expected(literal(true, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q), x.T)))
        << trial << " S=" << x.S << " K=" << x.K << " T=" << x.T << " steps=" << x.steps;
    ASSERT_TRUE(same_bits(p, expected(literal(false, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q), x.T)))
        << trial << " S=" << x.S << " K=" << x.K << " T=" << x.T << " steps=" << x.steps;
    // Every build of the induction that this processor runs.
    using vexal::binomial::binamer;
    ASSERT_TRUE(same_bits(p, binamer(vexal::binomial::induct_generic, -1, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q)));
    if (vexal::binomial::have_avx2()) {
      ASSERT_TRUE(same_bits(c, binamer(vexal::binomial::induct_avx2, 1, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q)));
    }
  }
}

TEST(BinomialPricer, SameDoublesAsLiteralTreeWithDividends) {
  std::mt19937_64 rng(7);
  auto U = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  for (int trial = 0; trial < 800; ++trial) {
    const Inputs x = random_inputs(rng);
    double t[4], a[4];
    for (int k = 0; k < 4; ++k) {
      t[k] = U(-0.2, 1.2) * x.T;
      a[k] = U(0, 4);
    }
    if (trial % 5 == 0) t[trial % 4] = 0.0;
    if (trial % 7 == 0) t[(trial + 1) % 4] = x.T;
    const double m = static_cast<double>(trial % 5) + (trial % 3 == 0 ? 0.4 : 0.0);
    const double c = vexal::call_binamer_d(x.S, x.K, x.T, x.r, x.sigma, x.steps, t, a, m);
    const double p = vexal::put_binamer_d(x.S, x.K, x.T, x.r, x.sigma, x.steps, t, a, m);
    ASSERT_TRUE(same_bits(c, expected(literal_d(true, x.S, x.K, x.T, x.r, x.sigma, x.steps, t, a, m), x.T)))
        << trial;
    ASSERT_TRUE(same_bits(p, expected(literal_d(false, x.S, x.K, x.T, x.r, x.sigma, x.steps, t, a, m), x.T)))
        << trial;
  }
}

// The builds of the induction agree bit for bit, remainders included.
TEST(BinomialPricer, VectorBuildsAgree) {
  using vexal::binomial::Induct;
  std::vector<Induct> builds;
  if (vexal::binomial::have_avx2()) builds.push_back(vexal::binomial::induct_avx2);
  if (builds.empty()) GTEST_SKIP() << "no AVX2 on this processor";
  std::mt19937_64 rng(3);
  std::uniform_real_distribution<double> U(-2, 2);
  for (Induct build : builds)
    for (int n = 0; n <= 40; ++n) {
      std::vector<double> a(n + 1), b(n + 1), v1(n + 2), v2;
      for (auto* w : {&a, &b, &v1})
        for (double& e : *w) e = U(rng);
      v1[n + 1] = 0.0;
      v1[n % 7] = kNaN;
      v2 = v1;
      const double c = U(rng), disc = std::abs(U(rng)), p = U(rng);
      vexal::binomial::Shortcut s;
      if (n % 3) s = {n % 3 == 1 ? -1.0 : 1.0, U(rng) * n, U(rng), 0.5};
      vexal::binomial::induct_generic(v1.data(), a.data(), b.data(), n, c, disc, p, s);
      build(v2.data(), a.data(), b.data(), n, c, disc, p, s);
      for (int i = 0; i <= n + 1; ++i) ASSERT_TRUE(same_bits(v1[i], v2[i])) << n << " " << i;
    }
}

// Nodes out of the money skip the exercise test; at and near the strike
// (spot on the strike, nodes landing on it) the result must not move.
TEST(BinomialPricer, SameDoublesAtTheStrike) {
  for (int n = 1; n <= 64; ++n)
    for (double S : {100.0, std::nextafter(100.0, 0.0), std::nextafter(100.0, 200.0), 100 * 1.02, 100 / 1.02})
      for (double sigma : {0.1, 0.35}) {
        const double T = 0.25 * n;  // u = exp(sqrt(0.25) * sigma)
        for (bool call : {true, false}) {
          const Pricer V = call ? vexal::call_binamer : vexal::put_binamer;
          ASSERT_TRUE(same_bits(V(S, 100, T, 0.03, sigma, n, 0.05), literal(call, S, 100, T, 0.03, sigma, n, 0.05)))
              << n << " " << S << " " << sigma << " " << call;
        }
      }
  // Where the shortcut does not apply: negative strike or spot, p outside
  // (0, 1), powers beyond the range of doubles (NaN nodes, as the implied
  // volatility meets when it probes far up).
  for (bool call : {true, false}) {
    const Pricer V = call ? vexal::call_binamer : vexal::put_binamer;
    for (const Inputs& x : {Inputs{100, -5, 1, 0.05, 0.2, 30, 0}, Inputs{-50, 100, 1, 0.05, 0.2, 30, 0},
                            Inputs{100, 100, 1, 0.9, 0.01, 30, 0}, Inputs{100, 100, 1, -0.9, 0.01, 30, 0},
                            Inputs{100, 100, 1, 0.05, 128, 200, 0}, Inputs{100, 90, 4, 0.05, 45, 300, 0.02},
                            Inputs{1e-300, 1e-300, 1, 0.05, 0.2, 30, 0}})
      EXPECT_TRUE(same_bits(V(x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q),
                            floored(literal(call, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q))));
  }
}

TEST(BinomialPricer, StepsAreFloored) {
  for (Pricer V : {vexal::call_binamer, vexal::put_binamer}) {
    EXPECT_EQ(V(100, 95, 0.5, 0.04, 0.3, 100.9, 0.01), V(100, 95, 0.5, 0.04, 0.3, 100, 0.01));
    EXPECT_EQ(V(100, 95, 0.5, 0.04, 0.3, -0.5, 0.01), 0.0);
    EXPECT_EQ(V(100, 95, 0.5, 0.04, 0.3, -1.0, 0.01), 0.0);
    for (double bad : {-1.5, -2.0, kNaN, 1e300, -1e300, 2147483648.0})
      EXPECT_TRUE(std::isnan(V(100, 95, 0.5, 0.04, 0.3, bad, 0.01))) << bad;
  }
}

TEST(BinomialPricer, ZeroAndOneStepTrees) {
  const double S = 100, K = 95, T = 0.75, r = 0.05, sigma = 0.25, q = 0.02;
  EXPECT_EQ(vexal::call_binamer(S, K, T, r, sigma, 0.7, q), 5.0);
  EXPECT_EQ(vexal::put_binamer(S, K, T, r, sigma, 0.0, q), 0.0);
  EXPECT_EQ(vexal::put_binamer(90, K, T, r, sigma, 0.99, q), 5.0);

  const double u = std::exp(std::sqrt(T) * sigma), d = 1.0 / u;
  const double p = (std::exp((r - q) * T) - d) / (u - d);
  const double call = larger_of(
      std::exp(-r * T) * (p * larger_of(S * u - K, 0.0) + (1 - p) * larger_of(S * d - K, 0.0)), S - K);
  const double put = larger_of(
      std::exp(-r * T) * (p * larger_of(K - S * u, 0.0) + (1 - p) * larger_of(K - S * d, 0.0)), K - S);
  EXPECT_EQ(vexal::call_binamer(S, K, T, r, sigma, 1.5, q), call);
  EXPECT_EQ(vexal::put_binamer(S, K, T, r, sigma, 1.0, q), put);
}

// An option that expires now is worth its exercise value floored at zero,
// never the negative value the bare tree would give.
TEST(BinomialPricer, ExpiringNowIsFlooredIntrinsic) {
  for (double T : {0.0, -0.0, -1.0})
    for (double steps : {0.0, 1.0, 7.0, 100.0}) {
      EXPECT_EQ(vexal::call_binamer(90, 100, T, 0.05, 0.2, steps, 0.0), 0.0);
      EXPECT_EQ(vexal::call_binamer(110, 100, T, 0.05, 0.2, steps, 0.0), 10.0);
      EXPECT_EQ(vexal::put_binamer(90, 100, T, 0.05, 0.2, steps, 0.0), 10.0);
      EXPECT_EQ(vexal::put_binamer(110, 100, T, 0.05, 0.2, steps, 0.0), 0.0);
    }
  EXPECT_EQ(vexal::call_binamer(90, 100, 0.0, 0.05, 0.2, -0.5, 0.0), 0.0);
  const double t[] = {-2.0}, a[] = {3.0};
  const double D0 = std::exp(2.0 * 0.05) * 3.0;
  EXPECT_EQ(vexal::call_binamer_d(110, 100, -1.0, 0.05, 0.2, 10, t, a, 1), larger_of((110 - D0) - 100, 0.0));
  EXPECT_EQ(vexal::put_binamer_d(110, 100, -1.0, 0.05, 0.2, 10, t, a, 1), 0.0);
  EXPECT_EQ(vexal::put_binamer_d(90, 100, 0.0, 0.05, 0.2, 10, t, a, 1), 100 - (90 - D0));
}

TEST(BinomialPricer, DeepPutExercisedAtOnce) {
  EXPECT_EQ(vexal::put_binamer(10, 100, 1, 0.05, 0.2, 100, 0.0), 90.0);
  EXPECT_EQ(vexal::put_binamer(1.25, 100, 2, 0.08, 0.3, 333, 0.01), 98.75);
}

TEST(BinomialPricer, AmericanBounds) {
  // Without dividends an American call is never exercised early; a put is
  // worth at least its exercise value and more than at a lower strike.
  const double c0 = vexal::call_binamer(100, 100, 1, 0.05, 0.2, 400, 0.0);
  EXPECT_NEAR(c0, 10.4506, 1e-2);  // Black-Scholes 10.4506
  const double p0 = vexal::put_binamer(100, 100, 1, 0.05, 0.2, 400, 0.0);
  EXPECT_GT(p0, 5.5735);  // the European put
  EXPECT_NEAR(p0, 6.0904, 1e-2);
  EXPECT_GT(p0, vexal::put_binamer(100, 95, 1, 0.05, 0.2, 400, 0.0));
}

TEST(BinomialPricer, StorageFailureGivesNaN) {
  {
    AllocHook hook(0);
    EXPECT_TRUE(std::isnan(vexal::call_binamer(100, 95, 1, 0.05, 0.2, 50, 0.0)));
  }
  {
    AllocHook hook(0);
    EXPECT_TRUE(std::isnan(vexal::put_binamer(100, 95, 1, 0.05, 0.2, -1, 0.0)));
  }
  {
    AllocHook hook(1);
    EXPECT_TRUE(std::isnan(vexal::put_binamer(100, 95, 1, 0.05, 0.2, 50, 0.0)));
  }
  {
    AllocHook hook(1);
    const double t[] = {0.5}, a[] = {1.0};
    EXPECT_TRUE(std::isnan(vexal::put_binamer_d(100, 95, 1, 0.05, 0.2, 50, t, a, 1)));
  }
  {
    // The tree's working array holds n + 2 doubles.
    AllocHook hook;
    EXPECT_FALSE(std::isnan(vexal::call_binamer(100, 95, 1, 0.05, 0.2, 50.5, 0.0)));
    EXPECT_EQ(g_first_count, 52u);
  }
  // In 32 bits a tree too large to address gives NaN at once.
  if (sizeof(void*) == 4) {
    EXPECT_TRUE(std::isnan(vexal::call_binamer(100, 95, 1, 0.05, 0.2, 2147483647.0, 0.0)));
    EXPECT_TRUE(std::isnan(vexal::put_binamer(100, 95, 1, 0.05, 0.2, 1e9, 0.0)));
  }
}

TEST(BinomialDividends, NoDividendsIsThePlainTree) {
  const double t[] = {1.0, 2.5}, a[] = {2.0, 3.0};
  for (bool call : {true, false}) {
    PricerD Vd = call ? vexal::call_binamer_d : vexal::put_binamer_d;
    Pricer V = call ? vexal::call_binamer : vexal::put_binamer;
    const double plain = V(100, 105, 1, 0.05, 0.3, 150, 0.0);
    EXPECT_NEAR(Vd(100, 105, 1, 0.05, 0.3, 150, t, a, 0), plain, 1e-12 * plain);
    // Dividends at or after expiry are ignored altogether.
    EXPECT_EQ(Vd(100, 105, 1, 0.05, 0.3, 150, t, a, 2), Vd(100, 105, 1, 0.05, 0.3, 150, t, a, 0));
  }
}

TEST(BinomialDividends, CountIsRoundedToNearest) {
  const double t[] = {0.2, 0.5, 0.8}, a[] = {1.0, 1.5, 2.0};
  for (PricerD Vd : {vexal::call_binamer_d, vexal::put_binamer_d}) {
    auto at = [&](double m) { return Vd(100, 100, 1, 0.05, 0.3, 80, t, a, m); };
    EXPECT_EQ(at(2.5), at(3.0));
    EXPECT_NE(at(2.5), at(2.0));
    EXPECT_EQ(at(0.4), at(0.0));
    EXPECT_EQ(at(0.6), at(1.0));
    EXPECT_TRUE(std::isnan(at(kNaN)));
  }
}

TEST(BinomialDividends, OrderDoesNotMatter) {
  const double t1[] = {0.25, 0.75}, a1[] = {2.0, 1.0};
  const double t2[] = {0.75, 0.25}, a2[] = {1.0, 2.0};
  for (PricerD Vd : {vexal::call_binamer_d, vexal::put_binamer_d}) {
    const double x = Vd(100, 100, 1, 0.05, 0.3, 120, t1, a1, 2);
    EXPECT_NEAR(Vd(100, 100, 1, 0.05, 0.3, 120, t2, a2, 2), x, 1e-12 * x);
  }
}

TEST(BinomialDividends, DividendNowOnlyAtTheBottomNode) {
  // A dividend at time 0 lowers the escrowed spot by its amount and comes
  // back only at expiry node 0. A call struck so high that node 0 is out of
  // the money either way sees only the lower spot and higher volatility.
  const double S = 100, sigma = 0.3, amt = 4.0;
  const double t[] = {0.0}, a[] = {amt};
  const double withdiv = vexal::call_binamer_d(S, 110, 1, 0.05, sigma, 60, t, a, 1);
  const double escrowed = vexal::call_binamer(S - amt, 110, 1, 0.05, (S * sigma) / (S - amt), 60, 0.0);
  EXPECT_NEAR(withdiv, escrowed, 1e-12 * escrowed);
  // On one step the add-back reaches the down node (time 0) and not the
  // up node (time T).
  const double K = 100, T = 0.5, r = 0.05;
  const double Ss = S - amt, u = std::exp(std::sqrt(T) * ((S * sigma) / Ss)), d = 1.0 / u;
  const double p = (std::exp(T * r) - d) / (u - d);
  const double put = larger_of(std::exp(-r * T) * (p * larger_of(K - Ss * u, 0.0) +
                                                   (1 - p) * larger_of((K - Ss * d) - amt, 0.0)),
                               K - Ss);
  EXPECT_EQ(vexal::put_binamer_d(S, K, T, r, sigma, 1, t, a, 1), put);
}

TEST(BinomialGreeks, DeepPutIsLinearInSpot) {
  EXPECT_NEAR(vexal::put_delta_binamer(10, 100, 1, 0.05, 0.2, 100, 0), -1.0, 1e-12);
  EXPECT_NEAR(vexal::put_gamma_binamer(10, 100, 1, 0.05, 0.2, 100, 0), 0.0, 1e-9);
  // A call far out of the money is worth nothing at every bumped spot.
  EXPECT_EQ(vexal::call_gamma_binamer(1, 100, 0.25, 0.05, 0.2, 100, 0), 0.0);
}

TEST(BinomialGreeks, DefinitionsAndSigns) {
  const double S = 100, K = 100, T = 0.5, r = 0.04, sigma = 0.25, steps = 120.3, q = 0.01;
  for (bool call : {true, false}) {
    Pricer V = call ? vexal::call_binamer : vexal::put_binamer;
    const double delta = (call ? vexal::call_delta_binamer : vexal::put_delta_binamer)(S, K, T, r, sigma, steps, q);
    const double vega = (call ? vexal::call_vega_binamer : vexal::put_vega_binamer)(S, K, T, r, sigma, steps, q);
    const double theta = (call ? vexal::call_theta_binamer : vexal::put_theta_binamer)(S, K, T, r, sigma, steps, q);
    const double rho = (call ? vexal::call_rho_binamer : vexal::put_rho_binamer)(S, K, T, r, sigma, steps, q);
    const double gamma = (call ? vexal::call_gamma_binamer : vexal::put_gamma_binamer)(S, K, T, r, sigma, steps, q);
    EXPECT_EQ(delta, (V(1.01 * S, K, T, r, sigma, steps, q) - V(0.99 * S, K, T, r, sigma, steps, q)) / (0.02 * S));
    EXPECT_EQ(vega, (V(S, K, T, r, 1.01 * sigma, steps, q) - V(S, K, T, r, 0.99 * sigma, steps, q)) / (0.02 * sigma));
    EXPECT_EQ(theta, (V(S, K, 0.99 * T, r, sigma, steps, q) - V(S, K, 1.01 * T, r, sigma, steps, q)) / (0.02 * T));
    EXPECT_EQ(rho, (V(S, K, T, 1.01 * r, sigma, steps, q) - V(S, K, T, 0.99 * r, sigma, steps, q)) / (0.02 * r));
    const double U = V(1.01 * S, K, T, r, sigma, steps, q), M = V(S, K, T, r, sigma, steps, q),
                 D = V(0.99 * S, K, T, r, sigma, steps, q);
    EXPECT_EQ(gamma, ((U - M) / (0.01 * S) - (M - D) / (0.01 * S)) / (0.01 * S));
    EXPECT_GT(gamma, 0.0);
    EXPECT_GT(vega, 0.0);
    EXPECT_LT(theta, 0.0);
    if (call) {
      EXPECT_GT(delta, 0.0);
      EXPECT_LT(delta, 1.0);
      EXPECT_GT(rho, 0.0);
    } else {
      EXPECT_LT(delta, 0.0);
      EXPECT_GT(delta, -1.0);
      EXPECT_LT(rho, 0.0);
    }
  }
  EXPECT_TRUE(std::isnan(vexal::call_vega_binamer(S, K, T, r, 0.0, steps, q)));
  EXPECT_TRUE(std::isnan(vexal::put_rho_binamer(S, K, T, 0.0, sigma, steps, q)));
}

TEST(BinomialGreeks, FractionalStepsAreFloored) {
  using G = double (*)(double, double, double, double, double, double, double);
  for (G greek : {vexal::call_delta_binamer, vexal::put_delta_binamer, vexal::call_gamma_binamer,
                  vexal::put_gamma_binamer, vexal::call_vega_binamer, vexal::put_vega_binamer,
                  vexal::call_theta_binamer, vexal::put_theta_binamer, vexal::call_rho_binamer,
                  vexal::put_rho_binamer, vexal::call_impvol_binamer, vexal::put_impvol_binamer})
    EXPECT_EQ(greek(100, 90, 1, 0.03, 0.35, 50, 0.02), greek(100, 90, 1, 0.03, 0.35, 50.7, 0.02));
}

TEST(BinomialImpliedVol, RecoversVolatility) {
  for (bool call : {true, false}) {
    Pricer V = call ? vexal::call_binamer : vexal::put_binamer;
    Pricer IV = call ? vexal::call_impvol_binamer : vexal::put_impvol_binamer;
    for (double sigma : {0.2, 1.7, 3.3}) {
      const double price = V(100, 105, 0.5, 0.04, sigma, 80, 0.01);
      AllocHook hook;  // two working arrays per pricer call
      const double iv = IV(100, 105, 0.5, 0.04, price, 80.5, 0.01);
      EXPECT_NEAR(iv, sigma, std::ldexp(1.0, -16)) << call;
      EXPECT_EQ(g_allocs, sigma < 2 ? 32 : 64) << call << " " << sigma;
    }
  }
}

TEST(BinomialImpliedVol, UnreachablePricesAndZero) {
  {
    AllocHook hook;
    EXPECT_TRUE(std::isnan(vexal::put_impvol_binamer(100, 100, 1, 0.05, 100.0, 20, 0.0)));
    EXPECT_EQ(g_allocs, 64 * 16 * 2);
  }
  EXPECT_EQ(vexal::call_impvol_binamer(100, 100, 1, 0.05, 0.0, 50, 0.0), 0.0);
  EXPECT_TRUE(std::isnan(vexal::put_impvol_binamer(100, 100, 1, 0.05, kNaN, 50, 0.0)));
  // The deep put is worth its exercise value at every low volatility.
  EXPECT_EQ(vexal::put_impvol_binamer(10, 100, 1, 0.05, 90.0, 50, 0.0), 0.0);
}

// Held nodes whose inputs are +0 or subnormal: computed in units of 2^-1074
// they are the processor's own doubles, node by node (one step: ties of
// the double rounding included, at every magnitude of the subnormals) and
// layer by layer, for puts and calls; and whole trees long enough to decay
// through the subnormals match the literal tree either way.
namespace {
template <int kTiny>
void induct_tiny(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
                 double p, const vexal::binomial::Shortcut& s) {
  vexal::binomial::Shortcut t = s;
  t.tiny = kTiny;
  vexal::binomial::induct_generic(V, a, b, n, c, disc, p, t);
}
}  // namespace

TEST(BinomialPricer, SubnormalHeldNodesInUnitsAreTheSameDoubles) {
  using namespace vexal::binomial;
  std::mt19937_64 rng(1074);
  auto subnormal = [&](int shift) {  // +0 or m * 2^-1074, m < 2^(52 - shift)
    const std::uint64_t m = shift > 52 ? 0 : (rng() >> 12) >> shift;
    double x;
    std::memcpy(&x, &m, sizeof x);
    return x;
  };
  const double ps[] = {0.5, 0.25, 0.75, 0.4990234375, 1e-9, 1 - 1e-9};
  for (int trial = 0; trial < 20000; ++trial) {
    const std::int32_t n = trial % 4 == 0 ? 1 + static_cast<std::int32_t>(rng() % 60) : 1;
    const double p = trial % 3 ? std::uniform_real_distribution<double>(0.01, 0.99)(rng) : ps[rng() % 6];
    const double disc = trial % 5 == 0 ? 1.0 : std::uniform_real_distribution<double>(0.9, 1.0)(rng);
    const bool call = trial % 2;
    const Shortcut s{call ? 1.0 : -1.0, call ? 1e9 : -1e9, 0.0, 0.0};  // every node held
    // Random magnitudes, or values that decay away from the money (low
    // indices for a put) through the subnormals to +0, a few normal ones
    // at the money.
    std::vector<double> want(n + 2), ab(n + 1, 1.0);
    const bool decay = trial % 8 == 0;
    for (int i = 0; i <= n + 1; ++i) {
      const int away = call ? n + 1 - i : i;
      want[i] = decay ? (away < 2 ? std::ldexp(1.0, -1000 - away) : subnormal(2 * away)) : subnormal(rng() % 60);
    }
    want[n + 1] = 0.0;
    std::vector<double> hw = want, units = want;
    for (std::int32_t j = n - 1; j >= 0; --j)
      for (std::int32_t i = 0; i <= j; ++i) want[i] = disc * (p * want[i + 1] + (1 - p) * want[i]);
    induct_tiny<kTinyHardware>(hw.data(), ab.data(), ab.data(), n, 0.0, disc, p, s);
    induct_tiny<kTinyUnits>(units.data(), ab.data(), ab.data(), n, 0.0, disc, p, s);
    for (int i = 0; i <= n + 1; ++i) {
      ASSERT_TRUE(same_bits(hw[i], want[i])) << trial << " n=" << n << " i=" << i << " p=" << p;
      ASSERT_TRUE(same_bits(units[i], want[i])) << trial << " n=" << n << " i=" << i << " p=" << p;
    }
  }
  struct Tree {
    bool call;
    double S, K, T, r, sigma, steps, q;
  };
  const Tree trees[] = {{false, 100, 100, 3, 0.04, 0.2, 2000, 0.04}, {false, 100, 100, 3, 0.04, 0.2, 2000, 0},
                        {true, 100, 100, 3, 0.04, 0.2, 2000, 0.04},  {true, 80, 120, 5, 0.0, 0.3, 1500, 0.02},
                        {false, 50, 100, 10, 0.1, 0.6, 2500, 0.0}};
  for (const Tree& x : trees) {
    const double want = literal(x.call, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q);
    for (Induct build : {induct_tiny<kTinyHardware>, induct_tiny<kTinyUnits>})
      EXPECT_TRUE(same_bits(want, binamer(build, x.call ? kCall : kPut, x.S, x.K, x.T, x.r, x.sigma, x.steps, x.q)))
          << x.call << " " << x.S << " " << x.steps;
  }
}
