// Gradient ascent by forward differences, shared by the GARCH and Kelly fits.
#ifndef VEXAL_OPTIMISER_H
#define VEXAL_OPTIMISER_H

#include <cstdint>

namespace vexal {

// One per fit, in module state. Parameter i lives at index i (1..n_params,
// n_params at most 3); index 0 is unused.
struct OptimiserState {
  double grad[4];
  double fval[4];  // 1: accepted before the last acceptance, 2: best, 3: current
  double x[10];
  double x_prev[10];
  double grad_norm;
  double tolerance;
  double step;
  std::int32_t n_params;
  std::int32_t max_iter;
  std::int32_t iter;
};

// The objective reads x[1..n_params] of the state it is given; ctx is the
// owner's data.
using Objective = double (*)(const OptimiserState& s, void* ctx);

void opt_norm(OptimiserState& s);
void opt_step(OptimiserState& s, Objective f, void* ctx);
void opt_gradient(OptimiserState& s, Objective f, void* ctx);
void opt_maximise(OptimiserState& s, Objective f, void* ctx);

// Zero the arrays and every scalar, iter included.
void opt_reset(OptimiserState& s);

}  // namespace vexal

#endif
