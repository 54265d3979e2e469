// The precise American prices over the accuracy grid (K = 100, S 25..200,
// T one month to three years, sigma 0.1..0.6, r and q 0..12 %, calls and
// puts, prices >= 0.5), in microseconds per option, side by side with
// QuantLib's QdFpAmericanEngine at its fast, accurate and high-precision
// schemes. Each run states its largest relative error against the
// reference setting of the same method (settled to about 1e-12). Then
// vexal_map over the same book on one and on two threads.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "include/vexal_batch.h"
#include "precise/american_boundary.h"
#include "precise/functions.h"

#if defined(VEXAL_HAVE_QUANTLIB)
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/vanilla/qdfpamericanengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

struct Option {
  bool call;
  double S, K, T, r, sigma, q;
  int days;
  double reference;
};

// 96 options drawn from the grid (expiries in whole days, so that QuantLib's
// dates give the same T), with their reference prices.
const std::vector<Option>& book() {
  static const std::vector<Option> options = [] {
    const double S[] = {25, 50, 80, 90, 100, 110, 120, 150, 200};
    const int days[] = {30, 91, 182, 365, 730, 1095};
    const double sigma[] = {0.1, 0.2, 0.3, 0.4, 0.6};
    const double rate[] = {0, 0.02, 0.04, 0.08, 0.12};
    std::mt19937 gen(20);
    std::vector<Option> v;
    while (v.size() < 96) {
      Option o{gen() % 2 == 0, S[gen() % 9], 100, 0, rate[gen() % 5], sigma[gen() % 5], rate[gen() % 5],
               days[gen() % 6], 0};
      o.T = o.days / 365.0;
      const auto value = o.call ? vexal::american::call_value(o.S, o.K, o.T, o.r, o.sigma, o.q,
                                                              vexal::american::kReference)
                                : vexal::american::put_value(o.S, o.K, o.T, o.r, o.sigma, o.q,
                                                             vexal::american::kReference);
      o.reference = value.price;
      if (o.reference >= 0.5 && o.reference > (o.call ? o.S - o.K : o.K - o.S)) v.push_back(o);
    }
    return v;
  }();
  return options;
}

void report(benchmark::State& state, double worst) {
  state.counters["per_option"] = benchmark::Counter(
      static_cast<double>(book().size() * state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["max_rel_err"] = worst;
}

void BM_precise_american(benchmark::State& state) {
  const auto& options = book();
  double worst = 0;
  for (auto _ : state)
    for (const Option& o : options) {
      const double v = o.call ? vexal::precise_call_american(o.S, o.K, o.T, o.r, o.sigma, o.q)
                              : vexal::precise_put_american(o.S, o.K, o.T, o.r, o.sigma, o.q);
      worst = std::max(worst, std::fabs(v / o.reference - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK(BM_precise_american)->Unit(benchmark::kMillisecond);

// The book through vexal_map on 1 and 2 threads, 32 copies of it.
void BM_precise_american_map(benchmark::State& state) {
  const auto& options = book();
  std::vector<std::vector<double>> cols(6);
  for (int copy = 0; copy < 32; ++copy)
    for (const Option& o : options)
      if (!o.call) {
        const double a[] = {o.S, o.K, o.T, o.r, o.sigma, o.q};
        for (int j = 0; j < 6; ++j) cols[j].push_back(a[j]);
      }
  const long long rows = static_cast<long long>(cols[0].size());
  std::vector<const double*> ptrs;
  for (const auto& c : cols) ptrs.push_back(c.data());
  const std::vector<long long> strides(6, 1);
  std::vector<double> out(static_cast<std::size_t>(rows));
  for (auto _ : state)
    vexal_map("precise_put_american", rows, ptrs.data(), strides.data(), out.data(), static_cast<int>(state.range(0)));
  state.counters["per_option"] =
      benchmark::Counter(static_cast<double>(rows * state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_precise_american_map)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

#if defined(VEXAL_HAVE_QUANTLIB)

namespace ql = QuantLib;

const ql::Date& today() {
  static const ql::Date d = [] {
    const ql::Date t(7, ql::December, 2026);
    ql::Settings::instance().evaluationDate() = t;
    return t;
  }();
  return d;
}

void BM_quantlib_qdfp(benchmark::State& state, ql::ext::shared_ptr<ql::QdFpIterationScheme> scheme) {
  const auto& options = book();
  const ql::DayCounter dc = ql::Actual365Fixed();
  std::vector<ql::VanillaOption> priced;
  for (const Option& o : options) {
    ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(o.S));
    ql::Handle<ql::YieldTermStructure> rate(ql::ext::make_shared<ql::FlatForward>(today(), o.r, dc));
    ql::Handle<ql::YieldTermStructure> yield(ql::ext::make_shared<ql::FlatForward>(today(), o.q, dc));
    ql::Handle<ql::BlackVolTermStructure> vol(
        ql::ext::make_shared<ql::BlackConstantVol>(today(), ql::NullCalendar(), o.sigma, dc));
    auto process = ql::ext::make_shared<ql::BlackScholesMertonProcess>(spot, yield, rate, vol);
    priced.emplace_back(ql::ext::make_shared<ql::PlainVanillaPayoff>(o.call ? ql::Option::Call : ql::Option::Put, o.K),
                        ql::ext::make_shared<ql::AmericanExercise>(today(), today() + o.days));
    priced.back().setPricingEngine(ql::ext::make_shared<ql::QdFpAmericanEngine>(process, scheme));
  }
  double worst = 0;
  for (auto _ : state)
    for (std::size_t i = 0; i < priced.size(); ++i) {
      priced[i].recalculate();
      const double v = priced[i].NPV();
      worst = std::max(worst, std::fabs(v / options[i].reference - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK_CAPTURE(BM_quantlib_qdfp, fast, ql::QdFpAmericanEngine::fastScheme())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_quantlib_qdfp, accurate, ql::QdFpAmericanEngine::accurateScheme())->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_quantlib_qdfp, high_precision, ql::QdFpAmericanEngine::highPrecisionScheme())
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

#endif

}  // namespace
