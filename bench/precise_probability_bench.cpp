// The precise barrier and band probabilities side by side with the legacy
// functions, over the same 256 drawn cases each (S = 100, mu -0.3 to 0.3,
// sigma 0.1 to 0.6, T 0.1 to 3 years; barriers 2 % to 60 % away, bands
// of 10 % to 100 % of S). Each benchmark reports its time per call and its
// worst relative error on the cases against the precise function
// ("max_rel_err"), which matches mpmath to 1e-12 or better
// (tests/precise_probability_test.cpp).
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/functions.h"
#include "precise/functions.h"

namespace {

struct Case {
  double mu, sigma, T, H, U, L;
};

const std::vector<Case>& cases() {
  static const std::vector<Case> v = [] {
    std::mt19937_64 g(29);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Case> out;
    for (int i = 0; i < 256; ++i) {
      const double width = 0.1 + 0.9 * u(g), low = 100 * (1 - width * (0.1 + 0.8 * u(g)));
      out.push_back({-0.3 + 0.6 * u(g), 0.1 + 0.5 * u(g), 0.1 + 2.9 * u(g), 100 * (1.02 + 0.58 * u(g)),
                     low + 100 * width, low});
    }
    return out;
  }();
  return v;
}

using Touch = double (*)(double, double, double, double, double);
using Band = double (*)(double, double, double, double, double, double);

// below: the barrier mirrored below S (100^2 / H), for the minimum's.
void touch_bench(benchmark::State& state, Touch f, Touch precise, bool below = false) {
  const auto& c = cases();
  auto H = [below](const Case& k) { return below ? 1e4 / k.H : k.H; };
  std::size_t i = 0;
  for (auto _ : state) {
    const Case& k = c[i++ & 255];
    benchmark::DoNotOptimize(f(k.mu, k.sigma, k.T, H(k), 100));
  }
  double worst = 0;
  for (const auto& k : c) {
    const double want = precise(k.mu, k.sigma, k.T, H(k), 100);
    worst = std::fmax(worst, std::fabs(f(k.mu, k.sigma, k.T, H(k), 100) - want) / want);
  }
  state.counters["max_rel_err"] = worst;
}

void band_bench(benchmark::State& state, Band f) {
  const auto& c = cases();
  std::size_t i = 0;
  for (auto _ : state) {
    const Case& k = c[i++ & 255];
    benchmark::DoNotOptimize(f(100, k.mu, k.sigma, k.T, k.U, k.L));
  }
  double worst = 0;
  for (const auto& k : c) {
    const double want = vexal::precise_ProbWR(100, k.mu, k.sigma, k.T, k.U, k.L);
    worst = std::fmax(worst, std::fabs(f(100, k.mu, k.sigma, k.T, k.U, k.L) - want) / want);
  }
  state.counters["max_rel_err"] = worst;
}

BENCHMARK_CAPTURE(touch_bench, precise_ProbMaxPTUB, vexal::precise_ProbMaxPTUB, vexal::precise_ProbMaxPTUB);
BENCHMARK_CAPTURE(touch_bench, legacy_ProbMaxPTUB, vexal::ProbMaxPTUB, vexal::precise_ProbMaxPTUB);
BENCHMARK_CAPTURE(touch_bench, precise_ProbMaxPTBB, vexal::precise_ProbMaxPTBB, vexal::precise_ProbMaxPTBB);
BENCHMARK_CAPTURE(touch_bench, legacy_ProbMaxPTBB, vexal::ProbMaxPTBB, vexal::precise_ProbMaxPTBB);
BENCHMARK_CAPTURE(touch_bench, precise_ProbPTUB, vexal::precise_ProbPTUB, vexal::precise_ProbPTUB);
BENCHMARK_CAPTURE(touch_bench, legacy_ProbPTUB, vexal::ProbPTUB, vexal::precise_ProbPTUB);
BENCHMARK_CAPTURE(touch_bench, precise_ProbPTBB, vexal::precise_ProbPTBB, vexal::precise_ProbPTBB);
BENCHMARK_CAPTURE(touch_bench, legacy_ProbPTBB, vexal::ProbPTBB, vexal::precise_ProbPTBB);
BENCHMARK_CAPTURE(touch_bench, precise_ProbMinPTBB, vexal::precise_ProbMinPTBB, vexal::precise_ProbMinPTBB, true);
BENCHMARK_CAPTURE(touch_bench, legacy_ProbMinPTBB, vexal::ProbMinPTBB, vexal::precise_ProbMinPTBB, true);
BENCHMARK_CAPTURE(touch_bench, precise_ProbMinPTUB, vexal::precise_ProbMinPTUB, vexal::precise_ProbMinPTUB, true);
BENCHMARK_CAPTURE(touch_bench, legacy_ProbMinPTUB, vexal::ProbMinPTUB, vexal::precise_ProbMinPTUB, true);
BENCHMARK_CAPTURE(band_bench, precise_ProbWR, vexal::precise_ProbWR);
BENCHMARK_CAPTURE(band_bench, legacy_ProbWR, vexal::ProbWR);

}  // namespace
