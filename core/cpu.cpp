// What the processor offers, asked once.
#include "core/numeric.h"

namespace vexal {

#if defined(__x86_64__) || defined(__i386__)

bool have_avx2() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return yes;
}

#else

bool have_avx2() { return false; }

#endif

}  // namespace vexal
