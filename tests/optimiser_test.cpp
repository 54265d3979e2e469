// The gradient-ascent routine on objectives built for the purpose.
#include <cmath>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fitting/gradient_ascent.h"

using vexal::OptimiserState;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// An objective from a lambda, recording every point it is asked about.
struct Probe {
  explicit Probe(std::function<double(const OptimiserState&)> fn) : f(std::move(fn)) {}
  std::function<double(const OptimiserState&)> f;
  std::vector<std::vector<double>> points;
  static double call(const OptimiserState& s, void* self) {
    auto* p = static_cast<Probe*>(self);
    p->points.push_back({s.x[1], s.x[2], s.x[3]});
    return p->f(s);
  }
};

OptimiserState settings(int n, int max_iter, double step, std::vector<double> x0) {
  OptimiserState s{};
  s.n_params = n;
  s.max_iter = max_iter;
  s.tolerance = 1e-09;
  s.step = step;
  for (int i = 1; i <= n; ++i) s.x[i] = x0[i - 1];
  return s;
}

}  // namespace

TEST(Gradient, BumpsFromOldGradientAndNormInCoordinateOrder) {
  OptimiserState s = settings(2, 10, 0.1, {1.0, 2.0});
  s.grad[1] = 3;
  s.grad[2] = 4;
  s.grad_norm = 5;
  s.fval[3] = 0.5;
  Probe p{[](const OptimiserState& st) { return st.x[1] + 10 * st.x[2]; }};
  vexal::opt_gradient(s, Probe::call, &p);
  ASSERT_EQ(p.points.size(), 2u);
  const double h1 = (0.1 * 3) / (2 * 5.0), h2 = (0.1 * 4) / (2 * 5.0);
  EXPECT_EQ(p.points[0][0], h1 + 1.0);
  EXPECT_EQ(p.points[0][1], 2.0);
  EXPECT_EQ(p.points[1][0], 1.0);  // restored exactly
  EXPECT_EQ(p.points[1][1], h2 + 2.0);
  EXPECT_EQ(s.grad[1], ((h1 + 1.0 + 20.0) - 0.5) / h1);
  EXPECT_EQ(s.grad[2], ((1.0 + 10 * (h2 + 2.0)) - 0.5) / h2);
  EXPECT_EQ(s.grad_norm, std::sqrt(s.grad[1] * s.grad[1] + s.grad[2] * s.grad[2]));
  EXPECT_EQ(s.x[1], 1.0);
  EXPECT_EQ(s.x[2], 2.0);
}

TEST(Gradient, ZeroOrNaNSubstitutions) {
  // A zero old component gives a zero bump: the difference is taken over 1e-12.
  OptimiserState s = settings(1, 10, 0.1, {0.0});
  s.grad[1] = 0;
  s.grad_norm = 1;
  s.fval[3] = 2;
  Probe five{[](const OptimiserState&) { return 5.0; }};
  vexal::opt_gradient(s, Probe::call, &five);
  EXPECT_EQ(s.grad[1], 3 / 1e-12);

  // A NaN bump likewise; a NaN or zero difference gives 1e-05.
  s.grad[1] = 1;
  s.grad_norm = kNaN;
  Probe nan{[](const OptimiserState&) { return kNaN; }};
  vexal::opt_gradient(s, Probe::call, &nan);
  EXPECT_EQ(s.grad[1], 1e-05);
  s.fval[3] = 5;
  vexal::opt_gradient(s, Probe::call, &five);
  EXPECT_EQ(s.grad[1], 1e-05);
  EXPECT_EQ(s.grad_norm, 1e-05);
}

TEST(Maximise, ConstantObjectiveStopsInFirstPass) {
  OptimiserState s = settings(2, 1000, 0.1, {0.3, 0.4});
  Probe p{[](const OptimiserState&) { return 7.0; }};
  vexal::opt_maximise(s, Probe::call, &p);
  EXPECT_EQ(p.points.size(), 3u * 4 + 4);  // warm-up and one pass
  EXPECT_EQ(s.iter, 1);
  EXPECT_EQ(s.step, 0.1);
  EXPECT_EQ(s.grad[1], 1e-05);
  EXPECT_EQ(s.grad[2], 1e-05);
  for (int i = 1; i <= 2; ++i) EXPECT_EQ(s.x[i], 1e-05 * 0.1 / s.grad_norm + s.x_prev[i]);
}

TEST(Maximise, QuadraticConvergesWithinEvaluationBudget) {
  OptimiserState s = settings(2, 1000, 0.1, {0.0, 0.0});
  Probe p{[](const OptimiserState& st) {
    return -(st.x[1] - 0.7) * (st.x[1] - 0.7) - 2 * (st.x[2] + 0.3) * (st.x[2] + 0.3);
  }};
  vexal::opt_maximise(s, Probe::call, &p);
  EXPECT_NEAR(s.x[1], 0.7, 1e-3);
  EXPECT_NEAR(s.x[2], -0.3, 1e-3);
  EXPECT_LT(s.iter, 1000);
  EXPECT_EQ(p.points.size(), 12u + 4u * s.iter);
}

