// GJR volatility, skewed and fat-tailed errors, an AR(1) mean, risk and the
// rolling backtest (include/vexal_garch.h): against fGarch on R's
// EuStockMarkets (tests/garch_models_reference.h, from
// tests/garch_models_reference.R), against an independent likelihood in
// long double, on simulated series, and on refused input.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../include/vexal_garch.h"
#include "fitting/garch_mle.h"
#include "garch_models_reference.h"

namespace {

using ld = long double;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kSeries[] = {"DAX", "SMI", "CAC", "FTSE"};

std::vector<std::vector<double>> eustock() {
  const std::string here = __FILE__;
  std::ifstream in(here.substr(0, here.find_last_of("/\\") + 1) + "data/eustock.csv");
  std::vector<std::vector<double>> cols(4);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line[0] == 'D') continue;
    std::stringstream row(line);
    std::string cell;
    for (auto& col : cols) {
      std::getline(row, cell, ',');
      col.push_back(std::stod(cell));
    }
  }
  return cols;
}

// fGarch's densities, as its dnorm, dstd, dsstd and dged define them.
ld log_density(int dist, ld x, ld nu, ld xi) {
  const ld pi = std::numbers::pi_v<ld>;
  switch (dist) {
    case VEXAL_GARCH_NORMAL: return -0.5L * std::log(2 * pi) - 0.5L * x * x;
    case VEXAL_GARCH_T: {  // dt(x s, nu) s, s = sqrt(nu / (nu - 2))
      const ld s = std::sqrt(nu / (nu - 2)), z = x * s;
      return std::lgamma((nu + 1) / 2) - std::lgamma(nu / 2) - 0.5L * std::log(nu * pi) -
             (nu + 1) / 2 * std::log1p(z * z / nu) + std::log(s);
    }
    case VEXAL_GARCH_SKEWT: {
      const ld m1 = 2 * std::sqrt(nu - 2) / (nu - 1) /
                    std::exp(std::lgamma(0.5L) + std::lgamma(nu / 2) - std::lgamma((nu + 1) / 2));
      const ld mu = m1 * (xi - 1 / xi), sigma = std::sqrt((1 - m1 * m1) * (xi * xi + 1 / (xi * xi)) + 2 * m1 * m1 - 1);
      const ld z = x * sigma + mu, g = 2 / (xi + 1 / xi);
      return std::log(g) + log_density(VEXAL_GARCH_T, z / (z >= 0 ? xi : 1 / xi), nu, 1) + std::log(sigma);
    }
    case VEXAL_GARCH_GED: {
      const ld lambda = std::sqrt(std::pow(2.0L, -2 / nu) * std::exp(std::lgamma(1 / nu) - std::lgamma(3 / nu)));
      const ld g = nu / (lambda * std::pow(2.0L, 1 + 1 / nu) * std::exp(std::lgamma(1 / nu)));
      return std::log(g) - 0.5L * std::pow(std::fabs(x / lambda), nu);
    }
  }
  return NAN;
}

// The model's log-likelihood at th (the eight slots), written from its
// definition: AR(1) conditioned on the first return, the pre-sample e^2 and h
// the mean of e^2 with the asymmetric term at gamma / 2.
ld loglik(const std::vector<double>& y, const vexal_garch_options& o, const ld* th) {
  const bool ar = o.mean == VEXAL_GARCH_AR1, gjr = o.vol == VEXAL_GARCH_GJR;
  const ld mu = o.mean == VEXAL_GARCH_ZERO ? 0 : th[0], phi = ar ? th[1] : 0, gamma = gjr ? th[4] : 0;
  const std::size_t first = ar ? 1 : 0;
  std::vector<ld> e(y.size());
  ld s = 0;
  for (std::size_t t = first; t < y.size(); ++t) {
    e[t] = y[t] - mu - (ar ? phi * y[t - 1] : 0);
    s += e[t] * e[t];
  }
  s /= static_cast<ld>(y.size() - first);
  ld h = th[2] + (th[3] + gamma / 2 + th[5]) * s, sum = 0;
  for (std::size_t t = first; t < y.size(); ++t) {
    if (t > first) h = th[2] + (th[3] + (e[t - 1] < 0 ? gamma : 0)) * e[t - 1] * e[t - 1] + th[5] * h;
    sum += log_density(o.dist, e[t] / std::sqrt(h), th[6], th[7]) - 0.5L * std::log(h);
  }
  return sum;
}

