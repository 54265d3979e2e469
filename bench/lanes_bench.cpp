// vexal_map's four-lane row loops on one thread against the loop of scalar
// calls, over 1,000,000 rows of typical arguments: the loop, the map on the
// build the processor runs (AVX2 where it can) and the map forced to the
// baseline build, in one run so that the ratios can be read off:
//   vexal_bench --benchmark_filter=Lanes
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "batch/lane_rows.h"
#include "include/vexal_batch.h"
#include "precise/functions.h"

namespace {

enum Mode { kLoop, kBest, kBaseline };

const std::vector<double>& normal_args() {
  static const std::vector<double> x = [] {
    std::mt19937_64 gen(2026);
    std::normal_distribution<double> d(0, 2);
    std::vector<double> v(1000000);
    for (double& e : v) e = d(gen);
    return v;
  }();
  return x;
}

template <double (*Scalar)(double)>
void one_argument(benchmark::State& st, const char* name) {
  const std::vector<double>& x = normal_args();
  std::vector<double> out(x.size());
  const double* args[] = {x.data()};
  const long long strides[] = {1};
  const Mode m = static_cast<Mode>(st.range(0));
  vexal::batch::force_lane_build(m == kBaseline ? vexal::batch::LaneBuild::baseline : vexal::batch::LaneBuild::best);
  for (auto _ : st) {
    if (m == kLoop) {
      for (std::size_t i = 0; i < x.size(); ++i) out[i] = Scalar(x[i]);
    } else {
      vexal_map(name, static_cast<long long>(x.size()), args, strides, out.data(), 1);
    }
    benchmark::ClobberMemory();
  }
  vexal::batch::force_lane_build(vexal::batch::LaneBuild::best);
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(x.size()));
  st.SetLabel(m == kLoop ? "loop of scalar calls" : m == kBest ? "map, 1 thread (AVX2 where the processor has it)" : "map, 1 thread, baseline build");
}
// S 70..140, K 100, T 0.1..3, r and q -1 %..8 %, sigma 0.1..0.6.
const std::vector<std::vector<double>>& option_args() {
  static const std::vector<std::vector<double>> cols = [] {
    std::mt19937_64 gen(2026);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<std::vector<double>> c(6, std::vector<double>(1000000));
    for (std::size_t i = 0; i < c[0].size(); ++i) {
      const double row[6] = {70 + 70 * u(gen), 100, 0.1 + 2.9 * u(gen), 0.09 * u(gen) - 0.01, 0.1 + 0.5 * u(gen),
                             0.09 * u(gen) - 0.01};
      for (int k = 0; k < 6; ++k) c[k][i] = row[k];
    }
    return c;
  }();
  return cols;
}

// The same book with the call's price in sigma's place.
const std::vector<std::vector<double>>& price_args() {
  static const std::vector<std::vector<double>> cols = [] {
    std::vector<std::vector<double>> c = option_args();
    for (std::size_t i = 0; i < c[0].size(); ++i)
      c[4][i] = vexal::precise_call_eur(c[0][i], c[1][i], c[2][i], c[3][i], c[4][i], c[5][i]);
    return c;
  }();
  return cols;
}

template <double (*Scalar)(double, double, double, double, double, double)>
void six_arguments(benchmark::State& st, const char* name, bool prices = false) {
  const std::vector<std::vector<double>>& c = prices ? price_args() : option_args();
  const std::size_t n = c[0].size();
  std::vector<double> out(n);
  const double* args[] = {c[0].data(), c[1].data(), c[2].data(), c[3].data(), c[4].data(), c[5].data()};
  const long long strides[] = {1, 1, 1, 1, 1, 1};
  const Mode m = static_cast<Mode>(st.range(0));
  vexal::batch::force_lane_build(m == kBaseline ? vexal::batch::LaneBuild::baseline : vexal::batch::LaneBuild::best);
  for (auto _ : st) {
    if (m == kLoop) {
      for (std::size_t i = 0; i < n; ++i) out[i] = Scalar(c[0][i], c[1][i], c[2][i], c[3][i], c[4][i], c[5][i]);
    } else {
      vexal_map(name, static_cast<long long>(n), args, strides, out.data(), 1);
    }
    benchmark::ClobberMemory();
  }
  vexal::batch::force_lane_build(vexal::batch::LaneBuild::best);
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(n));
  st.SetLabel(m == kLoop ? "loop of scalar calls" : m == kBest ? "map, 1 thread (AVX2 where the processor has it)" : "map, 1 thread, baseline build");
}

void BM_LanesSnorm(benchmark::State& st) { one_argument<vexal::precise_snorm>(st, "precise_snorm"); }
void BM_LanesNorm(benchmark::State& st) { one_argument<vexal::precise_norm>(st, "precise_norm"); }
BENCHMARK(BM_LanesSnorm)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LanesNorm)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_LanesCallEur(benchmark::State& st) { six_arguments<vexal::precise_call_eur>(st, "precise_call_eur"); }
void BM_LanesPutEur(benchmark::State& st) { six_arguments<vexal::precise_put_eur>(st, "precise_put_eur"); }
void BM_LanesCallDeltaEur(benchmark::State& st) { six_arguments<vexal::precise_call_delta_eur>(st, "precise_call_delta_eur"); }
void BM_LanesVegaEur(benchmark::State& st) { six_arguments<vexal::precise_vega_eur>(st, "precise_vega_eur"); }
void BM_LanesCallImpvolEur(benchmark::State& st) {
  six_arguments<vexal::precise_call_impvol_eur>(st, "precise_call_impvol_eur", true);
}
BENCHMARK(BM_LanesCallEur)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LanesPutEur)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LanesCallDeltaEur)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LanesVegaEur)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LanesCallImpvolEur)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
