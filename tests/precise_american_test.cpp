// The precise American family against references it does not share a
// setting with: the same method at a far finer setting (48 collocation
// nodes against 24 to 40 by regime; three to five times the quadrature,
// converged Newton steps from a finer coarse solve, tanh-sinh at step
// 2^-7), itself cross-checked by an extrapolated tree of
// 4000/8000 steps, and published values. The identity through vexal_map is
// the batch test's sweep of every precise row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "core/numeric.h"
#include "precise/american_boundary.h"
#include "precise/functions.h"

namespace {

namespace am = vexal::american;

struct Case {
  bool call;
  double S, K, T, r, sigma, q;
};

am::Value reference(const Case& c) {
  return c.call ? am::call_value(c.S, c.K, c.T, c.r, c.sigma, c.q, am::kReference)
                : am::put_value(c.S, c.K, c.T, c.r, c.sigma, c.q, am::kReference);
}

double reference_price(bool call, double S, double K, double T, double r, double sigma, double q) {
  return reference({call, S, K, T, r, sigma, q}).price;
}

// Fourth-order central difference, as the library takes vega and rho.
template <class F>
double slope(F f, double x, double h) {
  return (8 * (f(x + h) - f(x - h)) - (f(x + 2 * h) - f(x - 2 * h))) / (12 * h);
}

// The grid of the accuracy requirement: K = 100, S 25..200, T 1/12..3,
// sigma 0.1..0.6, r and q 0..0.12, calls and puts, prices >= 0.5; a seeded
// sample of 200.
std::vector<Case> grid_sample() {
  const double S[] = {25, 50, 80, 90, 100, 110, 120, 150, 200};
  const double T[] = {1.0 / 12, 0.25, 0.5, 1, 2, 3};
  const double sigma[] = {0.1, 0.2, 0.3, 0.4, 0.6};
  const double rate[] = {0, 0.02, 0.04, 0.08, 0.12};
  std::mt19937 gen(20);
  std::vector<Case> cases;
  while (cases.size() < 200) {
    const Case c{gen() % 2 == 0, S[gen() % 9], 100, T[gen() % 6], rate[gen() % 5], sigma[gen() % 5],
                 rate[gen() % 5]};
    if (reference(c).price >= 0.5) cases.push_back(c);
  }
  return cases;
}

// The strip where a put's yield is just above its rate (0 < q - r < 0.04)
// and the mirror calls, where the boundary bends sharply soon after expiry:
// a seeded uniform draw of 100 over the grid's ranges.
std::vector<Case> strip_sample() {
  std::mt19937 gen(2020);
  std::uniform_real_distribution<double> U(0, 1);
  std::vector<Case> cases;
  while (cases.size() < 100) {
    const bool call = gen() % 2 == 0;
    const double S = 25 + 175 * U(gen), T = 1.0 / 12 + (3 - 1.0 / 12) * U(gen), sigma = 0.1 + 0.5 * U(gen);
    const double low = 0.12 * U(gen), high = low + 0.04 * U(gen);  // the put's rate and yield
    if (high > 0.12) continue;
    const Case c{call, S, 100, T, call ? high : low, sigma, call ? low : high};
    if (reference(c).price >= 0.5) cases.push_back(c);
  }
  return cases;
}

TEST(PreciseAmerican, AccuracyOverTheGrid) {
  std::vector<Case> cases = grid_sample();
  for (const Case& c : strip_sample()) cases.push_back(c);
  double price_err = 0, greek_err = 0, vol_err = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const am::Value ref = reference(c);
    const double got = c.call ? vexal::precise_call_american(c.S, c.K, c.T, c.r, c.sigma, c.q)
                              : vexal::precise_put_american(c.S, c.K, c.T, c.r, c.sigma, c.q);
    price_err = std::max(price_err, std::fabs(got / ref.price - 1));
    EXPECT_NEAR(got / ref.price, 1, 1e-9) << (c.call ? "call" : "put") << " S=" << c.S << " T=" << c.T
                                          << " r=" << c.r << " sigma=" << c.sigma << " q=" << c.q;
    if (i % 5 != 0) continue;  // Greeks and implied volatility on a fifth
    const double vega_ref =
        slope([&](double x) { return reference_price(c.call, c.S, c.K, c.T, c.r, x, c.q); }, c.sigma, c.sigma * 1e-3);
    const double rho_ref =
        slope([&](double x) { return reference_price(c.call, c.S, c.K, c.T, x, c.sigma, c.q); }, c.r, 1e-4);
    const bool held = ref.price != (c.call ? c.S - c.K : c.K - c.S);
    const double theta_ref =
        held ? c.r * ref.price - (c.r - c.q) * c.S * ref.delta - c.sigma * c.sigma * c.S * c.S * ref.gamma / 2 : 0.0;
    using G = double (*)(double, double, double, double, double, double);
    const G delta = c.call ? vexal::precise_call_delta_american : vexal::precise_put_delta_american;
    const G gamma = c.call ? vexal::precise_call_gamma_american : vexal::precise_put_gamma_american;
    const G vega = c.call ? vexal::precise_call_vega_american : vexal::precise_put_vega_american;
    const G theta = c.call ? vexal::precise_call_theta_american : vexal::precise_put_theta_american;
    const G rho = c.call ? vexal::precise_call_rho_american : vexal::precise_put_rho_american;
    // Relative error, against the Greek or (near zero) its scale: a unit
    // of delta, price/S^2 of gamma, the price per unit of sigma, T or r.
    const struct {
      const char* name;
      double got, want, scale;
    } greeks[] = {{"delta", delta(c.S, c.K, c.T, c.r, c.sigma, c.q), ref.delta, 1e-3},
                  {"gamma", gamma(c.S, c.K, c.T, c.r, c.sigma, c.q), ref.gamma, 1e-3 * ref.price / (c.S * c.S)},
                  {"vega", vega(c.S, c.K, c.T, c.r, c.sigma, c.q), vega_ref, 1e-3 * ref.price},
                  {"theta", theta(c.S, c.K, c.T, c.r, c.sigma, c.q), theta_ref, 1e-3 * ref.price},
                  {"rho", rho(c.S, c.K, c.T, c.r, c.sigma, c.q), rho_ref, 1e-3 * ref.price}};
    for (const auto& g : greeks) {
      const double err = std::fabs(g.got - g.want) / std::max(std::fabs(g.want), g.scale);
      greek_err = std::max(greek_err, err);
      EXPECT_LE(err, 1e-6) << g.name << " of " << (c.call ? "call" : "put") << " S=" << c.S << " T=" << c.T
                           << " r=" << c.r << " sigma=" << c.sigma << " q=" << c.q << ": " << g.got << " vs "
                           << g.want;
    }
    // Implied volatility where a change of sigma by 1e-3 moves the price by
    // more than 1e-5 of itself.
    if (held && vega_ref * 1e-3 > 1e-5 * ref.price) {
      const double vol = c.call ? vexal::precise_call_impvol_american(c.S, c.K, c.T, c.r, got, c.q)
                                : vexal::precise_put_impvol_american(c.S, c.K, c.T, c.r, got, c.q);
      vol_err = std::max(vol_err, std::fabs(vol / c.sigma - 1));
      EXPECT_NEAR(vol / c.sigma, 1, 1e-8) << "implied volatility, S=" << c.S << " T=" << c.T;
    }
  }
  std::printf("largest relative error: price %.2e, Greeks %.2e, implied volatility %.2e\n", price_err, greek_err,
              vol_err);
}

