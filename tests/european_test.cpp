// European prices, Greeks, implied volatility and cash dividends.
#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "options/window_search.h"

using namespace vexal;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kGrid = 1.0 / 65536;  // 2^-16
const double kSnormError = 7.5e-8;

// Textbook Black-Scholes-Merton in long double with an exact normal
// distribution, for the builds that have no QuantLib.
struct Bsm {
  long double call, put, call_delta, put_delta, gamma, vega, call_theta, put_theta, call_rho, put_rho,
      itm;
};

Bsm exact(long double S, long double K, long double T, long double r, long double v, long double q) {
  const long double pi = 3.141592653589793238462643383279503L;
  auto N = [](long double x) { return 0.5L * std::erfc(-x / std::sqrt(2.0L)); };
  auto n = [&](long double x) { return std::exp(-x * x / 2) / std::sqrt(2 * pi); };
  const long double rt = std::sqrt(T);
  const long double d1 = (std::log(S / K) + (r - q + v * v / 2) * T) / (v * rt), d2 = d1 - v * rt;
  const long double Dq = std::exp(-q * T), Dr = std::exp(-r * T);
  const long double A = -S * Dq * n(d1) * v / (2 * rt);
  return {S * Dq * N(d1) - K * Dr * N(d2),
          K * Dr * N(-d2) - S * Dq * N(-d1),
          Dq * N(d1),
          Dq * (N(d1) - 1),
          Dq * n(d1) / (S * v * rt),
          S * Dq * n(d1) * rt,
          A + q * S * Dq * N(d1) - r * K * Dr * N(d2),
          A - q * S * Dq * N(-d1) + r * K * Dr * N(-d2),
          K * T * Dr * N(d2),
          -K * T * Dr * N(-d2),
          N(d2)};
}

struct Point {
  double S, K, T, r, v, q;
};
const Point kPoints[] = {{100, 100, 1, 0.05, 0.2, 0},     {100, 100, 1, 0.05, 0.2, 0.03},
                         {100, 80, 0.25, 0.02, 0.35, 0.01}, {90, 120, 2, 0.07, 0.15, 0.04},
                         {50, 52, 0.5, -0.01, 0.6, 0},     {100, 100, 1, 0.05, 0.2, 0.05}};
}  // namespace

// Every probability enters with snorm's error, so a price may be off by
// that error times the two legs S e^{-qT} + K e^{-rT}; density-only Greeks
// are exact up to rounding.
TEST(EuropeanGreeks, AgreeWithExactFormulasWithinNormalAccuracy) {
  for (const Point& p : kPoints) {
    const Bsm e = exact(p.S, p.K, p.T, p.r, p.v, p.q);
    const double Dq = std::exp(-p.q * p.T), Dr = std::exp(-p.r * p.T);
    const double legs = kSnormError * (p.S * Dq + p.K * Dr) + 1e-12 * p.S;
    const double theta_legs = kSnormError * (std::fabs(p.q) * p.S * Dq + std::fabs(p.r) * p.K * Dr);
    const auto args = std::make_tuple(p.S, p.K, p.T, p.r, p.v, p.q);
    auto at = [&](double (*f)(double, double, double, double, double, double)) { return std::apply(f, args); };
    SCOPED_TRACE(testing::Message() << "S=" << p.S << " K=" << p.K << " T=" << p.T << " q=" << p.q);
    EXPECT_NEAR(at(call_eur), e.call, legs);
    EXPECT_NEAR(at(put_eur), e.put, legs);
    EXPECT_NEAR(at(call_delta_eur), e.call_delta, kSnormError * Dq + 1e-15);
    EXPECT_NEAR(at(put_delta_eur), e.put_delta, kSnormError * Dq + 1e-15);
    EXPECT_NEAR(at(gamma_eur), e.gamma, 1e-12 * e.gamma);
    EXPECT_NEAR(at(vega_eur), e.vega, 1e-12 * e.vega);
    EXPECT_NEAR(at(call_theta_eur), e.call_theta, theta_legs + 1e-12 * std::fabs(e.call_theta));
    EXPECT_NEAR(at(put_theta_eur), e.put_theta, theta_legs + 1e-12 * std::fabs(e.put_theta));
    EXPECT_NEAR(at(call_rho_eur), e.call_rho, kSnormError * p.K * p.T * Dr + 1e-12);
    EXPECT_NEAR(at(put_rho_eur), e.put_rho, kSnormError * p.K * p.T * Dr + 1e-12);
    EXPECT_NEAR(at(prob_itm), e.itm, kSnormError + 1e-15);
  }
  // Per unit of sigma, not per percentage point.
  EXPECT_NEAR(vega_eur(100, 100, 1, 0.05, 0.2, 0), 37.524, 1e-3);
}

