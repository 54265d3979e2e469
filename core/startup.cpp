// The load-time initialiser: round to nearest, the module value of Pi
// (15 digits, as the library has always had it), the generator's seed; and
// the allocator of the per-call working arrays. A load-time constructor
// runs it, or DllMain in the Windows DLLs.
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
  mt_init_library(mt_module());
}

}  // namespace vexal

#ifndef VEXAL_DLL
// Linux shared and static libraries (and the Win32 static library used by
// the tests) initialise at load; the DLL does it from its entry point.
__attribute__((constructor)) static void vexal_load() { vexal::initialise(); }
#endif
