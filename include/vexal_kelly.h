/*
 * vexal_kelly.h: the exact Kelly fraction (libvexal.so, Vexal64.dll).
 *
 * For a table of n outcomes b[i] (net gain per unit staked: +1 for an
 * even-money win, -1 for losing the stake) with probabilities p[i], the
 * fraction f* that maximises the expected log growth
 *   G(f) = sum p[i] ln(1 + f b[i])
 * is the root of G'(f) = sum p[i] b[i] / (1 + f b[i]) = 0, found to machine
 * precision. The probabilities are weights: they are divided by their sum,
 * so a table that sums to 1 gives the same growth as kelly_growth. Outcomes
 * of probability 0 take no part.
 *
 * result[0] = f*, result[1] = G(f*), result[2] = the standard deviation of
 * ln(1 + f* b) over the outcomes. f* may be negative (a bet against the
 * table) and lies strictly inside the fractions at which every outcome of
 * positive probability leaves wealth positive.
 *
 * Bad input is a negative code (vexal_error says which) and nothing is
 * written: a null pointer, a negative n, no outcome of positive probability,
 * a negative or non-finite probability or a non-finite outcome, or a table
 * without a finite optimum (every outcome of positive probability gains, or
 * every one loses, so that G grows without bound).
 */
#ifndef VEXAL_KELLY_H
#define VEXAL_KELLY_H

#include "vexal_batch.h"

#ifdef __cplusplus
extern "C" {
#endif

#define VEXAL_E_KELLY_TABLE (-31)      /* no outcome of positive probability, or a bad value */
#define VEXAL_E_KELLY_UNBOUNDED (-32)  /* the growth has no finite maximum */

VEXAL_BATCH_API int vexal_kelly_exact(const double *probabilities, const double *outcomes, long long n,
                                      double result[3]);

#ifdef __cplusplus
}
#endif

#endif
