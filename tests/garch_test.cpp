// The price loader and the GARCH(1,1) fit through their exports, and the
// fast objective against a literal evaluation.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "core/numeric.h"
#include "fitting/garch.h"
#include "fit_state_compare.h"
#include "garch_sim.h"

using vexal::OptimiserState;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool same_value(double a, double b) { return same_bits(&a, &b, 1); }

bool same_series(const vexal::PriceSeries& a, const vexal::PriceSeries& b) {
  return same_bits(a.prices, b.prices, vexal::kPriceCapacity) && a.count == b.count;
}

bool same_fit(const vexal::GarchState& a, const vexal::GarchState& b) {
  return same_bits(a.result, b.result, 4) && same_value(a.target_var, b.target_var) &&
         same_state(a.opt, b.opt);
}

void load(const std::vector<double>& p) {
  vexal::garch_paramc();
  ASSERT_EQ(vexal::Price_input(p.data(), static_cast<double>(p.size()), 0), 1.0);
}

// The objective as written: returns and variances formed afresh, in arrays
// of N + 1, from the state at the moment of the call.
double literal_loglik() {
  const vexal::PriceSeries& ps = vexal::price_series();
  const vexal::GarchState& g = vexal::garch_state();
  const int n = ps.count;
  const double* P = ps.prices;
  const double V = g.target_var, a = g.opt.x[1], b = g.opt.x[2];
  std::vector<double> r(n + 1), h(n + 1);
  for (int t = 1; t <= n - 1; ++t) r[t] = (P[t] - P[t - 1]) / P[t - 1];
  if (n >= 2) h[1] = r[1] * r[1];
  for (int t = 2; t <= n - 1; ++t) {
    h[t] = ((1 - a) - b) * V + (r[t] * a) * r[t] + h[t - 1] * b;
    if (!(h[t] >= 0)) h[t] = 1e-09;
  }
  double L = 0;
  for (int t = 1; t <= n - 2; ++t) L = (L - std::log(h[t])) - r[t + 1] * r[t + 1] / h[t];
  return L;
}

// Unbiased variance of the log returns, two-pass in long double.
double log_return_variance(const std::vector<double>& p) {
  const std::size_t m = p.size() - 1;
  long double mean = 0, ss = 0;
  for (std::size_t t = 1; t <= m; ++t) mean += std::log(static_cast<long double>(p[t]) / p[t - 1]);
  mean /= m;
  for (std::size_t t = 1; t <= m; ++t) {
    const long double d = std::log(static_cast<long double>(p[t]) / p[t - 1]) - mean;
    ss += d * d;
  }
  return static_cast<double>(ss / (m - 1));
}

const std::vector<double>& garch_path() {
  static const std::vector<double> p = simulate_garch(3000, 2e-6, 0.08, 0.9, 1);
  return p;
}

}  // namespace

TEST(PriceInput, ForwardReversedAndFractionalCounts) {
  const double a[] = {1, 2, 3, 4, 5, 6};
  const vexal::PriceSeries& ps = vexal::price_series();
  vexal::garch_paramc();
  EXPECT_EQ(vexal::Price_input(a, 5, 0), 1.0);
  EXPECT_EQ(ps.count, 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ps.prices[i], a[i]);
  EXPECT_EQ(ps.prices[5], 0);

  for (double flag : {1.0, -2.0}) {
    EXPECT_EQ(vexal::Price_input(a, 5, flag), 1.0);
    EXPECT_EQ(ps.count, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ps.prices[i], 5 - i);
  }
  EXPECT_EQ(vexal::Price_input(a, 5, kNaN), 1.0);  // NaN flag reads as zero
  EXPECT_EQ(ps.prices[0], 1);

  // 5.7: six copied (bound 4.7 rounds to 5), five counted.
  vexal::garch_paramc();
  EXPECT_EQ(vexal::Price_input(a, 5.7, 0), 1.0);
  EXPECT_EQ(ps.count, 5);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ps.prices[i], a[i]);
  EXPECT_EQ(vexal::Price_input(a, 5.7, 1), 1.0);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(ps.prices[i], 6 - i);  // targets 5, 4, ..., 0
}