// Rho of puts just above r = 0, where the premium starts like r ln r and
// rho like ln r: a stencil of width 1e-4 across r = 0 was 2.5 % off. The
// reference: central differences of the reference price at steps r/30 and
// r/90, extrapolated (they agree to about 1e-5).
TEST(PreciseAmerican, RhoNearZeroRate) {
  const Case cases[] = {
      {false, 28.8835, 100, 16.462062, 8.5e-5, 0.882573, 0.093129},
      {false, 28.8835, 100, 16.462062, 1e-6, 0.882573, 0.093129},
      {false, 28.8835, 100, 16.462062, 3e-4, 0.882573, 0.093129},
      {false, 90, 100, 1, 1e-4, 0.3, 0.05},
      {false, 110, 100, 0.25, 2e-5, 0.2, 0.01},
  };
  for (const Case& c : cases) {
    auto price = [&](double x) { return reference_price(false, c.S, c.K, c.T, x, c.sigma, c.q); };
    auto central = [&](double h) { return (price(c.r + h) - price(c.r - h)) / (2 * h); };
    const double wide = central(c.r / 30), narrow = central(c.r / 90);
    const double want = narrow + (narrow - wide) / 8;
    EXPECT_NEAR(vexal::precise_put_rho_american(c.S, c.K, c.T, c.r, c.sigma, c.q) / want, 1, 1e-6)
        << "S=" << c.S << " r=" << c.r;
  }
}

