// Moments, variance ratio and correlation of log returns.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "series_data.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

void expect_rel(double got, long double want, double tol = 1e-12) {
  EXPECT_NEAR(got, static_cast<double>(want), tol * std::fabs(static_cast<double>(want)))
      << "relative error " << static_cast<double>((got - want) / want);
}

}  // namespace

using namespace series_data;

TEST(Moments, AgreeWithTwoPassLongDouble) {
  for (std::uint64_t seed : {1u, 2u, 3u, 4u}) {
    for (std::size_t n : {30u, 251u, 2000u}) {
      const std::vector<double> p = random_walk(n, seed);
      const auto r = log_returns(p);
      const double dn = static_cast<double>(n);
      SCOPED_TRACE(testing::Message() << "seed " << seed << " n " << n);
      expect_rel(vexal::Price_mn(p.data(), dn), mean(r));
      expect_rel(vexal::Price_sd(p.data(), dn), sample_sd(r));
      expect_rel(vexal::Price_sk(p.data(), dn), skewness(r));
      expect_rel(vexal::Price_ku(p.data(), dn), excess_kurtosis(r));
    }
  }
}

TEST(Moments, ShortSeries) {
  const std::vector<double> one = {100};
  EXPECT_TRUE(std::isnan(vexal::Price_mn(one.data(), 1)));
  EXPECT_TRUE(std::isnan(vexal::Price_sd(one.data(), 1)));

  const std::vector<double> two = {100, 101};
  EXPECT_DOUBLE_EQ(vexal::Price_mn(two.data(), 2), std::log(101.0 / 100));
  EXPECT_TRUE(std::isnan(vexal::Price_sd(two.data(), 2)));

  const std::vector<double> p = {100, 101, 99, 102, 104};
  EXPECT_FALSE(std::isfinite(vexal::Price_sk(p.data(), 3)));
  EXPECT_TRUE(std::isfinite(vexal::Price_sk(p.data(), 4)));
  EXPECT_FALSE(std::isfinite(vexal::Price_ku(p.data(), 4)));
  EXPECT_TRUE(std::isfinite(vexal::Price_ku(p.data(), 5)));
}

TEST(Moments, ConstantSeries) {
  const std::vector<double> p(20, 42.5);
  EXPECT_EQ(vexal::Price_mn(p.data(), 20), 0.0);
  EXPECT_EQ(vexal::Price_sd(p.data(), 20), 0.0);
  EXPECT_TRUE(std::isnan(vexal::Price_sk(p.data(), 20)));
  EXPECT_TRUE(std::isnan(vexal::Price_ku(p.data(), 20)));
}

// n = 10.5: ten returns (n - 1 = 9.5 rounds to even 10), divisors 9.5, 8.5.
TEST(Moments, FractionalCountSumsRoundedReturnsDividesByCount) {
  std::vector<double> p = random_walk(11, 9);
  double s1 = 0, s2 = 0;
  for (int i = 1; i <= 10; ++i) {
    const double r = std::log(p[i] / p[i - 1]);
    s1 += r;
    s2 += r * r;
  }
  EXPECT_EQ(vexal::Price_mn(p.data(), 10.5), s1 / 9.5);
  EXPECT_EQ(vexal::Price_sd(p.data(), 10.5), std::sqrt(s2 / 8.5 - s1 * s1 / 8.5 / 9.5));
  // 9.5 - 1 = 8.5 rounds to 8: p[9] and p[10] are not read.
  p[9] = p[10] = kNaN;
  EXPECT_TRUE(std::isfinite(vexal::Price_ku(p.data(), 9.5)));
}

// Counts that convert to no loop at all read nothing.
TEST(Moments, UnconvertibleCountsReadNothing) {
  const std::vector<double> p = {100, 101};
  for (double n : {kNaN, kInf, -kInf, 1e300, 2147483649.5, -3e9}) {
    SCOPED_TRACE(n);
    const double mn = vexal::Price_mn(p.data(), n);
    EXPECT_TRUE(std::isnan(mn) || mn == 0.0);
    vexal::Price_sd(p.data(), n);
    vexal::Price_sk(p.data(), n);
    vexal::Price_ku(p.data(), n);
    vexal::Price_cor(p.data(), p.data(), n);
    vexal::Price_vr(p.data(), n, 1);
  }
  EXPECT_EQ(vexal::Price_mn(p.data(), 1e300), 0.0);
  EXPECT_EQ(vexal::Price_mn(p.data(), 0), -0.0);
  EXPECT_EQ(vexal::Price_mn(p.data(), -7), -0.0);
}

