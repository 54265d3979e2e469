// Staying between two barriers: the image sum, summed the way it is written
// (one image at a time), matched bit for bit; the boundary cases; and the
// classical closed form of the band probability, with the error of the
// 100-panel Riemann sum measured and used as the tolerance.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <random>

#include <gtest/gtest.h>

#include "core/functions.h"

using namespace vexal;

namespace {

// The band integral of image k, everything recomputed at each grid point.
double band_integral(int k, double S, double mu, double sigma, double T, double U, double L) {
  const double d = (U - L) / 100;
  double I = 0;
  for (int j = 0; j < 100; ++j) {
    const double x = j * d + L;
    const double weight = std::pow(x / S, mu / (sigma * sigma) + (-0.5)) * (1.0 * d / x);
    const double direct =
        std::exp(-std::pow(2 * k * std::log(U / L) + std::log(x / S), 2.0) / (sigma * sigma * T * 2));
    const double reflected =
        std::exp(-std::pow(2 * k * std::log(U / L) + std::log(S * x / (L * L)), 2.0) / (sigma * sigma * T * 2));
    I = (direct - reflected) * weight + I;
  }
  return I;
}

double stay_by_image(double S, double mu, double sigma, double T, double U, double L) {
  const double c0 =
      std::exp(std::pow(mu / sigma - 0.5 * sigma, 2.0) * T * (-0.5)) / (std::sqrt(6.28 * T) * sigma);
  double result = 0;
  for (int k = -5; k <= 5; ++k) result = band_integral(k, S, mu, sigma, T, U, L) * c0 + result;
  return result;
}

std::uint64_t bits(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// N(hi) - N(lo) without cancellation, exact in long double.
long double normal_mass(long double lo, long double hi) {
  const long double r = std::sqrt(2.0L);
  if (lo > 0) return 0.5L * (std::erfc(lo / r) - std::erfc(hi / r));
  return 0.5L * (std::erfc(-hi / r) - std::erfc(-lo / r));
}

// The probability of staying in (L, U): each Gaussian image, tilted by the
// drift, integrates in closed form over [ln(L/S), ln(U/S)]:
//   int_a^b e^(nu y / sigma^2 - nu^2 T / (2 sigma^2)) phi_{sigma^2 T}(y - c) dy
//     = e^(nu c / sigma^2) [N((b - c - nu T)/s) - N((a - c - nu T)/s)],
// direct images at c = -2kw, reflected ones at c = 2a - 2kw, k = -K..K.
long double stay_exact(double S, double mu, double sigma, double T, double U, double L, int K = 40) {
  const long double a = std::log((long double)L / S), b = std::log((long double)U / S), w = b - a;
  const long double nu = mu - (long double)sigma * sigma / 2, s2 = (long double)sigma * sigma;
  const long double s = sigma * std::sqrt((long double)T);
  auto image = [&](long double c) {
    return std::exp(nu * c / s2) * normal_mass((a - c - nu * T) / s, (b - c - nu * T) / s);
  };
  long double p = 0;
  for (int k = -K; k <= K; ++k) p += image(-2 * k * w) - image(2 * a - 2 * k * w);
  return p;
}

// The same Riemann sum in long double with 2 pi in place of 6.28.
long double stay_riemann(double S, double mu, double sigma, double T, double U, double L, int panels) {
  const long double pi = std::numbers::pi_v<long double>;
  const long double w = std::log((long double)U / L), var2 = 2 * (long double)sigma * sigma * T;
  const long double m = (long double)mu / sigma - 0.5L * sigma;
  const long double c0 = std::exp(-0.5L * m * m * T) / (std::sqrt(2 * pi * T) * sigma);
  const long double d = ((long double)U - L) / panels;
  long double sum = 0;
  for (int j = 0; j < panels; ++j) {
    const long double x = j * d + L;
    const long double weight = std::pow(x / S, (long double)mu / (sigma * (long double)sigma) - 0.5L) * d / x;
    const long double y = std::log(x / S), yr = std::log(S * x / ((long double)L * L));
    for (int k = -5; k <= 5; ++k)
      sum += (std::exp(-std::pow(2 * k * w + y, 2) / var2) - std::exp(-std::pow(2 * k * w + yr, 2) / var2)) * weight;
  }
  return sum * c0;
}

struct Band {
  double S, mu, sigma, T, U, L;
};

const Band kBands[] = {
    {100, 0.08, 0.2, 1, 120, 80},  {50, -0.1, 0.3, 0.5, 60, 40}, {10, 0.2, 0.25, 2, 14, 9},
    {100, 0.0, 0.4, 0.25, 130, 85}, {1, 0.05, 0.1, 3, 1.2, 0.9},  {100, 0.3, 0.15, 0.1, 103, 98},
};

}  // namespace

TEST(Band, SameDoublesAsSummingOneImageAtATime) {
  std::mt19937_64 gen(7);
  auto u = [&](double lo, double hi) { return lo + (hi - lo) * ((gen() >> 11) * 0x1.0p-53); };
  int checked = 0;
  auto check = [&](double S, double mu, double sigma, double T, double U, double L) {
    const double got = ProbWR(S, mu, sigma, T, U, L), want = stay_by_image(S, mu, sigma, T, U, L);
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(got));
    else
      EXPECT_EQ(bits(got), bits(want)) << S << " " << mu << " " << sigma << " " << T << " " << U << " " << L;
    ++checked;
  };
  for (const Band& b : kBands) check(b.S, b.mu, b.sigma, b.T, b.U, b.L);
  for (int i = 0; i < 2000; ++i) {
    const double S = u(0.5, 500), L = S * u(0.3, 1.0), U = S * u(1.0, 3.0);
    check(S, u(-0.5, 0.5), u(0.01, 1.0), u(0.01, 5), U, L);
  }
  // Outside the domain: S beyond the band, L above U, zero or negative scales.
  check(150, 0.1, 0.2, 1, 120, 80);
  check(100, 0.1, 0.2, 1, 80, 120);
  check(100, 0.1, 0.0, 1, 120, 80);
  check(100, 0.1, 0.2, 0.0, 120, 80);
  check(100, 0.1, -0.2, 1, 120, 80);
  check(-100, 0.1, 0.2, 1, 120, 80);
  EXPECT_EQ(checked, 2012);
}

