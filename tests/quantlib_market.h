// A flat Black-Scholes-Merton market in QuantLib, for the peer comparisons:
// spot S, rate r, yield q, volatility sigma, on Actual/365 from `today`.
#ifndef VEXAL_TESTS_QUANTLIB_MARKET_H
#define VEXAL_TESTS_QUANTLIB_MARKET_H

#include <ql/processes/blackscholesprocess.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/volatility/equityfx/blackconstantvol.hpp>
#include <ql/termstructures/yield/flatforward.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>

namespace vexal_test {

inline QuantLib::ext::shared_ptr<QuantLib::BlackScholesMertonProcess> flat_market(
    const QuantLib::Date& today, double S, double r, double q, double sigma) {
  namespace ql = QuantLib;
  ql::Settings::instance().evaluationDate() = today;
  const ql::DayCounter dc = ql::Actual365Fixed();
  auto spot = ql::Handle<ql::Quote>(ql::ext::make_shared<ql::SimpleQuote>(S));
  auto rate = ql::Handle<ql::YieldTermStructure>(ql::ext::make_shared<ql::FlatForward>(today, r, dc));
  auto yield = ql::Handle<ql::YieldTermStructure>(ql::ext::make_shared<ql::FlatForward>(today, q, dc));
  auto vol = ql::Handle<ql::BlackVolTermStructure>(
      ql::ext::make_shared<ql::BlackConstantVol>(today, ql::NullCalendar(), sigma, dc));
  return ql::ext::make_shared<ql::BlackScholesMertonProcess>(spot, yield, rate, vol);
}

}  // namespace vexal_test

#endif
