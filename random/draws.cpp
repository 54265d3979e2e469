// Uniform and Gaussian draws and the one-step lognormal price, on a
// generator state; the exports draw from the module's generator.
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

double mt_uniform_co(MtState& g) { return mt_genrand_int32(g) * c1; }

double mt_uniform_oo(MtState& g) { return mt_genrand_int32(g) * c2 + c3; }

void mt_seed(MtState& g, double seed) {
  // floor to a signed 64-bit integer (anything outside, NaN included, is
  // -2^63), then its low 32 bits.
  const double f = std::floor(seed);
  std::int64_t whole = INT64_MIN;
  if (f >= -9223372036854775808.0 && f < 9223372036854775808.0) whole = static_cast<std::int64_t>(f);
  mt_init_genrand(g, static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole)));
}

// Marsaglia's polar method; only the deviate of the second draw is returned.
double mt_gauss(MtState& g) {
  double u1, u2, w;
  do {
    u1 = 2.0 * mt_uniform_oo(g) - 1.0;
    u2 = 2.0 * mt_uniform_oo(g) - 1.0;
    w = u1 * u1 + u2 * u2;
  } while (w >= 1.0);
  const double f = std::sqrt(std::log(w) * -2.0 / w);
  return f * u2;
}

double mt_next_price(MtState& g, double S, double mu, double sigma, double dt) {
  const double a = (mu - sigma * sigma / 2) * dt;
  const double z = mt_gauss(g);
  return S * std::exp(z * sigma * std::sqrt(dt) + a);
}

double RanMT1() { return mt_uniform_co(mt_module()); }

double RanMT3() { return mt_uniform_oo(mt_module()); }

double RanMTInit(double seed) {
  mt_seed(mt_module(), seed);
  return 1.0;
}

double gaussMT() { return mt_gauss(mt_module()); }

double F_NextPrice(double S, double mu, double sigma, double dt) { return mt_next_price(mt_module(), S, mu, sigma, dt); }

}  // namespace vexal
