// GARCH and GJR-GARCH with four error laws and three means over caller
// arrays: the fit, its forecasts and one-step risk, and the rolling
// Value-at-Risk backtest shared out over threads, one fit per task.
//
// Backtest statistics, with T days, x exceedances and level p:
//   Kupiec:   LR = -2 [ln L(p) - ln L(x / T)],  L(q) = (1 - q)^(T - x) q^x;
//   Christoffersen: n_ij the days in state j after a day in state i,
//     LR_ind = -2 [ln L(pi) - ln L(pi_0, pi_1)],  pi_i = n_i1 / (n_i0 + n_i1);
//   conditional coverage LR_cc = LR + LR_ind,
// chi-squared with 1, 1 and 2 degrees of freedom; 0 ln 0 = 0.
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "batch/parallel.h"
#include "fitting/garch_mle.h"
#include "include/vexal_garch.h"
#include "precise/erfc.h"

namespace vexal::batch {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

int setup_of(const vexal_garch_options* o, GarchSetup& setup) {
  const vexal_garch_options none{};
  if (!o) o = &none;
  if (o->mean < 0 || o->mean > 2 || o->vol < 0 || o->vol > 1 || o->dist < 0 || o->dist > 3 || o->h0 < 0 ||
      o->h0 > 1)
    return VEXAL_E_GARCH_OPTION;
  const GarchMean means[] = {GarchMean::constant, GarchMean::zero, GarchMean::ar1};
  const GarchDist dists[] = {GarchDist::normal, GarchDist::t, GarchDist::skewt, GarchDist::ged};
  setup.mean = means[o->mean];
  setup.vol = o->vol == VEXAL_GARCH_GJR ? GarchVol::gjr : GarchVol::garch;
  setup.dist = dists[o->dist];
  setup.backcast = o->h0 == VEXAL_GARCH_BACKCAST;
  return VEXAL_OK;
}

int input_code(GarchMleInput in) {
  switch (in) {
    case GarchMleInput::too_short: return VEXAL_E_GARCH_SHORT;
    case GarchMleInput::not_finite: return VEXAL_E_GARCH_NOT_FINITE;
    case GarchMleInput::constant: return VEXAL_E_GARCH_CONSTANT;
    case GarchMleInput::ok: break;
  }
  return VEXAL_OK;
}

void export_fit(const GarchModelFit& f, const vexal_garch_options& o, vexal_garch_mle2_result& r) {
  r.options = o;
  double* se[] = {r.se_hessian, r.se_opg, r.se_robust, r.se_bw};
  double* cov[] = {r.cov_hessian, r.cov_opg, r.cov_robust, r.cov_bw};
  for (int i = 0; i < kGarchSlots; ++i) r.params[i] = f.params[i];
  for (int kind = 0; kind < kGarchStdErrKinds; ++kind) {
    for (int i = 0; i < kGarchSlots; ++i) se[kind][i] = f.std_err[kind][i];
    for (int i = 0; i < kGarchSlots * kGarchSlots; ++i) cov[kind][i] = f.cov[kind][i];
  }
  r.loglik = f.loglik;
  r.aic = f.aic;
  r.bic = f.bic;
  r.persistence = f.persistence;
  r.half_life = f.half_life;
  r.unconditional_variance = f.unconditional_variance;
  r.last_return = f.last_return;
  r.last_residual = f.last_residual;
  r.last_variance = f.last_variance;
  r.observations = f.observations;
  r.iterations = f.iterations;
  r.converged = f.converged;
  r.at_bound = f.at_bound;
}

// What forecasts and risk need of a caller's result.
int import_fit(const vexal_garch_mle2_result& r, GarchModelFit& f) {
  if (const int rc = setup_of(&r.options, f.setup); rc != VEXAL_OK) return rc;
  for (int i = 0; i < kGarchSlots; ++i) f.params[i] = r.params[i];
  f.persistence = r.persistence;
  f.last_return = r.last_return;
  f.last_residual = r.last_residual;
  f.last_variance = r.last_variance;
  return VEXAL_OK;
}

bool level_ok(double level) { return level > 0 && level < 0.5; }

// p-values of chi-squared with 1 and 2 degrees of freedom.
double chi2_1(double x) { return 2 * precise::norm_cdf(-std::sqrt(x)); }
double chi2_2(double x) { return std::exp(-0.5 * x); }

// a ln b with 0 ln 0 = 0.
double xlogy(double a, double b) { return a == 0 ? 0 : a * std::log(b); }

struct Backtest {
  const double* y;
  std::int64_t n, window, every;
  double level;
  GarchSetup setup;
  double* var;
  double* es;
  unsigned char* exceed;
  std::int32_t* converged;  // one per fit
};

void backtest_range(const void* job, std::int64_t begin, std::int64_t end) {
  const Backtest& b = *static_cast<const Backtest*>(job);
  for (std::int64_t j = begin; j < end; ++j) {
    const std::int64_t t0 = b.window + j * b.every, stop = std::min(b.n, t0 + b.every);
    GarchModelFit fit{};
    garch_fit(b.y + (t0 - b.window), b.window, b.setup, fit, nullptr, nullptr);
    b.converged[j] = fit.converged;
    double q, shortfall;
    garch_law_tail(b.setup.dist, fit.params[kNu], fit.params[kSkew], b.level, q, shortfall);
    double y_prev = fit.last_return, e_prev = fit.last_residual, h_prev = fit.last_variance;
    for (std::int64_t t = t0; t < stop; ++t) {
      double m, h;
      garch_step(fit, y_prev, e_prev, h_prev, m, h);
      const double root = std::sqrt(h), var = -(m + root * q);
      b.var[t - b.window] = var;
      b.es[t - b.window] = -(m + root * shortfall);
      b.exceed[t - b.window] = b.y[t] < -var;
      y_prev = b.y[t];
      e_prev = b.y[t] - m;
      h_prev = h;
    }
  }
}

void statistics(const unsigned char* hit, std::int64_t days, double p, vexal_garch_backtest_result& r) {
  std::int64_t x = 0, n[2][2] = {{0, 0}, {0, 0}};
  for (std::int64_t t = 0; t < days; ++t) {
    x += hit[t];
    if (t > 0) ++n[hit[t - 1]][hit[t]];
  }
  const double T = static_cast<double>(days), X = static_cast<double>(x);
  const double pof = -2 * ((xlogy(T - X, 1 - p) + xlogy(X, p)) - (xlogy(T - X, 1 - X / T) + xlogy(X, X / T)));
  const double n00 = static_cast<double>(n[0][0]), n01 = static_cast<double>(n[0][1]),
               n10 = static_cast<double>(n[1][0]), n11 = static_cast<double>(n[1][1]);
  const double pi0 = n00 + n01 > 0 ? n01 / (n00 + n01) : 0, pi1 = n10 + n11 > 0 ? n11 / (n10 + n11) : 0;
  const double pi = (n01 + n11) / (n00 + n01 + n10 + n11);
  const double ind = -2 * ((xlogy(n00 + n10, 1 - pi) + xlogy(n01 + n11, pi)) -
                           (xlogy(n00, 1 - pi0) + xlogy(n01, pi0) + xlogy(n10, 1 - pi1) + xlogy(n11, pi1)));
  const double lr_pof = std::max(pof, 0.0), lr_ind = days > 1 ? std::max(ind, 0.0) : kNaN;
  r.days = days;
  r.exceedances = x;
  r.kupiec = {lr_pof, chi2_1(lr_pof)};
  r.christoffersen_ind = {lr_ind, chi2_1(lr_ind)};
  r.christoffersen_cc = {lr_pof + lr_ind, chi2_2(lr_pof + lr_ind)};
}

}  // namespace
}  // namespace vexal::batch

using namespace vexal::batch;

extern "C" VEXAL_API_EXPORT int vexal_garch_mle2(const double* returns, long long n, const vexal_garch_options* options,
                                                 vexal_garch_mle2_result* result, double* variances,
                                                 double* residuals) {
  vexal::GarchSetup setup;
  if (const int rc = setup_of(options, setup); rc != VEXAL_OK) return rc;
  if (n < 0) return VEXAL_E_NEGATIVE;
  if (!result || (n > 0 && !returns)) return VEXAL_E_NULL;
  if (const int rc = input_code(vexal::garch_check(returns, n, setup)); rc != VEXAL_OK) return rc;
  vexal::GarchModelFit f{};
  vexal::garch_fit(returns, n, setup, f, variances, residuals);
  export_fit(f, options ? *options : vexal_garch_options{}, *result);
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_mle2_forecast(const vexal_garch_mle2_result* fit, long long steps,
                                                          double* mean, double* variance) {
  if (steps < 0) return VEXAL_E_NEGATIVE;
  if (!fit) return VEXAL_E_NULL;
  vexal::GarchModelFit f{};
  if (const int rc = import_fit(*fit, f); rc != VEXAL_OK) return rc;
  vexal::garch_forecast(f, steps, mean, variance);
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_mle2_risk(const vexal_garch_mle2_result* fit, double level, double* var,
                                                      double* es) {
  if (!fit) return VEXAL_E_NULL;
  if (!level_ok(level)) return VEXAL_E_GARCH_LEVEL;
  vexal::GarchModelFit f{};
  if (const int rc = import_fit(*fit, f); rc != VEXAL_OK) return rc;
  double m, h, q, shortfall;
  vexal::garch_forecast(f, 1, &m, &h);
  vexal::garch_law_tail(f.setup.dist, f.params[vexal::kNu], f.params[vexal::kSkew], level, q, shortfall);
  if (var) *var = -(m + std::sqrt(h) * q);
  if (es) *es = -(m + std::sqrt(h) * shortfall);
  return VEXAL_OK;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_backtest_progress(const double* returns, long long n, long long window,
                                                              long long refit_every, double level,
                                                              const vexal_garch_options* options, double* var,
                                                              double* es, unsigned char* exceed,
                                                              vexal_garch_backtest_result* result, int threads,
                                                              vexal_progress_fn progress, void* user) {
  vexal::GarchSetup setup;
  if (const int rc = setup_of(options, setup); rc != VEXAL_OK) return rc;
  if (threads < 0) return VEXAL_E_THREADS;
  if (n < 0) return VEXAL_E_NEGATIVE;
  if (!result || (n > 0 && !returns)) return VEXAL_E_NULL;
  if (!level_ok(level)) return VEXAL_E_GARCH_LEVEL;
  const long long least = setup.mean == vexal::GarchMean::ar1 ? 11 : 10;
  if (window < least || refit_every < 1) return VEXAL_E_GARCH_WINDOW;
  if (n <= window) return VEXAL_E_GARCH_SHORT;
  for (long long t = 0; t < n; ++t)
    if (!std::isfinite(returns[t])) return VEXAL_E_GARCH_NOT_FINITE;
  // Every window fitted must vary: run[t] counts the equal values ending at t.
  const long long days = n - window, fits = (days + refit_every - 1) / refit_every;
  std::vector<double> var_v, es_v;
  std::vector<unsigned char> hit_v;
  std::vector<std::int32_t> converged;
  try {
    std::vector<long long> run(static_cast<std::size_t>(n));
    for (long long t = 0; t < n; ++t) run[t] = t > 0 && returns[t] == returns[t - 1] ? run[t - 1] + 1 : 1;
    for (long long j = 0; j < fits; ++j) {
      const long long last = window + j * refit_every - 1;
      if (run[last] >= window && !(setup.mean == vexal::GarchMean::zero && returns[last] != 0))
        return VEXAL_E_GARCH_CONSTANT;
    }
    var_v.resize(static_cast<std::size_t>(days));
    es_v.resize(static_cast<std::size_t>(days));
    hit_v.resize(static_cast<std::size_t>(days));
    converged.resize(static_cast<std::size_t>(fits));
  } catch (const std::bad_alloc&) {
    return VEXAL_E_MEMORY;
  }
  const Backtest job{returns, n, window, refit_every, level, setup, var_v.data(), es_v.data(), hit_v.data(),
                     converged.data()};
  std::int64_t done_until = 0;
  const int rc = run(fits, resolve_threads(threads), backtest_range, &job, {progress, user}, done_until);
  if (rc < 0) return rc;
  if (rc == VEXAL_STOPPED)
    for (long long t = done_until * refit_every; t < days; ++t) {
      var_v[t] = es_v[t] = kNaN;
      hit_v[t] = 0;
    }
  for (long long t = 0; t < days; ++t) {
    if (var) var[t] = var_v[t];
    if (es) es[t] = es_v[t];
    if (exceed) exceed[t] = hit_v[t];
  }
  statistics(hit_v.data(), days, level, *result);
  result->fits = rc == VEXAL_STOPPED ? done_until : fits;
  result->converged = 0;
  for (long long j = 0; j < result->fits; ++j) result->converged += converged[j];
  if (rc == VEXAL_STOPPED) {
    result->exceedances = 0;
    result->kupiec = result->christoffersen_ind = result->christoffersen_cc = {kNaN, kNaN};
  }
  return rc;
}

extern "C" VEXAL_API_EXPORT int vexal_garch_backtest(const double* returns, long long n, long long window,
                                                     long long refit_every, double level,
                                                     const vexal_garch_options* options, double* var, double* es,
                                                     unsigned char* exceed, vexal_garch_backtest_result* result,
                                                     int threads) {
  return vexal_garch_backtest_progress(returns, n, window, refit_every, level, options, var, es, exceed, result,
                                       threads, nullptr, nullptr);
}
