/*
 * vexal_batch.h: array work on the Vexal library (libvexal.so, Vexal64.dll).
 *
 * vexal_map evaluates one pure function of vexal.h, or of the precise family
 * of vexal_precise.h by its table name ("precise_call_eur"), over many rows
 * on a pool of threads; the fits run on state the caller owns, one series or
 * many at once. Every result is bit for bit what the single call gives, whatever the
 * number of threads.
 *
 * Columns. The function's arguments are given in its own order, one pointer
 * and one stride (in elements) each:
 *   - a number argument is a column of doubles: row i reads args[j][i * strides[j]]
 *     (stride 0: every row reads args[j][0]);
 *   - an array argument is a block: row i's array starts at args[j] + i * strides[j]
 *     (stride 0: every row reads the same array). Its count argument is a
 *     column like any other; with a positive stride, every row's count must
 *     ask for at most `stride` elements.
 *
 * Threads: 0 means the default, the VEXAL_THREADS environment variable or
 * else the hardware's concurrency; 1 runs on the calling thread alone.
 *
 * Return codes: 0 success; VEXAL_STOPPED when the progress callback asked to
 * stop (rows not done are NaN); a negative code for bad input to these
 * functions (vexal_error says which), in which case nothing is written.
 * Inside, the functions' own numeric rules are unchanged.
 *
 * Two negative codes report the machine rather than the input: after
 * VEXAL_E_RESOURCES the rows done on the calling thread hold their results
 * and the rest are NaN; after VEXAL_E_MEMORY from a many-series fit, the
 * series whose working storage failed are NaN and the others are fitted.
 * Threads are started and joined within each call; none outlives it.
 */
#ifndef VEXAL_BATCH_H
#define VEXAL_BATCH_H

/* The library defines VEXAL_BATCH_API to export these; users leave it empty. */
#ifndef VEXAL_BATCH_API
#define VEXAL_BATCH_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define VEXAL_OK 0
#define VEXAL_STOPPED 1
#define VEXAL_E_UNKNOWN_NAME (-1)  /* no such function in vexal.h or vexal_precise.h */
#define VEXAL_E_STATEFUL (-2)      /* a fit, loader, accessor, reset or generator function */
#define VEXAL_E_NEGATIVE (-3)      /* negative rows, series, length or stride */
#define VEXAL_E_NULL (-4)          /* a null pointer where data is needed */
#define VEXAL_E_COUNT (-5)         /* a count asks for more elements than its block's stride */
#define VEXAL_E_THREADS (-6)       /* a negative thread count */
#define VEXAL_E_MEMORY (-7)        /* working storage could not be obtained */
#define VEXAL_E_RESOURCES (-8)     /* threads could not be started */

/* Called on the calling thread with rows (or series) done and the total, at
   least every 0.2 s while the work lasts and once at the end. Return nonzero
   to stop the work. */
typedef int (*vexal_progress_fn)(long long done, long long total, void *user);

/* out[i] = name(row i's arguments), i = 0 .. rows - 1. */
VEXAL_BATCH_API int vexal_map(const char *name, long long rows, const double *const *args, const long long *strides,
              double *out, int threads);
VEXAL_BATCH_API int vexal_map_progress(const char *name, long long rows, const double *const *args,
                       const long long *strides, double *out, int threads,
                       vexal_progress_fn progress, void *user);

/* GARCH(1,1) of n prices (newest_first nonzero: newest first), started from
   (alpha0, beta0): result = objective, omega, alpha, beta, as garch_param0..3
   give them after garch_paramc, Price_input(prices, n, newest_first) and
   garch_o(alpha0, beta0). Any n >= 0, beyond the loader's capacity too. */
VEXAL_BATCH_API int vexal_garch_fit(const double *prices, long long n, double newest_first, double alpha0,
                    double beta0, double result[4]);
/* Series k starts at prices + k * stride and has lengths[k] prices (at most
   stride when stride > 0); results[4k .. 4k + 3] as above. */
VEXAL_BATCH_API int vexal_garch_fit_many(long long series, const double *prices, long long stride,
                         const long long *lengths, double newest_first, double alpha0,
                         double beta0, double *results, int threads);

/* Kelly fraction of n outcomes with their probabilities, started from f0:
   result = f, growth, growth deviation, as kelly_f, kelly_growth and
   kelly_growth_sd give them after kelly_paramc, kelly_input and kelly_o(f0). */
VEXAL_BATCH_API int vexal_kelly_fit(const double *probabilities, const double *outcomes, long long n, double f0,
                    double result[3]);
/* Table k starts at probabilities + k * stride and outcomes + k * stride and
   has lengths[k] entries; results[3k .. 3k + 2] as above. */
VEXAL_BATCH_API int vexal_kelly_fit_many(long long series, const double *probabilities, const double *outcomes,
                         long long stride, const long long *lengths, double f0, double *results,
                         int threads);

/* The progress-reporting forms of the two many-series fits. */
VEXAL_BATCH_API int vexal_garch_fit_many_progress(long long series, const double *prices, long long stride,
                                  const long long *lengths, double newest_first, double alpha0,
                                  double beta0, double *results, int threads,
                                  vexal_progress_fn progress, void *user);

/* What a return code means (a static string; never null). */
VEXAL_BATCH_API const char *vexal_error(int code);

/* The number of threads a call with threads = 0 uses now. */
VEXAL_BATCH_API int vexal_default_threads(void);

#ifdef __cplusplus
}
#endif

#endif
