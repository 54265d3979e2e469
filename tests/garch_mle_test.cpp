// GARCH(1,1) by maximum likelihood (include/vexal_garch.h): the published
// Deutschmark/pound benchmark, recovery of simulated parameters under both
// error laws, refused input, and the many-series form against single fits.
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../include/vexal_garch.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<double> dem2gbp() {
  const std::string here = __FILE__;
  std::ifstream in(here.substr(0, here.find_last_of("/\\") + 1) + "data/dem2gbp.csv");
  std::vector<double> y;
  std::string line;
  while (std::getline(in, line))
    if (!line.empty() && line[0] != '#' && line[0] != 'D') y.push_back(std::stod(line));
  return y;
}

vexal_garch_mle_result fit(const std::vector<double>& y, int mean = VEXAL_GARCH_CONSTANT,
                           int dist = VEXAL_GARCH_NORMAL, int h0 = VEXAL_GARCH_SAMPLE) {
  vexal_garch_mle_result r;
  EXPECT_EQ(vexal_garch_mle(y.data(), static_cast<long long>(y.size()), mean, dist, h0, &r, nullptr, nullptr),
            VEXAL_OK);
  return r;
}

// Fiorentini, Calzolari and Panattoni (1996), McCullough and Renfro (1998):
// estimates and log-likelihood to their published digits, standard errors
// from the inverse Hessian to three. Each published value must be met to
// half a unit of its last digit, omega to one unit: its maximum lies at
// 0.01076140, the same in fGarch (0.01076139), beside the published 0.0107613.
TEST(GarchMle, DeutschmarkPoundBenchmark) {
  const std::vector<double> y = dem2gbp();
  ASSERT_EQ(y.size(), 1974u);
  const vexal_garch_mle_result r = fit(y);
  EXPECT_EQ(r.converged, 1);
  struct {
    const char* what;
    double got, published, last_digit, units;
  } rows[] = {
      {"mu", r.params[0], -0.00619041, 1e-8, 0.5},       {"omega", r.params[1], 0.0107613, 1e-7, 1},
      {"alpha", r.params[2], 0.153134, 1e-6, 0.5},       {"beta", r.params[3], 0.805974, 1e-6, 0.5},
      {"loglik", r.loglik, -1106.608, 1e-3, 0.5},        {"se mu", r.se_hessian[0], 0.00846212, 1e-5, 0.5},
      {"se omega", r.se_hessian[1], 0.00285271, 1e-5, 0.5}, {"se alpha", r.se_hessian[2], 0.0265228, 1e-4, 0.5},
      {"se beta", r.se_hessian[3], 0.0335527, 1e-4, 0.5},
  };
  for (const auto& row : rows)
    EXPECT_NEAR(row.got, row.published, row.units * row.last_digit * (1 + 1e-9)) << row.what;
  EXPECT_TRUE(std::isnan(r.params[4]));
  EXPECT_NEAR(r.aic, -2 * r.loglik + 8, 1e-9);
  EXPECT_NEAR(r.persistence, r.params[2] + r.params[3], 1e-15);

  // The same fit from returns in decimals: mu and omega scaled, the rest equal.
  std::vector<double> decimal(y);
  for (double& v : decimal) v /= 100;
  const vexal_garch_mle_result d = fit(decimal);
  EXPECT_NEAR(d.params[0] * 100, r.params[0], 1e-10);
  EXPECT_NEAR(d.params[1] * 1e4, r.params[1], 1e-10);
  EXPECT_NEAR(d.params[2], r.params[2], 1e-8);
  EXPECT_NEAR(d.params[3], r.params[3], 1e-8);
  EXPECT_NEAR(d.se_robust[3], r.se_robust[3], 1e-7);
  EXPECT_NEAR(d.loglik, r.loglik + 1974 * std::log(100.0), 1e-7);

  // The forecast starts from the last observation and tends to omega / (1 - alpha - beta).
  std::vector<double> h(y.size()), f(2000);
  ASSERT_EQ(vexal_garch_mle(y.data(), 1974, 0, 0, 0, nullptr, nullptr, nullptr), VEXAL_E_NULL);
  vexal_garch_mle_result again;
  ASSERT_EQ(vexal_garch_mle(y.data(), 1974, 0, 0, 0, &again, h.data(), nullptr), VEXAL_OK);
  ASSERT_EQ(vexal_garch_mle_forecast(&again, 2000, f.data()), VEXAL_OK);
  const double e = y.back() - r.params[0];
  EXPECT_NEAR(f[0], r.params[1] + r.params[2] * e * e + r.params[3] * h.back(), 1e-12);
  EXPECT_NEAR(f[1999], r.unconditional_variance, 1e-9);
}