// Published values and the extrapolated tree (4000 and 8000 steps) beside the
// reference: the tree agrees to about 1e-6, the reference to the published
// digits.
TEST(PreciseAmerican, PublishedValuesAndTheTree) {
  // Andersen, Lake and Offengenden's converged one-year put (twelve digits).
  EXPECT_NEAR(vexal::precise_put_american(100, 100, 1, 0.05, 0.25, 0.05), 9.569445298914, 1e-9 * 9.57);
  EXPECT_NEAR(reference_price(false, 100, 100, 1, 0.05, 0.25, 0.05), 9.569445298914, 2e-12 * 9.57);
  // The textbook put, 4.2842 to four decimals (the legacy tree at 500 steps: 4.2830).
  EXPECT_NEAR(vexal::precise_put_american(50, 50, 5.0 / 12, 0.1, 0.4, 0), 4.2842, 5e-5);
  // The three-year puts, K = 100, r = q = 4 %, sigma = 0.2.
  for (double S : {80.0, 100.0, 120.0}) {
    const double ref = reference_price(false, S, 100, 3, 0.04, 0.2, 0.04);
    EXPECT_NEAR(vexal::precise_put_american(S, 100, 3, 0.04, 0.2, 0.04) / ref, 1, 1e-9) << S;
    EXPECT_NEAR(am::put_tree(S, 100, 3, 0.04, 0.2, 0.04, 4000) / ref, 1, 2e-6) << S;
  }
  EXPECT_NEAR(am::put_tree(90, 100, 0.25, 0.12, 0.6, 0, 4000) / reference_price(false, 90, 100, 0.25, 0.12, 0.6, 0), 1,
              2e-6);
}

// Every sign of r and q, calls and puts: where early exercise never pays the
// value is the precise European one to the bit; with one boundary it meets
// the reference and stays within 2e-4 of the extrapolated tree at 2000
// steps (a check against gross faults: the tree's own error reaches 1.2e-4
// at r = 20 %, where the reference is settled to 1e-12); in the band
// regime of q < r < 0 (and its mirror for calls), by the two ends' solve or
// the tree at 1000 steps, within 3e-5 of the tree at 8000. Always at least
// the European and the exercise value.
TEST(PreciseAmerican, EveryRegimeOfRAndQ) {
  const double rates[] = {-0.10, -0.02, 0, 0.05, 0.20};
  for (bool call : {false, true})
    for (double r : rates)
      for (double q : rates)
        for (double S : {90.0, 110.0}) {
          const double K = 100, T = 1, sigma = 0.25;
          const double got = call ? vexal::precise_call_american(S, K, T, r, sigma, q)
                                  : vexal::precise_put_american(S, K, T, r, sigma, q);
          const double eur = call ? vexal::precise_call_eur(S, K, T, r, sigma, q)
                                  : vexal::precise_put_eur(S, K, T, r, sigma, q);
          // The put's spot, strike, rate and yield (a call is the put P(K, S, q, r)).
          const double ps = call ? K : S, pk = call ? S : K, pr = call ? q : r, pq = call ? r : q;
          const std::string where = std::string(call ? "call" : "put") + " S=" + std::to_string(S) +
                                    " r=" + std::to_string(r) + " q=" + std::to_string(q);
          if (pr <= 0 && pq >= pr) {
            EXPECT_EQ(got, eur) << where;
            continue;
          }
          if (pr < 0) {
            EXPECT_NEAR(got / am::put_tree(ps, pk, T, pr, sigma, pq, 8000), 1, 3e-5) << where;
          } else {
            EXPECT_NEAR(got / reference_price(call, S, K, T, r, sigma, q), 1, 1e-9) << where;
            EXPECT_NEAR(got / am::put_tree(ps, pk, T, pr, sigma, pq, 2000), 1, 2e-4) << where;
          }
          EXPECT_GE(got, eur) << where;
          EXPECT_GE(got, call ? S - K : K - S) << where;
        }
}