// Standard errors from the inverse of a central-difference Hessian of
// loglik (steps of 2e-3 standard errors, Richardson-extrapolated).
std::vector<double> numerical_std_err(const std::vector<double>& y, const vexal_garch_options& o,
                                      const vexal_garch_mle2_result& r, const std::vector<int>& free) {
  const int k = static_cast<int>(free.size());
  ld th[8];
  for (int i = 0; i < 8; ++i) th[i] = std::isnan(r.params[i]) ? 1 : r.params[i];
  auto at = [&](int i, ld di, int j, ld dj) {
    ld p[8];
    std::copy(th, th + 8, p);
    p[free[i]] += di;
    p[free[j]] += dj;
    return loglik(y, o, p);
  };
  const ld f0 = loglik(y, o, th);
  std::vector<ld> a(k * k);
  for (int i = 0; i < k; ++i)
    for (int j = i; j < k; ++j) {
      auto second = [&](ld scale) {
        const ld hi = scale * r.se_hessian[free[i]], hj = scale * r.se_hessian[free[j]];
        if (i == j) return (at(i, hi, i, 0) - 2 * f0 + at(i, -hi, i, 0)) / (hi * hi);
        return (at(i, hi, j, hj) - at(i, hi, j, -hj) - at(i, -hi, j, hj) + at(i, -hi, j, -hj)) / (4 * hi * hj);
      };
      a[i * k + j] = a[j * k + i] = -(4 * second(1e-4L) - second(2e-4L)) / 3;
    }
  // Inverse by Gauss-Jordan.
  std::vector<ld> inv(k * k, 0);
  for (int i = 0; i < k; ++i) inv[i * k + i] = 1;
  for (int c = 0; c < k; ++c) {
    const ld d = a[c * k + c];
    for (int j = 0; j < k; ++j) {
      a[c * k + j] /= d;
      inv[c * k + j] /= d;
    }
    for (int i = 0; i < k; ++i)
      if (i != c) {
        const ld f = a[i * k + c];
        for (int j = 0; j < k; ++j) {
          a[i * k + j] -= f * a[c * k + j];
          inv[i * k + j] -= f * inv[c * k + j];
        }
      }
  }
  std::vector<double> se;
  for (int i = 0; i < k; ++i) se.push_back(static_cast<double>(std::sqrt(inv[i * k + i])));
  return se;
}

std::vector<int> free_slots(const vexal_garch_mle2_result& r) {
  std::vector<int> free;
  for (int i = 0; i < 8; ++i)
    if (!std::isnan(r.params[i])) free.push_back(i);
  return free;
}

// fGarch's densities as the test writes them, at fGarch's own values; its
// quantiles, and shortfalls by R's integrate, against the library's tails.
TEST(GarchModels, ErrorLawsMatchFGarch) {
  for (const fgarch::Law& law : fgarch::kLaws) {
    for (int i = 0; i < 9; ++i)
      EXPECT_NEAR(std::exp(log_density(law.dist, fgarch::kPoints[i], law.nu, law.skew)) / law.density[i], 1, 1e-12)
          << law.dist << " " << law.nu << " " << law.skew << " at " << fgarch::kPoints[i];
    const vexal::GarchDist dists[] = {vexal::GarchDist::normal, vexal::GarchDist::t, vexal::GarchDist::skewt,
                                      vexal::GarchDist::ged};
    const double levels[] = {0.01, 0.05};
    for (int j = 0; j < 2; ++j) {
      double q, shortfall;
      vexal::garch_law_tail(dists[law.dist], law.nu, law.skew, levels[j], q, shortfall);
      EXPECT_NEAR(q, law.quantile[j], 1e-9 * std::fabs(law.quantile[j])) << law.dist << " " << law.nu;
      EXPECT_NEAR(shortfall, law.shortfall[j], 1e-9 * std::fabs(law.shortfall[j])) << law.dist << " " << law.nu;
    }
  }
}

