/*
 * vexal_garch.h: GARCH(1,1) by maximum likelihood (libvexal.so, Vexal64.dll).
 *
 *   y[t] = mu + e[t],  e[t] = sqrt(h[t]) z[t],  h[t] = omega + alpha e[t-1]^2 + beta h[t-1]
 *
 * mean: VEXAL_GARCH_CONSTANT (mu estimated) or VEXAL_GARCH_ZERO (mu = 0).
 * dist: VEXAL_GARCH_NORMAL, or VEXAL_GARCH_T (standardised Student-t, nu > 2
 *       estimated).
 * h0:   VEXAL_GARCH_SAMPLE: the pre-sample e^2 and h both equal the mean of
 *       the squared residuals at the current mu, so h[0] = omega + (alpha +
 *       beta) mean(e^2); VEXAL_GARCH_BACKCAST: both equal the average of the
 *       first 75 squared residuals weighted 0.94^t (t = 0, 1, ...).
 * The fit keeps omega > 0, alpha >= 0, beta >= 0, alpha + beta < 1, and is the
 * same for returns in percent or in decimals (it works on the series divided
 * by its standard deviation).
 *
 * Lines of the form "Option NAME:" and "Slots NAME:" open a group of codes
 * that tools/gen_capi.py hands to the bindings by NAME (Python, R, the CLI).
 *
 * Bad input is a negative code (vexal_error says which) and nothing is
 * written: fewer than 10 returns (11 with an AR(1) mean), a NaN or infinity
 * in a series, a series without variation, an unknown option, a null pointer
 * where data is needed.
 * Results of the many-series forms are bit for bit those of vexal_garch_mle,
 * whatever the number of threads.
 *
 * vexal_garch_mle2 (below) fits the wider family: an AR(1) mean, GJR
 * volatility, skewed-t and GED errors, chosen by a vexal_garch_options whose
 * zero value is vexal_garch_mle's default; with one-step Value-at-Risk and
 * expected shortfall, and a rolling backtest over threads.
 */
#ifndef VEXAL_GARCH_H
#define VEXAL_GARCH_H

#include "vexal_batch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Option mean: how the mean is modelled (AR1 in version 2 only). */
#define VEXAL_GARCH_CONSTANT 0
#define VEXAL_GARCH_ZERO 1
#define VEXAL_GARCH_AR1 2

/* Option vol: the variance recursion (version 2). */
#define VEXAL_GARCH_GARCH 0
#define VEXAL_GARCH_GJR 1

/* Option dist: the law of the standardised errors (SKEWT and GED in version 2 only). */
#define VEXAL_GARCH_NORMAL 0
#define VEXAL_GARCH_T 1
#define VEXAL_GARCH_SKEWT 2
#define VEXAL_GARCH_GED 3

/* Option h0: the pre-sample values. */
#define VEXAL_GARCH_SAMPLE 0
#define VEXAL_GARCH_BACKCAST 1

#define VEXAL_E_GARCH_SHORT (-21)       /* under 10 returns (11 for AR(1)); a backtest: not beyond the window */
#define VEXAL_E_GARCH_NOT_FINITE (-22)  /* a NaN or infinity inside a series */
#define VEXAL_E_GARCH_CONSTANT (-23)    /* a series without variation */
#define VEXAL_E_GARCH_OPTION (-24)      /* mean, dist or h0 not one of the values above */

/* Parameters and standard errors in the order mu, omega, alpha, beta, nu; nu
   is NaN for normal errors, and the errors of mu are NaN for a zero mean. */
typedef struct vexal_garch_mle_result {
  double params[5];
  double se_hessian[5];  /* from the inverse of the Hessian of the log-likelihood */
  double se_opg[5];      /* from the outer product of the gradients */
  double se_robust[5];   /* the sandwich H^-1 OPG H^-1 */
  double se_bw[5];       /* Bollerslev-Wooldridge (normal errors; NaN for t) */
  double loglik;         /* the full log-likelihood, constants included */
  double aic, bic;       /* -2 loglik + 2k, -2 loglik + k ln n, k estimated parameters */
  double persistence;    /* alpha + beta */
  double half_life;      /* ln 0.5 / ln(alpha + beta), in observations */
  double unconditional_variance;  /* omega / (1 - alpha - beta) */
  double last_residual, last_variance;  /* e and h of the last observation */
  long long observations;
  int iterations;        /* quasi-Newton iterations */
  int converged;         /* 1: the gradient vanished to the tolerance; 2: the fit stopped at an edge of the
                            parameter space (nu infinite for t errors, or alpha + beta within 1e-7 of 1) */
} vexal_garch_mle_result;

/* Fits returns[0 .. n-1] (oldest first) into *result; variances and
   residuals (n each, either may be null) receive h[t] and the standardised
   residuals e[t] / sqrt(h[t]). */
VEXAL_BATCH_API int vexal_garch_mle(const double *returns, long long n, int mean, int dist, int h0,
                                    vexal_garch_mle_result *result, double *variances, double *residuals);

