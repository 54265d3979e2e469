// GARCH(1,1) by maximum likelihood on the 1974 Deutschmark/pound returns:
// one whole fit with its four kinds of standard errors (normal and t
// errors), and 32 fits through the many-series form on 1 and 2 threads.
// bench/garch_mle_side_by_side.py runs these beside R's fGarch and tseries.
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "fitting/garch_mle.h"
#include "include/vexal_garch.h"

namespace {

const std::vector<double>& dem2gbp() {
  static const std::vector<double> y = [] {
    const std::string here = __FILE__;
    std::ifstream in(here.substr(0, here.find_last_of("/\\") + 1) + "../tests/data/dem2gbp.csv");
    std::vector<double> v;
    std::string line;
    while (std::getline(in, line))
      if (!line.empty() && line[0] != '#' && line[0] != 'D') v.push_back(std::stod(line));
    return v;
  }();
  return y;
}

void BM_GarchMle(benchmark::State& st) {
  const std::vector<double>& y = dem2gbp();
  if (y.size() != 1974) {
    st.SkipWithError("tests/data/dem2gbp.csv not found");
    return;
  }
  const int dist = static_cast<int>(st.range(0));
  vexal_garch_mle_result r{};
  for (auto _ : st) {
    vexal_garch_mle(y.data(), static_cast<long long>(y.size()), VEXAL_GARCH_CONSTANT, dist, VEXAL_GARCH_SAMPLE, &r,
                    nullptr, nullptr);
    benchmark::DoNotOptimize(r);
  }
  const char* names[] = {"mu", "omega", "alpha", "beta", "nu"};
  for (int i = 0; i < (dist ? 5 : 4); ++i) {
    st.counters[names[i]] = r.params[i];
    st.counters[std::string("se_") + names[i]] = r.se_hessian[i];
  }
  st.counters["loglik"] = r.loglik;
  st.counters["iterations"] = r.iterations;
  st.SetLabel(dist ? "t errors" : "normal errors");
}
BENCHMARK(BM_GarchMle)->Arg(VEXAL_GARCH_NORMAL)->Arg(VEXAL_GARCH_T)->Unit(benchmark::kMillisecond);

// 32 copies of the series, each scaled a little differently, fitted on 1
// and 2 threads; wall-clock time, since the work runs on threads of its own.
void BM_GarchMleMany(benchmark::State& st) {
  const std::vector<double>& y = dem2gbp();
  const long long series = 32, n = static_cast<long long>(y.size());
  std::vector<double> block;
  for (long long k = 0; k < series; ++k)
    for (double v : y) block.push_back(v * (1 + 0.01 * static_cast<double>(k)));
  const std::vector<long long> lengths(series, n);
  std::vector<vexal_garch_mle_result> results(series);
  for (auto _ : st)
    vexal_garch_mle_many(series, block.data(), n, lengths.data(), VEXAL_GARCH_CONSTANT, VEXAL_GARCH_NORMAL,
                         VEXAL_GARCH_SAMPLE, results.data(), static_cast<int>(st.range(0)));
  st.counters["fits"] = benchmark::Counter(static_cast<double>(series), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_GarchMleMany)->ArgName("threads")->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
