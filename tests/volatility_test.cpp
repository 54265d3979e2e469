// EWMA, Parkinson and Yang-Zhang volatility.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "series_data.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

void expect_rel(double got, long double want, double tol = 1e-12) {
  EXPECT_NEAR(got, static_cast<double>(want), tol * std::fabs(static_cast<double>(want)))
      << "relative error " << static_cast<double>((got - want) / want);
}

// Weighted mean of squared returns with the weights summed directly.
long double ewma_reference(const std::vector<double>& p, long double lambda, long double A) {
  const auto r = series_data::log_returns(p);
  long double num = 0, den = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const long double w = std::pow(lambda, static_cast<long double>(r.size() - 1 - i));
    num += w * r[i] * r[i];
    den += w;
  }
  return std::sqrt(num / den * A);
}

long double parkinson_reference(const series_data::Bars& b, long double A) {
  long double s = 0;
  for (std::size_t i = 0; i < b.high.size(); ++i) {
    const long double x = std::log(static_cast<long double>(b.high[i]) / b.low[i]);
    s += x * x;
  }
  return std::sqrt(A * s / (4 * std::log(2.0L) * b.high.size()));
}

long double yang_zhang_reference(const series_data::Bars& b, long double A) {
  const std::size_t m = b.close.size() - 1;
  std::vector<long double> o, c;
  long double rs = 0;
  for (std::size_t i = 1; i <= m; ++i) {
    const long double O = b.open[i], H = b.high[i], L = b.low[i], C = b.close[i];
    o.push_back(std::log(O / b.close[i - 1]));
    c.push_back(std::log(C / O));
    rs += std::log(H / O) * std::log(H / C) + std::log(L / O) * std::log(L / C);
  }
  const long double so = series_data::sample_sd(o), sc = series_data::sample_sd(c);
  const long double k = 0.34L / (1 + (m + 1.0L) / (m - 1.0L));
  return std::sqrt(A * (so * so + k * sc * sc + (1 - k) * rs / m));
}

}  // namespace

using namespace series_data;

TEST(Ewma, AgreesWithDirectlyNormalisedWeights) {
  for (std::uint64_t seed : {21u, 22u}) {
    for (std::size_t n : {10u, 120u, 1000u}) {
      const std::vector<double> p = random_walk(n, seed);
      for (double lambda : {0.5, 0.94, 0.99}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " n " << n << " lambda " << lambda);
        expect_rel(vexal::Price_Vol_EWMA(p.data(), n, lambda, 252, 0), ewma_reference(p, lambda, 252));
      }
    }
  }
}

TEST(Ewma, ConstantGrowthGivesTheLogOfTheFactor) {
  for (double g : {2.0, 1.01, 0.97}) {
    std::vector<double> p = {10};
    for (int i = 1; i < 60; ++i) p.push_back(p.back() * g);
    for (double lambda : {0.1, 0.8, 0.97}) {
      SCOPED_TRACE(testing::Message() << "g " << g << " lambda " << lambda);
      expect_rel(vexal::Price_Vol_EWMA(p.data(), 60, lambda, 252, 0), std::fabs(std::log(g)) * std::sqrt(252.0), 1e-9);
      expect_rel(vexal::Price_Vol_EWMA(p.data(), 60, lambda, 1, 1), std::fabs(std::log(g)), 1e-9);
    }
  }
}

TEST(Ewma, OrderFlag) {
  const std::vector<double> p = random_walk(80, 23);
  const std::vector<double> rev(p.rbegin(), p.rend());
  const double oldest_first = vexal::Price_Vol_EWMA(p.data(), 80, 0.9, 252, 0);
  expect_rel(vexal::Price_Vol_EWMA(rev.data(), 80, 0.9, 252, 1), oldest_first, 1e-14);
  EXPECT_EQ(vexal::Price_Vol_EWMA(rev.data(), 80, 0.9, 252, -3.5), vexal::Price_Vol_EWMA(rev.data(), 80, 0.9, 252, 1));
  // Only an exact 0 (or -0, or NaN) means oldest first.
  EXPECT_EQ(vexal::Price_Vol_EWMA(p.data(), 80, 0.9, 252, -0.0), oldest_first);
  EXPECT_EQ(vexal::Price_Vol_EWMA(p.data(), 80, 0.9, 252, kNaN), oldest_first);
  EXPECT_NE(vexal::Price_Vol_EWMA(p.data(), 80, 0.9, 252, 1e-300), oldest_first);
}