// Every fit of the table: the maximum at least fGarch's (its estimates
// scored by this model's likelihood; fGarch's GJR starts h from alpha +
// beta and its AR(1) takes in the first return with e = 0, so only the
// GARCH fits compare with its own figure too); the reported log-likelihood
// equal to fGarch's density at the returned residuals and variances; Hessian
// standard errors equal to those of an independent numerical Hessian; the
// one-step forecast and risk from the last observation.
TEST(GarchModels, EuStockMarketsAgainstFGarch) {
  const std::vector<std::vector<double>> cols = eustock();
  ASSERT_EQ(cols[0].size(), 1859u);
  for (const fgarch::Fit& ref : fgarch::kFits) {
    const std::vector<double>& y = cols[ref.series];
    const vexal_garch_options o{ref.mean, ref.vol, ref.dist, VEXAL_GARCH_SAMPLE};
    const std::string what = std::string(kSeries[ref.series]) + " mean " + std::to_string(ref.mean) + " vol " +
                             std::to_string(ref.vol) + " dist " + std::to_string(ref.dist);
    vexal_garch_mle2_result r;
    std::vector<double> h(y.size()), z(y.size());
    ASSERT_EQ(vexal_garch_mle2(y.data(), static_cast<long long>(y.size()), &o, &r, h.data(), z.data()), VEXAL_OK);
    EXPECT_EQ(r.converged, 1) << what;
    if (ref.ok) {
      ld th[8];
      for (int i = 0; i < 8; ++i) th[i] = std::isnan(ref.params[i]) ? 1 : ref.params[i];
      const ld theirs = loglik(y, o, th);
      EXPECT_GE(r.loglik, static_cast<double>(theirs) - 1e-6) << what;
      if (ref.vol == VEXAL_GARCH_GARCH && ref.mean != VEXAL_GARCH_AR1) {
        EXPECT_NEAR(static_cast<double>(theirs), ref.loglik, 1e-6) << what;
      }
    }
    const std::size_t first = ref.mean == VEXAL_GARCH_AR1 ? 1 : 0;
    ld sum = 0;
    for (std::size_t t = first; t < y.size(); ++t)
      sum += log_density(ref.dist, z[t], r.params[6], r.params[7]) - 0.5L * std::log(static_cast<ld>(h[t]));
    EXPECT_NEAR(static_cast<double>(sum), r.loglik, 1e-8) << what;
    EXPECT_EQ(r.observations, static_cast<long long>(y.size() - first));

    const std::vector<int> free = free_slots(r);
    const std::vector<double> se = numerical_std_err(y, o, r, free);
    for (std::size_t i = 0; i < free.size(); ++i)
      EXPECT_NEAR(r.se_hessian[free[i]] / se[i], 1, 1e-4) << what << " slot " << free[i];

    double mean[50], var[50], risk, shortfall, q, qs;
    ASSERT_EQ(vexal_garch_mle2_forecast(&r, 50, mean, var), VEXAL_OK);
    const double e = r.last_residual, a = r.params[3] + (ref.vol && e < 0 ? r.params[4] : 0);
    EXPECT_NEAR(var[0], r.params[2] + a * e * e + r.params[5] * h.back(), 1e-12 * var[0]) << what;
    for (int j = 1; j < 50; ++j) EXPECT_EQ(var[j], r.params[2] + r.persistence * var[j - 1]) << what;
    const double mu = r.params[0], phi = ref.mean == VEXAL_GARCH_AR1 ? r.params[1] : 0;
    EXPECT_NEAR(mean[0], mu + phi * y.back(), 1e-14) << what;
    ASSERT_EQ(vexal_garch_mle2_risk(&r, 0.025, &risk, &shortfall), VEXAL_OK);
    const vexal::GarchDist dists[] = {vexal::GarchDist::normal, vexal::GarchDist::t, vexal::GarchDist::skewt,
                                      vexal::GarchDist::ged};
    vexal::garch_law_tail(dists[ref.dist], r.params[6], r.params[7], 0.025, q, qs);
    EXPECT_EQ(risk, -(mean[0] + std::sqrt(var[0]) * q)) << what;
    EXPECT_EQ(shortfall, -(mean[0] + std::sqrt(var[0]) * qs)) << what;
    EXPECT_GT(shortfall, risk) << what;
  }
}

