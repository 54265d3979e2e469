// The module's MT19937 generator (Matsumoto and Nishimura, reference form).
#ifndef VEXAL_MT19937_H
#define VEXAL_MT19937_H

#include <cstdint>

namespace vexal {

// A generator's whole state. The module keeps one; a caller may keep its own.
struct MtState {
  std::uint32_t mt[624];
  int mti;
};

void mt_init_genrand(MtState& g, std::uint32_t s);
void mt_init_by_array(MtState& g, const std::uint32_t* key, int length);
std::uint32_t mt_genrand_int32(MtState& g);

// The module's generator, and the state the library gives it at load.
MtState& mt_module();
void mt_init_library(MtState& g);

// The same on the module's generator.
void mt_init_genrand(std::uint32_t s);
void mt_init_by_array(const std::uint32_t* key, int length);
std::uint32_t mt_genrand_int32();

// The draws of the generator functions on a state the caller owns.
double mt_uniform_co(MtState& g);                 // [0, 1), as RanMT1
double mt_uniform_oo(MtState& g);                 // (0, 1), as RanMT3
void mt_seed(MtState& g, double seed);            // as RanMTInit
double mt_gauss(MtState& g);                      // as gaussMT
double mt_next_price(MtState& g, double S, double mu, double sigma, double dt);  // as F_NextPrice

}  // namespace vexal

#endif
