// Gradient ascent: moves of length `step` along the normalised
// forward-difference gradient; the step grows by 1.2 after a move that
// continues the trend and halves after a failed one, which is rolled back.
#include "fitting/gradient_ascent.h"

#include <cmath>
#include <cstdint>

namespace vexal {

static bool zero_or_nan(double v) { return v == 0.0 || std::isnan(v); }

void opt_norm(OptimiserState& s) {
  double sum = 0.0;
  for (int i = 1; i <= s.n_params; ++i) sum = sum + s.grad[i] * s.grad[i];
  s.grad_norm = std::sqrt(sum);
}

void opt_step(OptimiserState& s, Objective f, void* ctx) {
  for (int i = 1; i <= s.n_params; ++i) {
    s.x_prev[i] = s.x[i];
    s.x[i] = s.grad[i] * s.step / s.grad_norm + s.x[i];
  }
  s.fval[3] = f(s, ctx);
}

// Forward differences from fval[3]. The bump along coordinate i is half the
// move the next step would make there, taken from the old gradient and
// norm; a coordinate already re-estimated keeps its new value.
void opt_gradient(OptimiserState& s, Objective f, void* ctx) {
  for (int i = 1; i <= s.n_params; ++i) {
    const double v = s.x[i];
    double h = (s.step * s.grad[i]) / (2 * s.grad_norm);
    s.x[i] = h + s.x[i];
    const double y = f(s, ctx);
    if (zero_or_nan(h)) h = 1e-12;
    s.grad[i] = (y - s.fval[3]) / h;
    if (zero_or_nan(s.grad[i])) s.grad[i] = 1e-05;
    s.x[i] = v;
  }
  opt_norm(s);
}

void opt_maximise(OptimiserState& s, Objective f, void* ctx) {
  const int n = s.n_params;
  if (n < 1 || n > 3) return;

  s.grad_norm = 1.0;
  s.grad[1] = 1 / std::sqrt(static_cast<double>(n));
  for (int i = 2; i <= n; ++i) s.grad[i] = s.grad[i - 1];

  // Warm-up. The first gradient's base fval[3] is what the previous run of
  // this state left there (0 after a reset).
  for (int k = 1; k <= 3; ++k) {
    s.fval[k] = f(s, ctx);
    opt_gradient(s, f, ctx);
    opt_step(s, f, ctx);
  }

  for (;;) {
    const double d21 = s.fval[2] - s.fval[1];
    if (!zero_or_nan(d21) && (s.fval[3] - s.fval[2]) / d21 > 0) s.step = 1.2 * s.step;
    if (!(s.fval[3] >= s.fval[2])) s.step = s.step / 2.0;
    if (s.fval[3] > s.fval[2]) {
      s.fval[1] = s.fval[2];
      s.fval[2] = s.fval[3];
    } else {
      for (int i = 1; i <= n; ++i) s.x[i] = s.x_prev[i];
    }

    s.fval[3] = f(s, ctx);
    opt_gradient(s, f, ctx);
    if (zero_or_nan(s.grad_norm)) return;
    opt_step(s, f, ctx);

    // Saturates rather than wrap: past max_iter every run stops here anyway.
    if (s.iter < INT32_MAX) s.iter = s.iter + 1;
    if (s.iter >= s.max_iter) return;
    if (!(std::fabs(s.fval[3] - s.fval[2]) >= s.tolerance)) return;
  }
}

void opt_reset(OptimiserState& s) { s = OptimiserState{}; }

}  // namespace vexal