// The options of the first fit, through the new entry point: the same doubles.
TEST(GarchModels, FirstOptionsUnchanged) {
  const std::vector<double> y = eustock()[1];
  for (int mean : {VEXAL_GARCH_CONSTANT, VEXAL_GARCH_ZERO})
    for (int dist : {VEXAL_GARCH_NORMAL, VEXAL_GARCH_T})
      for (int h0 : {VEXAL_GARCH_SAMPLE, VEXAL_GARCH_BACKCAST}) {
        const vexal_garch_options o{mean, VEXAL_GARCH_GARCH, dist, h0};
        vexal_garch_mle_result old;
        vexal_garch_mle2_result r;
        ASSERT_EQ(vexal_garch_mle(y.data(), 1859, mean, dist, h0, &old, nullptr, nullptr), VEXAL_OK);
        ASSERT_EQ(vexal_garch_mle2(y.data(), 1859, mean || dist || h0 ? &o : nullptr, &r, nullptr, nullptr), VEXAL_OK);
        const int slot[] = {0, 2, 3, 5, 6};
        for (int i = mean == VEXAL_GARCH_ZERO ? 1 : 0; i < (dist ? 5 : 4); ++i) {
          EXPECT_EQ(std::memcmp(&old.params[i], &r.params[slot[i]], 8), 0) << mean << dist << h0 << " " << i;
          EXPECT_EQ(std::memcmp(&old.se_robust[i], &r.se_robust[slot[i]], 8), 0) << mean << dist << h0 << " " << i;
        }
        EXPECT_EQ(std::memcmp(&old.loglik, &r.loglik, 8), 0);
      }
}

// Draws z of each law with unit variance.
struct Draw {
  std::mt19937_64 gen;
  std::normal_distribution<double> normal;
  std::uniform_real_distribution<double> uniform;
  double operator()(int dist, double nu, double xi) {
    if (dist == VEXAL_GARCH_NORMAL) return normal(gen);
    if (dist == VEXAL_GARCH_GED) {
      const double lambda = std::sqrt(std::pow(2.0, -2 / nu) * std::tgamma(1 / nu) / std::tgamma(3 / nu));
      const double w = std::gamma_distribution<double>(1 / nu, 1)(gen);
      return (uniform(gen) < 0.5 ? -1 : 1) * lambda * std::pow(2 * w, 1 / nu);
    }
    const double t = normal(gen) / std::sqrt(std::chi_squared_distribution<double>(nu)(gen) / nu);
    const double unit = t * std::sqrt((nu - 2) / nu);
    if (dist == VEXAL_GARCH_T) return unit;
    const double m1 = 2 * std::sqrt(nu - 2) / (nu - 1) * std::exp(std::lgamma((nu + 1) / 2) - std::lgamma(nu / 2)) /
                      std::sqrt(std::numbers::pi);
    const double mean = m1 * (xi - 1 / xi), sd = std::sqrt((1 - m1 * m1) * (xi * xi + 1 / (xi * xi)) + 2 * m1 * m1 - 1);
    const double x = uniform(gen) < xi * xi / (1 + xi * xi) ? xi * std::fabs(unit) : -std::fabs(unit) / xi;
    return (x - mean) / sd;
  }
};

