// Hostile numbers in every argument position of every export: every call
// returns promptly, and where the library defines the result for such
// input, that result is asserted.
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "core/numeric.h"
#include "exports/calls.h"
#include "exports/export_info.h"
#include "exports/in_process.h"
#include "library_loader.h"
#include "typical_args.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();

// Safe in any position, counts included: none of them entitles an export to
// more than a few elements, and none floors to a large step count.
const double kHostile[] = {kNaN,   -kNaN, kInf,  -kInf,  0.0,  -0.0,  kTiny, -kTiny, 1e-310, 1e-300,
                           1e300,  -1e300, kMax, -kMax,  -1.0, -0.5,  -1.5,  -2.0,  -1e9,   0.4,
                           0.5,    1.5,    2.5,  2147483648.5, 4294967296.0, -2147483649.0};

constexpr std::size_t kArrayLength = 64;


std::vector<double> ordinary_array(const std::string& name, std::size_t which) {
  std::vector<double> a(kArrayLength);
  for (std::size_t i = 0; i < kArrayLength; ++i) {
    const double x = static_cast<double>(i);
    if (name == "probs") a[i] = 1.0 / kArrayLength;
    else if (name == "outcomes") a[i] = (i % 2 ? -0.5 : 1.0) + 0.01 * x;
    else if (name == "times") a[i] = 0.05 + 0.07 * x;
    else if (name == "amounts") a[i] = 0.5;
    else a[i] = 100.0 + 3.0 * std::sin(x + static_cast<double>(which)) + 0.1 * x;
  }
  // A bar's high is above its open and close, its low below.
  if (name == "high") for (double& v : a) v += 2.0;
  if (name == "low") for (double& v : a) v -= 2.0;
  return a;
}

using Call = vexal::CallArgs;

Call ordinary_call(const vexal::ExportInfo& e) {
  Call c;
  for (std::size_t i = 0; i < e.argc; ++i) {
    if (e.args[i].is_array) c.arrays.push_back(ordinary_array(e.args[i].name, c.arrays.size()));
    else c.nums.push_back(typical_value(e.args[i].name));
  }
  return c;
}

using ExportedCaller = double (*)(void*, const Call&);
#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_BAD_INPUT_ROW(name, args, ...) &vexal::Exported<double>::call<VEXAL_TYPES(args)>,
const ExportedCaller kExportedCallers[] = {VEXAL_EXPORT_TABLE(VEXAL_BAD_INPUT_ROW)};
#undef VEXAL_BAD_INPUT_ROW
#undef N
#undef A
const auto& kCallers = vexal::in_process<Call>;

// Generous for a sanitised or emulated build; the calls here take
// microseconds when nothing loops.
constexpr double kSecondsPerCall = 5.0;

double timed(std::size_t index, const Call& c, double* seconds) {
  const auto start = std::chrono::steady_clock::now();
  const double r = kCallers[index](c);
  *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return r;
}

// Equal as doubles, NaN equal to NaN.
bool same(double a, double b) { return (std::isnan(a) && std::isnan(b)) || a == b; }

// Counts the working arrays asked for; fails them when `fail` is set.
struct AllocationSpy {
  static inline int requests = 0;
  static inline bool fail = false;
  static void* alloc(std::size_t count, std::size_t size) {
    ++requests;
    return fail ? nullptr : std::calloc(count, size);
  }
  vexal::ZeroAllocFn saved;
  explicit AllocationSpy(bool fail_all = false) : saved(vexal::work_alloc) {
    requests = 0;
    fail = fail_all;
    vexal::work_alloc = &alloc;
  }
  ~AllocationSpy() { vexal::work_alloc = saved; }
};

// f(call, argument name, h) for every hostile h in every number position
// of e, the other arguments ordinary.
template <class F> void for_each_hostile_number(const vexal::ExportInfo& e, F f) {
  std::size_t num = 0;
  for (std::size_t a = 0; a < e.argc; ++a) {
    if (e.args[a].is_array) continue;
    for (double h : kHostile) {
      Call c = ordinary_call(e);
      c.nums[num] = h;
      f(c, e.args[a].name, h);
    }
    ++num;
  }
}

}  // namespace

