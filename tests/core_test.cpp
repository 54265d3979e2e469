// The shared numerics: count conversions, working arrays, the module Pi and
// the normal density and distribution.
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "core/numeric.h"

using vexal::kBadInt;
using vexal::to_int_floor;
using vexal::to_int_nearest;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// Exact standard normal distribution function in long double.
long double exact_cdf(long double x) { return 0.5L * std::erfc(-x / std::sqrt(2.0L)); }
}  // namespace

TEST(Conversions, NearestTiesToEven) {
  EXPECT_EQ(to_int_nearest(2.5), 2);
  EXPECT_EQ(to_int_nearest(3.5), 4);
  EXPECT_EQ(to_int_nearest(-1.5), -2);
  EXPECT_EQ(to_int_nearest(-0.5), 0);
  EXPECT_EQ(to_int_nearest(0.4), 0);
  EXPECT_EQ(to_int_nearest(0.6), 1);
  EXPECT_EQ(to_int_nearest(9.5), 10);
  EXPECT_EQ(to_int_nearest(-2147483648.0), INT32_MIN);
  EXPECT_EQ(to_int_nearest(2147483647.4), 2147483647);
}

TEST(Conversions, Floor) {
  EXPECT_EQ(to_int_floor(2.9), 2);
  EXPECT_EQ(to_int_floor(-0.5), -1);
  EXPECT_EQ(to_int_floor(100.9), 100);
  EXPECT_EQ(to_int_floor(-2147483648.5), kBadInt);
  EXPECT_EQ(to_int_floor(2147483647.9), 2147483647);
}

TEST(Conversions, OutOfRangeAndNaNGiveMinimum) {
  for (double x : {kNaN, kInf, -kInf, 2147483648.0, -2147483649.0, 1e300, -1e300}) {
    EXPECT_EQ(to_int_nearest(x), kBadInt) << x;
    EXPECT_EQ(to_int_floor(x), kBadInt) << x;
  }
  EXPECT_EQ(to_int_nearest(2147483647.5), kBadInt);  // rounds to 2^31
  EXPECT_EQ(to_int_floor(2147483647.5), 2147483647);
}

TEST(WorkArray, ZeroFilledAndRejectsImpossibleSizes) {
  vexal::WorkArray a(99);
  ASSERT_TRUE(a);
  for (int i = 0; i <= 99; ++i) EXPECT_EQ(a[i], 0.0);
  EXPECT_FALSE(vexal::WorkArray(-1));
  EXPECT_FALSE(vexal::WorkArray(INT64_MAX));
}

TEST(Startup, PiIsFifteenDigits) { EXPECT_EQ(vexal::Pi, 3.14159265358979); }

TEST(Normal, DensityUsesModulePi) {
  EXPECT_EQ(vexal::norm(0), 1 / std::sqrt(2 * 3.14159265358979));
  EXPECT_NE(vexal::norm(0), 1 / std::sqrt(2 * std::numbers::pi));
  EXPECT_EQ(vexal::norm(kInf), 0.0);
  EXPECT_EQ(vexal::norm(-kInf), 0.0);
  EXPECT_TRUE(std::isnan(vexal::norm(kNaN)));
  EXPECT_DOUBLE_EQ(vexal::norm(1.5), std::exp(-1.125) / std::sqrt(2 * 3.14159265358979));
}

TEST(Normal, DistributionAtZeroIsJustAboveHalf) {
  const double sum = 0.31938153 - 0.356563782 + 1.781477937 - 1.821255978 + 1.330274429;
  const double expected = 1 - (1 / std::sqrt(2 * 3.14159265358979)) * sum;
  EXPECT_NEAR(vexal::snorm(0), expected, 1e-16);
  EXPECT_NEAR(vexal::snorm(0) - 0.5, 5e-10, 1e-10);
  EXPECT_EQ(vexal::snorm(-0.0), vexal::snorm(0.0));
}

TEST(Normal, DistributionAccuracyAndSymmetry) {
  for (double x = -9; x <= 9; x += 0.03125) {
    EXPECT_LT(std::fabs(vexal::snorm(x) - static_cast<double>(exact_cdf(x))), 7.5e-8) << x;
    if (x != 0) {
      EXPECT_NEAR(vexal::snorm(x) + vexal::snorm(-x), 1.0, 2e-16) << x;
    }
  }
}

TEST(Normal, DistributionTails) {
  EXPECT_EQ(vexal::snorm(kInf), 1.0);
  EXPECT_EQ(vexal::snorm(-kInf), 0.0);
  EXPECT_TRUE(std::isnan(vexal::snorm(kNaN)));
  EXPECT_EQ(vexal::snorm(8.3), 1.0);
  EXPECT_LT(vexal::snorm(8.2), 1.0);
  // Below one half the result is 0.5 - (0.5 - tail): in doubles it reaches
  // 0 at about -8.38, and stays positive just above that.
  EXPECT_EQ(vexal::snorm(-8.4), 0.0);
  EXPECT_GT(vexal::snorm(-8.3), 0.0);
  EXPECT_EQ(vexal::snorm(-40), 0.0);
}