TEST(PriceInput, LoadsThatWouldNotFitChangeNothing) {
  const std::vector<double> p = garch_path();
  load(p);
  vexal::garch_o(0.1, 0.8);
  static vexal::PriceSeries before;
  before = vexal::price_series();
  const vexal::GarchState state = vexal::garch_state();
  const std::vector<double> big(100002, 1.0);
  for (double count : {100002.0, 100001.6, -1.0, kNaN, -kNaN, 1e300, -1e300, -0.5}) {
    for (double flag : {0.0, 1.0}) {
      EXPECT_TRUE(std::isnan(vexal::Price_input(big.data(), count, flag))) << count;
      EXPECT_TRUE(same_series(vexal::price_series(), before)) << count;
      EXPECT_TRUE(same_fit(vexal::garch_state(), state)) << count;
    }
  }
}

TEST(GarchFit, AccessorsZeroAfterReset) {
  load(garch_path());
  vexal::garch_o(0.1, 0.8);
  EXPECT_NE(vexal::garch_param0(), 0.0);
  EXPECT_EQ(vexal::garch_paramc(), 1.0);
  EXPECT_EQ(vexal::garch_param0(), 0.0);
  EXPECT_EQ(vexal::garch_param1(), 0.0);
  EXPECT_EQ(vexal::garch_param2(), 0.0);
  EXPECT_EQ(vexal::garch_param3(), 0.0);
  EXPECT_EQ(vexal::price_series().count, 0);
  EXPECT_EQ(vexal::garch_state().opt.iter, 0);
}

TEST(GarchFit, EveryObjectiveValueMatchesTheLiteralEvaluation) {
  load(garch_path());
  vexal::GarchState& g = vexal::garch_state();
  g.target_var = vexal::garch_sample_var();
  OptimiserState& o = g.opt;
  o.n_params = 2, o.max_iter = 1000, o.tolerance = 1e-09, o.step = 0.1, o.x[1] = 0.1, o.x[2] = 0.8;
  struct Both {
    vexal::GarchLoglik fast;
    int evaluations = 0, mismatches = 0;
    static double call(const OptimiserState& s, void* self) {
      auto* b = static_cast<Both*>(self);
      const double lit = literal_loglik(), fast = b->fast(s.x[1], s.x[2]);
      ++b->evaluations;
      if (!same_value(lit, fast)) ++b->mismatches;
      return lit;
    }
  } both;
  vexal::opt_maximise(o, Both::call, &both);
  EXPECT_GT(both.evaluations, 100);
  EXPECT_EQ(both.mismatches, 0);
  const double a = o.x[1], b = o.x[2], L = literal_loglik();

  // garch_o is this run.
  load(garch_path());
  vexal::garch_o(0.1, 0.8);
  EXPECT_TRUE(same_value(vexal::garch_param2(), a));
  EXPECT_TRUE(same_value(vexal::garch_param3(), b));
  EXPECT_TRUE(same_value(vexal::garch_param0(), L));

  // Including the negative and NaN floor and a start far outside the
  // stationary region.
  for (auto [x1, x2] : {std::pair{-0.5, 1.5}, std::pair{0.9, 0.9}, std::pair{kNaN, 0.5}}) {
    o.x[1] = x1, o.x[2] = x2;
    EXPECT_TRUE(same_value(literal_loglik(), both.fast(x1, x2)));
  }
}

TEST(GarchFit, TargetsTheLogReturnVariance) {
  const std::vector<double>& p = garch_path();
  load(p);
  EXPECT_EQ(vexal::garch_o(0.1, 0.8), 1.0);
  const double implied = vexal::garch_param1() / (1 - vexal::garch_param2() - vexal::garch_param3());
  EXPECT_NEAR(implied / log_return_variance(p), 1.0, 1e-9);
}