TEST(BadInput, HostileNumberInEveryPositionReturns) {
  for (std::size_t i = 0; i < vexal::kExportCount; ++i) {
    const vexal::ExportInfo& e = vexal::kExports[i];
    for_each_hostile_number(e, [&](const Call& c, const char* arg, double h) {
      double seconds = 0;
      timed(i, c, &seconds);
      EXPECT_LT(seconds, kSecondsPerCall) << e.name << " with " << arg << " = " << h;
    });
  }
}

TEST(BadInput, HostileArrayElementsReturn) {
  for (std::size_t i = 0; i < vexal::kExportCount; ++i) {
    const vexal::ExportInfo& e = vexal::kExports[i];
    for (std::size_t arr = 0; arr < ordinary_call(e).arrays.size(); ++arr) {
      for (double h : kHostile) {
        for (int whole = 0; whole < 2; ++whole) {
          Call c = ordinary_call(e);
          if (whole) for (double& v : c.arrays[arr]) v = h;
          else c.arrays[arr][0] = c.arrays[arr][3] = h;
          double seconds = 0;
          timed(i, c, &seconds);
          EXPECT_LT(seconds, kSecondsPerCall) << e.name << " with array " << arr << " holding " << h;
        }
      }
    }
  }
}

// The shipped library (Vexal.dll under wine, libvexal.so natively) takes
// the same hostile numbers through its exports and returns what the same
// code returns in process. Both start from the load-time state and see the
// same calls, so the fits and the generator agree too.
TEST(BadInput, SameThroughTheLoadedLibrary) {
  LoadedLibrary lib;
  ASSERT_TRUE(lib.ok());
  vexal::garch_paramc();
  vexal::kelly_paramc();
  for (std::size_t i = 0; i < vexal::kExportCount; ++i) {
    const vexal::ExportInfo& e = vexal::kExports[i];
    void* fp = lib.find(LoadedLibrary::exported_name(e));
    ASSERT_NE(fp, nullptr) << LoadedLibrary::exported_name(e);
    if (!std::strcmp(e.name, "RanMTInit")) {  // same generator state on both sides from here
      vexal::RanMTInit(5489);
      kExportedCallers[i](fp, Call{{5489}, {}});
    }
    for_each_hostile_number(e, [&](const Call& c, const char* arg, double h) {
      const double want = kCallers[i](c);
      const double got = kExportedCallers[i](fp, c);
      // Up to the last bits: the two may differ in how the C runtime's
      // exp, log and pow round.
      const bool close = same(got, want) || std::fabs(got - want) <= 1e-12 * std::fabs(want);
      EXPECT_TRUE(close) << e.name << " with " << arg << " = " << h << ": " << got << " in the library, "
                         << want << " in process";
    });
  }
  vexal::garch_paramc();
  vexal::kelly_paramc();
}

// Loads that would not fit the module's tables are refused with NaN and
// change nothing; loads that fit return 1.0.
TEST(BadInput, OversizedLoadsAreRefused) {
  std::vector<double> big(100004);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = 100.0 + std::sin(0.1 * static_cast<double>(i));
  for (double count : {kNaN, -kNaN, kInf, -kInf, 1e300, -1e300, -1.0, -0.5, -2147483649.0, 2147483648.5,
                       100001.9, 100002.0, 100002.5, 1e6}) {
    EXPECT_TRUE(std::isnan(vexal::Price_input(big.data(), count, 0))) << count;
    EXPECT_TRUE(std::isnan(vexal::Price_input(big.data(), count, 1))) << count;
  }
  for (double count : {0.0, -0.0, 0.4, 1.0, 5.7, 100000.5, 100001.0, 100001.4, 100001.5})
    EXPECT_EQ(vexal::Price_input(big.data(), count, 0), 1.0) << count;

  std::vector<double> p(big.begin(), big.begin() + 10002), b(10002, 0.25);
  for (double count : {kNaN, kInf, -kInf, 1e300, -1.0, -0.5, 10001.9, 10002.0, 10002.5, 1e6})
    EXPECT_TRUE(std::isnan(vexal::kelly_input(p.data(), b.data(), count))) << count;
  for (double count : {0.0, -0.0, 0.4, 2.0, 10000.5, 10001.0, 10001.4, 10001.5})
    EXPECT_EQ(vexal::kelly_input(p.data(), b.data(), count), 1.0) << count;
  vexal::garch_paramc();
  vexal::kelly_paramc();
}

