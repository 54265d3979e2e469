// The precise prices with cash dividends, in microseconds per option, over a
// book of 16 puts with four quarterly dividends (K = 100, S 60..140, T one
// to three years, r 1..10 %, sigma 0.1..0.6, each dividend 0.5..5 % of S;
// times and expiries in whole days, so that QuantLib's dates give the same
// numbers), side by side with QuantLib's FdBlackScholesVanillaEngine on a
// DividendVanillaOption (Spot dividend model) at 800 x 800 points. Each run
// states its largest relative error against the reference setting of the
// precise method. The European call and put on the same book, the legacy
// escrowed-dividend functions beside them.
#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/functions.h"
#include "precise/dividends.h"
#include "precise/functions.h"

#if defined(VEXAL_HAVE_QUANTLIB)
#include <ql/exercise.hpp>
#include <ql/instruments/dividendvanillaoption.hpp>
#include <ql/pricingengines/vanilla/fdblackscholesvanillaengine.hpp>
#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>
#endif

namespace {

struct Put {
  double S, K, T, r, sigma;
  int days;
  int div_days[4];
  double times[4], amounts[4];
  double reference, european;
};

const std::vector<Put>& book() {
  static const std::vector<Put> puts = [] {
    std::mt19937 gen(2828);
    std::uniform_real_distribution<double> u(0, 1);
    std::vector<Put> v;
    namespace dv = vexal::dividends;
    for (int i = 0; i < 16; ++i) {
      Put p{60 + 80 * u(gen), 100, 0, 0.01 + 0.09 * u(gen), 0.1 + 0.5 * u(gen), 365 + static_cast<int>(730 * u(gen)),
            {}, {}, {}, 0, 0};
      p.T = p.days / 365.0;
      const int first = 10 + static_cast<int>(80 * u(gen));
      std::vector<dv::Dividend> divs;
      for (int k = 0; k < 4; ++k) {
        p.div_days[k] = std::min(first + 91 * k, p.days - 1);
        p.times[k] = p.div_days[k] / 365.0;
        p.amounts[k] = p.S * (0.005 + 0.045 * u(gen));
        divs.push_back({p.times[k], p.amounts[k]});
      }
      p.reference = dv::value(dv::Kind::put, dv::Style::american, p.S, p.K, p.T, p.r, p.sigma, divs,
                              dv::kReference).price;
      p.european = dv::value(dv::Kind::put, dv::Style::european, p.S, p.K, p.T, p.r, p.sigma, divs,
                             dv::kReference).price;
      v.push_back(p);
    }
    return v;
  }();
  return puts;
}

void report(benchmark::State& state, double worst) {
  state.counters["per_option"] = benchmark::Counter(static_cast<double>(book().size() * state.iterations()),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["max_rel_err"] = worst;
}

void BM_precise_put_american_d(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state)
    for (const Put& p : book()) {
      const double v = vexal::precise_put_american_d(p.S, p.K, p.T, p.r, p.sigma, p.times, p.amounts, 4);
      worst = std::max(worst, std::fabs(v / p.reference - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK(BM_precise_put_american_d)->Unit(benchmark::kMillisecond);

void BM_precise_put_eur_d(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state)
    for (const Put& p : book()) {
      const double v = vexal::precise_put_eur_d(p.S, p.K, p.T, p.r, p.sigma, p.times, p.amounts, 4);
      worst = std::max(worst, std::fabs(v / p.european - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK(BM_precise_put_eur_d)->Unit(benchmark::kMillisecond);

// The legacy escrowed-spot European and 1000-step tree, for their cost and
// their distance from the model.
void BM_legacy_put_eur_d(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state)
    for (const Put& p : book()) {
      const double v = vexal::put_eur_d(p.S, p.K, p.T, p.r, p.sigma, p.times, p.amounts, 4);
      worst = std::max(worst, std::fabs(v / p.european - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK(BM_legacy_put_eur_d)->Unit(benchmark::kMillisecond);

void BM_legacy_put_binamer_d(benchmark::State& state) {
  double worst = 0;
  for (auto _ : state)
    for (const Put& p : book()) {
      const double v = vexal::put_binamer_d(p.S, p.K, p.T, p.r, p.sigma, 1000, p.times, p.amounts, 4);
      worst = std::max(worst, std::fabs(v / p.reference - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK(BM_legacy_put_binamer_d)->Unit(benchmark::kMillisecond);

#if defined(VEXAL_HAVE_QUANTLIB)
namespace ql = QuantLib;

void BM_quantlib_fd_dividends(benchmark::State& state) {
  const ql::Date today(7, ql::December, 2026);
  ql::Settings::instance().evaluationDate() = today;
  const ql::DayCounter dc = ql::Actual365Fixed();
  const auto grid = static_cast<ql::Size>(state.range(0));
  std::vector<ql::DividendVanillaOption> priced;
  for (const Put& p : book()) {
    ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(p.S));
    ql::Handle<ql::YieldTermStructure> rate(ql::ext::make_shared<ql::FlatForward>(today, p.r, dc));
    ql::Handle<ql::YieldTermStructure> yield(ql::ext::make_shared<ql::FlatForward>(today, 0.0, dc));
    ql::Handle<ql::BlackVolTermStructure> vol(
        ql::ext::make_shared<ql::BlackConstantVol>(today, ql::NullCalendar(), p.sigma, dc));
    auto process = ql::ext::make_shared<ql::BlackScholesMertonProcess>(spot, yield, rate, vol);
    std::vector<ql::Date> dates;
    for (int d : p.div_days) dates.push_back(today + d);
    priced.emplace_back(ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Put, p.K),
                        ql::ext::make_shared<ql::AmericanExercise>(today, today + p.days), dates,
                        std::vector<ql::Real>(p.amounts, p.amounts + 4));
    priced.back().setPricingEngine(ql::ext::make_shared<ql::FdBlackScholesVanillaEngine>(
        process, grid, grid, 0, ql::FdmSchemeDesc::Douglas(), false, -ql::Null<ql::Real>(),
        ql::FdBlackScholesVanillaEngine::Spot));
  }
  double worst = 0;
  for (auto _ : state)
    for (std::size_t i = 0; i < priced.size(); ++i) {
      priced[i].recalculate();
      const double v = priced[i].NPV();
      worst = std::max(worst, std::fabs(v / book()[i].reference - 1));
      benchmark::DoNotOptimize(v);
    }
  report(state, worst);
}
BENCHMARK(BM_quantlib_fd_dividends)->Arg(800)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

}  // namespace
