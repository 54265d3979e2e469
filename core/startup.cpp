#include <cfenv>
#include <cstdlib>

#include "core/numeric.h"
#include "random/mt19937.h"

namespace vexal {

double Pi = 0.0;
ZeroAllocFn work_alloc = [](std::size_t count, std::size_t size) { return std::calloc(count, size); };

void initialise() {
  // Doubles round to nearest; the Win32 entry point also selects the x87
  // 64-bit significand before calling this.
  std::fesetround(FE_TONEAREST);
  Pi = 3.14159265358979;
  static const std::uint32_t key[9] = {0x12345, 0x23456, 0x34567, 0x45678, 0x56789,
                                       0x67890, 0x78901, 0x89012, 0x90123};
  mt_init_by_array(key, 9);
}

}  // namespace vexal

#ifndef VEXAL_DLL
// Linux shared and static libraries (and the Win32 static library used by
// the tests) initialise at load; the DLL does it from its entry point.
__attribute__((constructor)) static void vexal_load() { vexal::initialise(); }
#endif
