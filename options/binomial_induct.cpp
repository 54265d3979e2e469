// Backward induction on the binomial tree, the library's hot loop.
//
// A layer reads V[i] and V[i+1] of the layer after it and overwrites V[i]
// as i runs upward, so its nodes are independent and the loop vectorises
// (gcc -O3): every lane does the same double operations in the same order
// as the scalar loop, and larger_of(h, e) is exactly maxpd(h, e). Built
// twice, for the baseline target and for AVX2, chosen at run time; both
// give identical doubles (no FMA: contraction is off).
#include <cmath>

#include "options/binomial.h"

namespace vexal::binomial {

void powers(double* a, double* b, std::int32_t n, double signed_spot, double u, double d) {
  for (std::int64_t i = 0; i <= n; ++i) a[i] = signed_spot * std::pow(u, static_cast<double>(i));
  for (std::int64_t m = 0; m <= n; ++m) b[m] = std::pow(d, static_cast<double>(n - m));
}

namespace {

__attribute__((always_inline)) inline void layers(double* __restrict V, const double* __restrict a,
                                                  const double* __restrict b, std::int32_t n,
                                                  double c, double disc, double p) {
  const double p1 = 1 - p;
  for (std::int32_t j = n - 1; j >= 0; --j) {
    const double* __restrict bj = b + (n - j);
    for (std::int32_t i = 0; i <= j; ++i) {
      const double e = a[i] * bj[i] + c;
      const double h = disc * (p * V[i + 1] + p1 * V[i]);
      V[i] = h > e ? h : e;
    }
  }
}

}  // namespace

void induct_generic(double* V, const double* a, const double* b, std::int32_t n, double c,
                    double disc, double p) {
  layers(V, a, b, n, c, disc, p);
}

#if defined(__x86_64__) || defined(__i386__)

__attribute__((target("avx2"))) void induct_avx2(double* V, const double* a, const double* b,
                                                 std::int32_t n, double c, double disc, double p) {
  layers(V, a, b, n, c, disc, p);
}

bool have_avx2() {
  static const bool yes = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return yes;
}

#else

void induct_avx2(double* V, const double* a, const double* b, std::int32_t n, double c,
                 double disc, double p) {
  layers(V, a, b, n, c, disc, p);
}

bool have_avx2() { return false; }

#endif

void induct(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
            double p) {
  if (have_avx2())
    induct_avx2(V, a, b, n, c, disc, p);
  else
    induct_generic(V, a, b, n, c, disc, p);
}

}  // namespace vexal::binomial
