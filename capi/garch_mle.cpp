// GARCH(1,1) by maximum likelihood over caller arrays: one series, or a
// block of series shared out over threads.
#include <cmath>
#include <cstdint>
#include <limits>

#include "batch/parallel.h"
#include "fitting/garch_mle.h"
#include "include/vexal_garch.h"

namespace vexal::batch {
namespace {

int model_of(int mean, int dist, int h0, GarchMleModel& model) {
  if ((mean != VEXAL_GARCH_CONSTANT && mean != VEXAL_GARCH_ZERO) || (dist != VEXAL_GARCH_NORMAL && dist != VEXAL_GARCH_T) ||
      (h0 != VEXAL_GARCH_SAMPLE && h0 != VEXAL_GARCH_BACKCAST))
    return VEXAL_E_GARCH_OPTION;
  model.zero_mean = mean == VEXAL_GARCH_ZERO;
  model.student_t = dist == VEXAL_GARCH_T;
  model.backcast = h0 == VEXAL_GARCH_BACKCAST;
  return VEXAL_OK;
}

int check_series(const double* y, std::int64_t n, const GarchMleModel& model) {
  switch (garch_mle_check(y, n, model)) {
    case GarchMleInput::too_short: return VEXAL_E_GARCH_SHORT;
    case GarchMleInput::not_finite: return VEXAL_E_GARCH_NOT_FINITE;
    case GarchMleInput::constant: return VEXAL_E_GARCH_CONSTANT;
    case GarchMleInput::ok: break;
  }
  return VEXAL_OK;
}

void copy5(const double* from, double* to) {
  for (int i = 0; i < kGarchParams; ++i) to[i] = from[i];
}

void export_fit(const GarchMleFit& f, vexal_garch_mle_result& r) {
  copy5(f.params, r.params);
  copy5(f.std_err[kSeHessian], r.se_hessian);
  copy5(f.std_err[kSeOpg], r.se_opg);
  copy5(f.std_err[kSeRobust], r.se_robust);
  copy5(f.std_err[kSeBw], r.se_bw);
  r.loglik = f.loglik;
  r.aic = f.aic;
  r.bic = f.bic;
  r.persistence = f.persistence;
  r.half_life = f.half_life;
  r.unconditional_variance = f.unconditional_variance;
  r.last_residual = f.last_residual;
  r.last_variance = f.last_variance;
  r.observations = f.observations;
  r.iterations = f.iterations;
  r.converged = f.converged;
}

void fit_one(const double* y, std::int64_t n, const GarchMleModel& model, vexal_garch_mle_result& r, double* variances,
             double* residuals) {
  GarchMleFit f{};
  garch_mle_fit(y, n, model, f, variances, residuals);
  export_fit(f, r);
}

void not_done(vexal_garch_mle_result& r) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  double* fields[] = {r.params, r.se_hessian, r.se_opg, r.se_robust, r.se_bw};
  for (double* v : fields)
    for (int i = 0; i < kGarchParams; ++i) v[i] = nan;
  r.loglik = r.aic = r.bic = r.persistence = r.half_life = r.unconditional_variance = nan;
  r.last_residual = r.last_variance = nan;
  r.observations = 0;
  r.iterations = 0;
  r.converged = 0;
}

struct Job {
  const double* returns;
  long long stride;
  const long long* lengths;
  GarchMleModel model;
  vexal_garch_mle_result* results;
};

void fit_range(const void* p, std::int64_t begin, std::int64_t end) {
  const Job& j = *static_cast<const Job*>(p);
  for (std::int64_t k = begin; k < end; ++k)
    fit_one(j.returns + k * j.stride, j.lengths[k], j.model, j.results[k], nullptr, nullptr);
}

}  // namespace
}  // namespace vexal::batch

using namespace vexal::batch;

extern "C" VEXAL_API_EXPORT int vexal_garch_mle(const double* returns, long long n, int mean, int dist, int h0,
                                                vexal_garch_mle_result* result, double* variances,
                                                double* residuals) {
  vexal::GarchMleModel model;
  if (const int rc = model_of(mean, dist, h0, model); rc != VEXAL_OK) return rc;
  if (n < 0) return VEXAL_E_NEGATIVE;
  if (!result || (n > 0 && !returns)) return VEXAL_E_NULL;
  if (const int rc = check_series(returns, n, model); rc != VEXAL_OK) return rc;
  fit_one(returns, n, model, *result, variances, residuals);
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_looks_like_prices(const double* returns, long long n) {
  if (!returns || n < 2) return 0;
  double sum = 0;
  for (long long t = 0; t < n; ++t) {
    if (!(returns[t] > 0) || std::isinf(returns[t])) return 0;
    sum += returns[t];
  }
  const double mean = sum / static_cast<double>(n);
  double ss = 0;
  for (long long t = 0; t < n; ++t) ss += (returns[t] - mean) * (returns[t] - mean);
  return ss > 0 && mean * mean > 16 * ss / static_cast<double>(n - 1) ? 1 : 0;  // a constant series is refused as such
}

extern "C" VEXAL_API_EXPORT int vexal_garch_mle_forecast(const vexal_garch_mle_result* fit, long long steps,
                                                         double* out) {
  if (steps < 0) return VEXAL_E_NEGATIVE;
  if (!fit || (steps > 0 && !out)) return VEXAL_E_NULL;
  vexal::GarchMleFit f{};
  f.params[1] = fit->params[1];
  f.params[2] = fit->params[2];
  f.params[3] = fit->params[3];
  f.last_residual = fit->last_residual;
  f.last_variance = fit->last_variance;
  vexal::garch_mle_forecast(f, steps, out);
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_mle_many_progress(long long series, const double* returns,
                                                              long long stride, const long long* lengths, int mean,
                                                              int dist, int h0, vexal_garch_mle_result* results,
                                                              int threads, vexal_progress_fn progress, void* user) {
  vexal::GarchMleModel model;
  if (const int rc = model_of(mean, dist, h0, model); rc != VEXAL_OK) return rc;
  if (const int rc = check_many(series, stride, lengths, results, threads, {returns}); rc != VEXAL_OK) return rc;
  if (series == 0) return VEXAL_OK;
  if (!returns) return VEXAL_E_NULL;
  for (long long k = 0; k < series; ++k)
    if (const int rc = check_series(returns + k * stride, lengths[k], model); rc != VEXAL_OK) return rc;
  const Job job{returns, stride, lengths, model, results};
  std::int64_t done_until = 0;
  const int rc = run(series, resolve_threads(threads), fit_range, &job, {progress, user}, done_until);
  if (rc != VEXAL_OK)
    for (long long k = done_until; k < series; ++k) not_done(results[k]);
  return rc;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_mle_many(long long series, const double* returns, long long stride,
                                                     const long long* lengths, int mean, int dist, int h0,
                                                     vexal_garch_mle_result* results, int threads) {
  return vexal_garch_mle_many_progress(series, returns, stride, lengths, mean, dist, h0, results, threads, nullptr,
                                       nullptr);
}
