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

Shortcut shortcut(double sign, double S, double K, double u, double d, double p, double disc,
                  std::int32_t n, const double* a, const double* b) {
  // Every power and spot normal and far from overflow, so that node prices
  // carry their relative error bound and no exercise value is NaN; every
  // value of the tree at least +0.
  const double inf = HUGE_VAL, big = 1e290, small = 1e-290;
  if (!(S > small && S < big && K > small && K < big && std::fabs(a[n]) < big && b[0] > small &&
        u > 1 && d > 0 && d < 1 && p > 0 && p < 1 && disc > 0 && disc < inf))
    return {};
  // Node (j, i) lies at log price log S + i log u + (j - i) log d, equal to
  // log K at i = t0 + j tj. The computed node price is within a few ulps
  // of the exact one (two powers, two products), and the logarithms below
  // are within an ulp or two: a margin a thousand times that, plus a node.
  const double lu = std::log(u), ld = std::log(d), lk = std::log(K / S);
  const double span = lu - ld;
  const double err = 1e-12 + 1e-13 * (std::fabs(lk) + (n + 2.0) * span);
  return {sign, lk / span, -ld / span, err / span + 1};
}

namespace {

// Layer nodes [from, to) in full.
__attribute__((always_inline)) inline void nodes(double* __restrict V, const double* __restrict a,
                                                 const double* __restrict bj, std::int32_t from,
                                                 std::int32_t to, double c, double disc, double p,
                                                 double p1) {
  for (std::int32_t i = from; i < to; ++i) {
    const double e = a[i] * bj[i] + c;
    const double h = disc * (p * V[i + 1] + p1 * V[i]);
    V[i] = h > e ? h : e;
  }
}

// Layer nodes [from, to) whose exercise value is at most +0 while the
// continuation value is at least +0: larger_of gives the continuation
// value, to the bit.
__attribute__((always_inline)) inline void held(double* __restrict V, std::int32_t from,
                                                std::int32_t to, double disc, double p, double p1) {
  for (std::int32_t i = from; i < to; ++i) V[i] = disc * (p * V[i + 1] + p1 * V[i]);
}

// The first index >= x, within [0, last + 1]; NaN gives last + 1.
inline std::int32_t index_from(double x, std::int32_t last) {
  if (x > 0 && x <= last) return static_cast<std::int32_t>(std::ceil(x));
  return x <= 0 ? 0 : last + 1;
}

__attribute__((always_inline)) inline void layers(double* __restrict V, const double* __restrict a,
                                                  const double* __restrict b, std::int32_t n,
                                                  double c, double disc, double p,
                                                  const Shortcut& s) {
  const double p1 = 1 - p;
  for (std::int32_t j = n - 1; j >= 0; --j) {
    const double* __restrict bj = b + (n - j);
    std::int32_t f0 = 0, f1 = 0;  // nodes [f0, f1) are held
    if (s.side < 0) {             // put: out of the money above the strike
      f0 = index_from(s.t0 + j * s.tj + s.margin, j);
      f1 = j + 1;
    } else if (s.side > 0) {      // call: out of the money below it
      f1 = index_from(s.t0 + j * s.tj - s.margin, j);
    }
    nodes(V, a, bj, 0, f0, c, disc, p, p1);
    held(V, f0, f1, disc, p, p1);
    nodes(V, a, bj, f1 > f0 ? f1 : f0, j + 1, c, disc, p, p1);
  }
}

}  // namespace

void induct_generic(double* V, const double* a, const double* b, std::int32_t n, double c,
                    double disc, double p, const Shortcut& s) {
  layers(V, a, b, n, c, disc, p, s);
}

#if defined(__x86_64__) || defined(__i386__)

__attribute__((target("avx2"))) void induct_avx2(double* V, const double* a, const double* b,
                                                 std::int32_t n, double c, double disc, double p,
                                                 const Shortcut& s) {
  layers(V, a, b, n, c, disc, p, s);
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
                 double disc, double p, const Shortcut& s) {
  layers(V, a, b, n, c, disc, p, s);
}

bool have_avx2() { return false; }

#endif

void induct(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
            double p, const Shortcut& s) {
  static const Induct best = have_avx2() ? induct_avx2 : induct_generic;
  best(V, a, b, n, c, disc, p, s);
}

}  // namespace vexal::binomial