std::vector<double> simulate(const vexal_garch_options& o, const double* th, std::size_t n, unsigned seed) {
  Draw draw{std::mt19937_64(seed), {}, std::uniform_real_distribution<double>(0, 1)};
  std::vector<double> y(n);
  const double gamma = o.vol ? th[4] : 0, phi = o.mean == VEXAL_GARCH_AR1 ? th[1] : 0;
  double h = th[2] / (1 - th[3] - gamma / 2 - th[5]), e = 0, prev = th[0] / (1 - phi);
  for (long t = -500; t < static_cast<long>(n); ++t) {
    h = th[2] + (th[3] + (e < 0 ? gamma : 0)) * e * e + th[5] * h;
    e = std::sqrt(h) * draw(o.dist, th[6], th[7]);
    prev = th[0] + phi * prev + e;
    if (t >= 0) y[t] = prev;
  }
  return y;
}

// 20,000 points of each model: every estimate within three standard errors.
TEST(GarchModels, RecoversSimulatedParameters) {
  struct {
    vexal_garch_options o;
    double th[8];
  } rows[] = {
      {{0, 0, 0, 0}, {0.05, 0, 0.04, 0.07, 0, 0.9, 0, 0}},
      {{0, 0, 1, 0}, {0.05, 0, 0.03, 0.08, 0, 0.9, 6, 0}},
      {{0, 0, 2, 0}, {0.05, 0, 0.03, 0.08, 0, 0.9, 6, 0.9}},
      {{0, 0, 3, 0}, {0.05, 0, 0.03, 0.08, 0, 0.9, 1.3, 0}},
      {{0, 1, 0, 0}, {0.05, 0, 0.05, 0.03, 0.1, 0.88, 0, 0}},
      {{0, 1, 1, 0}, {0.05, 0, 0.05, 0.03, 0.1, 0.88, 7, 0}},
      {{0, 1, 2, 0}, {0.05, 0, 0.05, 0.03, 0.1, 0.88, 7, 0.9}},
      {{0, 1, 3, 0}, {0.05, 0, 0.05, 0.03, 0.1, 0.88, 1.4, 0}},
      {{2, 0, 0, 0}, {0.05, 0.08, 0.04, 0.07, 0, 0.9, 0, 0}},
      {{2, 1, 2, 0}, {0.05, 0.08, 0.05, 0.03, 0.1, 0.88, 7, 0.9}},
  };
  unsigned seed = 30;
  for (const auto& row : rows) {
    const std::vector<double> y = simulate(row.o, row.th, 20000, ++seed);
    vexal_garch_mle2_result r;
    ASSERT_EQ(vexal_garch_mle2(y.data(), 20000, &row.o, &r, nullptr, nullptr), VEXAL_OK);
    EXPECT_EQ(r.converged, 1) << seed;
    for (int i : free_slots(r))
      EXPECT_LT(std::fabs(r.params[i] - row.th[i]), 3 * r.se_hessian[i]) << "model " << seed << " slot " << i;
  }
}

