// The module's MT19937 generator (Matsumoto and Nishimura, reference form).
#ifndef VEXAL_MT19937_H
#define VEXAL_MT19937_H

#include <cstdint>

namespace vexal {

void mt_init_genrand(std::uint32_t s);
void mt_init_by_array(const std::uint32_t* key, int length);
std::uint32_t mt_genrand_int32();

}  // namespace vexal

#endif