TEST(GarchFit, RecoversSimulatedParametersAndBeatsAGrid) {
  load(garch_path());
  vexal::garch_o(0.1, 0.8);
  const double L = vexal::garch_param0(), a = vexal::garch_param2(), b = vexal::garch_param3();
  EXPECT_NEAR(a, 0.08, 0.02);
  EXPECT_NEAR(b, 0.90, 0.03);

  // The same objective over alpha 0..0.30 and beta 0.50..0.99 in steps of 0.01.
  double best = -INFINITY;
  vexal::GarchState& g = vexal::garch_state();
  for (int i = 0; i <= 30; ++i)
    for (int j = 50; j <= 99; ++j) {
      g.opt.x[1] = i / 100.0, g.opt.x[2] = j / 100.0;
      const double v = literal_loglik();
      if (v > best) best = v;
    }
  EXPECT_GE(L, best);
}

TEST(GarchFit, ResetMakesFitsRepeatAndItsAbsenceCarriesOn) {
  load(garch_path());
  vexal::garch_o(0.1, 0.8);
  const vexal::GarchState first = vexal::garch_state();
  load(garch_path());
  vexal::garch_o(0.1, 0.8);
  EXPECT_TRUE(same_fit(vexal::garch_state(), first));

  // No reset: the count continues; the same run from a reset state given
  // the first run's counter and last value is the one that follows.
  vexal::garch_o(0.1, 0.8);
  const vexal::GarchState carried = vexal::garch_state();
  EXPECT_GT(carried.opt.iter, first.opt.iter);
  load(garch_path());
  vexal::garch_state().opt.iter = first.opt.iter;
  vexal::garch_state().opt.fval[3] = first.opt.fval[3];
  vexal::garch_o(0.1, 0.8);
  EXPECT_TRUE(same_fit(vexal::garch_state(), carried));

  // A spent counter leaves the warm-up and one pass.
  vexal::garch_state().opt.iter = 1000;
  vexal::garch_o(0.1, 0.8);
  EXPECT_EQ(vexal::garch_state().opt.iter, 1001);
}

TEST(GarchFit, ShortSeries) {
  // Caller arrays of exactly the count, so ASan sees any read beyond.
  for (int n : {0, 1, 2}) {
    const std::vector<double> p{100, 101};
    std::vector<double> exact(p.begin(), p.begin() + n);
    vexal::garch_paramc();
    EXPECT_EQ(vexal::Price_input(exact.data(), n, 0), 1.0);
    EXPECT_EQ(vexal::garch_o(0.1, 0.8), 1.0);
    EXPECT_EQ(vexal::garch_param0(), 0.0) << n;
  }
  EXPECT_TRUE(std::isnan(vexal::garch_param1()));  // N = 2: V divides by N - 2

  // Equal first two prices: h[1] = 0 and every value is NaN.
  const std::vector<double> flat{100, 100, 101, 99, 100};
  load(flat);
  vexal::garch_o(0.1, 0.8);
  EXPECT_TRUE(std::isnan(vexal::garch_param0()));
}

TEST(GarchFit, AtCapacity) {
  std::vector<double> p = simulate_garch(100001, 2e-6, 0.08, 0.9, 7);
  vexal::garch_paramc();
  EXPECT_EQ(vexal::Price_input(p.data(), 100001, 1), 1.0);
  EXPECT_EQ(vexal::price_series().prices[0], p.back());
  EXPECT_EQ(vexal::Price_input(p.data(), 100001.5, 0), 1.0);  // bound 100000.5 rounds to 100000
  EXPECT_EQ(vexal::price_series().count, 100001);
  EXPECT_EQ(vexal::price_series().prices[100000], p.back());
  vexal::garch_state().opt.iter = 999;  // one pass is enough here
  vexal::garch_o(0.1, 0.8);
  EXPECT_TRUE(std::isfinite(vexal::garch_param0()));
}

TEST(GarchFit, WorkingStorageRefusedGivesNaN) {
  load(garch_path());
  const vexal::ZeroAllocFn saved = vexal::work_alloc;
  vexal::work_alloc = [](std::size_t, std::size_t) -> void* { return nullptr; };
  EXPECT_EQ(vexal::garch_o(0.1, 0.8), 1.0);
  vexal::work_alloc = saved;
  EXPECT_TRUE(std::isnan(vexal::garch_param0()));
}