// A seeded GARCH(1,1) series whose z are normal, or standardised t with nu
// degrees of freedom (a whole number here, as a ratio of normals).
std::vector<double> simulate(int n, const double* theta, int nu, unsigned seed) {
  std::mt19937 gen(seed);
  auto uniform = [&] { return (gen() + 0.5) / 4294967296.0; };
  auto normal = [&] {
    return std::sqrt(-2 * std::log(uniform())) * std::cos(2 * std::numbers::pi * uniform());
  };
  const double mu = theta[0], omega = theta[1], alpha = theta[2], beta = theta[3];
  std::vector<double> y(n);
  double h = omega / (1 - alpha - beta), e = 0;
  for (int t = -500; t < n; ++t) {  // a burn-in from the unconditional variance
    h = omega + alpha * e * e + beta * h;
    double z = normal();
    if (nu > 0) {
      double chi2 = 0;
      for (int k = 0; k < nu; ++k) {
        const double g = normal();
        chi2 += g * g;
      }
      z *= std::sqrt((nu - 2) / chi2);
    }
    e = std::sqrt(h) * z;
    if (t >= 0) y[t] = mu + e;
  }
  return y;
}

// Known parameters lie within three of their standard errors (Hessian and
// robust), and the t fit finds nu; on normal data the t fit runs to its
// bound nu = 500, within a whisker of the normal fit's likelihood.
TEST(GarchMle, RecoversSimulatedParameters) {
  const double theta[5] = {0.04, 0.05, 0.09, 0.86, 6};
  for (int nu : {0, 6}) {
    const std::vector<double> y = simulate(4000, theta, nu, 2024);
    const vexal_garch_mle_result r = fit(y, VEXAL_GARCH_CONSTANT, nu ? VEXAL_GARCH_T : VEXAL_GARCH_NORMAL);
    EXPECT_EQ(r.converged, 1) << nu;
    for (int i = 0; i < (nu ? 5 : 4); ++i) {
      EXPECT_LT(std::fabs(r.params[i] - theta[i]), 3 * r.se_hessian[i]) << "parameter " << i << ", nu " << nu;
      EXPECT_LT(std::fabs(r.params[i] - theta[i]), 3 * r.se_robust[i]) << "parameter " << i << ", nu " << nu;
      EXPECT_GT(r.se_hessian[i], 0);
    }
    if (!nu) {
      const vexal_garch_mle_result t = fit(y, VEXAL_GARCH_CONSTANT, VEXAL_GARCH_T);
      EXPECT_NEAR(t.loglik, r.loglik, 0.1);
      EXPECT_GT(t.params[4], 400);
    }
  }
}

