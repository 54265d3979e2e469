// Working arrays that cannot be obtained: the call returns NaN (a fit, its
// objective NaN, ends by the optimiser's rules), keeps nothing it obtained
// before the failure (LeakSanitizer checks that in the sanitised build), and
// leaves the library working once storage is available again.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "core/numeric.h"

namespace {

// Replaces the working-array allocation for its lifetime. Requests are
// counted from 1; `fail_from` and later ones fail (0: none fails).
class FaultyStorage {
 public:
  explicit FaultyStorage(int fail_from) : saved_(vexal::work_alloc) {
    requests_ = 0;
    failed_ = 0;
    fail_from_ = fail_from;
    vexal::work_alloc = &alloc;
  }
  ~FaultyStorage() { vexal::work_alloc = saved_; }
  FaultyStorage(const FaultyStorage&) = delete;
  FaultyStorage& operator=(const FaultyStorage&) = delete;

  static int requests() { return requests_; }
  static int failed() { return failed_; }

 private:
  static void* alloc(std::size_t count, std::size_t size) {
    ++requests_;
    if (fail_from_ > 0 && requests_ >= fail_from_) {
      ++failed_;
      return nullptr;
    }
    return std::calloc(count, size);
  }
  static inline int requests_ = 0, failed_ = 0, fail_from_ = 0;
  vexal::ZeroAllocFn saved_;
};

const double kTimes[] = {0.1, 0.3}, kAmounts[] = {1.0, 0.5};

// The binomial exports that price through the tree, at ordinary arguments.
std::vector<double> tree_results(double steps) {
  return {vexal::call_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01),
          vexal::put_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01),
          vexal::call_binamer_d(100, 95, 0.5, 0.03, 0.25, steps, kTimes, kAmounts, 2),
          vexal::put_binamer_d(100, 95, 0.5, 0.03, 0.25, steps, kTimes, kAmounts, 2),
          vexal::call_delta_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01),
          vexal::put_gamma_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01),
          vexal::call_vega_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01),
          vexal::put_theta_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01),
          vexal::call_rho_binamer(100, 95, 0.5, 0.03, 0.25, steps, 0.01)};
}

std::vector<double> series(int n) {
  std::vector<double> p(n);
  double x = 100;
  for (int i = 0; i < n; ++i) {
    x *= std::exp(0.012 * std::sin(2.3 * i) + 0.004 * std::cos(0.7 * i));
    p[i] = x;
  }
  return p;
}

struct Fit {
  double ret;
  double param[4];
};

Fit garch_fit(const std::vector<double>& p) {
  vexal::garch_paramc();
  EXPECT_EQ(vexal::Price_input(p.data(), static_cast<double>(p.size()), 0), 1.0);
  Fit f;
  f.ret = vexal::garch_o(0.1, 0.8);
  f.param[0] = vexal::garch_param0();
  f.param[1] = vexal::garch_param1();
  f.param[2] = vexal::garch_param2();
  f.param[3] = vexal::garch_param3();
  return f;
}

bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

}  // namespace

TEST(Faults, BinomialWithoutStorageIsNaN) {
  const std::vector<double> want = tree_results(50);
  for (double w : want) ASSERT_FALSE(std::isnan(w));
  {
    FaultyStorage none(1);
    for (double got : tree_results(50)) EXPECT_TRUE(std::isnan(got));
    EXPECT_GT(FaultyStorage::requests(), 0);
  }
  // Every prefix of the requests succeeds once: whichever request fails,
  // the result is NaN or the full result, and nothing obtained is kept.
  int total = 0;
  {
    FaultyStorage counting(0);
    tree_results(50);
    total = FaultyStorage::requests();
  }
  for (int k = 1; k <= total; ++k) {
    FaultyStorage faulty(k);
    const std::vector<double> got = tree_results(50);
    for (std::size_t i = 0; i < got.size(); ++i)
      EXPECT_TRUE(std::isnan(got[i]) || got[i] == want[i]) << "request " << k << ", result " << i;
  }
  const std::vector<double> again = tree_results(50);
  for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(again[i], want[i]);
}

TEST(Faults, GarchObjectiveWithoutStorageIsNaN) {
  const std::vector<double> p = series(80);
  const Fit want = garch_fit(p);
  ASSERT_EQ(want.ret, 1.0);
  ASSERT_FALSE(std::isnan(want.param[0]));
  {
    FaultyStorage none(1);
    const Fit got = garch_fit(p);
    EXPECT_EQ(got.ret, 1.0);
    if (FaultyStorage::requests() > 0) {
      EXPECT_TRUE(std::isnan(got.param[0])) << "the objective had no storage and still gave " << got.param[0];
    } else {
      // The fit asked for no working storage: nothing could fail.
      for (int j = 0; j < 4; ++j) EXPECT_TRUE(same(got.param[j], want.param[j]));
    }
  }
  int total = 0;
  {
    FaultyStorage counting(0);
    garch_fit(p);
    total = FaultyStorage::requests();
  }
  // A failure at any point of a fit ends it by the optimiser's rules.
  const int limit = total < 64 ? total : 64;
  for (int k = 1; k <= limit; ++k) {
    FaultyStorage faulty(k);
    EXPECT_EQ(garch_fit(p).ret, 1.0) << "request " << k;
  }
  const Fit again = garch_fit(p);
  for (int j = 0; j < 4; ++j) EXPECT_TRUE(same(again.param[j], want.param[j])) << j;
  vexal::garch_paramc();
}

#if defined(_WIN32) && defined(__i386__)
// In a 32-bit process 3e8 + 2 doubles (2.4 GB) cannot be had: the real
// allocator fails and the pricers say NaN.
TEST(Faults, TreeTooLargeForTheAddressSpace) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(std::isnan(vexal::call_binamer(100, 95, 0.5, 0.03, 0.25, 3e8, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::put_binamer(100, 95, 0.5, 0.03, 0.25, 3e8, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::put_binamer_d(100, 95, 0.5, 0.03, 0.25, 3e8, kTimes, kAmounts, 2)));
  EXPECT_TRUE(std::isnan(vexal::call_delta_binamer(100, 95, 0.5, 0.03, 0.25, 3e8, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::call_binamer(100, 95, 0.5, 0.03, 0.25, 2147483000.0, 0.01)));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
  // And the next ordinary call works.
  EXPECT_FALSE(std::isnan(vexal::call_binamer(100, 95, 0.5, 0.03, 0.25, 50, 0.01)));
}
#endif
