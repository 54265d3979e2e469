// include/vexal.h against the export table at compile time: every export is
// declared extern "C" with the table's argument kinds, in order, and the
// calling convention the library is built with. The argument names are
// checked by tests/bindings_check.py. Likewise include/vexal_precise.h
// against the precise table (vexal_<name>, the C convention).
#include <gtest/gtest.h>

#include <type_traits>

#include "../include/vexal.h"
#include "../include/vexal_precise.h"
#include "exports/table_macros.h"
#include "precise/precise_table.h"

#define N(x) VEXAL_N(x)
#define A(x) VEXAL_A(x)
#define VEXAL_SAME_TYPE(name, args, ...)                                              \
  static_assert(std::is_same_v<decltype(&::name), double(VEXAL_CALL*)(VEXAL_TYPES(args))>, \
                #name " in vexal.h differs from the export table");
VEXAL_EXPORT_TABLE(VEXAL_SAME_TYPE)
#define VEXAL_COUNT(name, args, ...) +1
static_assert(0 VEXAL_EXPORT_TABLE(VEXAL_COUNT) == 88, "88 exports");
#define VEXAL_PRECISE_SAME_TYPE(name, args, ...)                                        \
  static_assert(std::is_same_v<decltype(&::vexal_##name), double (*)(VEXAL_TYPES(args))>, \
                "vexal_" #name " in vexal_precise.h differs from the precise table");
VEXAL_PRECISE_TABLE(VEXAL_PRECISE_SAME_TYPE)
#undef N
#undef A

TEST(Header, CallsReachTheLibrary) {
  EXPECT_DOUBLE_EQ(norm(0.0), 0.3989422804014327);
  EXPECT_DOUBLE_EQ(vexal_precise_norm(0.0), 0.3989422804014327);
  EXPECT_EQ(RanMTInit(5489), 1.0);
  EXPECT_EQ(RanMT1(), 3499211612.0 * 2.328306437080797e-10);
  const double prices[] = {100, 101, 99, 102};
  const double n = 4;
  // Whatever the family returns, the array is read through the header's types.
  (void)Price_sd(prices, n);
}
