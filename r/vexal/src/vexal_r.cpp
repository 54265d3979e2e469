// The package's entry points: R vectors in, the library's C API over them.
// Every call checks its arguments here or in R before the library sees a
// pointer; the library's own checks turn the rest into R errors.
#include <cmath>
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
#include "include/vexal_garch.h"
#include "include/vexal_kelly.h"

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

SEXP vx_kelly_exact(SEXP prob, SEXP outcome) {
  if (TYPEOF(prob) != REALSXP || TYPEOF(outcome) != REALSXP || XLENGTH(prob) != XLENGTH(outcome))
    Rf_error("kelly_exact: prob and outcome must be double vectors of one length");
  SEXP out = PROTECT(Rf_allocVector(REALSXP, 3));
  stop_on(vexal_kelly_exact(REAL(prob), REAL(outcome), XLENGTH(prob), REAL(out)), "kelly_exact");
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

// The fit's options from R's codes (capi.R).
vexal_garch_options garch_options(SEXP mean, SEXP vol, SEXP dist, SEXP h0) {
  return vexal_garch_options{Rf_asInteger(mean), Rf_asInteger(vol), Rf_asInteger(dist), Rf_asInteger(h0)};
}

[[noreturn]] void garch_stop(const char* what, int rc) { Rf_error("%s: %s", what, vexal_error(rc)); }

// GARCH by maximum likelihood of one series of returns through the C API,
// the options as its codes (capi.R): a named list of the result as raw
// bytes (for forecasts and risk), params, the four standard errors (slots x
// 4), the four covariances (slots^2 x 4), the statistics, h and z.
SEXP vx_garch_mle(SEXP returns, SEXP mean, SEXP vol, SEXP dist, SEXP h0) {
  if (TYPEOF(returns) != REALSXP) Rf_error("garch_mle: returns must be a double vector");
  const R_xlen_t n = XLENGTH(returns);
  const vexal_garch_options o = garch_options(mean, vol, dist, h0);
  SEXP raw = PROTECT(Rf_allocVector(RAWSXP, sizeof(vexal_garch_mle2_result)));
  SEXP h = PROTECT(Rf_allocVector(REALSXP, n)), z = PROTECT(Rf_allocVector(REALSXP, n));
  vexal_garch_mle2_result r{};
  if (const int rc = vexal_garch_mle2(REAL(returns), n, &o, &r, REAL(h), REAL(z)); rc != VEXAL_OK)
    garch_stop("garch_mle", rc);
  std::memcpy(RAW(raw), &r, sizeof r);
  constexpr int k = VEXAL_GARCH_PARAMS;
  SEXP params = PROTECT(Rf_allocVector(REALSXP, k));
  std::memcpy(REAL(params), r.params, sizeof r.params);
  SEXP se = PROTECT(Rf_allocMatrix(REALSXP, k, 4));
  SEXP cov = PROTECT(Rf_allocMatrix(REALSXP, k * k, 4));
  const double* ses[] = {r.se_hessian, r.se_opg, r.se_robust, r.se_bw};
  const double* covs[] = {r.cov_hessian, r.cov_opg, r.cov_robust, r.cov_bw};
  for (int kind = 0; kind < 4; ++kind) {
    std::memcpy(REAL(se) + kind * k, ses[kind], k * sizeof(double));
    std::memcpy(REAL(cov) + kind * k * k, covs[kind], k * k * sizeof(double));
  }
  SEXP stats = PROTECT(Rf_allocVector(REALSXP, 10));
  const double values[10] = {r.loglik, r.aic, r.bic, r.persistence, r.half_life, r.unconditional_variance,
                             static_cast<double>(r.observations), static_cast<double>(r.iterations),
                             static_cast<double>(r.converged), static_cast<double>(r.at_bound)};
  std::memcpy(REAL(stats), values, sizeof values);
  set_names(stats, {"loglik", "aic", "bic", "persistence", "half_life", "unconditional_variance", "nobs",
                    "iterations", "converged", "at_bound"});
  SEXP out = PROTECT(Rf_allocVector(VECSXP, 7));
  SEXP parts[] = {raw, params, se, cov, stats, h, z};
  for (int i = 0; i < 7; ++i) SET_VECTOR_ELT(out, i, parts[i]);
  set_names(out, {"raw", "params", "se", "cov", "stats", "h", "z"});
  UNPROTECT(8);
  return out;
}

SEXP vx_garch_looks_like_prices(SEXP returns) {
  if (TYPEOF(returns) != REALSXP) Rf_error("garch_mle: returns must be a double vector");
  return Rf_ScalarLogical(vexal_garch_looks_like_prices(REAL(returns), XLENGTH(returns)));
}

const vexal_garch_mle2_result& raw_fit(SEXP raw) {
  if (TYPEOF(raw) != RAWSXP || XLENGTH(raw) != static_cast<R_xlen_t>(sizeof(vexal_garch_mle2_result)))
    Rf_error("garch_mle: not a fit of this build of the package");
  return *reinterpret_cast<const vexal_garch_mle2_result*>(RAW(raw));
}

// The mean and variance forecasts, steps x 2.
SEXP vx_garch_mle_forecast(SEXP raw, SEXP steps) {
  vexal_garch_mle2_result r;
  std::memcpy(&r, &raw_fit(raw), sizeof r);
  const double n = Rf_asReal(steps);
  if (!(n >= 0 && n <= 1e9)) Rf_error("predict: n.ahead must be a count");
  SEXP out = PROTECT(Rf_allocMatrix(REALSXP, static_cast<int>(n), 2));
  if (const int rc = vexal_garch_mle2_forecast(&r, static_cast<long long>(n), REAL(out), REAL(out) + static_cast<R_xlen_t>(n));
      rc != VEXAL_OK)
    garch_stop("predict", rc);
  UNPROTECT(1);
  return out;
}

// One-step VaR and ES at a level: c(var, es).
SEXP vx_garch_mle_risk(SEXP raw, SEXP level) {
  vexal_garch_mle2_result r;
  std::memcpy(&r, &raw_fit(raw), sizeof r);
  SEXP out = PROTECT(Rf_allocVector(REALSXP, 2));
  if (const int rc = vexal_garch_mle2_risk(&r, Rf_asReal(level), REAL(out), REAL(out) + 1); rc != VEXAL_OK)
    garch_stop("garch risk", rc);
  UNPROTECT(1);
  return out;
}

// The rolling backtest: list(var, es, exceed, stats).
SEXP vx_garch_backtest(SEXP returns, SEXP window, SEXP refit_every, SEXP level, SEXP mean, SEXP vol, SEXP dist,
                       SEXP h0, SEXP threads) {
  if (TYPEOF(returns) != REALSXP) Rf_error("garch_backtest: returns must be a double vector");
  const R_xlen_t n = XLENGTH(returns);
  const double w = Rf_asReal(window), every = Rf_asReal(refit_every);
  if (!(w >= 0 && w <= 4e18 && w == std::floor(w)) || !(every >= 0 && every <= 4e18 && every == std::floor(every)))
    Rf_error("garch_backtest: window and refit_every must be whole numbers");
  const R_xlen_t days = n > static_cast<R_xlen_t>(w) ? n - static_cast<R_xlen_t>(w) : 0;
  const vexal_garch_options o = garch_options(mean, vol, dist, h0);
  SEXP var = PROTECT(Rf_allocVector(REALSXP, days)), es = PROTECT(Rf_allocVector(REALSXP, days));
  std::vector<unsigned char> hit(static_cast<std::size_t>(days) + 1);
  vexal_garch_backtest_result r{};
  if (const int rc = vexal_garch_backtest(REAL(returns), n, static_cast<long long>(w), static_cast<long long>(every),
                                          Rf_asReal(level), &o, REAL(var), REAL(es), hit.data(), &r,
                                          Rf_asInteger(threads));
      rc != VEXAL_OK)
    garch_stop("garch_backtest", rc);
  SEXP exceed = PROTECT(Rf_allocVector(LGLSXP, days));
  for (R_xlen_t i = 0; i < days; ++i) LOGICAL(exceed)[i] = hit[static_cast<std::size_t>(i)] != 0;
  SEXP stats = PROTECT(Rf_allocVector(REALSXP, 10));
  const double values[10] = {static_cast<double>(r.days), static_cast<double>(r.exceedances),
                             static_cast<double>(r.fits), static_cast<double>(r.converged),
                             r.kupiec.statistic, r.kupiec.p_value, r.christoffersen_ind.statistic,
                             r.christoffersen_ind.p_value, r.christoffersen_cc.statistic, r.christoffersen_cc.p_value};
  std::memcpy(REAL(stats), values, sizeof values);
  set_names(stats, {"days", "exceedances", "fits", "converged", "kupiec", "kupiec_p", "christoffersen_ind",
                    "christoffersen_ind_p", "christoffersen_cc", "christoffersen_cc_p"});
  SEXP out = PROTECT(Rf_allocVector(VECSXP, 4));
  SEXP parts[] = {var, es, exceed, stats};
  for (int i = 0; i < 4; ++i) SET_VECTOR_ELT(out, i, parts[i]);
  set_names(out, {"var", "es", "exceed", "stats"});
  UNPROTECT(5);
  return out;
}

static const R_CallMethodDef kCalls[] = {
    {"vx_map", (DL_FUNC)&vx_map, 5},
    {"vx_garch_fit", (DL_FUNC)&vx_garch_fit, 6},
    {"vx_kelly_fit", (DL_FUNC)&vx_kelly_fit, 3},
    {"vx_kelly_exact", (DL_FUNC)&vx_kelly_exact, 2},
    {"vx_mt", (DL_FUNC)&vx_mt, 8},
    {"vx_default_threads", (DL_FUNC)&vx_default_threads, 0},
    {"vx_garch_mle", (DL_FUNC)&vx_garch_mle, 5},
    {"vx_garch_mle_forecast", (DL_FUNC)&vx_garch_mle_forecast, 2},
    {"vx_garch_mle_risk", (DL_FUNC)&vx_garch_mle_risk, 2},
    {"vx_garch_backtest", (DL_FUNC)&vx_garch_backtest, 9},
    {"vx_garch_looks_like_prices", (DL_FUNC)&vx_garch_looks_like_prices, 1},
    {nullptr, nullptr, 0}};

void attribute_visible R_init_vexal(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCalls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}

}  // extern "C"