TEST(VarianceRatio, RandomWalkNearOneAndAgreesWithDirectSums) {
  const std::vector<double> p = random_walk(3000, 5);
  for (int k : {2, 5, 10}) {
    long double a = 0, b = 0;
    for (std::size_t i = k; i < p.size(); ++i) a += std::pow(std::log((long double)p[i] / p[i - k]), 2);
    for (std::size_t i = 1; i < p.size(); ++i) b += std::pow(std::log((long double)p[i] / p[i - 1]), 2);
    const long double want = (a / (3000 - k)) / k / (b / 2999);
    expect_rel(vexal::Price_vr(p.data(), 3000, k), want);
    EXPECT_NEAR(vexal::Price_vr(p.data(), 3000, k), 1.0, 0.15);
  }
}

TEST(VarianceRatio, HoldingPeriods) {
  const std::vector<double> p = random_walk(40, 6);
  EXPECT_EQ(vexal::Price_vr(p.data(), 40, 1), 1.0);
  EXPECT_TRUE(std::isnan(vexal::Price_vr(p.data(), 40, 0)));
  EXPECT_EQ(vexal::Price_vr(p.data(), 40, 39.6), 0.0);
  EXPECT_EQ(vexal::Price_vr(p.data(), 40, 41), 0.0);  // -0: A / (n - k) with n - k < 0
  EXPECT_TRUE(std::isnan(vexal::Price_vr(p.data(), 40, 40)));  // 0 / (n - k) = 0 / 0
  EXPECT_EQ(vexal::Price_vr(p.data(), 40, 1e9), 0.0);
  EXPECT_EQ(vexal::Price_vr(p.data(), 40, 2147483647.4), 0.0);
  const std::vector<double> flat(10, 3.0);
  EXPECT_TRUE(std::isnan(vexal::Price_vr(flat.data(), 10, 20)));  // 0 / 0
}

// A holding period that is negative, NaN or beyond 32 bits gives NaN and
// reads nothing; a fractional one forms i - k in floating point and never
// reaches before p[0] (p here is an exact-size heap array, so a stray read
// shows under the address sanitizer).
TEST(VarianceRatio, HoldingPeriodsThatCannotIndexTheSeries) {
  const std::vector<double> p = random_walk(12, 7);
  for (double k : {-1.0, -0.4, -1e300, -kInf, kNaN, kInf, 2147483647.5, 1e10}) {
    SCOPED_TRACE(k);
    EXPECT_TRUE(std::isnan(vexal::Price_vr(p.data(), 12, k)));
  }
  for (double k : {0.4, 0.5, 1.5, 2.5, 3.49, 11.4}) {
    SCOPED_TRACE(k);
    EXPECT_FALSE(std::isnan(vexal::Price_vr(p.data(), 12, k)));
  }
  // k = 1.5: the first sum starts at i = 2 and pairs i with round(i - 1.5).
  double a = 0, b = 0;
  for (int i = 2; i <= 11; ++i) a += std::pow(std::log(p[i] / p[i == 2 ? 0 : (i % 2 ? i - 1 : i - 2)]), 2.0);
  for (int i = 1; i <= 11; ++i) b += std::pow(std::log(p[i] / p[i - 1]), 2.0);
  EXPECT_EQ(vexal::Price_vr(p.data(), 12, 1.5), a / (12 - 1.5) / 1.5 / (b / 11));
}

TEST(Correlation, AgreesWithTwoPassLongDouble) {
  for (std::uint64_t seed : {11u, 12u, 13u}) {
    const std::size_t n = 500;
    Normal z(seed);
    std::vector<double> a(n), b(n);
    a[0] = 50;
    b[0] = 80;
    for (std::size_t i = 1; i < n; ++i) {
      const double e1 = z(), e2 = 0.6 * e1 + 0.8 * z();
      a[i] = a[i - 1] * std::exp(0.0002 + 0.01 * e1);
      b[i] = b[i - 1] * std::exp(-0.0001 + 0.02 * e2);
    }
    const long double want = pearson(log_returns(a), log_returns(b));
    expect_rel(vexal::Price_cor(a.data(), b.data(), n), want);
    expect_rel(vexal::Price_cor(b.data(), a.data(), n), want);
  }
}

TEST(Correlation, WithItselfAndConstants) {
  const std::vector<double> p = random_walk(100, 14);
  std::vector<double> q(p);
  for (double& v : q) v *= 3.7;
  EXPECT_NEAR(vexal::Price_cor(p.data(), p.data(), 100), 1.0, 1e-13);
  EXPECT_NEAR(vexal::Price_cor(p.data(), q.data(), 100), 1.0, 1e-13);
  const std::vector<double> flat(100, 5.0);
  EXPECT_TRUE(std::isnan(vexal::Price_cor(p.data(), flat.data(), 100)));
  EXPECT_TRUE(std::isnan(vexal::Price_cor(flat.data(), p.data(), 100)));
}
