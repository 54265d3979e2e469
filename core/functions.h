// The library's functions as plain C++: one per export, same name and
// arguments, in namespace vexal. The export skin forwards to these, and the
// functions call each other through them.
#ifndef VEXAL_FUNCTIONS_H
#define VEXAL_FUNCTIONS_H

#include "exports/table_macros.h"

namespace vexal {

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_DECLARE(name, args, ...) double name VEXAL_PARAMS(args);
VEXAL_EXPORT_TABLE(VEXAL_DECLARE)
#undef VEXAL_DECLARE
#undef N
#undef A

}  // namespace vexal

#endif