// The band regime (q < r < 0) by the two ends' equations, where the band
// stays open to 4T: within 1e-9 of the same solve at twice the nodes and
// quadrature, which itself moves by less than 1e-10 at twice those again
// (checked on the first few, with their vega and rho); the tree at 4000
// steps within its own error. Puts and the mirror calls through the
// library's functions.
TEST(PreciseAmerican, BandAgainstItsReference) {
  std::mt19937 gen(2029);
  std::uniform_real_distribution<double> U(0, 1);
  constexpr am::BandSetting kFiner = {16, 64, 48, 128, 512};
  int answered = 0, tries = 0;
  while (answered < 16 && ++tries < 400) {
    const double S = 60 + 80 * U(gen), T = std::exp(std::log(0.05) + std::log(60.0) * U(gen));
    const double sigma = 0.05 + 0.35 * U(gen), a = -0.05 * U(gen), b = -0.05 * U(gen);
    const double r = std::max(a, b), q = std::min(a, b);
    am::Value got, ref;
    if (!am::band_value(S, 100, T, r, sigma, q, got)) continue;
    ASSERT_TRUE(am::band_value(S, 100, T, r, sigma, q, ref, am::kBandReference));
    ++answered;
    const std::string where = "S=" + std::to_string(S) + " T=" + std::to_string(T) + " r=" + std::to_string(r) +
                              " q=" + std::to_string(q) + " sigma=" + std::to_string(sigma);
    EXPECT_NEAR(got.price / ref.price, 1, 1e-9) << where;
    EXPECT_NEAR(got.delta, ref.delta, 1e-7) << where;
    if (answered <= 3) {
      am::Value finer;
      ASSERT_TRUE(am::band_value(S, 100, T, r, sigma, q, finer, kFiner));
      EXPECT_NEAR(ref.price / finer.price, 1, 1e-10) << where;
      // Vega and rho against differences of the reference, inside the band.
      auto at = [&](double r_, double sigma_) {
        am::Value v;
        return am::band_value(S, 100, T, r_, sigma_, q, v, am::kBandReference) ? v.price : NAN;
      };
      const double h = std::min(1e-4, std::min(-r, r - q) / 20);
      const double vega = slope([&](double x) { return at(r, x); }, sigma, sigma * 1e-3);
      const double rho = slope([&](double x) { return at(x, sigma); }, r, h);
      const double scale = 1e-3 * ref.price;
      EXPECT_NEAR(vexal::precise_put_vega_american(S, 100, T, r, sigma, q), vega,
                  1e-6 * std::max(std::fabs(vega), scale)) << where;
      EXPECT_NEAR(vexal::precise_put_rho_american(S, 100, T, r, sigma, q), rho,
                  1e-6 * std::max(std::fabs(rho), scale)) << where;
    }
    EXPECT_NEAR(got.price / am::put_tree(S, 100, T, r, sigma, q, 4000), 1, 3e-5) << where;
    EXPECT_EQ(vexal::precise_put_american(S, 100, T, r, sigma, q), got.price) << where;
    EXPECT_EQ(vexal::precise_call_american(100, S, T, q, sigma, r), got.price) << where;
  }
  EXPECT_EQ(answered, 16);
}

