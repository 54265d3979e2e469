// Field-by-field, bit-for-bit comparison of fit state (padding ignored).
#ifndef VEXAL_TESTS_FIT_STATE_COMPARE_H
#define VEXAL_TESTS_FIT_STATE_COMPARE_H

#include <cstring>

#include "fitting/gradient_ascent.h"

inline bool same_bits(const double* a, const double* b, std::size_t n) {
  return std::memcmp(a, b, n * sizeof(double)) == 0;
}

inline bool same_state(const vexal::OptimiserState& a, const vexal::OptimiserState& b) {
  return same_bits(a.grad, b.grad, 4) && same_bits(a.fval, b.fval, 4) && same_bits(a.x, b.x, 10) &&
         same_bits(a.x_prev, b.x_prev, 10) && same_bits(&a.grad_norm, &b.grad_norm, 1) &&
         same_bits(&a.tolerance, &b.tolerance, 1) && same_bits(&a.step, &b.step, 1) &&
         a.n_params == b.n_params && a.max_iter == b.max_iter && a.iter == b.iter;
}

#endif