TEST(Band, ComplementIsOneMinus) {
  for (const Band& b : kBands)
    EXPECT_EQ(ProbBR(b.S, b.mu, b.sigma, b.T, b.U, b.L), 1 - ProbWR(b.S, b.mu, b.sigma, b.T, b.U, b.L));
}

TEST(Band, StartingOnABarrier) {
  for (const Band& b : kBands) {
    // At L every image pair cancels; at U they telescope to the outermost terms.
    EXPECT_NEAR(ProbWR(b.L, b.mu, b.sigma, b.T, b.U, b.L), 0.0, 1e-14);
    EXPECT_NEAR(ProbBR(b.L, b.mu, b.sigma, b.T, b.U, b.L), 1.0, 1e-14);
    EXPECT_NEAR(ProbWR(b.U, b.mu, b.sigma, b.T, b.U, b.L), 0.0, 1e-12);
  }
}

TEST(Band, ExactFormIsTheOneBarrierLawForAFarBarrier) {
  // With U out of reach the band law is that of the lower barrier alone.
  const double S = 100, L = 80, mu = 0.08, sigma = 0.2, T = 1;
  const long double nu = mu - (long double)sigma * sigma / 2, s = sigma * std::sqrt((long double)T);
  const long double h = std::log((long double)L / S), q = std::exp(2 * nu * h / ((long double)sigma * sigma));
  const long double touch = normal_mass(-INFINITY, (h - nu * T) / s) + q * normal_mass(-INFINITY, (h + nu * T) / s);
  EXPECT_NEAR((double)stay_exact(S, mu, sigma, T, 1e5, L), (double)(1 - touch), 1e-15);
}

TEST(Band, AgreesWithExactFormWithinTheRiemannError) {
  const long double bias = std::sqrt(2 * std::numbers::pi_v<long double> / 6.28L);  // 6.28 for 2 pi
  for (const Band& b : kBands) {
    const double got = ProbWR(b.S, b.mu, b.sigma, b.T, b.U, b.L);
    const long double exact = stay_exact(b.S, b.mu, b.sigma, b.T, b.U, b.L);
    const long double riemann = stay_riemann(b.S, b.mu, b.sigma, b.T, b.U, b.L, 100);
    // The library's sum is the 100-panel sum, scaled by the 6.28 constant.
    EXPECT_NEAR(got / (double)bias, (double)riemann, 1e-13);
    // The Riemann sum converges to the exact form as the panels shrink...
    const long double fine = stay_riemann(b.S, b.mu, b.sigma, b.T, b.U, b.L, 20000);
    EXPECT_NEAR((double)fine, (double)exact, 1e-7);
    // ...and the 100-panel error, plus the constant's, bounds the deviation.
    const long double err = std::fabs(riemann - exact), tol = err + std::fabs(riemann) * (bias - 1) + 1e-13L;
    EXPECT_LT((double)tol, 5e-4);
    EXPECT_NEAR(got, (double)exact, (double)tol) << "Riemann error " << (double)err;
    RecordProperty("riemann_error", std::to_string((double)err));
  }
}