/* 1 if returns[0 .. n-1] look like price levels rather than returns (every
   value positive, the mean more than four standard deviations), else 0: the
   bindings warn then, since a fit of levels as returns means nothing. */
VEXAL_BATCH_API int vexal_garch_looks_like_prices(const double *returns, long long n);

/* out[j] = the variance forecast j + 1 steps past the fitted series, j = 0 .. steps - 1. */
VEXAL_BATCH_API int vexal_garch_mle_forecast(const vexal_garch_mle_result *fit, long long steps, double *out);

/* Series k starts at returns + k * stride and has lengths[k] returns (at most
   stride when stride > 0); results[k] as vexal_garch_mle gives it. Every
   series is checked before any is fitted. */
VEXAL_BATCH_API int vexal_garch_mle_many(long long series, const double *returns, long long stride,
                                         const long long *lengths, int mean, int dist, int h0,
                                         vexal_garch_mle_result *results, int threads);
VEXAL_BATCH_API int vexal_garch_mle_many_progress(long long series, const double *returns, long long stride,
                                                  const long long *lengths, int mean, int dist, int h0,
                                                  vexal_garch_mle_result *results, int threads,
                                                  vexal_progress_fn progress, void *user);

/* ---- The models at large (version 2 of the estimator) ----------------------

     y[t] = mu + ar1 y[t-1] + e[t],  e[t] = sqrt(h[t]) z[t],
     h[t] = omega + (alpha + gamma 1[e[t-1] < 0]) e[t-1]^2 + beta h[t-1]

   chosen by a vexal_garch_options; a zero-filled one (or a null pointer) is
   the fit of vexal_garch_mle with its defaults, to the last bit:
   mean: VEXAL_GARCH_CONSTANT, VEXAL_GARCH_ZERO, or VEXAL_GARCH_AR1 (mu and
         ar1 estimated; the first return is conditioned on, and the
         likelihood, variances and residuals run over t = 1 .. n-1);
   vol:  VEXAL_GARCH_GARCH (gamma = 0), or VEXAL_GARCH_GJR (gamma estimated,
         gamma >= -alpha);
   dist: VEXAL_GARCH_NORMAL; VEXAL_GARCH_T (standardised Student-t, nu > 2);
         VEXAL_GARCH_SKEWT (Fernandez-Steel skewed t standardised to zero mean
         and unit variance, as fGarch's sstd: nu > 2, skew > 0, 1 symmetric);
         VEXAL_GARCH_GED (generalised error law with unit variance, as
         fGarch's ged: shape nu > 0);
   h0:   as above; the asymmetric term starts at its symmetric expectation,
         h[0] = omega + (alpha + gamma / 2 + beta) s.
   The fit keeps omega > 0, alpha >= 0, alpha + gamma >= 0, beta >= 0 and the
   persistence alpha + gamma P(z < 0) + beta below 1; nu below 500 (t laws)
   or 50 (GED). */
/* Slots params: the places in params, se_ and the cov_ rows and columns (NaN where absent). */
#define VEXAL_GARCH_PARAM_MU 0
#define VEXAL_GARCH_PARAM_AR1 1
#define VEXAL_GARCH_PARAM_OMEGA 2
#define VEXAL_GARCH_PARAM_ALPHA 3
#define VEXAL_GARCH_PARAM_GAMMA 4
#define VEXAL_GARCH_PARAM_BETA 5
#define VEXAL_GARCH_PARAM_NU 6
#define VEXAL_GARCH_PARAM_SKEW 7

#define VEXAL_GARCH_PARAMS 8

#define VEXAL_E_GARCH_LEVEL (-25)   /* a risk level outside (0, 0.5) */
#define VEXAL_E_GARCH_WINDOW (-26)  /* a backtest window of fewer returns than a fit needs
                                       (10, 11 for AR(1)), or refit_every < 1 */

typedef struct vexal_garch_options {
  int mean; /* VEXAL_GARCH_CONSTANT (0), VEXAL_GARCH_ZERO or VEXAL_GARCH_AR1 */
  int vol;  /* VEXAL_GARCH_GARCH (0) or VEXAL_GARCH_GJR */
  int dist; /* VEXAL_GARCH_NORMAL (0), VEXAL_GARCH_T, VEXAL_GARCH_SKEWT or VEXAL_GARCH_GED */
  int h0;   /* VEXAL_GARCH_SAMPLE (0) or VEXAL_GARCH_BACKCAST */
} vexal_garch_options;

