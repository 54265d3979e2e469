// The Kelly fit through its exports, and its optimiser state.
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "fitting/kelly.h"
#include "fit_state_compare.h"

using vexal::OptimiserState;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

void load(std::vector<double> p, std::vector<double> b) {
  vexal::kelly_paramc();
  ASSERT_EQ(vexal::kelly_input(p.data(), b.data(), static_cast<double>(p.size())), 1.0);
}

void load_60_40() { load({0.6, 0.4}, {1, -1}); }

// The Kelly objective, recording the fractions it is evaluated at.
struct Trace {
  std::vector<double> f;
  static double call(const OptimiserState& s, void* self) {
    static_cast<Trace*>(self)->f.push_back(s.x[1]);
    return vexal::kelly_objective(s, nullptr);
  }
};

bool same_value(double a, double b) { return same_bits(&a, &b, 1); }

bool same_table(const vexal::KellyState& a, const vexal::KellyState& b) {
  return same_bits(a.prob, b.prob, vexal::kOutcomeCapacity) &&
         same_bits(a.outcome, b.outcome, vexal::kOutcomeCapacity) && a.count == b.count &&
         same_state(a.opt, b.opt);
}

}  // namespace

TEST(KellyFit, EmptyStateReadsZero) {
  vexal::kelly_paramc();
  EXPECT_EQ(vexal::kelly_f(), 0.0);
  EXPECT_EQ(vexal::kelly_growth(), 0.0);
  EXPECT_EQ(vexal::kelly_growth_sd(), 0.0);
}

TEST(KellyFit, WarmUpAndGrowingStrides) {
  load_60_40();
  OptimiserState& o = vexal::kelly_state().opt;
  o.n_params = 1;
  o.max_iter = 100;
  o.tolerance = 1e-09;
  o.step = 0.01;
  o.x[1] = 0;
  Trace t;
  vexal::opt_maximise(o, Trace::call, &t);
  // Warm-up: f(x), f(x + bump), f(after step), three times.
  EXPECT_EQ(t.f[1], 0.005);
  EXPECT_NEAR(t.f[2], 0.01, 1e-16);
  EXPECT_NEAR(t.f[5], 0.02, 1e-16);
  EXPECT_NEAR(t.f[8], 0.03, 1e-16);
  // Main passes: current point, bump, trial; strides 0.012, 0.0144, ...
  double stride = 0.012;
  for (std::size_t k = 11; k < 11 + 3 * 5; k += 3, stride *= 1.2) {
    EXPECT_NEAR(t.f[k] - t.f[k - 3], stride, 1e-15) << k;
  }
  const double f = o.x[1];
  EXPECT_NEAR(f, 0.2, 1e-4);
  EXPECT_GT(o.iter, 10);
  EXPECT_LT(o.iter, 60);

  // kelly_o is this run.
  load_60_40();
  vexal::kelly_o(0);
  EXPECT_TRUE(same_value(vexal::kelly_f(), f));
}

TEST(KellyFit, SixtyFortyFromSeveralStarts) {
  const double g = 0.6 * std::log(1.2) + 0.4 * std::log(0.8);
  const double sd = std::sqrt(0.6 * std::log(1.2) * std::log(1.2) + 0.4 * std::log(0.8) * std::log(0.8) - g * g);
  for (double f0 : {0.0, 0.9, -0.5}) {
    load_60_40();
    EXPECT_EQ(vexal::kelly_o(f0), 1.0);
    const double f = vexal::kelly_f();
    EXPECT_NEAR(f, 0.2, 1e-4) << f0;
    // At the fitted fraction, against the closed forms there.
    const double gf = 0.6 * std::log(1 + f) + 0.4 * std::log(1 - f);
    const double sf = std::sqrt(0.6 * std::pow(std::log(1 + f), 2) + 0.4 * std::pow(std::log(1 - f), 2) - gf * gf);
    EXPECT_NEAR(vexal::kelly_growth(), gf, 1e-16);
    EXPECT_NEAR(vexal::kelly_growth_sd(), sf, 1e-14);
    // And against those at 0.2: growth is flat there, its deviation is not.
    EXPECT_NEAR(vexal::kelly_growth(), g, 1e-8);
    EXPECT_NEAR(vexal::kelly_growth_sd(), sd, 2e-4);
  }
}