// Kupiec's and Christoffersen's statistics by the textbook, in long double.
void textbook(const unsigned char* hit, long long days, double p, ld* pof, ld* ind) {
  auto xlogy = [](ld a, ld b) { return a == 0 ? 0.0L : a * std::log(b); };
  ld x = 0, n[2][2] = {{0, 0}, {0, 0}};
  for (long long t = 0; t < days; ++t) {
    x += hit[t];
    if (t) n[hit[t - 1]][hit[t]] += 1;
  }
  const ld T = days;
  *pof = -2 * (xlogy(T - x, 1 - p) + xlogy(x, p) - xlogy(T - x, 1 - x / T) - xlogy(x, x / T));
  const ld p0 = n[0][1] / (n[0][0] + n[0][1]), p1 = n[1][0] + n[1][1] > 0 ? n[1][1] / (n[1][0] + n[1][1]) : 0;
  const ld pi = (n[0][1] + n[1][1]) / (T - 1);
  *ind = -2 * (xlogy(n[0][0] + n[1][0], 1 - pi) + xlogy(n[0][1] + n[1][1], pi) - xlogy(n[0][0], 1 - p0) -
               xlogy(n[0][1], p0) - xlogy(n[1][0], 1 - p1) - xlogy(n[1][1], p1));
}

// 1,000 days of a GJR-skewt model fitted to the DAX, after a window of 1,000:
// the 1 % VaR holds (Kupiec p > 0.01); the statistics are the textbook's; the
// forecasts are those of single fits; any number of threads gives the same
// bits; a stop leaves the days not done NaN.
TEST(GarchModels, Backtest) {
  const vexal_garch_options o{VEXAL_GARCH_CONSTANT, VEXAL_GARCH_GJR, VEXAL_GARCH_SKEWT, VEXAL_GARCH_SAMPLE};
  vexal_garch_mle2_result dax;
  ASSERT_EQ(vexal_garch_mle2(eustock()[0].data(), 1859, &o, &dax, nullptr, nullptr), VEXAL_OK);
  const std::vector<double> y = simulate(o, dax.params, 2000, 7);
  const long long window = 1000, every = 25, days = 1000;
  std::vector<double> var(days), es(days);
  std::vector<unsigned char> hit(days);
  vexal_garch_backtest_result r;
  ASSERT_EQ(vexal_garch_backtest(y.data(), 2000, window, every, 0.01, &o, var.data(), es.data(), hit.data(), &r, 1),
            VEXAL_OK);
  EXPECT_EQ(r.days, days);
  EXPECT_EQ(r.fits, 40);
  EXPECT_EQ(r.converged, 40);
  EXPECT_GT(r.kupiec.p_value, 0.01);
  long long x = 0;
  for (long long t = 0; t < days; ++t) {
    EXPECT_EQ(hit[t], y[window + t] < -var[t]) << t;
    EXPECT_GT(es[t], var[t]) << t;
    x += hit[t];
  }
  EXPECT_EQ(r.exceedances, x);
  ld pof, ind;
  textbook(hit.data(), days, 0.01, &pof, &ind);
  EXPECT_NEAR(r.kupiec.statistic, static_cast<double>(pof), 1e-10);
  EXPECT_NEAR(r.christoffersen_ind.statistic, static_cast<double>(ind), 1e-10);
  EXPECT_NEAR(r.christoffersen_cc.statistic, static_cast<double>(pof + ind), 1e-10);
  EXPECT_NEAR(r.kupiec.p_value, std::erfc(std::sqrt(static_cast<double>(pof) / 2)), 1e-12);
  EXPECT_NEAR(r.christoffersen_ind.p_value, std::erfc(std::sqrt(static_cast<double>(ind) / 2)), 1e-12);
  EXPECT_NEAR(r.christoffersen_cc.p_value, std::exp(-static_cast<double>(pof + ind) / 2), 1e-12);

  // A refit's day is the single fit's one-step risk; the next day filters
  // that day's return with the same parameters.
  for (long long t : {0LL, 2 * every}) {
    vexal_garch_mle2_result f;
    double v, s, m, h, q, qs;
    ASSERT_EQ(vexal_garch_mle2(y.data() + t, window, &o, &f, nullptr, nullptr), VEXAL_OK);
    ASSERT_EQ(vexal_garch_mle2_risk(&f, 0.01, &v, &s), VEXAL_OK);
    EXPECT_EQ(v, var[t]);
    EXPECT_EQ(s, es[t]);
    ASSERT_EQ(vexal_garch_mle2_forecast(&f, 1, &m, &h), VEXAL_OK);
    const double e = y[window + t] - m, next = f.params[2] + (f.params[3] + (e < 0 ? f.params[4] : 0)) * e * e +
                                              f.params[5] * h;
    vexal::garch_law_tail(vexal::GarchDist::skewt, f.params[6], f.params[7], 0.01, q, qs);
    EXPECT_NEAR(var[t + 1], -(f.params[0] + std::sqrt(next) * q), 1e-12);
    EXPECT_NEAR(es[t + 1], -(f.params[0] + std::sqrt(next) * qs), 1e-12);
  }

  for (int threads : {2, 3}) {
    std::vector<double> var2(days), es2(days);
    std::vector<unsigned char> hit2(days);
    vexal_garch_backtest_result r2;
    ASSERT_EQ(vexal_garch_backtest(y.data(), 2000, window, every, 0.01, &o, var2.data(), es2.data(), hit2.data(), &r2,
                                   threads),
              VEXAL_OK);
    EXPECT_EQ(std::memcmp(var2.data(), var.data(), days * 8), 0) << threads;
    EXPECT_EQ(std::memcmp(es2.data(), es.data(), days * 8), 0) << threads;
    EXPECT_EQ(hit2, hit) << threads;
    EXPECT_EQ(std::memcmp(&r2, &r, sizeof r), 0) << threads;
  }

  auto stop_at_once = [](long long, long long, void*) { return 1; };
  std::vector<double> var3(days, 7);
  vexal_garch_backtest_result r3;
  ASSERT_EQ(vexal_garch_backtest_progress(y.data(), 2000, window, 5, 0.01, &o, var3.data(), nullptr, nullptr, &r3, 1,
                                          stop_at_once, nullptr),
            VEXAL_STOPPED);
  EXPECT_LT(r3.fits, 200);
  for (long long t = 0; t < days; ++t) EXPECT_EQ(std::isnan(var3[t]), t >= r3.fits * 5) << t;
  EXPECT_TRUE(std::isnan(r3.kupiec.statistic));
}

