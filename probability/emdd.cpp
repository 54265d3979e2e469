// Expected maximum drawdown of mu t + sigma W(t) over [0, T]:
// (2 sigma^2 / mu) Q(x), x = mu^2 T / (2 sigma^2). Q is tabulated on
// [0.0005, 5000] and interpolated linearly; below the table the zero-drift
// law sqrt(pi/2) sigma sqrt(T) applies, above it Q(x) ~ 0.25 ln x + 0.49088.
// The table is Q for mu >= 0 only: a negative drift beyond the zero-drift
// range gives NaN rather than the negative value the formula would return.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

namespace {

const double kX[50] = {
    0.0005, 0.001, 0.0015, 0.002, 0.0025, 0.005, 0.0075, 0.01,  0.0125, 0.015,
    0.0175, 0.02,  0.0225, 0.025, 0.0275, 0.03,  0.0325, 0.035, 0.0375, 0.04,
    0.0425, 0.045, 0.05,   0.06,  0.07,   0.08,  0.09,   0.1,   0.2,    0.3,
    0.4,    0.5,   1.5,    2.5,   3.5,    4.5,   10,     20,    30,     40,
    50,     150,   250,    350,   450,    1000,  2000,   3000,  4000,   5000};

const double kQ[50] = {
    0.01969,  0.027694, 0.033789, 0.038896, 0.043372, 0.060721, 0.073808, 0.084693, 0.094171, 0.102651,
    0.110375, 0.117503, 0.124142, 0.130374, 0.136259, 0.141842, 0.147162, 0.152249, 0.157127, 0.161817,
    0.166337, 0.170702, 0.179015, 0.194248, 0.207999, 0.220581, 0.232212, 0.24305,  0.325071, 0.382016,
    0.426452, 0.463159, 0.668992, 0.775976, 0.849298, 0.905305, 1.088998, 1.253794, 1.351794, 1.42186,
    1.476457, 1.747485, 1.874323, 1.958037, 2.02063,  2.219765, 2.392826, 2.494109, 2.565985, 2.621743};

}  // namespace

double EMDD(double mu, double sigma, double T) {
  if (any_nan(mu, sigma, T)) return NAN;
  const double pi = 3.14159265358979;
  const double x = mu * mu * T / (sigma * sigma * 2);
  if (!(x > 0.0005)) return std::sqrt(pi / 2) * sigma * std::sqrt(T);
  if (mu < 0) return NAN;
  if (x > 5000) return (sigma * sigma * 2 / mu) * (0.25 * std::log(x) + 0.49088);
  int j = 1;
  while (x > kX[j]) ++j;  // stops by j = 49, since x <= kX[49]
  const double Q = kQ[j] - (kQ[j] - kQ[j - 1]) * (kX[j] - x) / (kX[j] - kX[j - 1]);
  return (sigma * sigma * 2 / mu) * Q;
}

}  // namespace vexal