// A band that closes before 4T, with T up to 0.95 of where it closes: the two
// ends' solve by smooth pasting, against itself at twice the nodes and
// quadrature (within 1e-9), and against QuantLib's finite differences
// (Crank-Nicolson at 1000 to 16,000 steps in time and space, extrapolated
// in the steps; good to a few 1e-9 here). The mirror call is the same price.
TEST(PreciseAmerican, ClosingBand) {
  struct Row {
    double S, T, r, sigma, q, fd;
  };
  const Row rows[] = {
      {80, 1.2, -0.02, 0.3, -0.05, 23.16783585651},
      {100, 0.4, -0.01, 0.4, -0.03, 9.7779352941},
      {90, 2, -0.02, 0.2, -0.05, 14.4396721498},
      {80, 1.4, -0.02, 0.3, -0.05, 23.7746303915},  // 0.9 of where it closes
  };
  constexpr am::BandSetting kFiner = {6, 16, 24, 64, 512};
  for (const Row& c : rows) {
    const std::string where = "S=" + std::to_string(c.S) + " T=" + std::to_string(c.T);
    am::Value got, finer;
    ASSERT_TRUE(am::band_value(c.S, 100, c.T, c.r, c.sigma, c.q, got)) << where;
    ASSERT_TRUE(am::band_value(c.S, 100, c.T, c.r, c.sigma, c.q, finer, kFiner)) << where;
    EXPECT_NEAR(got.price / finer.price, 1, 1e-9) << where;
    EXPECT_NEAR(got.delta, finer.delta, 1e-7) << where;
    EXPECT_NEAR(got.price / c.fd, 1, 1e-8) << where;
    EXPECT_EQ(vexal::precise_put_american(c.S, 100, c.T, c.r, c.sigma, c.q), got.price) << where;
    EXPECT_EQ(vexal::precise_call_american(100, c.S, c.T, c.q, c.sigma, c.r), got.price) << where;
  }
}

// The solver's two builds give the same doubles: the library's results do
// not depend on the processor it runs on.
TEST(PreciseAmerican, BaselineAndAvx2BuildsAgreeToTheBit) {
  if (!vexal::have_avx2()) GTEST_SKIP() << "no AVX2 here";
  for (const Case& c : strip_sample()) {
    for (const am::Setting* s : {&am::kPrecise, &am::kPreciseAbove, &am::kPreciseNear}) {
      const am::Value a = c.call ? am::call_value(c.S, c.K, c.T, c.r, c.sigma, c.q, *s, am::Isa::baseline)
                                 : am::put_value(c.S, c.K, c.T, c.r, c.sigma, c.q, *s, am::Isa::baseline);
      const am::Value b = c.call ? am::call_value(c.S, c.K, c.T, c.r, c.sigma, c.q, *s, am::Isa::avx2)
                                 : am::put_value(c.S, c.K, c.T, c.r, c.sigma, c.q, *s, am::Isa::avx2);
      EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << c.S << " " << c.T << " " << c.r << " " << c.sigma << " " << c.q;
    }
  }
}

