// Expected maximum drawdown: the worked values, every row of the table, the
// two outer laws and their joins, and what a negative drift gives.
#include <cmath>

#include <gtest/gtest.h>

#include "core/functions.h"

using vexal::EMDD;

namespace {

const double kPi = 3.14159265358979;

const double kX[50] = {0.0005, 0.001, 0.0015, 0.002, 0.0025, 0.005, 0.0075, 0.01, 0.0125, 0.015,
                       0.0175, 0.02,  0.0225, 0.025, 0.0275, 0.03,  0.0325, 0.035, 0.0375, 0.04,
                       0.0425, 0.045, 0.05,   0.06,  0.07,   0.08,  0.09,   0.1,  0.2,    0.3,
                       0.4,    0.5,   1.5,    2.5,   3.5,    4.5,   10,     20,   30,     40,
                       50,     150,   250,    350,   450,    1000,  2000,   3000, 4000,   5000};
const double kQ[50] = {0.01969,  0.027694, 0.033789, 0.038896, 0.043372, 0.060721, 0.073808, 0.084693,
                       0.094171, 0.102651, 0.110375, 0.117503, 0.124142, 0.130374, 0.136259, 0.141842,
                       0.147162, 0.152249, 0.157127, 0.161817, 0.166337, 0.170702, 0.179015, 0.194248,
                       0.207999, 0.220581, 0.232212, 0.24305,  0.325071, 0.382016, 0.426452, 0.463159,
                       0.668992, 0.775976, 0.849298, 0.905305, 1.088998, 1.253794, 1.351794, 1.42186,
                       1.476457, 1.747485, 1.874323, 1.958037, 2.02063,  2.219765, 2.392826, 2.494109,
                       2.565985, 2.621743};

}  // namespace

TEST(EMDD, WorkedValues) {
  EXPECT_EQ(EMDD(0, 0.2, 1), std::sqrt(kPi / 2) * 0.2);
  // x = 1/8 lies a quarter of the way from x_28 = 0.1 to x_29 = 0.2.
  EXPECT_NEAR(EMDD(0.1, 0.2, 1), 0.8 * (0.325071 - (0.325071 - 0.24305) * 0.75), 1e-15);
  EXPECT_EQ(EMDD(10, 1, 100), 0.2 * 2.621743);  // x = 5000: last row, not the log law
  EXPECT_EQ(EMDD(1, 0.5, 5000), 0.5 * (0.25 * std::log(10000.0) + 0.49088));
}

// With mu = sigma = 1 and T = 2 x_j, x is exactly x_j and the scale exactly 2.
TEST(EMDD, EveryGridPointReturnsItsRow) {
  for (int j = 1; j < 50; ++j) EXPECT_EQ(EMDD(1, 1, 2 * kX[j]), 2 * kQ[j]) << "row " << j + 1;
}

TEST(EMDD, InterpolatesFromTheUpperEndPoint) {
  // Midway between every pair of rows the value is the mean of the two.
  for (int j = 1; j < 50; ++j) {
    const double mid = (kX[j - 1] + kX[j]) / 2;
    EXPECT_NEAR(EMDD(1, 1, 2 * mid), kQ[j - 1] + kQ[j], 1e-15 * kQ[j]) << "rows " << j << ", " << j + 1;
  }
  // Just above the first row: between rows 1 and 2, nearly Q_1.
  EXPECT_GT(EMDD(1, 1, 2 * 0.0005000001), 2 * 0.01969);
  EXPECT_NEAR(EMDD(1, 1, 2 * 0.0005000001), 2 * 0.01969, 1e-8);
}

TEST(EMDD, OuterLawsAndWhereTheyJoin) {
  // x = 0.0005 belongs to the zero-drift law, x = 5000 to the table.
  EXPECT_EQ(EMDD(1, 1, 0.001), std::sqrt(kPi / 2) * std::sqrt(0.001));
  EXPECT_NEAR(EMDD(1, 1, 0.001), 2 * kQ[0], 0.01 * 2 * kQ[0]);
  const double above = 10000.000002;
  EXPECT_EQ(EMDD(1, 1, above), 2 * (0.25 * std::log(above / 2) + 0.49088));
  EXPECT_LT(EMDD(1, 1, above), 2 * kQ[49]);  // the log law starts a little lower
  EXPECT_NEAR(EMDD(1, 1, above), 2 * kQ[49], 0.001 * 2 * kQ[49]);
  // Inside the table the drawdown grows with the horizon.
  double last = 0;
  for (double T = 0.0011; T <= 10000; T *= 1.01) {
    const double v = EMDD(1, 1, T);
    EXPECT_GE(v, last) << T;
    last = v;
  }
}

TEST(EMDD, NegativeDrift) {
  // Beyond the zero-drift range the table has no value for mu < 0.
  EXPECT_TRUE(std::isnan(EMDD(-0.1, 0.2, 1)));
  EXPECT_TRUE(std::isnan(EMDD(-10, 1, 100)));
  EXPECT_TRUE(std::isnan(EMDD(-1, 0.5, 5000)));
  // Within it the zero-drift law applies whatever the sign.
  EXPECT_EQ(EMDD(-0.001, 0.2, 1), EMDD(0, 0.2, 1));
  EXPECT_EQ(EMDD(-1, 1, 0.001), EMDD(1, 1, 0.001));
}

TEST(EMDD, DegenerateInputs) {
  EXPECT_TRUE(std::isnan(EMDD(0.1, 0, 1)));    // x infinite: 0 * infinity
  EXPECT_EQ(EMDD(0, 0, 1), 0.0);               // x = 0/0 takes the zero-drift law
  EXPECT_TRUE(std::isnan(EMDD(0.1, 0.2, -1)));  // sqrt of a negative horizon
  EXPECT_EQ(EMDD(0.1, 0.2, INFINITY), INFINITY);
  EXPECT_TRUE(std::isnan(EMDD(NAN, 0.2, 1)));  // not the zero-drift law
}
