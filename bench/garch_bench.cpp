// GARCH(1,1) fit: one objective evaluation and one whole fit, on simulated
// paths of 2,520 (ten years of days) and 100,001 prices.
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/functions.h"
#include "core/numeric.h"
#include "fitting/garch.h"
#include "tests/garch_sim.h"

namespace {

const std::vector<double>& path(int n) {
  static const std::vector<double> small = simulate_garch(2520, 2e-6, 0.08, 0.9, 11);
  static const std::vector<double> large = simulate_garch(100001, 2e-6, 0.08, 0.9, 11);
  return n == 2520 ? small : large;
}

void load(int n) {
  vexal::garch_paramc();
  vexal::Price_input(path(n).data(), n, 0);
}

void BM_GarchEvaluation(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  load(n);
  vexal::garch_state().target_var = vexal::garch_sample_var();
  vexal::GarchLoglik loglik;
  double a = 0.08;
  for (auto _ : st) {
    benchmark::DoNotOptimize(loglik(a, 0.9));
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * n);
}
BENCHMARK(BM_GarchEvaluation)->Arg(2520)->Arg(100001)->Unit(benchmark::kMicrosecond);

// The evaluation as first written: two working arrays per call, returns
// formed afresh.
void BM_GarchEvaluationLiteral(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  load(n);
  const double V = vexal::garch_sample_var(), a = 0.08, b = 0.9;
  const double* P = vexal::price_series().prices;
  for (auto _ : st) {
    vexal::WorkArray r(n), h(n);
    for (int t = 1; t <= n - 1; ++t) r[t] = (P[t] - P[t - 1]) / P[t - 1];
    h[1] = r[1] * r[1];
    for (int t = 2; t <= n - 1; ++t) {
      h[t] = ((1 - a) - b) * V + (r[t] * a) * r[t] + h[t - 1] * b;
      if (!(h[t] >= 0)) h[t] = 1e-09;
    }
    double L = 0;
    for (int t = 1; t <= n - 2; ++t) L = (L - std::log(h[t])) - r[t + 1] * r[t + 1] / h[t];
    benchmark::DoNotOptimize(L);
  }
  st.SetItemsProcessed(st.iterations() * n);
}
BENCHMARK(BM_GarchEvaluationLiteral)->Arg(2520)->Arg(100001)->Unit(benchmark::kMicrosecond);

void BM_GarchFit(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  int iterations = 0;
  for (auto _ : st) {
    load(n);
    vexal::garch_o(0.1, 0.8);
    iterations = vexal::garch_state().opt.iter;
  }
  st.counters["passes"] = iterations;
  st.counters["alpha"] = vexal::garch_param2();
  st.counters["beta"] = vexal::garch_param3();
}
BENCHMARK(BM_GarchFit)->Arg(2520)->Arg(100001)->Unit(benchmark::kMillisecond);

}  // namespace