// Implied volatility of the library's own prices, drawn as widely as the
// library is used (S 20..400, T a day to 30 years, r and q -5 %..15 %,
// sigma 0.03..1.5): never NaN, and either the price again within 1e-9 or,
// deep in the money where the time value is below the price's last bits,
// 0 with the zero-volatility value within a few ulp of the price.
TEST(PreciseAmerican, ImpliedVolatilityOfOwnPrices) {
  std::mt19937 gen(29);
  std::uniform_real_distribution<double> U(0, 1);
  std::vector<Case> cases = {{false, 64.79279626250387, 100, 0.11203348974372178, -0.029292581257935147,
                              0.03827176017095055, 0.07685791313714181}};
  while (cases.size() < 400) {
    const bool call = gen() % 2 == 0;
    const double S = 20 + 380 * U(gen), T = std::exp(std::log(1 / 365.0) + std::log(30 * 365.0) * U(gen));
    const double r = -0.05 + 0.2 * U(gen), q = -0.05 + 0.2 * U(gen), sigma = 0.03 + 1.47 * U(gen);
    cases.push_back({call, S, 100, T, r, sigma, q});
  }
  for (const Case& c : cases) {
    using F = double (*)(double, double, double, double, double, double);
    const F price = c.call ? vexal::precise_call_american : vexal::precise_put_american;
    const F implied = c.call ? vexal::precise_call_impvol_american : vexal::precise_put_impvol_american;
    const double P = price(c.S, c.K, c.T, c.r, c.sigma, c.q);
    const double vol = implied(c.S, c.K, c.T, c.r, P, c.q);
    const double again = price(c.S, c.K, c.T, c.r, vol, c.q);
    const double tol = vol == 0 ? 8 * 0x1p-52 * (c.S + c.K) * std::exp(0.05 * c.T) : 1e-9 * P;
    EXPECT_NEAR(again, P, tol) << (c.call ? "call" : "put") << " S=" << c.S << " T=" << c.T << " r=" << c.r
                               << " sigma=" << c.sigma << " q=" << c.q << ": " << vol;
  }
}

// The conventions of every pure function: NaN in, NaN out; expired options
// at their exercise value; no negative value.
TEST(PreciseAmerican, Conventions) {
  EXPECT_TRUE(std::isnan(vexal::precise_put_american(NAN, 100, 1, 0.05, 0.2, 0)));
  EXPECT_TRUE(std::isnan(vexal::precise_call_delta_american(100, 100, 1, 0.05, NAN, 0)));
  EXPECT_TRUE(std::isnan(vexal::precise_put_impvol_american(100, 100, 1, 0.05, 5, NAN)));
  EXPECT_EQ(vexal::precise_put_american(90, 100, 0, 0.05, 0.2, 0), 10);
  EXPECT_EQ(vexal::precise_call_american(90, 100, -1, 0.05, 0.2, 0), 0);
  EXPECT_EQ(vexal::precise_put_american(60, 100, 1, 0.05, 0.2, 0), 40);  // deep in the exercise region
  EXPECT_EQ(vexal::precise_put_delta_american(60, 100, 1, 0.05, 0.2, 0), -1);
  EXPECT_GE(vexal::precise_put_american(400, 100, 1 / 12.0, 0.12, 0.1, 0), 0);
  // Below the zero-volatility value no sigma gives the price; at it, sigma 0.
  const double floor = vexal::precise_put_american(90, 100, 1, 0.05, 0, 0);
  EXPECT_EQ(floor, 10);
  EXPECT_TRUE(std::isnan(vexal::precise_put_impvol_american(90, 100, 1, 0.05, 9.5, 0)));
  EXPECT_EQ(vexal::precise_put_impvol_american(90, 100, 1, 0.05, 10, 0), 0);
  // Above the attainable range no sigma gives the price either: at or above
  // S for the call, K for the put, and where the prices on the way up are
  // beyond the solver's reach (sigma sqrt T above about 9), which used to
  // come out as a number.
  const struct {
    bool call;
    double S, K, P, q;
  } above[] = {{true, 90, 100, 90, 0},  {true, 0.03, 95, 10, 0},   {false, 90, 100, 100, 0},
               {false, 150, 100, 120, 0}, {true, 0.03, 95, 0.01, 0x1p52}};
  for (const auto& c : above) {
    using F = double (*)(double, double, double, double, double, double);
    const F implied = c.call ? vexal::precise_call_impvol_american : vexal::precise_put_impvol_american;
    EXPECT_TRUE(std::isnan(implied(c.S, c.K, 1.5, 0.05, c.P, c.q))) << c.S << " " << c.P;
  }
}

}  // namespace
