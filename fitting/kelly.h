// Kelly fraction fit: module state.
#ifndef VEXAL_KELLY_FIT_H
#define VEXAL_KELLY_FIT_H

#include <cstdint>

#include "fitting/optimiser.h"

namespace vexal {

inline constexpr std::int32_t kOutcomeCapacity = 10001;

struct KellyState {
  double prob[kOutcomeCapacity];
  double outcome[kOutcomeCapacity];  // net gain per unit staked
  std::int32_t count;
  OptimiserState opt;  // x[1] = fraction
};

KellyState& kelly_state();

// Expected log growth at the fraction x[1] of s, over the loaded table.
double kelly_objective(const OptimiserState& s, void* ctx);

}  // namespace vexal

#endif
