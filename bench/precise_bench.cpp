// The precise European price and implied volatility, side by side with the
// legacy functions and QuantLib's blackFormula and blackFormulaImpliedStdDev
// (asked for 1e-12 and at its default 1e-6). Each benchmark runs through
// the same 256 options (strikes 0.7 to 1.4 of spot, 0.1 to 3 years, sigma
// 0.1 to 0.6) and reports, beside its time per call, its worst relative
// error on them ("max_rel_err"): of the price against precise_call_eur, of
// the volatility against the one the price was made from. Price benchmarks
// also report the worst relative error on 256 calls far out of the money
// ("far_rel_err", d2 from -5 to -20: prices down to about 1e-90), against
// precise_call_eur, which matches mpmath there to about 1e-15
// (tests/precise_test.cpp). The implied volatilities also run through a
// wide book ("_wide"): calls in and out of the money from a day to 30
// years, sigma 0.01 to 3, r and q -5 % to 15 %, d2 from -10 to 10 (beyond,
// QuantLib's solver fails on most), where they report how many they fail
// ("failed": NaN, QuantLib's exception, or a volatility off by more than
// 1e-6) and the worst error of the others.
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/functions.h"
#include "precise/functions.h"

#if defined(VEXAL_HAVE_QUANTLIB)
#include <ql/pricingengines/blackformula.hpp>
#endif

namespace {

struct Option {
  double S, K, T, r, sigma, q, price;
};

const std::vector<Option>& book() {
  static const std::vector<Option> options = [] {
    std::mt19937_64 g(19);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Option> v;
    for (int i = 0; i < 256; ++i) {
      Option o{100, 100 * (0.7 + 0.7 * u(g)), 0.1 + 2.9 * u(g), -0.01 + 0.07 * u(g), 0.1 + 0.5 * u(g),
               0.03 * u(g), 0};
      o.price = vexal::precise_call_eur(o.S, o.K, o.T, o.r, o.sigma, o.q);
      v.push_back(o);
    }
    return v;
  }();
  return options;
}

const std::vector<Option>& far_book() {
  static const std::vector<Option> options = [] {
    std::mt19937_64 g(1919);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Option> v;
    for (int i = 0; i < 256; ++i) {
      const double T = 0.1 + 2.9 * u(g), r = 0.05 * u(g), sigma = 0.1 + 0.5 * u(g), q = 0.03 * u(g);
      const double s = sigma * std::sqrt(T), d2 = -5 - 15 * u(g);
      const double K = 100 * std::exp((r - q) * T - (d2 + s / 2) * s);  // x/s - s/2 = d2
      Option o{100, K, T, r, sigma, q, 0};
      o.price = vexal::precise_call_eur(o.S, o.K, o.T, o.r, o.sigma, o.q);
      v.push_back(o);
    }
    return v;
  }();
  return options;
}

// The wide book: 4,000 calls.
const std::vector<Option>& wide_book() {
  static const std::vector<Option> options = [] {
    std::mt19937_64 g(32);
    std::uniform_real_distribution<double> u(0, 1);
    const double Ts[] = {1.0 / 365, 7.0 / 365, 0.25, 1, 5, 30};
    std::vector<Option> v;
    while (v.size() < 4000) {
      const double T = Ts[v.size() % 6], sigma = std::exp(std::log(0.01) + u(g) * std::log(300.0));
      const double r = -0.05 + 0.2 * u(g), q = -0.05 + 0.2 * u(g), s = sigma * std::sqrt(T);
      const double d2 = -10 + 20 * u(g);
      Option o{100, 100 * std::exp((r - q) * T - (d2 + s / 2) * s), T, r, sigma, q, 0};
      o.price = vexal::precise_call_eur(o.S, o.K, o.T, o.r, o.sigma, o.q);
      // Only prices that determine sigma: above 0, and a distinct double
      // from the neighbouring volatilities'.
      const double up = vexal::precise_call_eur(o.S, o.K, o.T, o.r, o.sigma * (1 + 1e-9), o.q);
      if (o.price > 0 && std::isfinite(o.K) && up != o.price) v.push_back(o);
    }
    return v;
  }();
  return options;
}

template <class Price>
void price_bench(benchmark::State& state, Price price) {
  const auto& b = book();
  std::size_t i = 0;
  for (auto _ : state) {
    const Option& o = b[i++ & 255];
    benchmark::DoNotOptimize(price(o));
  }
  double worst = 0;
  for (const auto& o : b) worst = std::fmax(worst, std::fabs(price(o) - o.price) / o.price);
  state.counters["max_rel_err"] = worst;
  double far = 0;
  for (const auto& o : far_book()) far = std::fmax(far, std::fabs(price(o) - o.price) / o.price);
  state.counters["far_rel_err"] = far;
}

template <class Vol>
void impvol_bench(benchmark::State& state, Vol vol, const std::vector<Option>& b = book()) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(vol(b[i]));
    if (++i == b.size()) i = 0;
  }
  const bool wide = &b != &book();
  double worst = 0, failed = 0;
  for (const auto& o : b) {
    const double e = std::fabs(vol(o) - o.sigma) / o.sigma;
    if (wide && !(e <= 1e-6))
      ++failed;
    else
      worst = std::fmax(worst, e);
  }
  state.counters["max_rel_err"] = worst;
  if (wide) state.counters["failed"] = failed;
}

