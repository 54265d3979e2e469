// Drawdowns of a series, and the lognormal/normal conversions.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

double mdd(const std::vector<double>& p) { return vexal::MaxDrawdown(p.data(), static_cast<double>(p.size())); }
double mtd(const std::vector<double>& p) { return vexal::MaxTimeDrawdown(p.data(), static_cast<double>(p.size())); }
}  // namespace

TEST(Drawdown, Examples) {
  EXPECT_EQ(mdd({10, 8, 12, 6, 9}), 0.5);  // the stretch after 12 closes at the end
  EXPECT_EQ(mdd({10, 8, 12, 11, 15}), 0.2);
  EXPECT_EQ(mtd({10, 9, 8, 11}), 2);
  EXPECT_EQ(mtd({10, 9, 8}), 1);  // trailing stretch: n - peakIndex - 2
  EXPECT_EQ(mdd({10, 10, 10}), 0);
  EXPECT_EQ(mtd({10, 10, 10}), 1);
  EXPECT_EQ(mdd({1, 2, 2, 2}), 0);
  EXPECT_EQ(mtd({1, 2, 2, 2}), 1);
  EXPECT_EQ(mdd({1, 2, 3, 4}), 0);
  EXPECT_EQ(mtd({1, 2, 3, 4}), 0);
  EXPECT_EQ(mtd({5, 1, 1, 1, 6, 4, 7, 1, 1}), 3);
}

TEST(Drawdown, DeepestStretchWinsNotTheLatest) {
  EXPECT_DOUBLE_EQ(mdd({100, 60, 90, 120, 110, 130, 125}), 0.4);
  EXPECT_EQ(mtd({100, 60, 90, 95, 99, 120, 110, 130, 125}), 4);
}

// p[0] alone is read for any count below 2, including ones that do not
// convert; both then return 0 (a NaN count gives NaN).
TEST(Drawdown, CountsBelowTwoReadOnlyTheFirstPrice) {
  const std::vector<double> p = {7};
  for (double n : {1.0, 1.4, 0.0, -5.0, -kInf}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(vexal::MaxDrawdown(p.data(), n), 0.0);
    EXPECT_EQ(vexal::MaxTimeDrawdown(p.data(), n), 0.0);
  }
  // A count beyond 32 bits scans nothing; the trailing term still uses n.
  EXPECT_EQ(vexal::MaxDrawdown(p.data(), 1e300), 0.0);
  EXPECT_EQ(vexal::MaxTimeDrawdown(p.data(), 1e300), 1e300);
}

TEST(Drawdown, ReadsOnlyTheCountedPrices) {
  const std::vector<double> p = {10, 9, 8, 20, 1};
  EXPECT_EQ(vexal::MaxDrawdown(p.data(), 3.4), 0.2);  // 10, 9, 8
  EXPECT_EQ(vexal::MaxTimeDrawdown(p.data(), 3.4), 1.4);  // n - 0 - 2 with n as passed
}

TEST(Drawdown, NanAndZeroPrices) {
  EXPECT_EQ(mdd({10, kNaN, 5, 12}), 0.5);  // a NaN is never a peak or a trough
  EXPECT_EQ(mtd({10, kNaN, 5, 12}), 2);
  EXPECT_EQ(mdd({0, 0, 1, 0.5}), 0.5);  // the 0/0 of the first stretch never replaces best
}

TEST(Lognormal, WorkedValues) {
  EXPECT_DOUBLE_EQ(vexal::LogNormal_mn(0, 0.2, 1), std::exp(0.02));
  EXPECT_DOUBLE_EQ(vexal::LogNormal_sd(0, 0.2, 1), std::sqrt((std::exp(0.04) - 1) * std::exp(0.04)));
  EXPECT_EQ(vexal::LogNormal_median(0, 0.2, 1), 1.0);
  EXPECT_DOUBLE_EQ(vexal::LogNormal_mode(0, 0.2, 1), std::exp(-0.04));

  EXPECT_DOUBLE_EQ(vexal::LogNormal_mn(0.1, 0.3, 2), std::exp(0.29));
  EXPECT_DOUBLE_EQ(vexal::LogNormal_sd(0.1, 0.3, 2), std::sqrt((std::exp(0.18) - 1) * std::exp(0.58)));
  EXPECT_DOUBLE_EQ(vexal::LogNormal_median(0.1, 0.3, 2), std::exp(0.2));
  EXPECT_DOUBLE_EQ(vexal::LogNormal_mode(0.1, 0.3, 2), std::exp(0.02));
  EXPECT_EQ(vexal::LogNormal_median(0.1, kNaN, 2), vexal::LogNormal_median(0.1, 0.3, 2));

  EXPECT_DOUBLE_EQ(vexal::Normal_mn(100, 20), std::log(100 / std::sqrt(1.04)));
  EXPECT_DOUBLE_EQ(vexal::Normal_sd(100, 20), std::sqrt(std::log(1.04)));
  EXPECT_EQ(vexal::Normal_mn(50, 0), std::log(50.0));
  EXPECT_EQ(vexal::Normal_sd(50, 0), 0.0);
  EXPECT_TRUE(std::isnan(vexal::Normal_mn(-5, 1)));
  EXPECT_TRUE(std::isnan(vexal::Normal_sd(0, 0)));
}

// ln(1 + (s/m)^2) keeps about 1e-16 / (s/m)^2 relative accuracy, so the
// deviation comes back to that.
TEST(Lognormal, RoundTrip) {
  for (double m : {0.5, 100.0, 4e3})
    for (double s : {0.01, 0.4, 20.0, 900.0}) {
      SCOPED_TRACE(testing::Message() << m << " " << s);
      const double mu = vexal::Normal_mn(m, s), sigma = vexal::Normal_sd(m, s);
      const double cv2 = std::pow(s / m, 2.0);
      EXPECT_NEAR(vexal::LogNormal_mn(mu, sigma, 1), m, 1e-14 * m);
      EXPECT_NEAR(vexal::LogNormal_sd(mu, sigma, 1), s, 1e-15 * (1 + 1 / cv2) * s);
    }
  EXPECT_NEAR(vexal::LogNormal_mn(vexal::Normal_mn(100, 20), vexal::Normal_sd(100, 20), 1), 100, 1e-13);
  EXPECT_NEAR(vexal::LogNormal_sd(vexal::Normal_mn(100, 20), vexal::Normal_sd(100, 20), 1), 20, 1e-13);
}
