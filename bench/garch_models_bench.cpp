// The GARCH models on R's EuStockMarkets (tests/data/eustock.csv): one whole
// fit with its standard errors per series and model; GJR with skewed-t
// errors on 2,000 simulated returns; and a rolling backtest of 1,000 days on
// a 1,000-return window refitted daily, on 1 and 2 threads.
// bench/garch_models_side_by_side.py runs these beside fGarch.
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "include/vexal_garch.h"

namespace {

const std::vector<std::vector<double>>& eustock() {
  static const std::vector<std::vector<double>> cols = [] {
    const std::string here = __FILE__;
    std::ifstream in(here.substr(0, here.find_last_of("/\\") + 1) + "../tests/data/eustock.csv");
    std::vector<std::vector<double>> c(4);
    std::string line;
    while (std::getline(in, line)) {
      if (line.empty() || line[0] == '#' || line[0] == 'D') continue;
      std::stringstream row(line);
      std::string cell;
      for (auto& col : c) {
        std::getline(row, cell, ',');
        col.push_back(std::stod(cell));
      }
    }
    return c;
  }();
  return cols;
}

// The models of the side-by-side table: mean, vol, dist.
constexpr int kModels[][3] = {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {0, 0, 3}, {0, 1, 0},
                              {0, 1, 1}, {0, 1, 2}, {0, 1, 3}, {2, 0, 0}};
const char* const kModelNames[] = {"garch normal", "garch t",    "garch skewt", "garch ged", "gjr normal",
                                   "gjr t",        "gjr skewt",  "gjr ged",     "ar1 garch normal"};
const char* const kSeriesNames[] = {"DAX", "SMI", "CAC", "FTSE"};

// Arguments: series, model.
void BM_GarchModel(benchmark::State& st) {
  const auto& cols = eustock();
  if (cols[0].size() != 1859) {
    st.SkipWithError("tests/data/eustock.csv not found");
    return;
  }
  const std::vector<double>& y = cols[st.range(0)];
  const int* m = kModels[st.range(1)];
  const vexal_garch_options o{m[0], m[1], m[2], VEXAL_GARCH_SAMPLE};
  vexal_garch_mle2_result r{};
  for (auto _ : st) {
    vexal_garch_mle2(y.data(), static_cast<long long>(y.size()), &o, &r, nullptr, nullptr);
    benchmark::DoNotOptimize(r);
  }
  st.counters["loglik"] = r.loglik;
  st.counters["iterations"] = r.iterations;
  st.SetLabel(std::string(kSeriesNames[st.range(0)]) + " " + kModelNames[st.range(1)]);
}
BENCHMARK(BM_GarchModel)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1, 2, 3, 4, 5, 6, 7, 8}})
    ->Unit(benchmark::kMillisecond);

// 3,000 returns of GJR with skewed-t errors at the DAX's estimates.
std::vector<double> simulated(std::size_t n) {
  const double mu = 0.06, omega = 0.028, alpha = 0.056, gamma = 0.058, beta = 0.89, nu = 6.2, xi = 0.97;
  std::mt19937_64 gen(2026);
  std::normal_distribution<double> normal;
  std::chi_squared_distribution<double> chi2(nu);
  std::uniform_real_distribution<double> uniform(0, 1);
  const double m1 = 2 * std::sqrt(nu - 2) / (nu - 1) * std::exp(std::lgamma((nu + 1) / 2) - std::lgamma(nu / 2)) /
                    std::sqrt(3.14159265358979323846);
  const double mean = m1 * (xi - 1 / xi), sd = std::sqrt((1 - m1 * m1) * (xi * xi + 1 / (xi * xi)) + 2 * m1 * m1 - 1);
  std::vector<double> y(n);
  double h = omega / (1 - alpha - gamma / 2 - beta), e = 0;
  for (long t = -500; t < static_cast<long>(n); ++t) {
    h = omega + (alpha + (e < 0 ? gamma : 0)) * e * e + beta * h;
    const double unit = normal(gen) / std::sqrt(chi2(gen) / nu) * std::sqrt((nu - 2) / nu);
    const double x = uniform(gen) < xi * xi / (1 + xi * xi) ? xi * std::fabs(unit) : -std::fabs(unit) / xi;
    e = std::sqrt(h) * (x - mean) / sd;
    if (t >= 0) y[t] = mu + e;
  }
  return y;
}

void BM_GarchGjrSkewt2000(benchmark::State& st) {
  const std::vector<double> y = simulated(2000);
  const vexal_garch_options o{VEXAL_GARCH_CONSTANT, VEXAL_GARCH_GJR, VEXAL_GARCH_SKEWT, VEXAL_GARCH_SAMPLE};
  vexal_garch_mle2_result r{};
  for (auto _ : st) {
    vexal_garch_mle2(y.data(), 2000, &o, &r, nullptr, nullptr);
    benchmark::DoNotOptimize(r);
  }
  st.counters["converged"] = r.converged;
}
BENCHMARK(BM_GarchGjrSkewt2000)->Unit(benchmark::kMillisecond);

// 1,000 days after a 1,000-return window, refitted every day: 1,000 fits.
// Wall-clock time, since the work runs on threads of its own, and the
// process's CPU time beside it.
void BM_GarchBacktest(benchmark::State& st) {
  const std::vector<double> y = simulated(2000);
  const vexal_garch_options o{VEXAL_GARCH_CONSTANT, VEXAL_GARCH_GJR, VEXAL_GARCH_SKEWT, VEXAL_GARCH_SAMPLE};
  std::vector<double> var(1000), es(1000);
  std::vector<unsigned char> hit(1000);
  vexal_garch_backtest_result r{};
  for (auto _ : st)
    vexal_garch_backtest(y.data(), 2000, 1000, 1, 0.01, &o, var.data(), es.data(), hit.data(), &r,
                         static_cast<int>(st.range(0)));
  st.counters["exceedances"] = static_cast<double>(r.exceedances);
  st.counters["kupiec_p"] = r.kupiec.p_value;
}
BENCHMARK(BM_GarchBacktest)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

}  // namespace