TEST(BadInput, RefusedLoadKeepsTheLoadedSeries) {
  std::vector<double> prices(60), other(100004, 1.0);
  for (std::size_t i = 0; i < prices.size(); ++i)
    prices[i] = 100.0 * std::exp(0.01 * std::sin(1.7 * static_cast<double>(i)) + 0.002 * static_cast<double>(i));
  auto fit = [&](double refused_count, bool refuse) {
    vexal::garch_paramc();
    EXPECT_EQ(vexal::Price_input(prices.data(), 60, 0), 1.0);
    if (refuse) vexal::Price_input(other.data(), refused_count, 0);
    EXPECT_EQ(vexal::garch_o(0.1, 0.8), 1.0);
    return std::vector<double>{vexal::garch_param0(), vexal::garch_param1(), vexal::garch_param2(),
                               vexal::garch_param3()};
  };
  const std::vector<double> want = fit(0, false);
  EXPECT_FALSE(std::isnan(want[0]));
  for (double count : {kNaN, -1.0, 100002.0, 100001.9, 1e300}) {
    const std::vector<double> got = fit(count, true);
    for (int j = 0; j < 4; ++j) EXPECT_TRUE(same(got[j], want[j])) << "count " << count << ", parameter " << j;
  }

  const double probs[] = {0.6, 0.4}, outcomes[] = {1.0, -1.0};
  auto kelly = [&](double refused_count, bool refuse) {
    vexal::kelly_paramc();
    EXPECT_EQ(vexal::kelly_input(probs, outcomes, 2), 1.0);
    if (refuse) vexal::kelly_input(other.data(), other.data(), refused_count);
    EXPECT_EQ(vexal::kelly_o(0), 1.0);
    return vexal::kelly_f();
  };
  const double f = kelly(0, false);
  EXPECT_NEAR(f, 0.2, 1e-4);
  for (double count : {kNaN, -1.0, 10002.0, 10001.9, kInf}) EXPECT_TRUE(same(kelly(count, true), f)) << count;
  vexal::garch_paramc();
  vexal::kelly_paramc();
}

// Fits over fewer prices than the objective needs: the sums are empty.
TEST(BadInput, GarchFitOnTooFewPrices) {
  const double prices[] = {100.0, 101.0, 99.5};
  vexal::garch_paramc();
  for (double (*param)() : {&vexal::garch_param0, &vexal::garch_param1, &vexal::garch_param2, &vexal::garch_param3})
    EXPECT_EQ(param(), 0.0);
  for (double count : {0.0, 1.0, 2.0}) {
    EXPECT_EQ(vexal::garch_paramc(), 1.0);
    EXPECT_EQ(vexal::Price_input(prices, count, 0), 1.0) << count;
    EXPECT_EQ(vexal::garch_o(0.1, 0.8), 1.0) << count;
    EXPECT_EQ(vexal::garch_param0(), 0.0) << count;
  }
  EXPECT_TRUE(std::isnan(vexal::garch_param1()));  // two prices: the sample variance divides by 0
  vexal::garch_paramc();
}

