// Kelly fraction fit. The fit runs on a table and an optimiser state that
// its caller owns; the exports use one module-level KellyState.
#ifndef VEXAL_KELLY_FIT_H
#define VEXAL_KELLY_FIT_H

#include <cstdint>

#include "fitting/gradient_ascent.h"

namespace vexal {

inline constexpr std::int32_t kOutcomeCapacity = 10001;

struct KellyState {
  double prob[kOutcomeCapacity];
  double outcome[kOutcomeCapacity];  // net gain per unit staked
  std::int32_t count;
  OptimiserState opt;  // x[1] = fraction
};

KellyState& kelly_state();

// A table of count outcomes and their probabilities, read in place.
struct KellyTable {
  const double* prob;
  const double* outcome;
  std::int64_t count;
};

// Expected log growth, and its standard deviation, at the fraction f.
double kelly_growth_at(const KellyTable& t, double f);
double kelly_growth_sd_at(const KellyTable& t, double f);

// Fits the fraction from f0, leaving it in o.x[1]. The optimiser continues
// from what o's previous fit left; a value-initialised state starts afresh.
void kelly_fit(const KellyTable& t, double f0, OptimiserState& o);

// Expected log growth at the fraction x[1] of s, over the table ctx points
// to (a KellyTable), or over the loaded table when ctx is null.
double kelly_objective(const OptimiserState& s, void* ctx);

}  // namespace vexal

#endif
