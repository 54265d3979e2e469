// Uniform and Gaussian draws and the one-step lognormal price on top of the
// module generator.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "random/mt19937.h"

namespace vexal {
namespace {
// One unit in the last place below 1/(2^32 - 1), 2^-32 and 2^-33.
const double c1 = 2.328306437080797e-10;
const double c2 = 2.328306436538696e-10;
const double c3 = 1.164153218269348e-10;
}  // namespace

double RanMT1() { return mt_genrand_int32() * c1; }

double RanMT3() { return mt_genrand_int32() * c2 + c3; }

double RanMTInit(double seed) {
  // floor to a signed 64-bit integer (anything outside, NaN included, is
  // -2^63), then its low 32 bits.
  const double f = std::floor(seed);
  std::int64_t whole = INT64_MIN;
  if (f >= -9223372036854775808.0 && f < 9223372036854775808.0) whole = static_cast<std::int64_t>(f);
  mt_init_genrand(static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole)));
  return 1.0;
}

// Marsaglia's polar method; only the deviate of the second draw is returned.
double gaussMT() {
  double u1, u2, w;
  do {
    u1 = 2.0 * RanMT3() - 1.0;
    u2 = 2.0 * RanMT3() - 1.0;
    w = u1 * u1 + u2 * u2;
  } while (w >= 1.0);
  const double f = std::sqrt(std::log(w) * -2.0 / w);
  return f * u2;
}

double F_NextPrice(double S, double mu, double sigma, double dt) {
  const double a = (mu - sigma * sigma / 2) * dt;
  const double z = gaussMT();
  return S * std::exp(z * sigma * std::sqrt(dt) + a);
}

}  // namespace vexal
