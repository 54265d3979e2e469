// The precise prices with cash dividends: European prices and Greeks and the
// American call against nested quadrature in mpmath
// (precise_dividends_reference.h); the American put against the same method
// at a far finer setting, cross-checked by QuantLib's finite-difference
// engine where it is installed; implied volatilities by repricing; and the
// identities (no dividend counted is the continuous-yield twin with q = 0,
// bit for bit; parity; American at least European and intrinsic).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "precise/dividends.h"
#include "precise/functions.h"
#include "precise_dividends_reference.h"

#ifdef VEXAL_HAVE_QUANTLIB
#include <ql/exercise.hpp>
#include <ql/instruments/dividendvanillaoption.hpp>
#include <ql/pricingengines/vanilla/fdblackscholesvanillaengine.hpp>

#include "quantlib_market.h"
#endif

namespace {

using Fn = double (*)(double, double, double, double, double, const double*, const double*, double);

struct Row {
  Fn price, greeks[5];
};
// Kinds 0, 1, 2 of the reference: European call, European put, American call.
const Row kRows[] = {
    {vexal::precise_call_eur_d,
     {vexal::precise_call_delta_eur_d, vexal::precise_call_gamma_eur_d, vexal::precise_call_vega_eur_d,
      vexal::precise_call_theta_eur_d, vexal::precise_call_rho_eur_d}},
    {vexal::precise_put_eur_d,
     {vexal::precise_put_delta_eur_d, vexal::precise_put_gamma_eur_d, vexal::precise_put_vega_eur_d,
      vexal::precise_put_theta_eur_d, vexal::precise_put_rho_eur_d}},
    {vexal::precise_call_american_d,
     {vexal::precise_call_delta_american_d, vexal::precise_call_gamma_american_d,
      vexal::precise_call_vega_american_d, vexal::precise_call_theta_american_d,
      vexal::precise_call_rho_american_d}},
};

TEST(PreciseDividends, EuropeanAndAmericanCallMatchNestedQuadrature) {
  double worst_price = 0, worst_greek = 0;
  for (const auto& c : precise_dividends_reference::kCases) {
    const Row& row = kRows[c.kind];
    const double v = row.price(c.S, c.K, c.T, c.r, c.sigma, c.times, c.amounts, c.n);
    const double err = std::fabs(v - c.value) / c.value;
    worst_price = std::fmax(worst_price, err);
    EXPECT_LE(err, 1e-10) << c.kind << " S " << c.S << " T " << c.T << ": " << v << " vs " << c.value;
    const double want[5] = {c.delta, c.gamma, c.vega, c.theta, c.rho};
    for (int g = 0; g < 5; ++g) {
      if (std::isnan(want[g])) continue;
      const double got = row.greeks[g](c.S, c.K, c.T, c.r, c.sigma, c.times, c.amounts, c.n);
      const double e = std::fabs(got - want[g]) / std::fmax(1.0, std::fabs(want[g]));
      worst_greek = std::fmax(worst_greek, e);
      EXPECT_LE(e, 1e-6) << c.kind << " greek " << g << " S " << c.S << " T " << c.T << ": " << got
                         << " vs " << want[g];
    }
  }
  std::printf("worst relative error: price %.2e, Greeks %.2e\n", worst_price, worst_greek);
}

// Seeded puts over the ranges of the tests: S 60..140, T a month to three
// years, r 0..10 %, sigma 0.1..0.6, one to eight dividends up to 5 % of S.
struct Put {
  double S, T, r, sigma;
  std::vector<double> times, amounts;
};
std::vector<Put> puts(int count, int most) {
  std::mt19937 gen(28);
  std::uniform_real_distribution<double> u(0, 1);
  std::vector<Put> out;
  for (int i = 0; i < count; ++i) {
    Put p{60 + 80 * u(gen), std::exp(std::log(1 / 12.0) + u(gen) * std::log(36.0)), 0.1 * u(gen),
          0.1 + 0.5 * u(gen), {}, {}};
    const int n = 1 + i % most;
    for (int k = 0; k < n; ++k) {
      p.times.push_back(p.T * (k + u(gen)) / n);
      p.amounts.push_back(0.05 * p.S * u(gen));
    }
    out.push_back(p);
  }
  return out;
}

TEST(PreciseDividends, AmericanPutMatchesAFinerSettingAndQuantLib) {
  namespace dv = vexal::dividends;
  double worst = 0;
  for (const Put& p : puts(8, 8)) {
    const double v = vexal::precise_put_american_d(p.S, 100, p.T, p.r, p.sigma, p.times.data(),
                                                   p.amounts.data(), static_cast<double>(p.times.size()));
    std::vector<dv::Dividend> divs;
    ASSERT_TRUE(dv::read_schedule(p.T, p.times.data(), p.amounts.data(),
                                  static_cast<double>(p.times.size()), &divs));
    const double ref = dv::value(dv::Kind::put, dv::Style::american, p.S, 100, p.T, p.r, p.sigma, divs,
                                 dv::kReference).price;
    const double err = std::fabs(v - ref) / ref;
    worst = std::fmax(worst, err);
    EXPECT_LE(err, 1e-8) << "S " << p.S << " T " << p.T << " r " << p.r << " sigma " << p.sigma << " n "
                         << p.times.size() << ": " << v << " vs " << ref;
  }
  std::printf("worst relative error against the finer setting: %.2e\n", worst);
#ifdef VEXAL_HAVE_QUANTLIB
  // QuantLib counts whole days: dividends and expiry on days of 1/365.
  namespace ql = QuantLib;
  const ql::Date today(15, ql::January, 2024);
  for (const Put& p : puts(3, 4)) {
    const int days = static_cast<int>(std::lround(p.T * 365));
    std::vector<ql::Date> dates;
    std::vector<double> times, amounts = p.amounts;
    for (double t : p.times) {
      const int d = std::max(1, std::min(days - 1, static_cast<int>(std::lround(t * 365))));
      dates.push_back(today + d);
      times.push_back(d / 365.0);
    }
    auto process = vexal_test::flat_market(today, p.S, p.r, 0.0, p.sigma);
    ql::DividendVanillaOption option(ql::ext::make_shared<ql::PlainVanillaPayoff>(ql::Option::Put, 100.0),
                                     ql::ext::make_shared<ql::AmericanExercise>(today, today + days), dates,
                                     amounts);
    option.setPricingEngine(ql::ext::make_shared<ql::FdBlackScholesVanillaEngine>(
        process, 2000, 2000, 0, ql::FdmSchemeDesc::Douglas(), false, -ql::Null<ql::Real>(),
        ql::FdBlackScholesVanillaEngine::Spot));
    const double v = vexal::precise_put_american_d(p.S, 100, days / 365.0, p.r, p.sigma, times.data(),
                                                   amounts.data(), static_cast<double>(times.size()));
    EXPECT_NEAR(v, option.NPV(), 1e-4 * option.NPV()) << "S " << p.S << " days " << days;
  }
#endif
}

// The boundary against a method without one: the Bermudan put, exercised
// only at dates (512, 1024 and 2048 a year), whose values approach the
// American one to first order in the spacing, with a second-order term; both
// taken out. The boundary jumps 0.124 years before the dividend. The
// Bermudan grid reaches twenty deviations: with dates that close, a grid's
// edge moves in by less than a kernel's reach from one date to the next,
// and what the kernels miss there seeps inwards date by date.
TEST(PreciseDividends, AmericanPutIsTheBermudanLimit) {
  namespace dv = vexal::dividends;
  const std::vector<dv::Dividend> divs = {{0.3, 1.0}};
  double v[3];
  for (int k = 0; k < 3; ++k) {
    dv::Setting s = dv::kPrecise;
    s.steps = -(512 << k);
    s.z = 20;
    v[k] = dv::value(dv::Kind::put, dv::Style::american, 95, 100, 0.5, 0.08, 0.3, divs, s).price;
  }
  const double r1 = 2 * v[1] - v[0], r2 = 2 * v[2] - v[1], limit = (4 * r2 - r1) / 3;
  const double precise = dv::value(dv::Kind::put, dv::Style::american, 95, 100, 0.5, 0.08, 0.3, divs).price;
  EXPECT_NEAR(precise, limit, 5e-8 * limit);
  // Eight dividends; in the fifth period the boundary climbs a low branch
  // and then jumps to the upper one, where a root of the low branch
  // outlives the jump (the price was 7e-5 low). Its limit likewise, at
  // 1024, 2048 and 4096 dates a year (too slow to run here).
  const double t8[] = {0.028696369617462976, 0.21006002370404897, 0.50707257226632363, 0.64778299852116705,
                       0.84788719802945078,  0.94989937503196331, 1.2699240568297103,  1.4564107517105496};
  const double d8[] = {1.010330784277077,  1.1296371014922681,  2.4881368746531662, 3.0487598623980281,
                       1.5266569837619623, 0.77364044766845097, 1.9707351163350562, 3.1019886054855075};
  const double eight = vexal::precise_put_american_d(62.812600433101935, 100, 1.5037748580547978,
                                                     0.001 + 0.1 * 177 / 199, 0.28638715270328741, t8, d8, 8);
  EXPECT_NEAR(eight, 39.6679232297, 1e-8 * eight);
}

TEST(PreciseDividends, ImpliedVolatilityReprices) {
  using Price = Fn;
  using Impvol = Fn;
  const struct {
    Price price;
    Impvol impvol;
  } pairs[] = {{vexal::precise_call_eur_d, vexal::precise_call_impvol_eur_d},
               {vexal::precise_put_eur_d, vexal::precise_put_impvol_eur_d},
               {vexal::precise_call_american_d, vexal::precise_call_impvol_american_d},
               {vexal::precise_put_american_d, vexal::precise_put_impvol_american_d}};
  const double times[] = {0.2, 0.45}, amounts[] = {2, 3};
  for (const auto& f : pairs)
    for (double S : {70.0, 100.0, 130.0})
      for (double sigma : {0.15, 0.45}) {
        const double P = f.price(S, 100, 0.6, 0.05, sigma, times, amounts, 2);
        const double v = f.impvol(S, 100, 0.6, 0.05, P, times, amounts, 2);
        const double again = f.price(S, 100, 0.6, 0.05, v, times, amounts, 2);
        // The price's own rounding (its error, 1e-13 of it at most), and
        // what a few ulp of sigma move it by.
        const double vega = (f.price(S, 100, 0.6, 0.05, sigma * (1 + 1e-6), times, amounts, 2) - P) /
                            (sigma * 1e-6);
        EXPECT_LE(std::fabs(again - P), 1e-13 * P + 4 * vega * 2.3e-16 * sigma) << S << " " << sigma;
      }
}

// With no dividend counted, the continuous-yield twin with q = 0, bit for
// bit; put-call parity for the European (the floor out of reach); every
// American at least its European and its exercise value; NaN rules.
TEST(PreciseDividends, Identities) {
  const double nan = std::nan("");
  const double times[] = {0.3, 1.5, -0.2, 0.7}, amounts[] = {2, 3, 1, 0};
  // Counted: none of n = 0; 1.5 >= T; t <= 0; a zero amount.
  const struct {
    double n, T;
  } none[] = {{0, 1}, {0.4, 1}, {2, 1.0 / 12}, {4, 0.25}, {2, 0.3}};
  for (const auto& c : none)
    for (double S : {60.0, 100.0, 140.0}) {
      const double a[] = {S, 100, c.T, 0.05, 0.3};
      EXPECT_EQ(vexal::precise_call_eur_d(a[0], a[1], a[2], a[3], a[4], times, amounts, c.n),
                vexal::precise_call_eur(a[0], a[1], a[2], a[3], a[4], 0));
      EXPECT_EQ(vexal::precise_put_american_d(a[0], a[1], a[2], a[3], a[4], times, amounts, c.n),
                vexal::precise_put_american(a[0], a[1], a[2], a[3], a[4], 0));
      EXPECT_EQ(vexal::precise_call_rho_american_d(a[0], a[1], a[2], a[3], a[4], times, amounts, c.n),
                vexal::precise_call_rho_american(a[0], a[1], a[2], a[3], a[4], 0));
      EXPECT_EQ(vexal::precise_put_gamma_eur_d(a[0], a[1], a[2], a[3], a[4], times, amounts, c.n),
                vexal::precise_gamma_eur(a[0], a[1], a[2], a[3], a[4], 0));
      const double P = vexal::precise_put_american(a[0], a[1], a[2], a[3], a[4], 0);
      EXPECT_EQ(vexal::precise_put_impvol_american_d(a[0], a[1], a[2], a[3], P, times, amounts, c.n),
                vexal::precise_put_impvol_american(a[0], a[1], a[2], a[3], P, 0));
    }
  // Parity, unsorted and equal times, and the bounds of the Americans.
  const double t2[] = {0.6, 0.2, 0.6}, d2[] = {1.5, 2, 1};
  for (double S : {60.0, 100.0, 140.0})
    for (double r : {0.0, 0.08}) {
      const double C = vexal::precise_call_eur_d(S, 100, 1, r, 0.25, t2, d2, 3);
      const double P = vexal::precise_put_eur_d(S, 100, 1, r, 0.25, t2, d2, 3);
      const double pv = 2 * std::exp(-0.2 * r) + 2.5 * std::exp(-0.6 * r);
      EXPECT_NEAR(C - P, S - pv - 100 * std::exp(-r), 1e-12 * S) << S << " " << r;
      const double merged[] = {0.2, 0.6}, sums[] = {2, 2.5};
      EXPECT_NEAR(vexal::precise_put_eur_d(S, 100, 1, r, 0.25, merged, sums, 2), P, 1e-14 * S);
      const double AC = vexal::precise_call_american_d(S, 100, 1, r, 0.25, t2, d2, 3);
      const double AP = vexal::precise_put_american_d(S, 100, 1, r, 0.25, t2, d2, 3);
      EXPECT_GE(AC, C);
      EXPECT_GE(AP, P);
      EXPECT_GE(AC, S - 100);
      EXPECT_GE(AP, 100 - S);
    }
  // NaN: a number, a time or an amount read, a negative amount; n as the
  // legacy functions convert it (2.5 reads three entries).
  const double bad_t[] = {0.3, nan}, bad_d[] = {2, -1};
  EXPECT_TRUE(std::isnan(vexal::precise_call_eur_d(nan, 100, 1, 0.05, 0.3, times, amounts, 1)));
  EXPECT_TRUE(std::isnan(vexal::precise_call_eur_d(100, 100, 1, 0.05, 0.3, times, amounts, nan)));
  EXPECT_TRUE(std::isnan(vexal::precise_put_eur_d(100, 100, 1, 0.05, 0.3, bad_t, amounts, 2)));
  EXPECT_TRUE(std::isnan(vexal::precise_put_american_d(100, 100, 1, 0.05, 0.3, times, bad_d, 2)));
  EXPECT_FALSE(std::isnan(vexal::precise_put_eur_d(100, 100, 1, 0.05, 0.3, bad_t, amounts, 1)));
  EXPECT_TRUE(std::isnan(vexal::precise_put_eur_d(100, 100, 1, 0.05, 0.3, nullptr, nullptr, 1)));
  const double three = vexal::precise_call_eur_d(100, 100, 1, 0.05, 0.3, t2, d2, 3);
  EXPECT_EQ(vexal::precise_call_eur_d(100, 100, 1, 0.05, 0.3, t2, d2, 2.5), three);
  EXPECT_NE(vexal::precise_call_eur_d(100, 100, 1, 0.05, 0.3, t2, d2, 2), three);
}

// Dates a hair apart (down to one ulp) price as one payment of both amounts
// at their mean date: exactly so below T/2^20, where they are merged, and
// within the value's sensitivity to the dates above it. The Europeans move
// at second order in the distance, the Americans, which may be exercised
// between the dates, at first.
TEST(PreciseDividends, NearlyCoincidentDates) {
  const double t0 = 0.5, one = std::nextafter(t0, 1.0) - t0;
  const Fn fns[] = {vexal::precise_call_eur_d, vexal::precise_put_eur_d,
                    vexal::precise_call_american_d, vexal::precise_put_american_d};
  for (double gap : {one, 1e-14, 1e-9, 5e-7, 2e-6, 1e-4})
    for (double S : {90.0, 110.0})
      for (int f = 0; f < 4; ++f) {
        const double t[] = {t0, t0 + gap}, d[] = {1.0, 2.0};
        const double mean[] = {t0 + gap * 2 / 3}, sum[] = {3.0};
        const double tol = f >= 2 ? 1e-8 + 2 * gap : 1e-8 + 10 * gap * gap;
        EXPECT_NEAR(fns[f](S, 100, 1, 0.05, 0.2, t, d, 2), fns[f](S, 100, 1, 0.05, 0.2, mean, sum, 1), tol)
            << "kind " << f << " S " << S << " gap " << gap;
      }
}

// At low volatility the put is its certain path's value where its grids
// resolve the kernels, and NaN where they cannot (it used to give 0 for
// 3.437); the Europeans' values never depend on that.
TEST(PreciseDividends, LowVolatilityPutIsRightOrNaN) {
  const struct {
    double t, D;
  } cases[] = {{0.3, 5}, {0.6, 45}};
  for (const auto& c : cases)
    for (double sigma : {1e-3, 3e-4, 1e-4, 3e-5, 1e-6}) {
      const double certain = vexal::precise_put_american_d(100, 100, 1, 0.05, 0, &c.t, &c.D, 1);
      const double v = vexal::precise_put_american_d(100, 100, 1, 0.05, sigma, &c.t, &c.D, 1);
      if (!std::isnan(v)) {
        EXPECT_NEAR(v, certain, 1e-9) << c.D << " " << sigma;
      } else {
        EXPECT_LT(sigma, 3e-4) << c.D;
      }
    }
}

// Puts where a one-node solve that left its bracket (by steps outside it,
// or by false position within it) landed on the other branch's root of
// value matching: 1.6 % off at isolated rates, 0 at isolated spots; and
// puts whose boundary jumps twice in a period (the last two: 2e-4 off
// where the second jump fell inside a panel). Each within tol of the cubic
// through its neighbours at -+h and -+2h in r or S.
TEST(PreciseDividends, PutSmoothAtFormerGlitches) {
  const double q4[] = {0.125, 0.375, 0.625, 0.875};
  const double t3[] = {0.055958109936383511, 0.15869480755487103, 0.24885114597553637};
  const double d3[] = {3.2734561632042665, 0.15507597917249455, 1.4189702423002633};
  const double t8[] = {0.070603348022827861, 0.25328741137422572, 0.33384816186203187, 0.47906260400346834,
                       0.67633898412418381,  0.81824390616036569, 0.93247364761508755, 1.0927008669171974};
  const double d8[] = {0.22482040680622475, 0.19519243793895516, 2.8694727581495054, 2.3243708524694395,
                       0.9181480391804151,  0.46592773918657621, 0.027444451028657328, 1.4338904119778404};
  const double t6[] = {0.18574474858601134, 0.52432792765991743, 1.0045081786736663,
                       1.6476579588863709,  1.8005552496854873,  2.2639098575686654};
  const double d6[] = {0.093410936635550626, 0.0079438458285726685, 1.8061129141338361,
                       1.3396361559893828,   2.6856877581427638,    2.2880753543938779};
  const struct {
    double S, T, r, sigma;
    const double *t, *d;
    double D;  // a quarterly dividend where d is null
    int n;
    bool in_rate;
    double h, tol;
  } cases[] = {{100, 1, 0.1086, 0.15, q4, nullptr, 1, 4, true, 1e-4, 1e-9},
               {100, 1, 0.0704, 0.3, q4, nullptr, 0.5, 4, true, 1e-4, 1e-9},
               {100, 1, 0.0974, 0.3, q4, nullptr, 0.5, 4, true, 1e-4, 1e-9},
               {100, 1, 0.0979, 0.3, q4, nullptr, 0.5, 4, true, 1e-4, 1e-9},
               {113.78151260504202, 0.34680458454793928, 0.081138440131016371, 0.59721561952535474, t3, d3, 0, 3,
                false, 0.5, 1e-7},
               {60.933535564035921, 1.133941979143487, 0.055271356783919603, 0.54067091453216165, t8, d8, 0, 8,
                true, 0.1 / 199, 5e-6},
               {61.518810249774731, 2.476449589000886, 0.03919095477386935, 0.27912015389226158, t6, d6, 0, 6,
                true, 0.1 / 199, 5e-6}};
  for (const auto& c : cases) {
    const double dq[] = {c.D, c.D, c.D, c.D};
    const double* d = c.d ? c.d : dq;
    auto at = [&](double e) {
      return vexal::precise_put_american_d(c.in_rate ? c.S : c.S + e, 100, c.T, c.in_rate ? c.r + e : c.r, c.sigma,
                                           c.t, d, c.n);
    };
    const double h = c.h, v = at(0);
    const double fit = (-at(-2 * h) + 4 * at(-h) + 4 * at(h) - at(2 * h)) / 6;
    EXPECT_NEAR(v, fit, c.tol * v) << "S " << c.S << " r " << c.r << " sigma " << c.sigma;
  }
}

}  // namespace
