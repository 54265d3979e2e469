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
void BM_LanesSnorm(benchmark::State& st) { one_argument<vexal::precise_snorm>(st, "precise_snorm"); }
void BM_LanesNorm(benchmark::State& st) { one_argument<vexal::precise_norm>(st, "precise_norm"); }
BENCHMARK(BM_LanesSnorm)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LanesNorm)->Arg(kLoop)->Arg(kBest)->Arg(kBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
