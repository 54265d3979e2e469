// Row loops that take four rows at a time (precise/lanes.h) for the
// functions whose formulas are written for lanes; each gives the same
// doubles as the function called row by row. Built for any x86-64 and for
// AVX2, the build chosen at load.
#ifndef VEXAL_BATCH_LANE_ROWS_H
#define VEXAL_BATCH_LANE_ROWS_H

#include <cstdint>

namespace vexal::batch {

struct MapJob {
  const double* const* args;
  const long long* strides;
  double* out;
};

// A row loop over rows [begin, end) of a MapJob, as batch::run takes it.
using LaneFn = void (*)(const void* job, std::int64_t begin, std::int64_t end);

// The four-lane row loop of the function named, or null where it has none
// (or, unforced, where the processor lacks AVX2).
LaneFn lane_rows(const char* name);

// Which build lane_rows hands out: the best the processor runs (the
// default), or the baseline or AVX2 one (tests compare them).
enum class LaneBuild { best, baseline, avx2 };
void force_lane_build(LaneBuild b);

}  // namespace vexal::batch

#endif
