// European prices and Greeks against QuantLib's analytic Black-Scholes-Merton
// engine, an independent implementation with an accurate normal distribution.
#include <cmath>

#include <gtest/gtest.h>

#include "core/functions.h"

#if defined(VEXAL_HAVE_QUANTLIB)
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/blackcalculator.hpp>
#include <ql/pricingengines/vanilla/analyticeuropeanengine.hpp>

#include "quantlib_market.h"

namespace ql = QuantLib;

namespace {

struct Peer {
  double call, put, call_delta, put_delta, gamma, vega, call_theta, put_theta, call_rho, put_rho, itm;
  double T;
};

// Prices both options with expiry `days` after today on Actual/365, so
// T = days / 365 exactly as QuantLib measures it.
Peer quantlib(double S, double K, int days, double r, double v, double q) {
  const ql::Date today(2, ql::January, 2025);
  const ql::Date expiry = today + days;
  auto process = vexal_test::flat_market(today, S, r, q, v);
  auto engine = ql::ext::make_shared<ql::AnalyticEuropeanEngine>(process);
  auto exercise = ql::ext::make_shared<ql::EuropeanExercise>(expiry);
  ql::VanillaOption call(ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Call, K), exercise);
  ql::VanillaOption put(ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Put, K), exercise);
  call.setPricingEngine(engine);
  put.setPricingEngine(engine);

  Peer p;
  p.T = ql::Actual365Fixed().yearFraction(today, expiry);
  const double forward = S * std::exp((r - q) * p.T);
  const ql::BlackCalculator black(ql::Option::Call, K, forward, v * std::sqrt(p.T), std::exp(-r * p.T));
  p.call = call.NPV();
  p.put = put.NPV();
  p.call_delta = call.delta();
  p.put_delta = put.delta();
  p.gamma = call.gamma();
  p.vega = call.vega();
  p.call_theta = call.theta();
  p.put_theta = put.theta();
  p.call_rho = call.rho();
  p.put_rho = put.rho();
  p.itm = black.itmCashProbability();
  return p;
}

struct Case {
  double S, K;
  int days;
  double r, v, q;
};

// Each snorm call is within 7.5e-8 of the exact distribution; a price or
// Greek is off by at most that much times the weight its probabilities
// carry. Density-only Greeks (gamma, vega) agree up to rounding.
void expect_agreement(const Case& c) {
  const Peer p = quantlib(c.S, c.K, c.days, c.r, c.v, c.q);
  const double S = c.S, K = c.K, T = p.T, r = c.r, v = c.v, q = c.q;
  SCOPED_TRACE(testing::Message() << "S=" << S << " K=" << K << " T=" << T << " r=" << r << " v=" << v
                                  << " q=" << q);
  const double e = 7.5e-8, Dq = std::exp(-q * T), Dr = std::exp(-r * T);
  const double price_tol = e * (S * Dq + K * Dr) + 1e-11 * S;
  const double theta_tol = e * (std::fabs(q) * S * Dq + std::fabs(r) * K * Dr) + 1e-11 * S;
  EXPECT_NEAR(vexal::call_eur(S, K, T, r, v, q), p.call, price_tol);
  EXPECT_NEAR(vexal::put_eur(S, K, T, r, v, q), p.put, price_tol);
  EXPECT_NEAR(vexal::call_delta_eur(S, K, T, r, v, q), p.call_delta, e * Dq + 1e-14);
  EXPECT_NEAR(vexal::put_delta_eur(S, K, T, r, v, q), p.put_delta, e * Dq + 1e-14);
  EXPECT_NEAR(vexal::gamma_eur(S, K, T, r, v, q), p.gamma, 1e-11 * p.gamma);
  EXPECT_NEAR(vexal::vega_eur(S, K, T, r, v, q), p.vega, 1e-11 * p.vega);
  EXPECT_NEAR(vexal::call_theta_eur(S, K, T, r, v, q), p.call_theta, theta_tol);
  EXPECT_NEAR(vexal::put_theta_eur(S, K, T, r, v, q), p.put_theta, theta_tol);
  EXPECT_NEAR(vexal::call_rho_eur(S, K, T, r, v, q), p.call_rho, e * K * T * Dr + 1e-11);
  EXPECT_NEAR(vexal::put_rho_eur(S, K, T, r, v, q), p.put_rho, e * K * T * Dr + 1e-11);
  EXPECT_NEAR(vexal::prob_itm(S, K, T, r, v, q), p.itm, e + 1e-14);
}

}  // namespace

TEST(EuropeanQuantLib, AtTheMoneyOneYear) { expect_agreement({100, 100, 365, 0.05, 0.2, 0}); }

TEST(EuropeanQuantLib, AcrossMoneynessMaturityAndYield) {
  for (const Case& c : {Case{100, 100, 365, 0.05, 0.2, 0.03}, Case{100, 80, 73, 0.02, 0.35, 0.01},
                        Case{90, 120, 730, 0.07, 0.15, 0.04}, Case{50, 52, 146, -0.01, 0.6, 0},
                        Case{100, 130, 1095, 0.03, 0.45, 0.02}})
    expect_agreement(c);
}

// The implied volatility of QuantLib's price lies within one 2^-16 step of
// the volatility QuantLib priced at (plus what the price error moves it).
TEST(EuropeanQuantLib, ImpliedVolatilityOfPeerPrices) {
  for (double v : {0.2, 0.55, 1.3}) {
    const Peer p = quantlib(100, 105, 365, 0.05, v, 0.01);
    const double slack = 1.0 / 65536 + 2e-5 / p.vega;
    EXPECT_NEAR(vexal::call_impvol_eur(100, 105, 1, 0.05, p.call, 0.01), v, slack) << v;
    EXPECT_NEAR(vexal::put_impvol_eur(100, 105, 1, 0.05, p.put, 0.01), v, slack) << v;
  }
}

#else

TEST(EuropeanQuantLib, Skipped) { GTEST_SKIP() << "QuantLib is not installed: no independent peer to compare with"; }

#endif