typedef struct vexal_garch_mle2_result {
  vexal_garch_options options;  /* the model fitted */
  double params[VEXAL_GARCH_PARAMS];  /* mu, ar1, omega, alpha, gamma, beta, nu, skew; NaN where absent */
  double se_hessian[VEXAL_GARCH_PARAMS];
  double se_opg[VEXAL_GARCH_PARAMS];
  double se_robust[VEXAL_GARCH_PARAMS];
  double se_bw[VEXAL_GARCH_PARAMS];     /* normal errors only, else NaN */
  /* the covariances behind the errors, row-major, the same slots */
  double cov_hessian[VEXAL_GARCH_PARAMS * VEXAL_GARCH_PARAMS];
  double cov_opg[VEXAL_GARCH_PARAMS * VEXAL_GARCH_PARAMS];
  double cov_robust[VEXAL_GARCH_PARAMS * VEXAL_GARCH_PARAMS];
  double cov_bw[VEXAL_GARCH_PARAMS * VEXAL_GARCH_PARAMS];
  double loglik, aic, bic;      /* over the observations in the likelihood */
  double persistence;           /* alpha + gamma P(z < 0) + beta */
  double half_life;             /* ln 0.5 / ln persistence */
  double unconditional_variance; /* omega / (1 - persistence) */
  double last_return, last_residual, last_variance; /* y, e and h of the last observation */
  long long observations;       /* in the likelihood: n, or n - 1 for an AR(1) mean */
  int iterations;
  int converged;                /* 1: the gradient vanished; 2: the fit stopped at an edge of the parameter
                                   space (at_bound says which); 0: neither */
  int at_bound;                 /* bit s: parameter slot s at a bound of its range (t errors: nu infinite, the
                                   normal law, fitting at least as well); bit VEXAL_GARCH_PARAMS: the persistence
                                   within 1e-7 of 1. A parameter at a bound has no t-statistic. */
} vexal_garch_mle2_result;

/* Fits returns[0 .. n-1] (oldest first; at least 10 returns, 11 for AR(1))
   into *result; variances and residuals (n each, either may be null) receive
   h[t] and e[t] / sqrt(h[t]) (NaN at t = 0 for AR(1)). */
VEXAL_BATCH_API int vexal_garch_mle2(const double *returns, long long n, const vexal_garch_options *options,
                                     vexal_garch_mle2_result *result, double *variances, double *residuals);

/* mean[j] and variance[j] (either may be null): the conditional mean of the
   return and the conditional variance h, j + 1 steps past the fitted series;
   beyond one step the expected h, E h[t+1] = omega + persistence h[t]. */
VEXAL_BATCH_API int vexal_garch_mle2_forecast(const vexal_garch_mle2_result *fit, long long steps, double *mean,
                                              double *variance);

/* One-step Value-at-Risk and expected shortfall of the next return at level
   in (0, 0.5), as positive numbers for losses: var = -(m + sqrt(h) q),
   es = -(m + sqrt(h) E[z | z < q]), q the level's quantile of the fitted
   error law; either pointer may be null. */
VEXAL_BATCH_API int vexal_garch_mle2_risk(const vexal_garch_mle2_result *fit, double level, double *var,
                                          double *es);

/* A test statistic and its p-value. */
typedef struct vexal_garch_test {
  double statistic, p_value;
} vexal_garch_test;

typedef struct vexal_garch_backtest_result {
  long long days;             /* n - window forecasts, for t = window .. n-1 */
  long long exceedances;      /* days with returns[t] < -var[t] */
  long long fits, converged;  /* fits run, and those whose gradient vanished */
  vexal_garch_test kupiec;              /* proportion of failures, chi-squared(1) */
  vexal_garch_test christoffersen_ind;  /* independence, chi-squared(1) */
  vexal_garch_test christoffersen_cc;   /* conditional coverage, kupiec + ind, chi-squared(2) */
} vexal_garch_backtest_result;

/* Rolling out-of-sample forecast: for t = window .. n-1 the model is fitted
   to returns[t-window .. t-1] on the days t = window + j refit_every, and
   between fits the variance recursion runs on with the last parameters; var,
   es (positive for losses) and exceed (1 when returns[t] < -var[t]) receive
   the n - window days (any of them may be null). Runs on `threads` threads
   (0: all), bit for bit the same for any number. A series no longer than
   the window is VEXAL_E_GARCH_SHORT; a window without variation,
   VEXAL_E_GARCH_CONSTANT. With progress (counted in fits), the
   callback may stop it: VEXAL_STOPPED, the days not done NaN in var and es
   and 0 in exceed, and the statistics NaN. */
VEXAL_BATCH_API int vexal_garch_backtest(const double *returns, long long n, long long window, long long refit_every,
                                         double level, const vexal_garch_options *options, double *var, double *es,
                                         unsigned char *exceed, vexal_garch_backtest_result *result, int threads);
VEXAL_BATCH_API int vexal_garch_backtest_progress(const double *returns, long long n, long long window,
                                                  long long refit_every, double level,
                                                  const vexal_garch_options *options, double *var, double *es,
                                                  unsigned char *exceed, vexal_garch_backtest_result *result,
                                                  int threads, vexal_progress_fn progress, void *user);

#ifdef __cplusplus
}
#endif

#endif
