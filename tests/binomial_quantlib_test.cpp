// The American pricers side by side with QuantLib's American option on its
// Cox-Ross-Rubinstein binomial engine. QuantLib's tree has the same up factor
// exp(sigma*sqrt(dt)) and discount exp(-r*dt) but the up-probability
// 1/2 + (r - q - sigma^2/2)*sqrt(dt)/(2*sigma), a first-order expansion of
// ours; giving QuantLib the dividend yield that makes its probability equal
// ours leaves only rounding between the two.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "core/functions.h"

#if defined(VEXAL_HAVE_QUANTLIB)
#include <ql/exercise.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/pricingengines/vanilla/binomialengine.hpp>

#include "quantlib_market.h"

namespace {

namespace ql = QuantLib;

double quantlib_american(bool call, double S, double K, int days, double r, double sigma, double q,
                         int steps) {
  const ql::Date today(7, ql::December, 2026);
  const ql::Date expiry = today + days;
  auto process = vexal_test::flat_market(today, S, r, q, sigma);
  ql::VanillaOption option(
      ql::ext::make_shared<ql::PlainVanillaPayoff>(call ? ql::Option::Call : ql::Option::Put, K),
      ql::ext::make_shared<ql::AmericanExercise>(today, expiry));
  option.setPricingEngine(
      ql::ext::make_shared<ql::BinomialVanillaEngine<ql::CoxRossRubinstein>>(process, steps));
  return option.NPV();
}

}  // namespace
#endif

TEST(BinomialQuantLib, SameTreeAsCoxRossRubinsteinEngine) {
#if defined(VEXAL_HAVE_QUANTLIB)
  double worst = 0.0, worst_rel = 0.0;
  int cases = 0;
  for (bool call : {true, false})
    for (double S : {80.0, 100.0, 125.0})
      for (int days : {73, 365, 730})
        for (double r : {0.01, 0.06})
          for (double sigma : {0.15, 0.4})
            for (int n : {50, 201, 1000}) {
              const double q = call ? 0.04 : 0.0;  // early exercise for both kinds
              const double K = 100, T = days / 365.0;
              const double ours = (call ? vexal::call_binamer : vexal::put_binamer)(S, K, T, r, sigma, n, q);
              // Our up-probability, and the yield that gives it to QuantLib.
              const double dt = T / n, u = std::exp(std::sqrt(dt) * sigma), d = 1.0 / u;
              const double p = (std::exp((r - q) * dt) - d) / (u - d);
              const double qql = r - sigma * sigma / 2 - (2 * p - 1) * sigma / std::sqrt(dt);
              const double theirs = quantlib_american(call, S, K, days, r, sigma, qql, n);
              const double diff = std::abs(ours - theirs);
              EXPECT_LT(diff, 1e-10 * K) << call << " S=" << S << " T=" << T << " r=" << r
                                         << " sigma=" << sigma << " n=" << n;
              worst = std::max(worst, diff);
              worst_rel = std::max(worst_rel, diff / theirs);
              ++cases;
            }
  std::printf("largest difference from QuantLib over %d cases: %.3g (relative %.3g)\n", cases, worst,
              worst_rel);
#else
  GTEST_SKIP() << "QuantLib is not installed: no comparison with its binomial engine";
#endif
}
