// NaN in, NaN out for every pure export, and no option value below zero on
// a degenerate tree.
#include <cmath>
#include <cstdio>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "exports/calls.h"
#include "exports/export_info.h"
#include "exports/in_process.h"
#include "typical_args.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using Call = vexal::CallArgs;
const auto& kCallers = vexal::in_process<Call>;

// The fits, their loaders, accessors and resets, and the generator with the
// simulator that draws from it.
bool keeps_state(const std::string& name) {
  for (const char* s : {"Price_input", "garch_", "kelly_", "RanMT", "gaussMT", "F_NextPrice"})
    if (name.rfind(s, 0) == 0) return true;
  return false;
}

// Eight entries: dividends inside and beyond T = 0.5, rising prices and
// bars whose high is above their low.
std::vector<double> typical_array(const std::string& name) {
  std::vector<double> a(8);
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double x = static_cast<double>(i);
    if (name == "times") a[i] = 0.1 * x + 0.05;
    else if (name == "amounts") a[i] = 0.5;
    else a[i] = 100.0 + 3.0 * std::sin(1.3 * x) + (name == "high" ? 2.0 : name == "low" ? -2.0 : 0.0);
  }
  return a;
}

Call typical_call(const vexal::ExportInfo& e) {
  Call c;
  for (std::size_t i = 0; i < e.argc; ++i) {
    if (e.args[i].is_array) c.arrays.push_back(typical_array(e.args[i].name));
    else c.nums.push_back(typical_value(e.args[i].name));
  }
  // Levels of the growth-optimal formulas are relative to 1; k = 2 has
  // no barrier law.
  if (!std::strncmp(e.name, "kellyfr_", 8) || !std::strncmp(e.name, "exittime", 8))
    for (std::size_t i = 0, num = 0; i < e.argc; ++i)
      if (!e.args[i].is_array) {
        const std::string arg = e.args[i].name;
        if (arg == "L") c.nums[num] = 0.5;
        if (arg == "U") c.nums[num] = 2.0;
        if (arg == "k") c.nums[num] = 1.0;
        ++num;
      }
  return c;
}

}  // namespace

// Each number argument in turn NaN, the others typical; then each dividend
// entry the count reads. The order flag of the EWMA (NaN counts as 0) and
// the unused sigma of the lognormal median keep their meaning.
TEST(NanRule, NaNInEveryNumberArgumentGivesNaN) {
  int calls = 0, numbers = 0;
  for (std::size_t i = 0; i < vexal::kExportCount; ++i) {
    const vexal::ExportInfo& e = vexal::kExports[i];
    if (keeps_state(e.name)) continue;
    const Call typical = typical_call(e);
    EXPECT_FALSE(std::isnan(kCallers[i](typical))) << e.name;
    std::size_t num = 0;
    for (std::size_t a = 0; a < e.argc; ++a) {
      if (e.args[a].is_array) continue;
      Call c = typical;
      c.nums[num] = kNaN;
      const double got = kCallers[i](c);
      ++calls;
      numbers += !std::isnan(got);
      const std::string where = std::string(e.name) + " with " + e.args[a].name + " NaN";
      if (!std::strcmp(e.name, "Price_Vol_EWMA") && !std::strcmp(e.args[a].name, "order")) {
        c.nums[num] = 0.0;
        EXPECT_EQ(got, kCallers[i](c)) << where;
      } else if (!std::strcmp(e.name, "LogNormal_median") && !std::strcmp(e.args[a].name, "sigma")) {
        EXPECT_EQ(got, kCallers[i](typical)) << where;
      } else {
        EXPECT_TRUE(std::isnan(got)) << where << " gives " << got;
      }
      ++num;
    }
    // n = 6 reads entries 0..5, paid before and after T.
    for (std::size_t a = 0, arr = 0; a < e.argc; ++a) {
      if (!e.args[a].is_array) continue;
      const bool dividends = !std::strcmp(e.args[a].name, "times") || !std::strcmp(e.args[a].name, "amounts");
      for (std::size_t k = 0; dividends && k < 6; ++k) {
        Call c = typical;
        c.arrays[arr][k] = kNaN;
        const double got = kCallers[i](c);
        ++calls;
        numbers += !std::isnan(got);
        EXPECT_TRUE(std::isnan(got)) << e.name << " with " << e.args[a].name << "[" << k << "] NaN";
      }
      ++arr;
    }
  }
  // Two of these are the exemptions.
  std::printf("one-NaN calls: %d, of which %d return a number\n", calls, numbers);
}

