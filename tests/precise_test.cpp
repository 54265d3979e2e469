// The precise family against the mpmath reference of precise_reference.h
// (tests/precise_reference.py): one accuracy table per group, printed, and
// the boundary behaviour. The data are compiled in, so the same test runs
// under wine against the Windows runtime's exp and log.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "precise/functions.h"
#include "precise/lanes.h"
#include "precise_reference.h"

namespace {

using namespace vexal;
namespace ref = precise_reference;
constexpr double kEps = std::numeric_limits<double>::epsilon();

// Error of v in units of the last place of the reference hi + lo.
double ulps(double v, double hi, double lo) {
  const double ulp = std::nextafter(std::fabs(hi), INFINITY) - std::fabs(hi);
  return std::fabs((v - hi) - lo) / ulp;
}

// The worst error as a fraction of its tolerance, and the worst relative
// error where the last bits of the inputs do not count (for the docs).
struct Worst {
  const char* name;
  double err = 0, at = 0, rel = 0;
  void add(double e, double where, double relative = 0) {
    if (!(e <= err) && !std::isnan(err)) err = e, at = where;  // a NaN stays
    if (!(relative <= rel)) rel = relative;
  }
  void print(const char* unit) const {
    std::printf("  %-24s %10.3g %s (row %g)", name, err, unit, at);
    if (rel > 0) std::printf("; relative %.2g", rel);
    std::printf("\n");
  }
};

// The library's own e^x, e^x - 1 and ln x (which the European prices take,
// one double and four lanes alike) against the long double runtime, over
// their ranges (e^x where it is a normal double): within an ulp.
TEST(Precise, OwnElementaryFunctionsWithinAnUlp) {
  struct Case {
    const char* name;
    double (*own)(double);
    long double (*exact)(long double);
    double lo, hi;
    bool log_scale;
  };
  const Case cases[] = {
      {"exp", [](double x) { return precise::exp_any(x); }, [](long double x) { return expl(x); }, -708, 709.7, false},
      {"expm1", [](double x) { return precise::expm1_half(x); }, [](long double x) { return expm1l(x); }, -0.5, 0.5,
       false},
      {"expm1 near 0", [](double x) { return precise::expm1_half(x); }, [](long double x) { return expm1l(x); }, -1e-4,
       1e-4, false},
      {"log", [](double x) { return lanes::log_of(x); }, [](long double x) { return logl(x); }, -708, 709, true},
      {"log near 1", [](double x) { return lanes::log_of(x); }, [](long double x) { return logl(x); }, 0.99, 1.01,
       false},
  };
  std::mt19937_64 gen(7);
  for (const Case& c : cases) {
    std::uniform_real_distribution<double> u(c.lo, c.hi);
    Worst w{c.name};
    for (int i = 0; i < 200000; ++i) {
      const double x = c.log_scale ? std::exp(u(gen)) : u(gen);
      const long double e = c.exact(x);
      const double hi = static_cast<double>(e);
      w.add(ulps(c.own(x), hi, static_cast<double>(e - hi)), x);
    }
    w.print("ulp");
    EXPECT_LE(w.err, 1) << c.name;
  }
}

TEST(Precise, NormalWithinFourUlp) {
  Worst pdf{"precise_norm"}, cdf{"precise_snorm"};
  for (const auto& c : ref::kNormal) {
    if (c.pdf_hi >= 1e-300) pdf.add(ulps(precise_norm(c.x), c.pdf_hi, c.pdf_lo), c.x);
    if (c.cdf_hi >= 1e-300) cdf.add(ulps(precise_snorm(c.x), c.cdf_hi, c.cdf_lo), c.x);
  }
  pdf.print("ulp");
  cdf.print("ulp");
  EXPECT_LE(pdf.err, 4);
  EXPECT_LE(cdf.err, 4);
}

// Points of 0.66 < -x < 5.66 where Cody's rational in x/sqrt 2 was 5 to 7
// ulp off (mpmath at 40 digits: x, N(x) as hi + lo); now within 4.
TEST(Precise, NormalMidTailWithinFourUlp) {
  struct Case { double x, hi, lo; };
  const Case cases[] = {
      {-2.777298919355662, 0.0027406371920821572, -1.763501622043362e-19},
      {-3.298779146507265, 0.00048553138816959064, 2.5061507575391538e-21},
      {-3.495088285177556, 0.0002369524856263334, -3.0828023502307665e-21},
      {-3.6770362129838516, 0.00011797977687474383, -3.887306478114612e-21},
      {-3.847625136351697, 5.963418052467817e-05, -2.9648257202554403e-21},
      {-3.3101725044844, 0.0004661924476238094, -2.5052465924581402e-20},
      {-4.05, 2.5608816474041506e-05, 1.1854409092851252e-21},
      {-0.6818602827912922, 0.247663650807943, 1.2397018814700909e-17},
  };
  for (const auto& c : cases) EXPECT_LE(ulps(precise_snorm(c.x), c.hi, c.lo), 4) << c.x;
}

// Prices and the probability within 1e-12 where the true value is at least
// 1e-250; Greeks within 1e-9, theta within 1e-9 of the larger of its value
// and 1e-5 of the sum of its terms' sizes (it crosses zero); put-call parity.
// Beyond that, each value may move by what 4 ulp of ln(S/K) and of (r - q) T
// move it: at tiny sigma near the money, or far out of the money at small
// sigma, the last bit of x = ln(F/K) is amplified by up to |x|/sigma^2 T,
// whatever the method.
TEST(Precise, EuropeanTable) {
  using Fn = double (*)(double, double, double, double, double, double);
  struct Column {
    Worst w;
    Fn f;
    double ref::European::*value;
    double tol;
    double ref::European::*scale = nullptr;
  };
  Column cols[] = {  // in the order of the reference's slopes
      {{"precise_call_eur"}, precise_call_eur, &ref::European::call, 1e-12},
      {{"precise_put_eur"}, precise_put_eur, &ref::European::put, 1e-12},
      {{"precise_call_delta_eur"}, precise_call_delta_eur, &ref::European::call_delta, 1e-9},
      {{"precise_put_delta_eur"}, precise_put_delta_eur, &ref::European::put_delta, 1e-9},
      {{"precise_gamma_eur"}, precise_gamma_eur, &ref::European::gamma, 1e-9},
      {{"precise_vega_eur"}, precise_vega_eur, &ref::European::vega, 1e-9},
      {{"precise_call_theta_eur"}, precise_call_theta_eur, &ref::European::call_theta, 1e-9,
       &ref::European::call_theta_scale},
      {{"precise_put_theta_eur"}, precise_put_theta_eur, &ref::European::put_theta, 1e-9,
       &ref::European::put_theta_scale},
      {{"precise_call_rho_eur"}, precise_call_rho_eur, &ref::European::call_rho, 1e-9},
      {{"precise_put_rho_eur"}, precise_put_rho_eur, &ref::European::put_rho, 1e-9},
      {{"precise_prob_itm"}, precise_prob_itm, &ref::European::prob_itm, 1e-12},
  };
  Worst parity{"put-call parity"};
  int row = 0;
  for (const auto& c : ref::kEuropean) {
    const double dx = 4 * kEps * (std::fabs(std::log(c.S / c.K)) + std::fabs((c.r - c.q) * c.T));
    for (int i = 0; i < 11; ++i) {
      auto& col = cols[i];
      const double want = c.*col.value;
      if (!(std::fabs(want) >= 1e-250)) continue;
      const double got = col.f(c.S, c.K, c.T, c.r, c.sigma, c.q);
      const double size = col.scale ? std::fmax(std::fabs(want), 1e-5 * c.*col.scale) : std::fabs(want);
      const double inputs = dx * std::fabs(c.slope[i]);
      col.w.add(std::fabs(got - want) / (size * col.tol + inputs), row,
                inputs < 1e-15 * size ? std::fabs(got - want) / size : 0);
    }
    const double C = precise_call_eur(c.S, c.K, c.T, c.r, c.sigma, c.q);
    const double P = precise_put_eur(c.S, c.K, c.T, c.r, c.sigma, c.q);
    const double fwd = c.S * std::exp(-c.q * c.T) - c.K * std::exp(-c.r * c.T);
    const double big = std::fmax(std::fmax(C, P), c.S * std::exp(-c.q * c.T));
    parity.add(std::fabs((C - P) - fwd) / (big * kEps), row);
    ++row;
  }
  std::printf("  (errors as fractions of the tolerance)\n");
  for (const auto& col : cols) {
    col.w.print("of tol");
    EXPECT_LE(col.w.err, 1) << col.w.name;
  }
  parity.print("eps of the largest term");
  EXPECT_LE(parity.err, 8);
}

// Thetas where sigma sqrt(T) is large and both prices sit near their
// bounds: the result is a few tiny terms of one sign (or the rate times a
// bound plus them), to 1e-12 relative; the first call's true value,
// -2.7e-716, is below the doubles. mpmath at 50 digits.
TEST(Precise, ThetaAtLargeTotalVolatility) {
  struct Case { double S, K, T, r, sigma, q, call, put; };
  const Case cases[] = {
      {80.12251005494771, 187.12012736382698, 8.931981833226653, 0.10145197763487387, 38.476966181941314, 0.0, -0.0, 7.6707459219862831},
      {99.4689518041594, 100.0, 8.887639126193895, 0.0, 22.240222679140174, 0.0, -3.3328085629775065e-237, -3.3328085629775065e-237},
      {275.6441627141911, 100.0, 3.0183023478917943, 0.0, 38.439711268711804, 0.02194648510643979, 5.6616838996362599, -5.4701897913349998e-240},
      {42.45746420218242, 100.0, 4.549746666919702, 0.11136122563558375, 4.1684260444364, 0.0, -0.001030958864598638, 6.708497971754597},
      {150.0, 100.0, 2.0, 0.05, 9.0, 0.0, -2.3778550444817256e-7, 4.5241868523942936},
      {60.0, 100.0, 0.5, 0.0, 12.0, 0.03, 1.7411196351347113, -0.032081856150801392},
      {120.0, 100.0, 30.0, -0.02, 1.6, 0.0, -0.00056569050654929192, -3.6448032912875674},
  };
  auto near = [](double v, double truth) {
    return std::fabs(truth) < 1e-308 ? v <= 0 && v > -1e-308 : std::fabs(v - truth) <= 1e-12 * std::fabs(truth);
  };
  for (const auto& c : cases) {
    EXPECT_PRED2(near, precise_call_theta_eur(c.S, c.K, c.T, c.r, c.sigma, c.q), c.call) << c.S << " " << c.sigma;
    EXPECT_PRED2(near, precise_put_theta_eur(c.S, c.K, c.T, c.r, c.sigma, c.q), c.put) << c.S << " " << c.sigma;
  }
}

// Well conditioned: kappa = P / (sigma dP/dsigma) <= 100, where a relative
// error e in the price moves sigma by kappa e; sigma may also move by what 4
// ulp of ln(S/K) and of (r - q) T move it (delta S / vega per unit of x).
// Everywhere the volatility reprices within 4 ulp of P plus what 4 ulp of
// sigma move the price (sigma = s / sqrt T and back alone round by 1.5 ulp).
TEST(Precise, ImpliedVolatilityTable) {
  Worst sigma{"sigma (kappa <= 100)"}, reprice{"repricing"};
  int row = 0;
  for (const auto& c : ref::kImpvol) {
    const bool call = c.call != 0;
    const double v = call ? precise_call_impvol_eur(c.S, c.K, c.T, c.r, c.price, c.q)
                          : precise_put_impvol_eur(c.S, c.K, c.T, c.r, c.price, c.q);
    if (std::isnan(c.exact) && v == INFINITY) {  // on the upper bound, within its rounding
      ++row;
      continue;
    }
    const double vega = precise_vega_eur(c.S, c.K, c.T, c.r, v, c.q);
    if (c.kappa <= 100) {
      const double delta = call ? precise_call_delta_eur(c.S, c.K, c.T, c.r, v, c.q)
                                : precise_put_delta_eur(c.S, c.K, c.T, c.r, v, c.q);
      const double dx = 4 * kEps * (std::fabs(std::log(c.S / c.K)) + std::fabs((c.r - c.q) * c.T));
      const double inputs = dx * std::fabs(delta * c.S / vega);
      sigma.add(std::fabs(v - c.exact) / (1e-12 * c.exact + inputs), row,
                inputs < 1e-15 * c.exact ? std::fabs(v - c.exact) / c.exact : 0);
    }
    const double P = call ? precise_call_eur(c.S, c.K, c.T, c.r, v, c.q) : precise_put_eur(c.S, c.K, c.T, c.r, v, c.q);
    reprice.add(std::fabs(P - c.price) / (4 * c.price * kEps + 4 * vega * v * kEps), row);
    ++row;
  }
  std::printf("  (errors as fractions of the tolerance)\n");
  sigma.print("of 1e-12 (+ x's last bits)");
  reprice.print("of 4 ulp + 4 ulp of sigma");
  EXPECT_LE(sigma.err, 1);
  EXPECT_LE(reprice.err, 1);
}

// Across the edges of the tabulated guesses (|x| = 256, 1, 0.01, near the
// money) and of their branches, calls and puts: sigma within 1e-12 where
// well conditioned (the price's rounding moves it by kappa 1e-16).
TEST(Precise, ImpliedVolatilityTableEdges) {
  Worst w{"sigma at the table edges"};
  for (double x : {-256.0001, -256.0, -255.9999, -16.0, -1.0000001, -1.0, -0.9999999, -0.0100001, -0.01, -0.0099999,
                   -1e-7, 1e-7, 0.01, 0.9999999, 1.0}) {
    for (int i = 0; i <= 60; ++i) {
      const double sigma = 0.005 * std::pow(1000.0, i / 60.0) * std::fmax(1, std::sqrt(std::fabs(x)));
      const double K = 100 * std::exp(-x);
      const double P = x < 0 ? precise_call_eur(100, K, 1, 0, sigma, 0) : precise_put_eur(100, K, 1, 0, sigma, 0);
      const double kappa = P / (sigma * precise_vega_eur(100, K, 1, 0, sigma, 0));
      if (!(P > 1e-280) || kappa > 100) continue;
      const double v = x < 0 ? precise_call_impvol_eur(100, K, 1, 0, P, 0) : precise_put_impvol_eur(100, K, 1, 0, P, 0);
      w.add(std::fabs(v - sigma) / (1e-12 * sigma), x);
    }
  }
  w.print("of 1e-12");
  EXPECT_LE(w.err, 1);
}

// At and within an ulp or two of the money, sigma from 1e-8 down to 1e-300
// (where b is the Bachelier price): sigma back within 1e-14. These gave 0,
// NaN or 1 % off below about 1e-25.
TEST(Precise, ImpliedVolatilityTinyAtTheMoney) {
  Worst w{"sigma at the money"};
  for (double K : {100.0, 100 * (1 - 0x1p-53), 100 * (1 + 0x1p-52), 100 * std::exp(0x1p-40), 100 * std::exp(-0x1p-39)})
    for (double sigma = 1e-8; sigma > 1e-300; sigma /= 10) {
      const bool call = K >= 100;
      const double P = call ? precise_call_eur(100, K, 1, 0, sigma, 0) : precise_put_eur(100, K, 1, 0, sigma, 0);
      if (!(P > 0)) continue;  // out of the money by more than 38 sigma
      const double v = call ? precise_call_impvol_eur(100, K, 1, 0, P, 0) : precise_put_impvol_eur(100, K, 1, 0, P, 0);
      w.add(std::fabs(v - sigma) / (1e-14 * sigma), sigma);
    }
  w.print("of 1e-14");
  EXPECT_LE(w.err, 1);
}

// The edges: expiry, zero volatility, price bounds, NaN, never negative.
// Far out of the money, where b is below the normal doubles but the price
// is not (strikes of e^100 to e^600 times the spot): prices within the
// rounding of their exponent (mpmath at 50 digits; these were 2 % off and
// 0), and the volatility back (d1 < -20, where the guess comes from the
// Mills ratios' asymptotic series and one step finishes) within 1e-13.
TEST(Precise, ImpliedVolatilityFarTail) {
  const struct {
    double x, sigma, exact;
  } prices[] = {{-600, 15.8257569495584, 1.6924835537217639011e-196},
                {-100, 2.6106046406767187, 3.7685725362377979852e-299},
                {-600, 13.685303589896746, 1.5445125391193755884e-298}};
  for (const auto& c : prices)
    EXPECT_NEAR(precise_call_eur(100, 100 * std::exp(-c.x), 1, 0, c.sigma, 0), c.exact, 2e-13 * c.exact) << c.x;
  Worst w{"sigma in the far tail"};
  for (double x : {-1e-3, -0.1, -1.0, -10.0, -100.0, -600.0})
    for (double d1 : {-20.5, -25.0, -30.0, -37.0}) {
      const double sigma = -2 * x / (std::sqrt(d1 * d1 - 2 * x) - d1), K = 100 * std::exp(-x);
      const double P = precise_call_eur(100, K, 1, 0, sigma, 0);
      if (!(P > 1e-300)) continue;
      w.add(std::fabs(precise_call_impvol_eur(100, K, 1, 0, P, 0) - sigma) / (1e-13 * sigma), x);
    }
  w.print("of 1e-13");
  EXPECT_LE(w.err, 1);
}

TEST(Precise, Boundaries) {
  const double D = std::exp(-0.05), F = 100 * std::exp(0.05 - 0.01);
  struct Case { double got, want; } cases[] = {
      {precise_call_eur(110, 100, 0, 0.05, 0.2, 0.01), 10},
      {precise_put_eur(90, 100, -1, 0.05, 0.2, 0.01), 10},
      {precise_put_eur(110, 100, 0, 0.05, 0.2, 0.01), 0},
      {precise_call_eur(100, 100, 1, 0.05, 0, 0.01), D * (F - 100)},
      {precise_put_eur(100, 100, 1, 0.05, 0, 0.01), 0},
      {precise_call_eur(100, 1e6, 1, 0.05, 0.01, 0), 0},
      {precise_put_eur(100, 1e-6, 1, 0.05, 0.01, 0), 0},
      {precise_snorm(-40), 0},
      {precise_snorm(40), 1},
      {precise_call_impvol_eur(100, 90, 1, 0.05, precise_call_eur(100, 90, 1, 0.05, 0, 0.01), 0.01), 0},
  };
  for (const auto& c : cases) EXPECT_NEAR(c.got, c.want, 1e-13 * (1 + std::fabs(c.want)));
  // Outside the attainable range, and NaN in any argument.
  EXPECT_TRUE(std::isnan(precise_call_impvol_eur(100, 90, 1, 0.05, 1, 0)));
  EXPECT_TRUE(std::isnan(precise_call_impvol_eur(100, 90, 1, 0.05, 101, 0)));
  EXPECT_TRUE(std::isnan(precise_put_impvol_eur(100, 90, 1, 0.05, 91, 0)));
  using Fn = double (*)(double, double, double, double, double, double);
  const Fn six[] = {precise_call_eur, precise_put_eur, precise_call_delta_eur, precise_put_delta_eur,
                    precise_gamma_eur, precise_vega_eur, precise_call_theta_eur, precise_put_theta_eur,
                    precise_call_rho_eur, precise_put_rho_eur, precise_prob_itm, precise_call_impvol_eur,
                    precise_put_impvol_eur};
  const double args[6] = {100, 95, 0.5, 0.03, 0.25, 0.01};
  for (Fn f : six)
    for (int i = 0; i < 6; ++i) {
      double a[6];
      for (int j = 0; j < 6; ++j) a[j] = j == i ? NAN : args[j];
      EXPECT_TRUE(std::isnan(f(a[0], a[1], a[2], a[3], a[4], a[5])));
    }
  EXPECT_TRUE(std::isnan(precise_norm(NAN)) && std::isnan(precise_snorm(NAN)));
}

}  // namespace
