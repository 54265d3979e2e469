// The American binomial pricer and its implied volatility, in nanoseconds per
// tree node, side by side with QuantLib's American option on its
// Cox-Ross-Rubinstein binomial engine at the same number of steps.
#include <cmath>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/functions.h"
#include "core/numeric.h"
#include "options/binomial.h"

#if defined(VEXAL_HAVE_QUANTLIB)
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/math/solvers1d/brent.hpp>
#include <ql/pricingengines/vanilla/binomialengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

// An at-the-money put a year out, exercised early in part of the tree.
constexpr double S = 100, K = 100, T = 1, r = 0.05, sigma = 0.2, q = 0.01;

double nodes(benchmark::State& state) {
  const double n = static_cast<double>(state.range(0));
  return (n + 1) * (n + 2) / 2;
}

// Reports CPU time / nodes priced (shown in seconds with an SI prefix, so
// "250ps" is 0.25 ns per node).
void per_node(benchmark::State& state, double nodes_per_iteration) {
  state.counters["per_node"] =
      benchmark::Counter(nodes_per_iteration * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_vexal_put(benchmark::State& state) {
  const double steps = static_cast<double>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(vexal::put_binamer(S, K, T, r, sigma, steps, q));
  per_node(state, nodes(state));
}
BENCHMARK(BM_vexal_put)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000);

// The same pricer held to one build of the induction: baseline x86-64
// (SSE2) or AVX2.
void put_on(benchmark::State& state, vexal::binomial::Induct build, bool available) {
  if (!available) {
    state.SkipWithError("not supported by this processor");
    return;
  }
  const double steps = static_cast<double>(state.range(0));
  for (auto _ : state)
    benchmark::DoNotOptimize(
        vexal::binomial::binamer(build, vexal::binomial::kPut, S, K, T, r, sigma, steps, q));
  per_node(state, nodes(state));
}
void BM_vexal_put_baseline(benchmark::State& state) {
  put_on(state, vexal::binomial::induct_generic, true);
}
void BM_vexal_put_avx2(benchmark::State& state) {
  put_on(state, vexal::binomial::induct_avx2, vexal::binomial::have_avx2());
}
BENCHMARK(BM_vexal_put_baseline)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000);
BENCHMARK(BM_vexal_put_avx2)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000);

// The tree evaluated word for word: two pow per node, exp per interior node.
double literal_put(double steps) {
  const int n = vexal::to_int_floor(steps);
  std::vector<double> V(static_cast<std::size_t>(n) + 2, 0.0);
  const double dt = T / n, u = std::exp(std::sqrt(dt) * sigma), d = 1.0 / u;
  const double g = std::exp((r - q) * dt), p = (g - d) / (u - d);
  auto E = [&](int j, int i) {
    return (-S * std::pow(u, static_cast<double>(i))) * std::pow(d, static_cast<double>(j - i)) + K;
  };
  for (int i = 0; i <= n; ++i) V[i] = vexal::binomial::larger_of(E(n, i), 0.0);
  for (int j = n - 1; j >= 0; --j)
    for (int i = 0; i <= j; ++i)
      V[i] = vexal::binomial::larger_of(std::exp(-r * dt) * (p * V[i + 1] + (1 - p) * V[i]), E(j, i));
  return V[0];
}

void BM_literal_put(benchmark::State& state) {
  const double steps = static_cast<double>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(literal_put(steps));
  per_node(state, nodes(state));
}
BENCHMARK(BM_literal_put)->Arg(1000);

// A long tree with and without a dividend yield (the case: r = 0.04,
// three years): with q > 0 far more of the nodes above the strike decay
// through the subnormal range before they reach zero, which costs a
// microcode assist per operation on processors that take one.
void BM_vexal_put_long(benchmark::State& state) {
  const double steps = static_cast<double>(state.range(0));
  const double yield = static_cast<double>(state.range(1)) / 100;
  for (auto _ : state)
    benchmark::DoNotOptimize(vexal::put_binamer(100, 100, 3, 0.04, 0.2, steps, yield));
  per_node(state, nodes(state));
}
BENCHMARK(BM_vexal_put_long)->Args({10000, 0})->Args({10000, 4})->Unit(benchmark::kMillisecond);

