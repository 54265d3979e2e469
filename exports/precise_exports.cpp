// The precise family's C entry points, one per row of the precise table:
// vexal_<name> forwarding to vexal::<name>. Exported from libvexal.so and
// Vexal64.dll; the 32-bit Vexal.dll keeps exactly the 88 decorated names
// (VEXAL_API_EXPORT is empty there).
#include "exports/api.h"
#include "precise/functions.h"
#define VEXAL_PRECISE_API VEXAL_API_EXPORT
#include "include/vexal_precise.h"  // the definitions below must match its declarations

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_PRECISE_DEFINE(name, args, ...) \
  extern "C" VEXAL_API_EXPORT double vexal_##name VEXAL_PARAMS(args) { return vexal::name VEXAL_FORWARD(args); }
VEXAL_PRECISE_TABLE(VEXAL_PRECISE_DEFINE)