// Refused input: a code naming it, and nothing written.
TEST(GarchModels, BadInputWritesNothing) {
  std::vector<double> good = eustock()[2];
  good.resize(300);
  std::vector<double> nan_inside(good), flat(good);
  nan_inside[150] = kNaN;
  std::fill(flat.begin() + 100, flat.begin() + 200, 0.25);  // the backtest's second window does not vary
  const vexal_garch_options ok{}, ar{VEXAL_GARCH_AR1, 0, 0, 0};
  const vexal_garch_options bad[] = {{3, 0, 0, 0}, {-1, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 4, 0}, {0, 0, 0, 2}};
  struct Row {
    const char* what;
    const double* y;
    long long n, window, every;
    double level;
    const vexal_garch_options* o;
    int fit_code, risk_code, backtest_code;
  };
  std::vector<Row> rows = {
      {"NaN inside", nan_inside.data(), 300, 50, 10, 0.01, &ok, VEXAL_E_GARCH_NOT_FINITE, VEXAL_OK,
       VEXAL_E_GARCH_NOT_FINITE},
      {"ten returns, AR(1)", good.data(), 10, 10, 1, 0.01, &ar, VEXAL_E_GARCH_SHORT, VEXAL_OK, VEXAL_E_GARCH_WINDOW},
      {"nine returns", good.data(), 9, 10, 1, 0.01, &ok, VEXAL_E_GARCH_SHORT, VEXAL_OK, VEXAL_E_GARCH_SHORT},
      {"constant", flat.data() + 100, 100, 50, 10, 0.01, &ok, VEXAL_E_GARCH_CONSTANT, VEXAL_OK,
       VEXAL_E_GARCH_CONSTANT},
      {"a constant window", flat.data(), 300, 100, 100, 0.01, &ok, VEXAL_OK, VEXAL_OK, VEXAL_E_GARCH_CONSTANT},
      {"level 0", good.data(), 300, 50, 10, 0, &ok, VEXAL_OK, VEXAL_E_GARCH_LEVEL, VEXAL_E_GARCH_LEVEL},
      {"level 0.5", good.data(), 300, 50, 10, 0.5, &ok, VEXAL_OK, VEXAL_E_GARCH_LEVEL, VEXAL_E_GARCH_LEVEL},
      {"level NaN", good.data(), 300, 50, 10, kNaN, &ok, VEXAL_OK, VEXAL_E_GARCH_LEVEL, VEXAL_E_GARCH_LEVEL},
      {"window 9", good.data(), 300, 9, 10, 0.01, &ok, VEXAL_OK, VEXAL_OK, VEXAL_E_GARCH_WINDOW},
      {"refit_every 0", good.data(), 300, 50, 0, 0.01, &ok, VEXAL_OK, VEXAL_OK, VEXAL_E_GARCH_WINDOW},
      {"window = n", good.data(), 300, 300, 1, 0.01, &ok, VEXAL_OK, VEXAL_OK, VEXAL_E_GARCH_SHORT},
      {"negative n", good.data(), -1, 50, 1, 0.01, &ok, VEXAL_E_NEGATIVE, VEXAL_OK, VEXAL_E_NEGATIVE},
      {"null returns", nullptr, 300, 50, 1, 0.01, &ok, VEXAL_E_NULL, VEXAL_OK, VEXAL_E_NULL},
  };
  for (const vexal_garch_options& o : bad)
    rows.push_back({"unknown option", good.data(), 300, 50, 10, 0.01, &o, VEXAL_E_GARCH_OPTION, VEXAL_E_GARCH_OPTION,
                    VEXAL_E_GARCH_OPTION});
  vexal_garch_mle2_result fitted;
  ASSERT_EQ(vexal_garch_mle2(good.data(), 300, nullptr, &fitted, nullptr, nullptr), VEXAL_OK);
  for (const Row& row : rows) {
    vexal_garch_mle2_result r, before;
    std::memset(&r, 0x5a, sizeof r);
    before = r;
    std::vector<double> a(300, 7.0), b(300, 7.0);
    std::vector<unsigned char> hit(300, 7);
    if (row.fit_code != VEXAL_OK) {
      EXPECT_EQ(vexal_garch_mle2(row.y, row.n, row.o, &r, a.data(), b.data()), row.fit_code) << row.what;
      EXPECT_EQ(std::memcmp(&r, &before, sizeof r), 0) << row.what;
    }
    if (row.risk_code != VEXAL_OK) {
      vexal_garch_mle2_result f = fitted;
      f.options = *row.o;
      double v = 7, s = 7;
      EXPECT_EQ(vexal_garch_mle2_risk(&f, row.level, &v, &s), row.risk_code) << row.what;
      EXPECT_EQ(v + s, 14) << row.what;
    }
    vexal_garch_backtest_result bt, bt_before;
    std::memset(&bt, 0x5a, sizeof bt);
    bt_before = bt;
    EXPECT_EQ(vexal_garch_backtest(row.y, row.n, row.window, row.every, row.level, row.o, a.data(), b.data(),
                                   hit.data(), &bt, 2),
              row.backtest_code)
        << row.what;
    EXPECT_EQ(std::memcmp(&bt, &bt_before, sizeof bt), 0) << row.what;
    EXPECT_EQ(a, std::vector<double>(300, 7.0)) << row.what;
    EXPECT_EQ(hit, std::vector<unsigned char>(300, 7)) << row.what;
    EXPECT_STRNE(vexal_error(row.backtest_code), "unknown return code") << row.what;
  }
}

}  // namespace
