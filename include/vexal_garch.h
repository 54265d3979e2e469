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
 * written: fewer than 10 returns, a NaN or infinity in a series, a series
 * without variation, an unknown option, a null pointer where data is needed.
 * Results of the many-series forms are bit for bit those of vexal_garch_mle,
 * whatever the number of threads.
 */
#ifndef VEXAL_GARCH_H
#define VEXAL_GARCH_H

#include "vexal_batch.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Option mean: how the mean is modelled. */
#define VEXAL_GARCH_CONSTANT 0
#define VEXAL_GARCH_ZERO 1

/* Option dist: the law of the standardised errors. */
#define VEXAL_GARCH_NORMAL 0
#define VEXAL_GARCH_T 1

/* Option h0: the pre-sample values. */
#define VEXAL_GARCH_SAMPLE 0
#define VEXAL_GARCH_BACKCAST 1

/* Slots params: the parameters' places in params and the se_ arrays. */
#define VEXAL_GARCH_MU 0
#define VEXAL_GARCH_OMEGA 1
#define VEXAL_GARCH_ALPHA 2
#define VEXAL_GARCH_BETA 3
#define VEXAL_GARCH_NU 4

#define VEXAL_E_GARCH_SHORT (-21)       /* a series of fewer than 10 returns */
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
  int converged;         /* 1: the gradient vanished to the tolerance */
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

#ifdef __cplusplus
}
#endif

#endif
