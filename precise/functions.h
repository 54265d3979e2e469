// The precise family as plain C++: one function per row of the precise
// table, same name and arguments, in namespace vexal.
#ifndef VEXAL_PRECISE_FUNCTIONS_H
#define VEXAL_PRECISE_FUNCTIONS_H

#include "exports/table_macros.h"
#include "precise/precise_table.h"

namespace vexal {

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_PRECISE_DECLARE(name, args, ...) double name VEXAL_PARAMS(args);
VEXAL_PRECISE_TABLE(VEXAL_PRECISE_DECLARE)
#undef VEXAL_PRECISE_DECLARE
#undef N
#undef A

}  // namespace vexal

#endif
