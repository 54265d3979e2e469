// The skin of VexalPrecise.dll, the 32-bit companion of Vexal.dll: one
// __stdcall export per row of the precise table under the table's name,
// decorated by the compiler as name@bytes (precise_call_eur@48; 8 bytes per
// number, 4 per array, as ExportInfo::decorated_name computes), forwarding
// to vexal::<name>.
#include "exports/api.h"
#include "exports/table_macros.h"
#include "precise/functions.h"

namespace {
// The x87 return register may hold extended precision; a store to a double
// makes the result exactly a double (as exports/exports.cpp does).
inline double as_double(double v) {
  volatile double stored = v;
  return stored;
}
}  // namespace

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_PRECISE_DLL_DEFINE(name, args, ...) \
  extern "C" VEXAL_EXPORT double VEXAL_CALL name VEXAL_PARAMS(args) { return as_double(vexal::name VEXAL_FORWARD(args)); }
VEXAL_PRECISE_TABLE(VEXAL_PRECISE_DLL_DEFINE)
