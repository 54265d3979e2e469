// The export skin: one extern "C" function per row of the export table,
// forwarding to the library function of the same name.
#include "core/functions.h"
#include "exports/api.h"

namespace {
// 32-bit x86 returns a double in the x87 register, where a value may still
// carry extended precision; a store to a double makes it exactly a double.
inline double as_double(double v) {
#if defined(__i386__)
  volatile double stored = v;
  return stored;
#else
  return v;
#endif
}
}  // namespace

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_DEFINE(name, args, ...) \
  extern "C" VEXAL_EXPORT double VEXAL_CALL name VEXAL_PARAMS(args) { return as_double(vexal::name VEXAL_FORWARD(args)); }
VEXAL_EXPORT_TABLE(VEXAL_DEFINE)
