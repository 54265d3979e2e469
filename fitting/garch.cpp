// GARCH(1,1) of the simple returns r[t] with variance targeting:
//   h[t] = (1 - alpha - beta) V + alpha r[t]^2 + beta h[t-1],  h[1] = r[1]^2,
// V the sample variance of the log returns. The objective is
//   L = -sum_{t=1}^{N-2} (ln h[t] + r[t+1]^2 / h[t]),
// twice the Gaussian log-likelihood less its constant.
#include "fitting/garch.h"

#include <cmath>

#include "core/functions.h"

namespace vexal {

static PriceSeries series;
static GarchState state;

PriceSeries& price_series() { return series; }
GarchState& garch_state() { return state; }

double garch_sample_var(const double* p, std::int64_t n) {
  double s1 = 0, s2 = 0;
  for (std::int64_t t = 1; t <= n - 1; ++t) {
    const double l = std::log(p[t] / p[t - 1]);
    s1 = s1 + l;
    s2 = s2 + l * l;
  }
  const double d2 = static_cast<double>(n - 2), d1 = static_cast<double>(n - 1);
  return s2 / d2 - (s1 * s1) / d2 / d1;
}

double garch_sample_var() { return garch_sample_var(series.prices, series.count); }

GarchLoglik::GarchLoglik(const double* p, std::int64_t n, double target_var)
    : n_(n), var_(target_var), r_(n), r2_(n) {
  if (!r_ || !r2_) return;
  for (std::int64_t t = 1; t <= n_ - 1; ++t) {
    r_[t] = (p[t] - p[t - 1]) / p[t - 1];
    r2_[t] = r_[t] * r_[t];
  }
}

GarchLoglik::GarchLoglik() : GarchLoglik(series.prices, series.count, state.target_var) {}

// h is carried as a scalar: each h[t] is used once, by the term for r[t+1],
// and then only by h[t+1]. h[N-1] feeds nothing and is not formed.
double GarchLoglik::operator()(double alpha, double beta) const {
  if (!r_ || !r2_) return NAN;
  if (n_ < 2) return 0;
  const double* r = r_.data();
  const double* r2 = r2_.data();
  const double c = ((1 - alpha) - beta) * var_;
  double h = r2[1];
  double L = 0;
  for (std::int64_t t = 1; t <= n_ - 2; ++t) {
    L = (L - std::log(h)) - r2[t + 1] / h;
    h = c + (r[t + 1] * alpha) * r[t + 1] + h * beta;
    if (!(h >= 0)) h = 1e-09;
  }
  return L;
}

double GarchLoglik::objective(const OptimiserState& s, void* self) {
  return (*static_cast<const GarchLoglik*>(self))(s.x[1], s.x[2]);
}

void garch_fit(const double* prices, std::int64_t n, double alpha0, double beta0, GarchState& g) {
  g.target_var = garch_sample_var(prices, n);
  OptimiserState& o = g.opt;
  o.n_params = 2;
  o.max_iter = 1000;
  o.tolerance = 1e-09;
  o.step = 0.1;
  o.x[1] = alpha0;
  o.x[2] = beta0;

  GarchLoglik loglik(prices, n, g.target_var);
  opt_maximise(o, GarchLoglik::objective, &loglik);

  g.result[0] = loglik(o.x[1], o.x[2]);
  g.result[1] = ((1 - o.x[1]) - o.x[2]) * g.target_var;
  g.result[2] = o.x[1];
  g.result[3] = o.x[2];
}

double garch_o(double alpha0, double beta0) {
  garch_fit(series.prices, series.count, alpha0, beta0, state);
  return 1.0;
}

double garch_param0() { return state.result[0]; }
double garch_param1() { return state.result[1]; }
double garch_param2() { return state.result[2]; }
double garch_param3() { return state.result[3]; }

double garch_paramc() {
  for (double& p : series.prices) p = 0.0;
  series.count = 0;
  state.result[0] = state.result[1] = state.result[2] = state.result[3] = 0.0;
  state.target_var = 0.0;
  opt_reset(state.opt);
  return 1.0;
}

}  // namespace vexal