TEST(BadInput, ActionsReturnOneWhateverTheirArguments) {
  const double prices[] = {100, 101, 99.5, 102, 101.5, 103};
  const double probs[] = {0.6, 0.4}, outcomes[] = {1.0, -1.0};
  for (double h : kHostile) {
    vexal::garch_paramc();
    vexal::Price_input(prices, 6, 0);
    EXPECT_EQ(vexal::garch_o(h, 0.8), 1.0) << h;
    EXPECT_EQ(vexal::garch_o(0.1, h), 1.0) << h;
    vexal::kelly_paramc();
    vexal::kelly_input(probs, outcomes, 2);
    EXPECT_EQ(vexal::kelly_o(h), 1.0) << h;
    EXPECT_EQ(vexal::RanMTInit(h), 1.0) << h;
  }
  EXPECT_EQ(vexal::garch_paramc(), 1.0);
  EXPECT_EQ(vexal::kelly_paramc(), 1.0);
  EXPECT_EQ(vexal::kelly_f(), 0.0);
  EXPECT_EQ(vexal::kelly_growth(), 0.0);
  EXPECT_EQ(vexal::kelly_growth_sd(), 0.0);
}

// A seed with no 64-bit floor seeds with 0.
TEST(BadInput, SeedWithoutIntegerSeedsZero) {
  vexal::RanMTInit(0);
  const double want[] = {vexal::RanMT1(), vexal::RanMT1(), vexal::RanMT1()};
  for (double seed : {kNaN, kInf, -kInf, 1e300, -1e300, kMax}) {
    vexal::RanMTInit(seed);
    for (double w : want) EXPECT_EQ(vexal::RanMT1(), w) << seed;
  }
}

TEST(BadInput, NormalAtTheEnds) {
  EXPECT_EQ(vexal::snorm(kInf), 1.0);
  EXPECT_EQ(vexal::snorm(-kInf), 0.0);
  EXPECT_EQ(vexal::norm(kInf), 0.0);
  EXPECT_EQ(vexal::norm(-kInf), 0.0);
  EXPECT_TRUE(std::isnan(vexal::snorm(kNaN)));
  EXPECT_TRUE(std::isnan(vexal::norm(kNaN)));
}

// No positive time: the undiscounted intrinsic value; a NaN time or spot
// gives NaN.
TEST(BadInput, EuropeanPricesWithoutTime) {
  for (double T : {0.0, -0.0, -1.0, -kInf}) {
    EXPECT_EQ(vexal::call_eur(100, 95, T, 0.03, 0.25, 0.01), 5.0) << T;
    EXPECT_EQ(vexal::put_eur(100, 95, T, 0.03, 0.25, 0.01), 0.0) << T;
  }
  for (double T : {0.0, kNaN}) {
    EXPECT_TRUE(std::isnan(vexal::call_eur(kNaN, 95, T, 0.03, 0.25, 0.01))) << T;
    EXPECT_TRUE(std::isnan(vexal::put_eur(kNaN, 95, T, 0.03, 0.25, 0.01))) << T;
  }
}