TEST(EuropeanGreeks, ProbabilityInTheMoneyIsNOfD2) {
  for (const Point& p : kPoints) {
    const double d2 = (std::log(p.S / p.K) + p.T * ((p.r - p.q) - p.v * p.v / 2)) / (std::sqrt(p.T) * p.v);
    // At d2 = 0 the two ways differ by twice snorm(0) - 1/2, about 1e-9.
    const double tol = d2 == 0 ? 2 * (snorm(0) - 0.5) + 1e-16 : 1e-15;
    EXPECT_NEAR(prob_itm(p.S, p.K, p.T, p.r, p.v, p.q), snorm(d2), tol) << p.S << " " << p.K << " " << p.q;
  }
}

// snorm(x) + snorm(-x) = 1 only for x != 0, so parity holds up to rounding
// wherever d1 and d2 are not exactly 0.
TEST(EuropeanPrices, PutCallParity) {
  for (double S : {60.0, 95.0, 100.0, 104.5, 170.0})
    for (double T : {0.1, 1.0, 3.0})
      for (double q : {0.0, 0.02, 0.09}) {
        const double K = 100, r = 0.04, v = 0.3;
        const double Dq = std::exp(-q * T), Dr = std::exp(-r * T);
        EXPECT_NEAR(call_eur(S, K, T, r, v, q) - put_eur(S, K, T, r, v, q), S * Dq - K * Dr, 1e-12 * (S + K))
            << S << " " << T << " " << q;
        EXPECT_NEAR(call_delta_eur(S, K, T, r, v, q) - put_delta_eur(S, K, T, r, v, q), Dq, 4e-16);
        EXPECT_NEAR(call_theta_eur(S, K, T, r, v, q) - put_theta_eur(S, K, T, r, v, q),
                    q * S * Dq - r * K * Dr, 1e-12 * (S + K));
        EXPECT_NEAR(call_rho_eur(S, K, T, r, v, q) - put_rho_eur(S, K, T, r, v, q), K * T * Dr, 1e-12 * K * T);
      }
}

TEST(EuropeanPrices, YieldLowersCallAndRaisesPut) {
  const double c0 = call_eur(100, 100, 1, 0.05, 0.2, 0), p0 = put_eur(100, 100, 1, 0.05, 0.2, 0);
  for (double q : {0.01, 0.05, 0.2}) {
    EXPECT_LT(call_eur(100, 100, 1, 0.05, 0.2, q), c0) << q;
    EXPECT_GT(put_eur(100, 100, 1, 0.05, 0.2, q), p0) << q;
    EXPECT_LT(call_delta_eur(100, 100, 1, 0.05, 0.2, q), std::exp(-q));
    EXPECT_GT(put_delta_eur(100, 100, 1, 0.05, 0.2, q), -std::exp(-q));
  }
}

// Only the prices look at T: at or past expiry the intrinsic value, not
// discounted. The call tests S > K and the put S >= K. NaN gives NaN.
TEST(EuropeanPrices, ExpiryGivesUndiscountedIntrinsicValue) {
  for (double T : {0.0, -0.0, -1.0}) {
    EXPECT_EQ(call_eur(110, 100, T, 0.05, 0.2, 0.03), 10.0) << T;
    EXPECT_EQ(call_eur(100, 100, T, 0.05, 0.2, 0.03), 0.0);
    EXPECT_EQ(call_eur(90, 100, T, 0.05, 0.2, 0.03), 0.0);
    EXPECT_EQ(put_eur(90, 100, T, 0.05, 0.2, 0.03), 10.0);
    EXPECT_EQ(put_eur(100, 100, T, 0.05, 0.2, 0.03), 0.0);
    EXPECT_EQ(put_eur(110, 100, T, 0.05, 0.2, 0.03), 0.0);
    EXPECT_TRUE(std::isnan(call_eur(kNaN, 100, T, 0.05, 0.2, 0)));
    EXPECT_TRUE(std::isnan(put_eur(kNaN, 100, T, 0.05, 0.2, 0)));
  }
  // The Greeks have no such branch: they give what the arithmetic gives.
  EXPECT_FALSE(std::isfinite(gamma_eur(100, 100, 0, 0.05, 0.2, 0)));
  EXPECT_TRUE(std::isnan(call_delta_eur(100, 100, -1, 0.05, 0.2, 0)));
}

