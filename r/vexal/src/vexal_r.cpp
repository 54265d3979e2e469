// The package's entry points: R vectors in, the library's C API over them.
// Every call checks its arguments here or in R before the library sees a
// pointer; the library's own checks turn the rest into R errors.
#include <cstring>
#include <vector>

#include <R.h>
#include <Rinternals.h>
#include <R_ext/Rdynload.h>
#include <R_ext/Visibility.h>

#include "include/vexal_batch.h"
#include "random/mt19937.h"

namespace {

void check_interrupt(void*) { R_CheckUserInterrupt(); }

// Called on R's thread while the pool works: a pending interrupt stops it.
int progress(long long, long long, void*) { return R_ToplevelExec(check_interrupt, nullptr) ? 0 : 1; }

void stop_on(int rc, const char* what) {
  if (rc == VEXAL_STOPPED) Rf_error("%s: interrupted", what);
  if (rc < 0) Rf_error("%s: %s", what, vexal_error(rc));
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

static const R_CallMethodDef kCalls[] = {
    {"vx_map", (DL_FUNC)&vx_map, 5},
    {"vx_garch_fit", (DL_FUNC)&vx_garch_fit, 6},
    {"vx_kelly_fit", (DL_FUNC)&vx_kelly_fit, 3},
    {"vx_mt", (DL_FUNC)&vx_mt, 8},
    {"vx_default_threads", (DL_FUNC)&vx_default_threads, 0},
    {nullptr, nullptr, 0}};

void attribute_visible R_init_vexal(DllInfo* dll) {
  R_registerRoutines(dll, nullptr, kCalls, nullptr, nullptr);
  R_useDynamicSymbols(dll, FALSE);
  R_forceSymbols(dll, TRUE);
}

}  // extern "C"