void BM_precise_call_eur(benchmark::State& state) {
  price_bench(state, [](const Option& o) { return vexal::precise_call_eur(o.S, o.K, o.T, o.r, o.sigma, o.q); });
}
void BM_legacy_call_eur(benchmark::State& state) {
  price_bench(state, [](const Option& o) { return vexal::call_eur(o.S, o.K, o.T, o.r, o.sigma, o.q); });
}
void BM_precise_call_impvol_eur(benchmark::State& state) {
  impvol_bench(state,
               [](const Option& o) { return vexal::precise_call_impvol_eur(o.S, o.K, o.T, o.r, o.price, o.q); });
}
void BM_legacy_call_impvol_eur(benchmark::State& state) {
  impvol_bench(state, [](const Option& o) { return vexal::call_impvol_eur(o.S, o.K, o.T, o.r, o.price, o.q); });
}
void BM_precise_call_impvol_eur_wide(benchmark::State& state) {
  impvol_bench(
      state, [](const Option& o) { return vexal::precise_call_impvol_eur(o.S, o.K, o.T, o.r, o.price, o.q); },
      wide_book());
}
BENCHMARK(BM_precise_call_eur);
BENCHMARK(BM_legacy_call_eur);
BENCHMARK(BM_precise_call_impvol_eur);
BENCHMARK(BM_legacy_call_impvol_eur);
BENCHMARK(BM_precise_call_impvol_eur_wide);

#if defined(VEXAL_HAVE_QUANTLIB)
// QuantLib takes forward, discount and total volatility: they are worked
// out from the same six arguments inside the timed call.
void BM_quantlib_blackFormula(benchmark::State& state) {
  price_bench(state, [](const Option& o) {
    const double F = o.S * std::exp((o.r - o.q) * o.T), D = std::exp(-o.r * o.T);
    return QuantLib::blackFormula(QuantLib::Option::Call, o.K, F, o.sigma * std::sqrt(o.T), D);
  });
}
void quantlib_impvol(benchmark::State& state, double accuracy, const std::vector<Option>& b = book()) {
  impvol_bench(
      state,
      [accuracy](const Option& o) {
        const double F = o.S * std::exp((o.r - o.q) * o.T), D = std::exp(-o.r * o.T);
        try {
          return QuantLib::blackFormulaImpliedStdDev(QuantLib::Option::Call, o.K, F, o.price, D, 0.0,
                                                     QuantLib::Null<QuantLib::Real>(), accuracy, 100) /
                 std::sqrt(o.T);
        } catch (const std::exception&) {
          return static_cast<double>(NAN);
        }
      },
      b);
}
void BM_quantlib_blackFormulaImpliedStdDev_1e12(benchmark::State& state) { quantlib_impvol(state, 1e-12); }
void BM_quantlib_blackFormulaImpliedStdDev_1e12_wide(benchmark::State& state) {
  quantlib_impvol(state, 1e-12, wide_book());
}
void BM_quantlib_blackFormulaImpliedStdDev_1e6(benchmark::State& state) { quantlib_impvol(state, 1e-6); }
BENCHMARK(BM_quantlib_blackFormula);
BENCHMARK(BM_quantlib_blackFormulaImpliedStdDev_1e12);
BENCHMARK(BM_quantlib_blackFormulaImpliedStdDev_1e12_wide);
BENCHMARK(BM_quantlib_blackFormulaImpliedStdDev_1e6);
#endif

}  // namespace