TEST(KellyFit, LopsidedBetRunsIntoRuin) {
  load({0.99, 0.01}, {1, -1});
  vexal::kelly_o(0.5);
  EXPECT_GT(vexal::kelly_f(), 1);
  EXPECT_TRUE(std::isnan(vexal::kelly_growth()));

  load({0.99, 0.01}, {1, -1});
  vexal::kelly_o(0.9);
  EXPECT_NEAR(vexal::kelly_f(), 0.98, 1e-4);
}

TEST(KellyFit, FractionalCountCopiesOneMoreThanItUses) {
  // Exactly three entries, so a copy of a fourth would be caught by ASan.
  const std::vector<double> p{0.6, 0.4, 0.5}, b{1, -1, 7};
  vexal::kelly_paramc();
  EXPECT_EQ(vexal::kelly_input(p.data(), b.data(), 2.5), 1.0);
  const vexal::KellyState& k = vexal::kelly_state();
  EXPECT_EQ(k.count, 2);
  EXPECT_EQ(k.prob[2], 0.5);
  EXPECT_EQ(k.outcome[2], 7);
  vexal::kelly_o(0);
  EXPECT_NEAR(vexal::kelly_f(), 0.2, 1e-4);
}

TEST(KellyFit, RunsWithoutResetCarryCounterAndLastValue) {
  load_60_40();
  vexal::kelly_o(0);
  const OptimiserState first = vexal::kelly_state().opt;
  vexal::kelly_o(0);
  const OptimiserState carried = vexal::kelly_state().opt;
  EXPECT_GT(carried.iter, first.iter);

  // Same run from a reset state given the first run's counter and fval[3]:
  // identical to the run that followed without a reset.
  load_60_40();
  vexal::kelly_state().opt.iter = first.iter;
  vexal::kelly_state().opt.fval[3] = first.fval[3];
  vexal::kelly_o(0);
  EXPECT_TRUE(same_state(vexal::kelly_state().opt, carried));

  // The carried value (the growth near 0.2) exceeds G(0.005), so the first
  // warm-up move went left; from a reset it goes right.
  load_60_40();
  vexal::kelly_state().opt.fval[3] = first.fval[3];
  OptimiserState& o = vexal::kelly_state().opt;
  o.n_params = 1, o.max_iter = 100, o.tolerance = 1e-09, o.step = 0.01, o.x[1] = 0;
  Trace t;
  vexal::opt_maximise(o, Trace::call, &t);
  EXPECT_NEAR(t.f[2], -0.01, 1e-16);

  // With a reset and a load first, fits repeat bit for bit.
  load_60_40();
  vexal::kelly_o(0);
  const OptimiserState again = vexal::kelly_state().opt;
  load_60_40();
  vexal::kelly_o(0);
  EXPECT_TRUE(same_state(vexal::kelly_state().opt, again));
  EXPECT_TRUE(same_state(again, first));
}

TEST(KellyFit, SpentCounterLeavesOnePassPerRun) {
  load_60_40();
  int runs = 0;
  while (vexal::kelly_state().opt.iter < 100 && runs < 100) {
    vexal::kelly_o(0);
    ++runs;
  }
  ASSERT_GE(vexal::kelly_state().opt.iter, 100);
  for (int i = 0; i < 3; ++i) {
    const int before = vexal::kelly_state().opt.iter;
    vexal::kelly_o(0);
    EXPECT_EQ(vexal::kelly_state().opt.iter, before + 1);
  }
}

TEST(KellyFit, OversizedLoadsAreRejectedWholesale) {
  load_60_40();
  vexal::kelly_o(0);
  static vexal::KellyState before;
  before = vexal::kelly_state();
  const std::vector<double> big(10002, 0.5);
  for (double count : {10002.0, 10001.6, -1.0, kNaN, 1e300, -0.5}) {
    EXPECT_TRUE(std::isnan(vexal::kelly_input(big.data(), big.data(), count))) << count;
    EXPECT_TRUE(same_table(vexal::kelly_state(), before)) << count;
  }
  // At capacity, from arrays of exactly that length.
  const std::vector<double> p(10001, 1.0 / 10001), b(10001, -1);
  EXPECT_EQ(vexal::kelly_input(p.data(), b.data(), 10001), 1.0);
  EXPECT_EQ(vexal::kelly_state().count, 10001);
  EXPECT_EQ(vexal::kelly_input(p.data(), b.data(), 10001.5), 1.0);  // bound 10000.5 rounds to 10000
  EXPECT_EQ(vexal::kelly_state().count, 10001);
  vexal::kelly_o(0);
  EXPECT_LT(vexal::kelly_f(), 0);
}