TEST(EuropeanPrices, ZeroVolatilityGivesDiscountedForwardIntrinsic) {
  // d1 and d2 are +infinity or -infinity; N gives exactly 1 or 0.
  EXPECT_DOUBLE_EQ(call_eur(110, 100, 1, 0.05, 0, 0), 110 - 100 * std::exp(-0.05));
  EXPECT_EQ(call_eur(90, 100, 1, 0.05, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(put_eur(90, 100, 1, 0.05, 0, 0), 100 * std::exp(-0.05) - 90);
  // ln(S/K) + T (r - q) = 0: 0/0.
  EXPECT_TRUE(std::isnan(call_eur(100, 100, 1, 0.05, 0, 0.05)));
}

TEST(EuropeanImpliedVolatility, ReturnsTheGridPointBelowTheTrueVolatility) {
  const double c = call_eur(100, 100, 1, 0.05, 0.2, 0), p = put_eur(100, 100, 1, 0.05, 0.2, 0);
  const double below = std::floor(0.2 / kGrid) * kGrid;
  EXPECT_EQ(below, 13107 * kGrid);
  EXPECT_EQ(call_impvol_eur(100, 100, 1, 0.05, c, 0), below);
  EXPECT_EQ(put_impvol_eur(100, 100, 1, 0.05, p, 0), below);
}

TEST(EuropeanImpliedVolatility, WithinOneGridStepAcrossStrikesAndVolatilities) {
  for (double K : {80.0, 100.0, 120.0})
    for (double T : {0.25, 1.0, 2.0})
      for (double v : {0.1, 0.37, 0.8, 1.6, 2.9, 4.3}) {
        const double q = 0.01, r = 0.03;
        EXPECT_NEAR(call_impvol_eur(100, K, T, r, call_eur(100, K, T, r, v, q), q), v, kGrid + 1e-12)
            << K << " " << T << " " << v;
        EXPECT_NEAR(put_impvol_eur(100, K, T, r, put_eur(100, K, T, r, v, q), q), v, kGrid + 1e-12)
            << K << " " << T << " " << v;
      }
}

TEST(EuropeanImpliedVolatility, ProbesSixteenPerWindowAndNeverPricesTheResult) {
  const double target = call_eur(100, 100, 1, 0.05, 2.5, 0);
  std::vector<double> probes;
  const double v = window_search(
      [&](double s) {
        probes.push_back(s);
        return call_eur(100, 100, 1, 0.05, s, 0);
      },
      target);
  EXPECT_EQ(v, 2.5);
  ASSERT_EQ(probes.size(), 32u);  // one restart
  EXPECT_EQ(probes[0], 1.0);
  EXPECT_EQ(probes[15], 2 - 2 * kGrid);
  EXPECT_EQ(probes[16], 3 - kGrid);  // one above the first window's end, 2 - 2^-16
  EXPECT_EQ(std::count(probes.begin(), probes.end(), v), 0);
  EXPECT_EQ(call_impvol_eur(100, 100, 1, 0.05, target, 0), 2.5);
}

TEST(EuropeanImpliedVolatility, TargetsAtOrBelowTheFloorGiveZero) {
  EXPECT_EQ(call_impvol_eur(100, 100, 1, 0.05, 0, 0), 0.0);
  EXPECT_EQ(put_impvol_eur(100, 100, 1, 0.05, 0, 0), 0.0);
  EXPECT_EQ(call_impvol_eur(100, 100, 1, 0.05, -3, 0), 0.0);
  EXPECT_TRUE(std::isnan(call_impvol_eur(100, 100, 1, 0.05, kNaN, 0)));
  EXPECT_TRUE(std::isnan(call_impvol_eur(kNaN, 100, 1, 0.05, 5, 0)));
  // At expiry the price ignores sigma; a target up to intrinsic gives 0.
  EXPECT_EQ(call_impvol_eur(110, 100, 0, 0.05, 10, 0), 0.0);
  EXPECT_EQ(put_impvol_eur(90, 100, 0, 0.05, 4, 0), 0.0);
}

// Prices never exceed S e^{-qT} (call) or K e^{-rT} (put): every window
// goes up, and the search gives up after its last window with NaN.
TEST(EuropeanImpliedVolatility, UnreachableTargetGivesNaNAfterTheLastWindow) {
  int pricings = 0;
  const double v = window_search(
      [&](double s) {
        ++pricings;
        return call_eur(100, 100, 1, 0.05, s, 0.02);
      },
      100 * std::exp(-0.02) + 1e-9);
  EXPECT_TRUE(std::isnan(v));
  EXPECT_EQ(pricings, vexal::kMaxWindows * vexal::kProbesPerWindow);
  EXPECT_TRUE(std::isnan(call_impvol_eur(100, 100, 1, 0.05, 101, 0)));
  EXPECT_TRUE(std::isnan(put_impvol_eur(100, 100, 1, 0.05, 96, 0)));
  EXPECT_TRUE(std::isnan(call_impvol_eur(100, 100, 1, 0.05, kInf, 0)));
  EXPECT_TRUE(std::isnan(call_impvol_eur(110, 100, 0, 0.05, 10.5, 0)));  // above intrinsic at expiry
}

TEST(EuropeanDividends, NoDividendsIsThePlainPriceWithoutYield) {
  const double none[1] = {0};
  for (double n : {0.0, 0.4, -3.0}) {
    EXPECT_EQ(call_eur_d(100, 95, 1, 0.05, 0.2, none, none, n), call_eur(100, 95, 1, 0.05, 0.2, 0)) << n;
    EXPECT_EQ(put_eur_d(100, 95, 1, 0.05, 0.2, none, none, n), put_eur(100, 95, 1, 0.05, 0.2, 0)) << n;
  }
  EXPECT_EQ(call_eur_d(100, 95, 1, 0.05, 0.2, nullptr, nullptr, 0), call_eur(100, 95, 1, 0.05, 0.2, 0));
}

TEST(EuropeanDividends, EscrowedSpotAndScaledVolatility) {
  const double S = 100, K = 100, T = 1, r = 0.05, v = 0.2;
  const double times[] = {0.25, 0.75, 1.0, 1.5}, amounts[] = {1, 1, 1, 1};
  const double D = std::exp(-0.25 * r) + std::exp(-0.75 * r);
  const double Sx = S - D, vx = (S / Sx) * v;
  const double call = call_eur_d(S, K, T, r, v, times, amounts, 2);
  EXPECT_EQ(call, call_eur(Sx, K, T, r, vx, 0));
  EXPECT_EQ(put_eur_d(S, K, T, r, v, times, amounts, 2), put_eur(Sx, K, T, r, vx, 0));
  EXPECT_LT(call, call_eur(S, K, T, r, v, 0));
  // Dividends at expiry or later are not taken out.
  EXPECT_EQ(call_eur_d(S, K, T, r, v, times, amounts, 3), call);
  EXPECT_EQ(call_eur_d(S, K, T, r, v, times, amounts, 4), call);
  // Order does not matter.
  const double rtimes[] = {1.5, 0.75, 1.0, 0.25};
  EXPECT_DOUBLE_EQ(call_eur_d(S, K, T, r, v, rtimes, amounts, 4), call);
}

TEST(EuropeanDividends, CountConvertsToNearestLastIndex) {
  const double S = 100, K = 100, T = 1, r = 0.05, v = 0.2;
  const double times[] = {0.25, 0.75, 0.5}, amounts[] = {1, 1, 2};
  const double three = call_eur_d(S, K, T, r, v, times, amounts, 3);
  EXPECT_NE(three, call_eur_d(S, K, T, r, v, times, amounts, 2));
  EXPECT_EQ(call_eur_d(S, K, T, r, v, times, amounts, 2.5), three);  // 1.5 rounds to 2
  EXPECT_EQ(call_eur_d(S, K, T, r, v, times, amounts, 3.4), three);
  // 0.5 - 1 = -0.5 rounds to 0: the first dividend alone.
  const double D = std::exp(-0.25 * r);
  EXPECT_EQ(call_eur_d(S, K, T, r, v, times, amounts, 0.5), call_eur(S - D, K, T, r, (S / (S - D)) * v, 0));
}

TEST(EuropeanDividends, NegativeAndNaNTimesAreIncluded) {
  const double S = 100, K = 100, T = 1, r = 0.05, v = 0.2;
  const double past[] = {-0.5}, amount[] = {2}, nan_time[] = {kNaN};
  const double D = std::exp(0.5 * r) * 2;  // discounted forward: more than 2
  EXPECT_EQ(call_eur_d(S, K, T, r, v, past, amount, 1), call_eur(S - D, K, T, r, (S / (S - D)) * v, 0));
  EXPECT_TRUE(std::isnan(call_eur_d(S, K, T, r, v, nan_time, amount, 1)));
  EXPECT_TRUE(std::isnan(put_eur_d(S, K, T, r, v, nan_time, amount, 1)));
}

TEST(EuropeanDividends, DividendsAtOrAboveSpotGiveNoFiniteValue) {
  const double times[] = {0}, equal[] = {100}, more[] = {150};
  EXPECT_FALSE(std::isfinite(call_eur_d(100, 100, 1, 0.05, 0.2, times, equal, 1)));
  EXPECT_FALSE(std::isfinite(call_eur_d(100, 100, 1, 0.05, 0.2, times, more, 1)));
  EXPECT_FALSE(std::isfinite(put_eur_d(100, 100, 1, 0.05, 0.2, times, more, 1)));
}