TEST(BadInput, ImpliedVolatilitySearchesEnd) {
  using Fn = double (*)(double, double, double, double, double, double);
  for (Fn f : {Fn(&vexal::call_impvol_eur), Fn(&vexal::put_impvol_eur)}) {
    EXPECT_TRUE(std::isnan(f(100, 95, 0.5, 0.03, kNaN, 0.01)));
    EXPECT_TRUE(std::isnan(f(kNaN, 95, 0.5, 0.03, 7.5, 0.01)));
    EXPECT_EQ(f(100, 95, 0.5, 0.03, 0.0, 0.01), 0.0);
    EXPECT_EQ(f(100, 95, 0.5, 0.03, -kInf, 0.01), 0.0);
  }
  // Targets no volatility reaches: NaN after the last window, promptly.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(std::isnan(vexal::call_impvol_eur(100, 95, 0.5, 0.03, 150, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::call_impvol_eur(100, 95, 0.5, 0.03, kInf, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::call_impvol_eur(100, 95, 0.5, 0.03, kMax, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::put_impvol_eur(100, 95, 0.5, 0.03, 120, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::call_impvol_eur(100, 95, 0.0, 0.03, 10, 0.01)));  // above the intrinsic 5
  EXPECT_TRUE(std::isnan(vexal::call_impvol_binamer(100, 95, 0.5, 0.03, 150, 16, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::put_impvol_binamer(100, 95, 0.5, 0.03, 95, 16, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::put_impvol_binamer(100, 95, 0.5, 0.03, kInf, 16, 0.01)));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);

  EXPECT_TRUE(std::isnan(vexal::call_impvol_binamer(100, 95, 0.5, 0.03, kNaN, 16, 0.01)));
  EXPECT_TRUE(std::isnan(vexal::put_impvol_binamer(100, 95, 0.5, 0.03, kNaN, 16, 0.01)));
  EXPECT_EQ(vexal::call_impvol_binamer(100, 95, 0.5, 0.03, 0.0, 16, 0.01), 0.0);
}

namespace {
double call_d(double S, double K, double T, double steps) {
  const double times[] = {0.1, 0.3}, amounts[] = {1.0, 0.5};
  return vexal::call_binamer_d(S, K, T, 0.03, 0.25, steps, times, amounts, 2);
}
double put_d(double S, double K, double T, double steps) {
  const double times[] = {0.1, 0.3}, amounts[] = {1.0, 0.5};
  return vexal::put_binamer_d(S, K, T, 0.03, 0.25, steps, times, amounts, 2);
}
double call_b(double S, double K, double T, double steps) { return vexal::call_binamer(S, K, T, 0.03, 0.25, steps, 0.01); }
double put_b(double S, double K, double T, double steps) { return vexal::put_binamer(S, K, T, 0.03, 0.25, steps, 0.01); }
using Pricer = double (*)(double, double, double, double);
const Pricer kPricers[] = {&call_b, &put_b, &call_d, &put_d};
}  // namespace

TEST(BadInput, BinomialStepCounts) {
  for (Pricer f : kPricers) {
    for (double steps : {-1.0, -0.5, -kTiny}) EXPECT_EQ(f(100, 95, 0.5, steps), 0.0) << steps;
    // Below -1, or no 32-bit floor at all: NaN without asking for storage.
    AllocationSpy spy;
    for (double steps : {-1.5, -2.0, -1e9, -2147483649.0, kNaN, kInf, -kInf, 1e300, -1e300, kMax,
                         2147483648.0, 2147483648.5, 4294967296.0})
      EXPECT_TRUE(std::isnan(f(100, 95, 0.5, steps))) << steps;
    EXPECT_EQ(AllocationSpy::requests, 0);
  }
  // Zero steps: the only node is the spot.
  EXPECT_EQ(call_b(100, 95, 0.5, 0.5), 5.0);
  EXPECT_EQ(put_b(100, 95, 0.5, 0.5), 0.0);

  using Greek = double (*)(double, double, double, double, double, double, double);
  const Greek greeks[] = {&vexal::call_delta_binamer, &vexal::put_delta_binamer, &vexal::call_gamma_binamer,
                          &vexal::put_gamma_binamer,  &vexal::call_vega_binamer,  &vexal::put_vega_binamer,
                          &vexal::call_theta_binamer, &vexal::put_theta_binamer, &vexal::call_rho_binamer,
                          &vexal::put_rho_binamer};
  for (Greek g : greeks) {
    EXPECT_EQ(g(100, 95, 0.5, 0.03, 0.25, -1.0, 0.01), 0.0);  // both bumped prices 0.0
    EXPECT_TRUE(std::isnan(g(100, 95, 0.5, 0.03, 0.25, kNaN, 0.01)));
    EXPECT_TRUE(std::isnan(g(100, 95, 0.5, 0.03, 0.25, -7.0, 0.01)));
  }
}

// An option that expires now is worth its floored exercise value, never less.
TEST(BadInput, BinomialWithoutTimeIsNeverNegative) {
  for (double T : {0.0, -0.0, -0.5, -kInf}) {
    for (double steps : {1.0, 10.0, 20.5}) {
      EXPECT_EQ(call_b(90, 100, T, steps), 0.0) << T << " " << steps;
      EXPECT_EQ(call_b(110, 100, T, steps), 10.0) << T << " " << steps;
      EXPECT_EQ(put_b(90, 100, T, steps), 10.0) << T << " " << steps;
      EXPECT_EQ(put_b(110, 100, T, steps), 0.0) << T << " " << steps;
      EXPECT_GE(call_d(90, 100, T, steps), 0.0) << T << " " << steps;
      EXPECT_GE(put_d(110, 100, T, steps), 0.0) << T << " " << steps;
    }
  }
}

TEST(BadInput, SeriesCounts) {
  std::vector<double> p = ordinary_array("prices", 0), q = ordinary_array("prices", 1);
  std::vector<double> hi = ordinary_array("high", 2), lo = ordinary_array("low", 3);
  for (double k : {kNaN, -1.0, -2.0, -1e9, 1e300, -1e300, kInf, -kInf})
    EXPECT_TRUE(std::isnan(vexal::Price_vr(p.data(), 40, k))) << k;
  EXPECT_EQ(vexal::Price_vr(p.data(), 40, 100), 0.0);  // k beyond the series: empty sum
  EXPECT_TRUE(std::isnan(vexal::Price_vr(p.data(), 40, 0)));

  for (double n : {kInf, -kInf, -1.0, 0.0, 0.4, 1.0, 1e300, -1e300})
    EXPECT_EQ(vexal::MaxDrawdown(p.data(), n), 0.0) << n;
  for (double n : {-kInf, -1.0, 0.0, 0.4, 1.0, 1.4, -1e300})
    EXPECT_EQ(vexal::MaxTimeDrawdown(p.data(), n), 0.0) << n;

  EXPECT_TRUE(std::isnan(vexal::Price_mn(p.data(), 1)));
  EXPECT_TRUE(std::isnan(vexal::Price_sd(p.data(), 2)));
  EXPECT_TRUE(std::isnan(vexal::Price_Vol_EWMA(p.data(), 1, 0.94, 252, 0)));
  EXPECT_TRUE(std::isnan(vexal::Price_Vol_EWMA(p.data(), 40, 1.0, 252, 0)));
  for (double n : {kNaN, -kNaN}) {
    EXPECT_TRUE(std::isnan(vexal::Price_mn(p.data(), n)));
    EXPECT_TRUE(std::isnan(vexal::Price_sd(p.data(), n)));
    EXPECT_TRUE(std::isnan(vexal::Price_sk(p.data(), n)));
    EXPECT_TRUE(std::isnan(vexal::Price_ku(p.data(), n)));
    EXPECT_TRUE(std::isnan(vexal::Price_vr(p.data(), n, 2)));
    EXPECT_TRUE(std::isnan(vexal::Price_cor(p.data(), q.data(), n)));
    EXPECT_TRUE(std::isnan(vexal::Price_Vol_EWMA(p.data(), n, 0.94, 252, 0)));
    EXPECT_TRUE(std::isnan(vexal::Price_Vol_Parkinson(hi.data(), lo.data(), 252, n)));
    EXPECT_TRUE(std::isnan(vexal::Price_Vol_YangZhang(p.data(), hi.data(), lo.data(), q.data(), 252, n)));
    EXPECT_TRUE(std::isnan(vexal::MaxDrawdown(p.data(), n)));
    EXPECT_TRUE(std::isnan(vexal::MaxTimeDrawdown(p.data(), n)));
  }
}

TEST(BadInput, DrawdownLawOutsideTheTable) {
  const double zero_drift = std::sqrt(3.14159265358979 / 2) * 0.2 * std::sqrt(1.0);
  EXPECT_TRUE(std::isnan(vexal::EMDD(-0.1, 0.2, 1)));  // negative drift, x = 0.125
  EXPECT_TRUE(std::isnan(vexal::EMDD(-10, 1, 100)));
  EXPECT_TRUE(std::isnan(vexal::EMDD(-1, 0.5, 5000)));
  EXPECT_DOUBLE_EQ(vexal::EMDD(-0.001, 0.2, 1), zero_drift);  // x below the table: zero-drift law
  EXPECT_DOUBLE_EQ(vexal::EMDD(0, 0.2, 1), zero_drift);
  EXPECT_EQ(vexal::EMDD(0, 0, 1), 0.0);  // x is NaN: the zero-drift law with sigma 0
  EXPECT_TRUE(std::isnan(vexal::EMDD(0.1, 0.2, -1)));
}
