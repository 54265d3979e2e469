// Every function of the export table and of the precise table called in
// process from arguments held as data (see calls.h): in_process<Args>[i](a)
// calls the function of function_index i (the 88 in table order, then the
// precise family) with the numbers and arrays of a. Used by the fuzzer and
// the tests that sweep the whole table.
#ifndef VEXAL_IN_PROCESS_H
#define VEXAL_IN_PROCESS_H

#include "core/functions.h"
#include "exports/calls.h"
#include "exports/table_macros.h"
#include "precise/functions.h"

namespace vexal {

template <class Args> using InProcessCaller = double (*)(const Args&);

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_IN_PROCESS_ROW(name, args, ...) [](const Args& a) { return apply_args(&vexal::name, a); },
template <class Args>
inline constexpr InProcessCaller<Args> in_process[] = {VEXAL_EXPORT_TABLE(VEXAL_IN_PROCESS_ROW)
                                                           VEXAL_PRECISE_TABLE(VEXAL_IN_PROCESS_ROW)};
#undef VEXAL_IN_PROCESS_ROW
#undef N
#undef A

}  // namespace vexal

#endif