TEST(Maximise, FirstGradientUsesLeftOverValue) {
  // f rises to the right; a large value left in fval[3] makes the first
  // difference negative, so the first move goes left.
  OptimiserState s = settings(1, 1000, 0.01, {0.0});
  s.fval[3] = 100;
  Probe p{[](const OptimiserState& st) { return st.x[1]; }};
  s.max_iter = 1;
  vexal::opt_maximise(s, Probe::call, &p);
  ASSERT_GE(p.points.size(), 3u);
  EXPECT_EQ(p.points[2][0], -0.01);

  OptimiserState t = settings(1, 1, 0.01, {0.0});
  Probe q{p.f};
  vexal::opt_maximise(t, Probe::call, &q);
  EXPECT_EQ(q.points[2][0], 0.01);
}

TEST(Maximise, IterationCountCarriesOver) {
  Probe p{[](const OptimiserState& st) { return -(st.x[1] - 3) * (st.x[1] - 3); }};
  OptimiserState s = settings(1, 5, 0.01, {0.0});
  vexal::opt_maximise(s, Probe::call, &p);
  EXPECT_EQ(s.iter, 5);  // far from the top: the cap stops it
  for (int run = 1; run <= 3; ++run) {
    p.points.clear();
    s.step = 0.01;
    vexal::opt_maximise(s, Probe::call, &p);
    EXPECT_EQ(s.iter, 5 + run);
    EXPECT_EQ(p.points.size(), 9u + 3u);  // warm-up and one pass
  }
  vexal::opt_reset(s);
  EXPECT_EQ(s.iter, 0);
  EXPECT_EQ(s.fval[3], 0.0);
  EXPECT_EQ(s.step, 0.0);
}

TEST(Maximise, GrowthUsesValuesBeforeAcceptanceAndBothRulesCanFire) {
  // Scripted values: fval[1], fval[2], fval[3] after the warm-up are the
  // 1st, 4th and 9th; the first pass then evaluates 10 (current point),
  // 11 (bump), 12 (trial).
  auto scripted = [](std::vector<double> v) {
    return [v, k = std::size_t{0}](const OptimiserState&) mutable { return v[k++ % v.size()]; };
  };
  // 1, 2, 3: ratio 1 > 0 grows the step; accepted.
  OptimiserState s = settings(1, 1, 0.1, {0.0});
  Probe up{scripted({1, 0, 0, 2, 0, 0, 0, 0, 3, 3, 4, 3})};
  vexal::opt_maximise(s, Probe::call, &up);
  EXPECT_EQ(s.step, 1.2 * 0.1);
  EXPECT_EQ(s.fval[1], 2);
  EXPECT_EQ(s.fval[2], 3);

  // 3, 2, 1: ratio 1 > 0 grows, the worse trial halves; rejected.
  OptimiserState t = settings(1, 1, 0.1, {0.0});
  Probe down{scripted({3, 0, 0, 2, 0, 0, 0, 0, 1, 1, 4, 1})};
  vexal::opt_maximise(t, Probe::call, &down);
  EXPECT_EQ(t.step, 1.2 * 0.1 / 2.0);
  EXPECT_EQ(t.fval[1], 3);
  EXPECT_EQ(t.fval[2], 2);
  EXPECT_EQ(down.points[9][0], t.x_prev[1]);  // evaluated at the restored point
  EXPECT_EQ(std::fabs(t.x[1] - t.x_prev[1]), t.step);
}

TEST(Maximise, NaNRegionEndsTheRunThere) {
  // Rises towards 2 but is NaN beyond 1: the growing step lands in the NaN
  // region and the run ends at that point.
  OptimiserState s = settings(1, 1000, 0.01, {0.0});
  Probe p{[](const OptimiserState& st) { return st.x[1] > 1 ? kNaN : -(st.x[1] - 2) * (st.x[1] - 2); }};
  vexal::opt_maximise(s, Probe::call, &p);
  EXPECT_GT(s.x[1], 1);
  EXPECT_TRUE(std::isnan(s.fval[3]));
  EXPECT_EQ(p.points.back()[0], s.x[1]);
}

TEST(Maximise, ParameterCountOutsideRecordDoesNothing) {
  for (int n : {0, 4, -1}) {
    OptimiserState s = settings(1, 10, 0.1, {0.5});
    s.n_params = n;
    Probe p{[](const OptimiserState&) { return 1.0; }};
    vexal::opt_maximise(s, Probe::call, &p);
    EXPECT_TRUE(p.points.empty());
  }
}