TEST(Ewma, DegenerateInputs) {
  const std::vector<double> p = random_walk(20, 24);
  EXPECT_TRUE(std::isnan(vexal::Price_Vol_EWMA(p.data(), 1, 0.9, 252, 0)));
  EXPECT_TRUE(std::isnan(vexal::Price_Vol_EWMA(p.data(), 20, 1.0, 252, 0)));
  // n = 2: the one return, whatever lambda.
  EXPECT_DOUBLE_EQ(vexal::Price_Vol_EWMA(p.data(), 2, 0.3, 1, 0), std::fabs(std::log(p[1] / p[0])));
}

TEST(Parkinson, AgreesWithLongDouble) {
  for (std::uint64_t seed : {31u, 32u, 33u}) {
    for (std::size_t n : {1u, 25u, 700u}) {
      const Bars b = random_bars(n, seed);
      SCOPED_TRACE(testing::Message() << "seed " << seed << " n " << n);
      expect_rel(vexal::Price_Vol_Parkinson(b.high.data(), b.low.data(), 252, n), parkinson_reference(b, 252));
    }
  }
}

TEST(Parkinson, SymmetricInHighAndLowAndZeroWithoutRange) {
  const Bars b = random_bars(50, 34);
  expect_rel(vexal::Price_Vol_Parkinson(b.low.data(), b.high.data(), 252, 50),
             vexal::Price_Vol_Parkinson(b.high.data(), b.low.data(), 252, 50), 1e-14);
  EXPECT_EQ(vexal::Price_Vol_Parkinson(b.close.data(), b.close.data(), 252, 50), 0.0);
  // Reads bars 0..n-1 only.
  std::vector<double> h(b.high.begin(), b.high.begin() + 5), l(b.low.begin(), b.low.begin() + 5);
  h.push_back(kNaN);
  l.push_back(kNaN);
  EXPECT_TRUE(std::isfinite(vexal::Price_Vol_Parkinson(h.data(), l.data(), 252, 5)));
}

TEST(YangZhang, AgreesWithTwoPassLongDouble) {
  for (std::uint64_t seed : {41u, 42u, 43u}) {
    for (std::size_t n : {3u, 22u, 500u}) {
      const Bars b = random_bars(n, seed);
      SCOPED_TRACE(testing::Message() << "seed " << seed << " n " << n);
      expect_rel(vexal::Price_Vol_YangZhang(b.open.data(), b.high.data(), b.low.data(), b.close.data(), 252, n),
                 yang_zhang_reference(b, 252));
    }
  }
}

// Bars that open at the previous close and trade only between open and
// close leave the overnight and Rogers-Satchell terms exactly 0, so the
// square of the result is k times the open-to-close variance.
TEST(YangZhang, WeightOfTheOpenToCloseVariance) {
  Bars b = random_bars(22, 44);
  for (std::size_t i = 1; i < 22; ++i) {
    b.open[i] = b.close[i - 1];
    b.high[i] = std::max(b.open[i], b.close[i]);
    b.low[i] = std::min(b.open[i], b.close[i]);
  }
  const double v = vexal::Price_Vol_YangZhang(b.open.data(), b.high.data(), b.low.data(), b.close.data(), 1, 22);
  std::vector<long double> c;
  for (std::size_t i = 1; i < 22; ++i) c.push_back(std::log(static_cast<long double>(b.close[i]) / b.open[i]));
  const long double sd = sample_sd(c);
  expect_rel(v * v / (sd * sd), 0.34L / (1 + 22.0L / 20.0L), 1e-13);
}

TEST(YangZhang, PeriodCounts) {
  const Bars b = random_bars(5, 45);
  const double* o = b.open.data();
  EXPECT_FALSE(std::isfinite(vexal::Price_Vol_YangZhang(o, b.high.data(), b.low.data(), b.close.data(), 252, 2)));
  EXPECT_TRUE(std::isfinite(vexal::Price_Vol_YangZhang(o, b.high.data(), b.low.data(), b.close.data(), 252, 3)));
  EXPECT_TRUE(std::isnan(vexal::Price_Vol_YangZhang(o, b.high.data(), b.low.data(), b.close.data(), 252, kNaN)));
}