// The precise family, every row of its table: a number on typical
// arguments, NaN with any one of them NaN.
TEST(NanRule, EveryPreciseFunctionToo) {
  for (const vexal::ExportInfo& e : vexal::kPrecise) {
    const auto call = kCallers[vexal::function_index(e)];
    const Call typical = typical_call(e);
    EXPECT_FALSE(std::isnan(call(typical))) << e.name;
    for (std::size_t a = 0, num = 0; a < e.argc; ++a) {
      if (e.args[a].is_array) continue;
      Call c = typical;
      c.nums[num++] = kNaN;
      EXPECT_TRUE(std::isnan(call(c))) << e.name << " with " << e.args[a].name << " NaN";
    }
  }
}

// Zero, tiny and negative volatility, no or almost no time, few and many
// steps, rates of both signs, with and without dividends: never below zero.
TEST(NanRule, DegenerateTreesAreNeverNegative) {
  const double times[] = {0.1, 0.3}, amounts[] = {1.0, 0.5};
  for (double sigma : {0.0, -0.0, 1e-300, 1e-12, 1e-6, -0.25, -1e-6})
    for (double T : {0.0, 1e-300, 1e-12, 1.0})
      for (double steps : {0.0, 1.0, 2.0, 50.0})
        for (double r : {0.05, 0.0, -0.05})
          for (double S : {90.0, 100.0, 110.0}) {
            const double v[] = {vexal::call_binamer(S, 100, T, r, sigma, steps, 0.0),
                                vexal::put_binamer(S, 100, T, r, sigma, steps, 0.0),
                                vexal::call_binamer(S, 100, T, r, sigma, steps, 0.08),
                                vexal::put_binamer(S, 100, T, r, sigma, steps, -0.08),
                                vexal::call_binamer_d(S, 100, T, r, sigma, steps, times, amounts, 2),
                                vexal::put_binamer_d(S, 100, T, r, sigma, steps, times, amounts, 2)};
            for (int k = 0; k < 6; ++k)
              EXPECT_GE(v[k], 0.0) << "pricer " << k << ": S " << S << " sigma " << sigma << " T " << T
                                   << " steps " << steps << " r " << r;
          }
  EXPECT_EQ(vexal::call_binamer(90, 100, 1, 0.05, 0, 100, 0), 0.0);
}

// The closed form too: a negative sigma turns it over, and far out of the
// money snorm's error can exceed the value.
TEST(NanRule, EuropeanPricesAreNeverNegative) {
  const double times[] = {0.1, 0.3}, amounts[] = {1.0, 0.5};
  EXPECT_EQ(vexal::put_eur(2523.283, 0.3396389, 19.658259, 0.3730938, -4.19598e-05, -0.4949884), 0.0);
  EXPECT_EQ(vexal::call_eur(9.734592, 2659.698, 19.572651, -0.4645864, -0.000328486, -0.3808859), 0.0);
  EXPECT_EQ(vexal::put_eur(1611.9841102099554, 0.05836706986202258, 15.940594155495269, 0.27790744027991177,
                           0.7993247643160486, -0.43788928593385956), 0.0);
  EXPECT_EQ(vexal::call_eur(0.20180115689107067, 2241.828129539546, 15.329767022620235, -0.21840131765873483,
                            0.1720600735906211, -0.4734533362757788), 0.0);
  for (double sigma : {-0.25, -1e-6, 1e-300, 0.25})
    for (double S : {50.0, 100.0, 200.0}) {
      EXPECT_GE(vexal::call_eur(S, 100, 1, 0.05, sigma, 0.02), 0.0) << S << " " << sigma;
      EXPECT_GE(vexal::put_eur(S, 100, 1, 0.05, sigma, 0.02), 0.0) << S << " " << sigma;
      EXPECT_GE(vexal::call_eur_d(S, 100, 1, 0.05, sigma, times, amounts, 2), 0.0) << S << " " << sigma;
      EXPECT_GE(vexal::put_eur_d(S, 100, 1, 0.05, sigma, times, amounts, 2), 0.0) << S << " " << sigma;
    }
}
