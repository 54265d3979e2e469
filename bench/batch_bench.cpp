// The batch engine against a plain loop of single calls, in rows (or fits)
// per second: call_eur over 1,000,000 rows, put_binamer at 100 steps and
// put_impvol_eur over 100,000 rows each, GARCH fits of 200 series of 2,520
// prices. Each is run as a loop, on one thread and on all threads, so that
// one run gives the ratios:
//   vexal_bench --benchmark_filter=Batch
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/functions.h"
#include "include/vexal_batch.h"
#include "tests/garch_sim.h"

namespace {

// Rows of European inputs; column 4 is sigma, or the put price for the
// implied volatility.
struct Rows {
  std::vector<std::vector<double>> cols;  // S, K, T, r, sigma, q
  std::vector<double> steps, price;
  explicit Rows(std::size_t n) : cols(6), steps(n, 100), price(n) {
    std::mt19937 gen(2026);
    std::uniform_real_distribution<double> u(0, 1);
    for (std::size_t i = 0; i < n; ++i) {
      const double row[6] = {80 + 40 * u(gen), 100, 0.1 + 1.9 * u(gen), 0.01 + 0.04 * u(gen), 0.1 + 0.4 * u(gen),
                             0.03 * u(gen)};
      for (int j = 0; j < 6; ++j) cols[j].push_back(row[j]);
      price[i] = vexal::put_eur(row[0], row[1], row[2], row[3], row[4], row[5]);
    }
  }
};

const Rows& rows(std::size_t n) {
  static const Rows million(1000000), hundred_k(100000);
  return n == 1000000 ? million : hundred_k;
}

enum Mode { kLoop = -1 };  // range(0): kLoop, or the thread count given to the engine (0: all)

void label(benchmark::State& st) {
  const long long m = st.range(0);
  st.SetLabel(m == kLoop ? "loop of single calls"
                         : m == 0 ? "map, all " + std::to_string(vexal_default_threads()) + " threads"
                                  : "map, " + std::to_string(m) + " thread");
}

void BM_BatchCallEur(benchmark::State& st) {
  const Rows& r = rows(1000000);
  const std::size_t n = r.cols[0].size();
  const auto& c = r.cols;
  std::vector<double> out(n);
  const double* args[6] = {c[0].data(), c[1].data(), c[2].data(), c[3].data(), c[4].data(), c[5].data()};
  const long long strides[6] = {1, 1, 1, 1, 1, 1};
  for (auto _ : st) {
    if (st.range(0) == kLoop) {
      for (std::size_t i = 0; i < n; ++i) out[i] = vexal::call_eur(c[0][i], c[1][i], c[2][i], c[3][i], c[4][i], c[5][i]);
    } else {
      vexal_map("call_eur", static_cast<long long>(n), args, strides, out.data(), static_cast<int>(st.range(0)));
    }
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(n));
  label(st);
}
BENCHMARK(BM_BatchCallEur)->Arg(kLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BatchPutBinamer100(benchmark::State& st) {
  const Rows& r = rows(100000);
  const std::size_t n = r.cols[0].size();
  const auto& c = r.cols;
  std::vector<double> out(n);
  const double* args[7] = {c[0].data(), c[1].data(), c[2].data(), c[3].data(), c[4].data(), r.steps.data(), c[5].data()};
  const long long strides[7] = {1, 1, 1, 1, 1, 1, 1};
  for (auto _ : st) {
    if (st.range(0) == kLoop) {
      for (std::size_t i = 0; i < n; ++i)
        out[i] = vexal::put_binamer(c[0][i], c[1][i], c[2][i], c[3][i], c[4][i], r.steps[i], c[5][i]);
    } else {
      vexal_map("put_binamer", static_cast<long long>(n), args, strides, out.data(), static_cast<int>(st.range(0)));
    }
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(n));
  label(st);
}
BENCHMARK(BM_BatchPutBinamer100)->Arg(kLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_BatchPutImpvolEur(benchmark::State& st) {
  const Rows& r = rows(100000);
  const std::size_t n = r.cols[0].size();
  const auto& c = r.cols;
  std::vector<double> out(n);
  const double* args[6] = {c[0].data(), c[1].data(), c[2].data(), c[3].data(), r.price.data(), c[5].data()};
  const long long strides[6] = {1, 1, 1, 1, 1, 1};
  for (auto _ : st) {
    if (st.range(0) == kLoop) {
      for (std::size_t i = 0; i < n; ++i)
        out[i] = vexal::put_impvol_eur(c[0][i], c[1][i], c[2][i], c[3][i], r.price[i], c[5][i]);
    } else {
      vexal_map("put_impvol_eur", static_cast<long long>(n), args, strides, out.data(), static_cast<int>(st.range(0)));
    }
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * static_cast<long long>(n));
  label(st);
}
BENCHMARK(BM_BatchPutImpvolEur)->Arg(kLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// 200 simulated series of 2,520 prices (ten years of days) in one block.
void BM_BatchGarchFits(benchmark::State& st) {
  constexpr long long kSeries = 200, kLength = 2520;
  static const std::vector<double> block = [] {
    std::vector<double> b;
    for (long long k = 0; k < kSeries; ++k) {
      const auto p = simulate_garch(kLength, 2e-6, 0.08, 0.9, static_cast<std::uint32_t>(100 + k));
      b.insert(b.end(), p.begin(), p.end());
    }
    return b;
  }();
  const std::vector<long long> lengths(kSeries, kLength);
  std::vector<double> results(4 * kSeries);
  for (auto _ : st) {
    if (st.range(0) == kLoop) {
      for (long long k = 0; k < kSeries; ++k)
        vexal_garch_fit(block.data() + k * kLength, kLength, 0, 0.1, 0.8, results.data() + 4 * k);
    } else {
      vexal_garch_fit_many(kSeries, block.data(), kLength, lengths.data(), 0, 0.1, 0.8, results.data(),
                           static_cast<int>(st.range(0)));
    }
    benchmark::ClobberMemory();
  }
  st.SetItemsProcessed(st.iterations() * kSeries);
  label(st);
}
BENCHMARK(BM_BatchGarchFits)->Arg(kLoop)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace
