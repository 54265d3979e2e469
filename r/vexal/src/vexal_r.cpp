// The package's entry points: R vectors in, the library's C API over them.
// Every call checks its arguments here or in R before the library sees a
// pointer; the library's own checks turn the rest into R errors.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>
#include <R_ext/Visibility.h>

#include "include/vexal_batch.h"
#include "random/mt19937.h"
#include "fitting/garch_mle.h"
#include "include/vexal_garch.h"

namespace {

void check_interrupt(void*) { R_CheckUserInterrupt(); }

// Called on R's thread while the pool works: a pending interrupt stops it.
int progress(long long, long long, void*) { return R_ToplevelExec(check_interrupt, nullptr) ? 0 : 1; }

// The message names the function; R's call would only name the package's helper.
void stop_on(int rc, const char* what) {
  if (rc == VEXAL_STOPPED) Rf_errorcall(R_NilValue, "%s: interrupted", what);
  if (rc < 0) Rf_errorcall(R_NilValue, "%s: %s", what, vexal_error(rc));
}

int as_threads(SEXP threads) { return Rf_asInteger(threads); }

}  // namespace

extern "C" {

// out[i] = name(row i): args a list of double vectors, strides their strides.
SEXP vx_map(SEXP name, SEXP args, SEXP strides, SEXP rows, SEXP threads) {
  const char* fn = CHAR(STRING_ELT(name, 0));
  const R_xlen_t argc = XLENGTH(args);
  if (XLENGTH(strides) != argc) Rf_error("%s: one stride per argument", fn);
  std::vector<const double*> columns(argc);
  std::vector<long long> step(argc);
  for (R_xlen_t j = 0; j < argc; ++j) {
    SEXP a = VECTOR_ELT(args, j);
    if (TYPEOF(a) != REALSXP || XLENGTH(a) == 0) Rf_error("%s: argument %d is not a non-empty double vector", fn, (int)j + 1);
    columns[j] = REAL(a);
    step[j] = static_cast<long long>(REAL(strides)[j]);
  }
  const long long n = static_cast<long long>(Rf_asReal(rows));
  SEXP out = PROTECT(Rf_allocVector(REALSXP, n));
  const int rc = vexal_map_progress(fn, n, columns.data(), step.data(), REAL(out), as_threads(threads), progress, nullptr);
  stop_on(rc, fn);
  UNPROTECT(1);
  return out;
}

// GARCH(1,1) per column of a double matrix of prices, column k's first
// lengths[k] rows its series; 4 x columns.
SEXP vx_garch_fit(SEXP prices, SEXP lengths, SEXP newest_first, SEXP alpha0, SEXP beta0, SEXP threads) {
  SEXP dim = Rf_getAttrib(prices, R_DimSymbol);
  if (TYPEOF(prices) != REALSXP || XLENGTH(dim) != 2) Rf_error("garch_fit: prices is not a double matrix");
  const long long rows = INTEGER(dim)[0], k = INTEGER(dim)[1];
  if (XLENGTH(lengths) != k) Rf_error("garch_fit: one length per series");
  std::vector<long long> n(k);
  for (long long j = 0; j < k; ++j) {
    const double v = REAL(lengths)[j];
    if (!(v >= 0 && v <= rows)) Rf_error("garch_fit: a series longer than its column");
    n[j] = static_cast<long long>(v);
  }
  SEXP out = PROTECT(Rf_allocMatrix(REALSXP, 4, static_cast<int>(k)));
  const int rc = vexal_garch_fit_many_progress(k, REAL(prices), rows, n.data(), Rf_asReal(newest_first), Rf_asReal(alpha0),
                                               Rf_asReal(beta0), REAL(out), as_threads(threads), progress, nullptr);
  stop_on(rc, "garch_fit");
  UNPROTECT(1);
  return out;
}

SEXP vx_kelly_fit(SEXP prob, SEXP outcome, SEXP f0) {
  if (TYPEOF(prob) != REALSXP || TYPEOF(outcome) != REALSXP || XLENGTH(prob) != XLENGTH(outcome))
    Rf_error("kelly_fit: prob and outcome must be double vectors of one length");
  SEXP out = PROTECT(Rf_allocVector(REALSXP, 3));
  stop_on(vexal_kelly_fit(REAL(prob), REAL(outcome), XLENGTH(prob), Rf_asReal(f0), REAL(out)), "kelly_fit");
  UNPROTECT(1);
  return out;
}

// The generator on a state held in R: an integer vector of 625 (the 624
// words, then the position). Returns list(draws, new state); the state given
// is left as it was.
SEXP vx_mt(SEXP state, SEXP op, SEXP n, SEXP seed, SEXP S, SEXP mu, SEXP sigma, SEXP dt) {
  using vexal::MtState;
  MtState g;
  const int what = Rf_asInteger(op);
  if (what == 0) {  // a new state: the library's own at load, or seeded
    if (TYPEOF(seed) == NILSXP) vexal::mt_init_library(g);
    else vexal::mt_seed(g, Rf_asReal(seed));
  } else {
    if (TYPEOF(state) != INTSXP || XLENGTH(state) != 625) Rf_error("not a generator state");
    std::memcpy(g.mt, INTEGER(state), sizeof g.mt);
    g.mti = INTEGER(state)[624];
    if (g.mti < 0 || g.mti > 624) Rf_error("not a generator state");
  }
  const R_xlen_t count = what == 0 ? 0 : static_cast<R_xlen_t>(Rf_asReal(n));
  SEXP draws = PROTECT(Rf_allocVector(REALSXP, count));
  double* d = REAL(draws);
  switch (what) {
    case 1: for (R_xlen_t i = 0; i < count; ++i) d[i] = vexal::mt_uniform_co(g); break;
    case 2: for (R_xlen_t i = 0; i < count; ++i) d[i] = vexal::mt_uniform_oo(g); break;
    case 3: for (R_xlen_t i = 0; i < count; ++i) d[i] = vexal::mt_gauss(g); break;
    case 4: {
      // one step per row, arguments recycled to count in R
      const double *s = REAL(S), *m = REAL(mu), *v = REAL(sigma), *t = REAL(dt);
      for (R_xlen_t i = 0; i < count; ++i) d[i] = vexal::mt_next_price(g, s[i], m[i], v[i], t[i]);
      break;
    }
    case 5: vexal::mt_seed(g, Rf_asReal(seed)); break;
    default: break;
  }
  SEXP next = PROTECT(Rf_allocVector(INTSXP, 625));
  std::memcpy(INTEGER(next), g.mt, sizeof g.mt);
  INTEGER(next)[624] = g.mti;
  SEXP out = PROTECT(Rf_allocVector(VECSXP, 2));
  SET_VECTOR_ELT(out, 0, draws);
  SET_VECTOR_ELT(out, 1, next);
  UNPROTECT(3);
  return out;
}

SEXP vx_default_threads(void) { return Rf_ScalarInteger(vexal_default_threads()); }

// Names an R vector or list.
void set_names(SEXP x, std::initializer_list<const char*> names) {
  SEXP n = PROTECT(Rf_allocVector(STRSXP, static_cast<R_xlen_t>(names.size())));
  R_xlen_t i = 0;
  for (const char* name : names) SET_STRING_ELT(n, i++, Rf_mkChar(name));
  Rf_setAttrib(x, R_NamesSymbol, n);
  UNPROTECT(1);
}

// GARCH(1,1) by maximum likelihood of one series of returns, the options as
// the C API's codes (capi.R): a named list of the fit as raw bytes, for the
// forecast; params; the four standard errors, 5 x 4; the four covariances,
// 25 x 4; the statistics; h; z.
SEXP vx_garch_mle(SEXP returns, SEXP mean, SEXP dist, SEXP h0) {
  using namespace vexal;
  if (TYPEOF(returns) != REALSXP) Rf_error("garch_mle: returns must be a double vector");
  const std::int64_t n = XLENGTH(returns);
  GarchMleModel model;
  model.zero_mean = Rf_asInteger(mean) == VEXAL_GARCH_ZERO;
  model.student_t = Rf_asInteger(dist) == VEXAL_GARCH_T;
  model.backcast = Rf_asInteger(h0) == VEXAL_GARCH_BACKCAST;
  switch (garch_mle_check(REAL(returns), n, model)) {
    case GarchMleInput::too_short: Rf_error("garch_mle: %s", vexal_error(VEXAL_E_GARCH_SHORT));
    case GarchMleInput::not_finite: Rf_error("garch_mle: %s", vexal_error(VEXAL_E_GARCH_NOT_FINITE));
    case GarchMleInput::constant: Rf_error("garch_mle: %s", vexal_error(VEXAL_E_GARCH_CONSTANT));
    case GarchMleInput::ok: break;
  }
  SEXP raw = PROTECT(Rf_allocVector(RAWSXP, sizeof(GarchMleFit)));
  SEXP h = PROTECT(Rf_allocVector(REALSXP, n)), z = PROTECT(Rf_allocVector(REALSXP, n));
  GarchMleFit fit{};
  garch_mle_fit(REAL(returns), n, model, fit, REAL(h), REAL(z));
  std::memcpy(RAW(raw), &fit, sizeof fit);
  SEXP params = PROTECT(Rf_allocVector(REALSXP, kGarchParams));
  std::memcpy(REAL(params), fit.params, sizeof fit.params);
  SEXP se = PROTECT(Rf_allocMatrix(REALSXP, kGarchParams, kGarchStdErrKinds));
  SEXP cov = PROTECT(Rf_allocMatrix(REALSXP, kGarchParams * kGarchParams, kGarchStdErrKinds));
  for (int k = 0; k < kGarchStdErrKinds; ++k) {
    std::memcpy(REAL(se) + k * kGarchParams, fit.std_err[k], sizeof fit.std_err[k]);
    std::memcpy(REAL(cov) + k * kGarchParams * kGarchParams, fit.cov[k], sizeof fit.cov[k]);
  }
  SEXP stats = PROTECT(Rf_allocVector(REALSXP, 9));
  const double values[9] = {fit.loglik, fit.aic, fit.bic, fit.persistence, fit.half_life,
                            fit.unconditional_variance, static_cast<double>(fit.observations),
                            static_cast<double>(fit.iterations), static_cast<double>(fit.converged)};
  std::memcpy(REAL(stats), values, sizeof values);
  set_names(stats, {"loglik", "aic", "bic", "persistence", "half_life", "unconditional_variance", "nobs",
                    "iterations", "converged"});
  SEXP out = PROTECT(Rf_allocVector(VECSXP, 7));
  SET_VECTOR_ELT(out, 0, raw);
  SET_VECTOR_ELT(out, 1, params);
  SET_VECTOR_ELT(out, 2, se);
  SET_VECTOR_ELT(out, 3, cov);
  SET_VECTOR_ELT(out, 4, stats);
  SET_VECTOR_ELT(out, 5, h);
  SET_VECTOR_ELT(out, 6, z);
  set_names(out, {"raw", "params", "se", "cov", "stats", "h", "z"});
  UNPROTECT(8);
  return out;
}

SEXP vx_garch_looks_like_prices(SEXP returns) {
  if (TYPEOF(returns) != REALSXP) Rf_error("garch_mle: returns must be a double vector");
  return Rf_ScalarLogical(vexal_garch_looks_like_prices(REAL(returns), XLENGTH(returns)));
}

SEXP vx_garch_mle_forecast(SEXP raw, SEXP steps) {
  using namespace vexal;
  if (TYPEOF(raw) != RAWSXP || XLENGTH(raw) != static_cast<R_xlen_t>(sizeof(GarchMleFit)))
    Rf_error("garch_mle: not a fit of this build of the package");
  GarchMleFit fit;
  std::memcpy(&fit, RAW(raw), sizeof fit);
  const double n = Rf_asReal(steps);
  if (!(n >= 0 && n <= 1e9)) Rf_error("predict: n.ahead must be a count");
  SEXP out = PROTECT(Rf_allocVector(REALSXP, static_cast<R_xlen_t>(n)));
  garch_mle_forecast(fit, static_cast<std::int64_t>(n), REAL(out));
  UNPROTECT(1);
  return out;
}

static const R_CallMethodDef kCalls[] = {
    {"vx_map", (DL_FUNC)&vx_map, 5},
    {"vx_garch_fit", (DL_FUNC)&vx_garch_fit, 6},
    {"vx_kelly_fit", (DL_FUNC)&vx_kelly_fit, 3},
    {"vx_mt", (DL_FUNC)&vx_mt, 8},
    {"vx_default_threads", (DL_FUNC)&vx_default_threads, 0},
    {"vx_garch_mle", (DL_FUNC)&vx_garch_mle, 4},
    {"vx_garch_mle_forecast", (DL_FUNC)&vx_garch_mle_forecast, 2},
    {"vx_garch_looks_like_prices", (DL_FUNC)&vx_garch_looks_like_prices, 1},
    {nullptr, nullptr, 0}};

void attribute_visible R_init_vexal(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCalls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}

}  // extern "C"
