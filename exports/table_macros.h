// Macros that turn an argument list of the export table into a parameter
// list, a forwarding list, a type list or an argument description.
//
// With N(x) and A(x) defined as VEXAL_N(x) and VEXAL_A(x) (function-like, so
// that an argument named A is not itself replaced), each argument becomes a
// pair (kind, name): kind is `num` or `arr`.
#ifndef VEXAL_TABLE_MACROS_H
#define VEXAL_TABLE_MACROS_H

#include "exports/export_table.h"

#define VEXAL_N(x) (num, x)
#define VEXAL_A(x) (arr, x)

#define VEXAL_CAT(a, b) VEXAL_CAT_(a, b)
#define VEXAL_CAT_(a, b) a##b

#define VEXAL_NARGS(...) VEXAL_NARGS_(__VA_ARGS__ __VA_OPT__(,) 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define VEXAL_NARGS_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, n, ...) n

// VEXAL_MAP(m, p1, p2, ...) gives m p1, m p2, ... (comma separated).
#define VEXAL_MAP(m, ...) VEXAL_CAT(VEXAL_MAP_, VEXAL_NARGS(__VA_ARGS__))(m __VA_OPT__(,) __VA_ARGS__)
#define VEXAL_MAP_0(m)
#define VEXAL_MAP_1(m, a) m a
#define VEXAL_MAP_2(m, a, ...) m a, VEXAL_MAP_1(m, __VA_ARGS__)
#define VEXAL_MAP_3(m, a, ...) m a, VEXAL_MAP_2(m, __VA_ARGS__)
#define VEXAL_MAP_4(m, a, ...) m a, VEXAL_MAP_3(m, __VA_ARGS__)
#define VEXAL_MAP_5(m, a, ...) m a, VEXAL_MAP_4(m, __VA_ARGS__)
#define VEXAL_MAP_6(m, a, ...) m a, VEXAL_MAP_5(m, __VA_ARGS__)
#define VEXAL_MAP_7(m, a, ...) m a, VEXAL_MAP_6(m, __VA_ARGS__)
#define VEXAL_MAP_8(m, a, ...) m a, VEXAL_MAP_7(m, __VA_ARGS__)
#define VEXAL_MAP_9(m, a, ...) m a, VEXAL_MAP_8(m, __VA_ARGS__)
#define VEXAL_MAP_10(m, a, ...) m a, VEXAL_MAP_9(m, __VA_ARGS__)

#define VEXAL_TYPE_num double
#define VEXAL_TYPE_arr const double*
#define VEXAL_BYTES_num 8
#define VEXAL_BYTES_arr 4

#define VEXAL_PARAM(kind, x) VEXAL_CAT(VEXAL_TYPE_, kind) x   // double S
#define VEXAL_NAME(kind, x) x                                 // S
#define VEXAL_TYPE(kind, x) VEXAL_CAT(VEXAL_TYPE_, kind)      // double
#define VEXAL_BYTES(kind, x) VEXAL_CAT(VEXAL_BYTES_, kind)    // 8
#define VEXAL_IS_ARRAY_num false
#define VEXAL_IS_ARRAY_arr true
#define VEXAL_ARGINFO(kind, x) {#x, VEXAL_CAT(VEXAL_IS_ARRAY_, kind)}

// For an argument list `args` of the table, as written there: (N(S), N(K), ...)
#define VEXAL_PARAMS(args) (VEXAL_MAP(VEXAL_PARAM, VEXAL_EXPAND args))
#define VEXAL_FORWARD(args) (VEXAL_MAP(VEXAL_NAME, VEXAL_EXPAND args))
#define VEXAL_TYPES(args) VEXAL_MAP(VEXAL_TYPE, VEXAL_EXPAND args)
#define VEXAL_ARGINFOS(args) VEXAL_MAP(VEXAL_ARGINFO, VEXAL_EXPAND args)

#endif