// The same held to one way of computing the subnormal held nodes: the
// processor's arithmetic, or integer units of 2^-1074 (what processors slow
// on subnormals get).
template <int kTiny>
void induct_tiny(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
                 double p, const vexal::binomial::Shortcut& s) {
  vexal::binomial::Shortcut t = s;
  t.tiny = kTiny;
  vexal::binomial::induct(V, a, b, n, c, disc, p, t);
}
template <int kTiny>
void BM_vexal_put_long_tiny(benchmark::State& state) {
  const double steps = static_cast<double>(state.range(0));
  const double yield = static_cast<double>(state.range(1)) / 100;
  for (auto _ : state)
    benchmark::DoNotOptimize(vexal::binomial::binamer(induct_tiny<kTiny>, vexal::binomial::kPut, 100, 100, 3,
                                                      0.04, 0.2, steps, yield));
  per_node(state, nodes(state));
}
BENCHMARK(BM_vexal_put_long_tiny<vexal::binomial::kTinyHardware>)
    ->Args({10000, 0})->Args({10000, 4})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_vexal_put_long_tiny<vexal::binomial::kTinyUnits>)
    ->Args({10000, 0})->Args({10000, 4})->Unit(benchmark::kMillisecond);

// A volatility in the first window: sixteen trees per search.
void BM_vexal_put_impvol(benchmark::State& state) {
  const double steps = static_cast<double>(state.range(0));
  const double price = vexal::put_binamer(S, K, T, r, 0.3, steps, q);
  for (auto _ : state)
    benchmark::DoNotOptimize(vexal::put_impvol_binamer(S, K, T, r, price, steps, q));
  per_node(state, 16 * nodes(state));
}
BENCHMARK(BM_vexal_put_impvol)->Arg(200);

#if defined(VEXAL_HAVE_QUANTLIB)

namespace ql = QuantLib;

struct QuantLibPut {
  ql::ext::shared_ptr<ql::SimpleQuote> vol = ql::ext::make_shared<ql::SimpleQuote>(sigma);
  ql::VanillaOption option;

  explicit QuantLibPut(int steps)
      : option(ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Put, K),
               ql::ext::make_shared<ql::AmericanExercise>(today(), today() + 365)) {
    const ql::DayCounter dc = ql::Actual365Fixed();
    ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(S));
    ql::Handle<ql::YieldTermStructure> rate(ql::ext::make_shared<ql::FlatForward>(today(), r, dc));
    ql::Handle<ql::YieldTermStructure> yield(ql::ext::make_shared<ql::FlatForward>(today(), q, dc));
    ql::Handle<ql::BlackVolTermStructure> bvol(ql::ext::make_shared<ql::BlackConstantVol>(
        today(), ql::NullCalendar(), ql::Handle<ql::Quote>(vol), dc));
    auto process = ql::ext::make_shared<ql::BlackScholesMertonProcess>(spot, yield, rate, bvol);
    option.setPricingEngine(
        ql::ext::make_shared<ql::BinomialVanillaEngine<ql::CoxRossRubinstein>>(process, steps));
  }
  static ql::Date today() {
    static const ql::Date d = [] {
      const ql::Date t(7, ql::December, 2026);
      ql::Settings::instance().evaluationDate() = t;
      return t;
    }();
    return d;
  }
};

void BM_quantlib_put(benchmark::State& state) {
  QuantLibPut put(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    put.option.recalculate();
    benchmark::DoNotOptimize(put.option.NPV());
  }
  per_node(state, nodes(state));
}
BENCHMARK(BM_quantlib_put)->Arg(100)->Arg(500)->Arg(1000)->Arg(2000);

// QuantLib's own implied volatility of an American option runs a finite-
// difference engine; for the same tree, Brent's solver drives the binomial
// engine to the same resolution, 2^-16.
void BM_quantlib_put_impvol(benchmark::State& state) {
  QuantLibPut put(static_cast<int>(state.range(0)));
  put.vol->setValue(0.3);
  const double price = put.option.NPV();
  double trees = 0;
  for (auto _ : state) {
    ql::Brent solver;
    solver.setMaxEvaluations(200);
    const double iv = solver.solve(
        [&](double v) {
          ++trees;
          put.vol->setValue(v);
          return put.option.NPV() - price;
        },
        std::ldexp(1.0, -16), 0.5, 0.05, 2.0);
    benchmark::DoNotOptimize(iv);
  }
  const double per_search = trees / static_cast<double>(state.iterations());
  state.counters["trees"] = per_search;
  per_node(state, per_search * nodes(state));
}
BENCHMARK(BM_quantlib_put_impvol)->Arg(200);

#endif

}  // namespace
