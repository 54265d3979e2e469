// Growth-optimal fraction of a table of outcomes b_i with weights p_i:
// maximise G(f) = sum p_i ln(1 + f b_i).
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"
#include "fitting/kelly.h"

namespace vexal {

static KellyState state;

KellyState& kelly_state() { return state; }

// A load that would not fit writes nothing and returns NaN.
double kelly_input(const double* p, const double* b, double count) {
  const std::int32_t n = to_int_floor(count);
  const std::int32_t last = to_int_nearest(count - 1);
  if (n < 0 || n > kOutcomeCapacity || last >= kOutcomeCapacity) return NAN;
  for (std::int32_t i = 0; i <= last; ++i) {
    state.prob[i] = p[i];
    state.outcome[i] = b[i];
  }
  state.count = n;
  return 1.0;
}

static KellyTable loaded() { return {state.prob, state.outcome, state.count}; }

double kelly_growth_at(const KellyTable& t, double f) {
  double g = 0;
  for (std::int64_t i = 0; i < t.count; ++i) g = std::log(f * t.outcome[i] + 1) * t.prob[i] + g;
  return g;
}

double kelly_growth_sd_at(const KellyTable& t, double f) {
  double s = 0;
  for (std::int64_t i = 0; i < t.count; ++i) s = std::pow(std::log(f * t.outcome[i] + 1), 2.0) * t.prob[i] + s;
  const double g = kelly_growth_at(t, f);
  return std::sqrt(s - std::pow(g, 2.0));
}

double kelly_objective(const OptimiserState& s, void* ctx) {
  return ctx ? kelly_growth_at(*static_cast<const KellyTable*>(ctx), s.x[1]) : kelly_growth_at(loaded(), s.x[1]);
}

void kelly_fit(const KellyTable& t, double f0, OptimiserState& o) {
  o.n_params = 1;
  o.max_iter = 100;
  o.tolerance = 1e-09;
  o.step = 0.01;
  o.x[1] = f0;
  KellyTable table = t;
  opt_maximise(o, kelly_objective, &table);
}

double kelly_growth() { return kelly_growth_at(loaded(), state.opt.x[1]); }

double kelly_growth_sd() { return kelly_growth_sd_at(loaded(), state.opt.x[1]); }

double kelly_o(double f0) {
  kelly_fit(loaded(), f0, state.opt);
  return 1.0;
}

double kelly_f() { return state.opt.x[1]; }

double kelly_paramc() {
  for (std::int32_t i = 0; i < kOutcomeCapacity; ++i) state.prob[i] = state.outcome[i] = 0.0;
  state.count = 0;
  opt_reset(state.opt);
  return 1.0;
}

}  // namespace vexal