// Refused input: a code, and nothing written.
TEST(GarchMle, BadInputWritesNothing) {
  std::vector<double> good = simulate(50, std::vector<double>{0, 0.05, 0.1, 0.8}.data(), 0, 1);
  std::vector<double> nan_inside(good), inf_inside(good), flat(20, 0.5);
  nan_inside[7] = kNaN;
  inf_inside[30] = -INFINITY;
  const std::vector<double> zeros(20, 0.0);
  struct {
    const char* what;
    const double* y;
    long long n;
    int mean, dist, h0;
    int code;
  } rows[] = {
      {"nine returns", good.data(), 9, 0, 0, 0, VEXAL_E_GARCH_SHORT},
      {"no returns", nullptr, 0, 0, 0, 0, VEXAL_E_GARCH_SHORT},
      {"NaN inside", nan_inside.data(), 50, 0, 0, 0, VEXAL_E_GARCH_NOT_FINITE},
      {"infinity inside", inf_inside.data(), 50, 0, 1, 0, VEXAL_E_GARCH_NOT_FINITE},
      {"constant series", flat.data(), 20, VEXAL_GARCH_CONSTANT, 0, 0, VEXAL_E_GARCH_CONSTANT},
      {"zeros, zero mean", zeros.data(), 20, VEXAL_GARCH_ZERO, 0, 0, VEXAL_E_GARCH_CONSTANT},
      {"mean 2", good.data(), 50, 2, 0, 0, VEXAL_E_GARCH_OPTION},
      {"dist -1", good.data(), 50, 0, -1, 0, VEXAL_E_GARCH_OPTION},
      {"h0 5", good.data(), 50, 0, 0, 5, VEXAL_E_GARCH_OPTION},
      {"negative n", good.data(), -1, 0, 0, 0, VEXAL_E_NEGATIVE},
      {"null returns", nullptr, 50, 0, 0, 0, VEXAL_E_NULL},
  };
  for (const auto& row : rows) {
    vexal_garch_mle_result r, before;
    std::memset(&r, 0x5a, sizeof r);
    before = r;
    std::vector<double> h(60, 7.0);
    EXPECT_EQ(vexal_garch_mle(row.y, row.n, row.mean, row.dist, row.h0, &r, h.data(), h.data()), row.code)
        << row.what;
    EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << row.what;
    EXPECT_EQ(h, std::vector<double>(60, 7.0)) << row.what;
    EXPECT_LT(row.code, 0);
    EXPECT_STRNE(vexal_error(row.code), "unknown return code") << row.what;

    // The same series as the second of a block of two: refused before either is fitted.
    if (row.n < 0 || !row.y) continue;
    std::vector<double> block(good.begin(), good.end());
    block.insert(block.end(), row.y, row.y + row.n);
    const long long lengths[] = {50, row.n};
    vexal_garch_mle_result many[2];
    std::memset(many, 0x5a, sizeof many);
    EXPECT_EQ(vexal_garch_mle_many(2, block.data(), 50, lengths, row.mean, row.dist, row.h0, many, 2), row.code)
        << row.what;
    EXPECT_EQ(std::memcmp(&many[0], &before, sizeof before), 0) << row.what;
  }
  vexal_garch_mle_result r;
  const long long lengths[] = {50, 51};
  EXPECT_EQ(vexal_garch_mle_many(2, good.data(), 50, lengths, 0, 0, 0, &r, 1), VEXAL_E_COUNT);
  EXPECT_EQ(vexal_garch_mle_many(2, good.data(), 50, nullptr, 0, 0, 0, &r, 1), VEXAL_E_NULL);
  EXPECT_EQ(vexal_garch_mle_many(1, good.data(), 50, lengths, 0, 0, 0, &r, -1), VEXAL_E_THREADS);
  EXPECT_EQ(vexal_garch_mle_many(-1, good.data(), 50, lengths, 0, 0, 0, &r, 1), VEXAL_E_NEGATIVE);
  EXPECT_EQ(vexal_garch_mle_forecast(&r, -1, nullptr), VEXAL_E_NEGATIVE);
  EXPECT_EQ(vexal_garch_mle_forecast(nullptr, 3, good.data()), VEXAL_E_NULL);
}

// Every series of a block, on 1, 2 and 3 threads, is bit for bit its own fit.
TEST(GarchMle, ManyIsSingleFitsBitForBit) {
  const long long stride = 1500, series = 6;
  std::vector<double> block(stride * series, kNaN);
  std::vector<long long> lengths;
  for (long long k = 0; k < series; ++k) {
    const double theta[4] = {0.01 * static_cast<double>(k), 0.02 + 0.01 * static_cast<double>(k), 0.08, 0.88};
    const std::vector<double> y = simulate(static_cast<int>(600 + 150 * k), theta, k % 2 ? 5 : 0, 100 + k);
    std::copy(y.begin(), y.end(), block.begin() + k * stride);
    lengths.push_back(static_cast<long long>(y.size()));
  }
  for (int dist : {VEXAL_GARCH_NORMAL, VEXAL_GARCH_T})
    for (int mean : {VEXAL_GARCH_CONSTANT, VEXAL_GARCH_ZERO}) {
      const int h0 = dist == VEXAL_GARCH_T ? VEXAL_GARCH_BACKCAST : VEXAL_GARCH_SAMPLE;
      std::vector<vexal_garch_mle_result> single(series);
      for (long long k = 0; k < series; ++k)
        ASSERT_EQ(vexal_garch_mle(block.data() + k * stride, lengths[k], mean, dist, h0, &single[k], nullptr,
                                  nullptr),
                  VEXAL_OK);
      for (int threads : {1, 2, 3}) {
        std::vector<vexal_garch_mle_result> many(series);
        ASSERT_EQ(vexal_garch_mle_many(series, block.data(), stride, lengths.data(), mean, dist, h0, many.data(),
                                       threads),
                  VEXAL_OK);
        for (long long k = 0; k < series; ++k)
          EXPECT_EQ(std::memcmp(&many[k], &single[k], sizeof many[k]), 0)
              << "series " << k << ", dist " << dist << ", mean " << mean << ", threads " << threads;
      }
    }
}

}  // namespace
