// The MT19937 generator against the authors' published outputs and
// std::mt19937, the seed conversions, the uniform ranges and the Gaussian
// draws and next-price step.
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "core/functions.h"
#include "random/mt19937.h"

namespace {
const double c1 = 2.328306437080797e-10;
const double c2 = 2.328306436538696e-10;
const double c3 = 1.164153218269348e-10;

// The reference generator after init_by_array({0x123, 0x234, 0x345, 0x456}),
// from the authors' published test output (mt19937ar.out).
const std::uint32_t kPublishedByArray[] = {1067595299u, 955945823u, 477289528u, 4107218783u, 4228976476u};

std::uint32_t output_of(double ran_mt1) { return static_cast<std::uint32_t>(std::llround(ran_mt1 / c1)); }
}  // namespace

// Runs first in this executable: the state right after load.
TEST(Generator, A_FirstGaussAfterLoadConsumesFourOutputs) {
  const double z = vexal::gaussMT();
  // Replay: the key-seeded stream, first pair rejected, second pair kept.
  const std::uint32_t key[9] = {0x12345, 0x23456, 0x34567, 0x45678, 0x56789, 0x67890, 0x78901, 0x89012, 0x90123};
  vexal::mt_init_by_array(key, 9);
  double u[4];
  for (double& x : u) x = 2.0 * (vexal::mt_genrand_int32() * c2 + c3) - 1.0;
  EXPECT_GE(u[0] * u[0] + u[1] * u[1], 1.0);
  const double w = u[2] * u[2] + u[3] * u[3];
  ASSERT_LT(w, 1.0);
  EXPECT_EQ(z, std::sqrt(std::log(w) * -2.0 / w) * u[3]);
}

TEST(Generator, InitByArrayMatchesPublishedOutputs) {
  const std::uint32_t key[4] = {0x123, 0x234, 0x345, 0x456};
  vexal::mt_init_by_array(key, 4);
  for (std::uint32_t expected : kPublishedByArray) EXPECT_EQ(vexal::mt_genrand_int32(), expected);
}

TEST(Generator, DefaultSeedPublishedOutputs) {
  EXPECT_EQ(vexal::RanMTInit(5489), 1.0);
  for (std::uint32_t expected : {3499211612u, 581869302u, 3890346734u, 3586334585u, 545404204u})
    EXPECT_EQ(output_of(vexal::RanMT1()), expected);
}

TEST(Generator, AgreesWithStdMt19937ForAnySeed) {
  for (std::uint32_t seed : {0u, 1u, 42u, 5489u, 123456789u, 4294967295u}) {
    vexal::RanMTInit(seed);
    std::mt19937 ref(seed);
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(vexal::mt_genrand_int32(), ref()) << seed << " draw " << i;
  }
}

TEST(Generator, SeedConversion) {
  const struct {
    double x;
    std::uint32_t seed;
  } cases[] = {{2.9, 2},          {-0.5, 4294967295u}, {4294967296.0, 0}, {7.9, 7},
               {std::numeric_limits<double>::quiet_NaN(), 0},
               {std::numeric_limits<double>::infinity(), 0},
               {-std::numeric_limits<double>::infinity(), 0},
               {1e19, 0},         {-1e19, 0},          {4294967297.5, 1}, {-4294967295.0, 1}};
  for (const auto& c : cases) {
    vexal::RanMTInit(c.x);
    std::mt19937 ref(c.seed);
    EXPECT_EQ(vexal::mt_genrand_int32(), ref()) << c.x;
  }
}

TEST(Generator, UniformRanges) {
  vexal::RanMTInit(5489);
  const std::uint32_t first = vexal::mt_genrand_int32();
  vexal::RanMTInit(5489);
  EXPECT_EQ(vexal::RanMT3(), first * c2 + c3);
  // Extreme outputs through the scale constants.
  EXPECT_EQ(4294967295.0 * c1, 1 - std::ldexp(1.0, -52));
  EXPECT_LT(4294967295.0 * c2 + c3, 1.0);
  EXPECT_GT(0.0 * c2 + c3, 0.0);
  for (int i = 0; i < 100000; ++i) {
    const double a = vexal::RanMT1(), b = vexal::RanMT3();
    ASSERT_TRUE(a >= 0.0 && a < 1.0);
    ASSERT_TRUE(b > 0.0 && b < 1.0);
  }
}

TEST(Generator, GaussianMomentsAndNextPrice) {
  vexal::RanMTInit(7);
  double s1 = 0, s2 = 0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double z = vexal::gaussMT();
    s1 += z;
    s2 += z * z;
  }
  EXPECT_NEAR(s1 / n, 0.0, 0.01);
  EXPECT_NEAR(s2 / n, 1.0, 0.01);

  // F_NextPrice uses exactly one gaussMT draw.
  vexal::RanMTInit(11);
  const double z = vexal::gaussMT();
  vexal::RanMTInit(11);
  const double expected = 100 * std::exp(z * 0.2 * std::sqrt(0.25) + (0.05 - 0.2 * 0.2 / 2) * 0.25);
  EXPECT_EQ(vexal::F_NextPrice(100, 0.05, 0.2, 0.25), expected);
  EXPECT_EQ(vexal::F_NextPrice(0, 0.05, 0.2, 0.25), 0.0);
  EXPECT_TRUE(std::isnan(vexal::F_NextPrice(100, 0.05, 0.2, -1)));
}
