// Backward induction on the binomial tree, the library's hot loop.
//
// A layer reads V[i] and V[i+1] of the layer after it and overwrites V[i]
// as i runs upward, so its nodes are independent and the loop vectorises
// (gcc -O3): every lane does the same double operations in the same order
// as the scalar loop, and larger_of(h, e) is exactly maxpd(h, e). Built
// twice, for the baseline target and for AVX2, chosen at run time; both
// give identical doubles (no FMA: contraction is off).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

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

inline std::uint64_t bits_of(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}
inline double from_bits(std::uint64_t b) {
  double x;
  std::memcpy(&x, &b, sizeof x);
  return x;
}
constexpr std::uint64_t kTwo52Bits = 0x4330000000000000;  // 2^52
// +0 or subnormal: m * 2^-1074 with the integer m = its bits, m < 2^52.
inline bool tiny(double x) { return bits_of(x) < 0x0010000000000000; }
inline bool plus_zero(double x) { return bits_of(x) == 0; }

// Held nodes [from, to) whose inputs are +0 or subnormal, 0 < p < 1 and
// 0 < disc <= 1. With x = m * 2^-1074, every operation of
// disc*(p*x1 + (1-p)*x0) has its exact result below 2^-1021, where the
// doubles are the multiples of 2^-1074: each rounds its exact result to
// the nearest integer multiple, ties to even. Here the integers m are
// normal doubles: a product is rounded to 53 bits, then to an integer by
// adding and taking away 2^52. The two roundings give the one rounding
// unless the first lands on a half; such nodes, and results of 2^52 units
// or more, are left to the processor's arithmetic. Returns false if a
// result is not +0 or subnormal.
__attribute__((always_inline)) inline bool held_tiny(double* __restrict V, std::int32_t from,
                                                     std::int32_t to, double disc, double p,
                                                     double p1) {
  constexpr int kBlock = 64;
  const double two52 = 0x1p52;
  bool all_tiny = true;
  for (std::int32_t b = from; b < to; b += kBlock) {
    const int count = static_cast<int>(std::min<std::int32_t>(kBlock, to - b));
    const double* in = V + b;
    double m[kBlock + 1], out[kBlock];
    std::uint64_t redo[kBlock], any = 0;
    for (int k = 0; k <= count; ++k) m[k] = from_bits(bits_of(in[k]) | kTwo52Bits) - two52;
    for (int k = 0; k < count; ++k) {
      const double x = p * m[k + 1], y = p1 * m[k];
      const double rx = (x + two52) - two52, ry = (y + two52) - two52;
      const double z = disc * (rx + ry);
      const double rz = (z + two52) - two52;
      redo[k] = static_cast<std::uint64_t>((std::fabs(x - rx) == 0.5) | (std::fabs(y - ry) == 0.5) |
                                           (std::fabs(z - rz) == 0.5) | (rz >= two52));
      any |= redo[k];
      out[k] = from_bits(bits_of(rz + two52) - kTwo52Bits);
    }
    if (any)
      for (int k = 0; k < count; ++k)
        if (redo[k]) {
          out[k] = disc * (p * in[k + 1] + p1 * in[k]);
          all_tiny = all_tiny && tiny(out[k]);
        }
    std::memcpy(V + b, out, sizeof(double) * static_cast<std::size_t>(count));
  }
  return all_tiny;
}

// Whether subnormal operands or results cost this processor far more than
// normal ones: a chain of multiply-adds timed at both magnitudes, once.
bool subnormals_slow() {
  static const bool slow = [] {
    auto chain = [](double magnitude) {
      volatile double seed = magnitude;
      double a = seed;
      const double c = a * 0.25;
      const auto t0 = std::chrono::steady_clock::now();
      for (int k = 0; k < 2048; ++k) a = a * 0.75 + c;
      volatile double sink = a;
      (void)sink;
      return std::chrono::steady_clock::now() - t0;
    };
    auto best = [&](double magnitude) {
      auto t = chain(magnitude);
      for (int k = 0; k < 4; ++k) t = std::min(t, chain(magnitude));
      return t;
    };
    return best(0x1p-1040) > 4 * best(0x1p-40);
  }();
  return slow;
}

__attribute__((always_inline)) inline void layers(double* __restrict V, const double* __restrict a,
                                                  const double* __restrict b, std::int32_t n,
                                                  double c, double disc, double p,
                                                  const Shortcut& s) {
  const double p1 = 1 - p;
  // Held nodes with both inputs +0 stay +0, and with both inputs tiny may
  // be computed in units, where p, 1 - p and disc keep +0 at +0 and the
  // tiny below 2^-1022.
  const bool clean = p > 0 && p < 1 && disc > 0 && disc < HUGE_VAL;
  int units = clean && disc <= 1 ? s.tiny : kTinyHardware;
  // Of the layer read (indices 0..j+1), for a put V[zero..] are +0 and
  // V[small..] +0 or subnormal; for a call the same of V[..zero) and
  // V[..small). Scans extend them; a layer without held nodes resets them.
  const std::int32_t none = s.side < 0 ? n + 2 : 0;
  std::int32_t zero = none, small = none;
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
    if (!clean || f1 <= f0) {
      held(V, f0, f1, disc, p, p1);
      zero = small = none;
    } else if (s.side < 0) {
      // Held nodes [f0, t) computed, [t, z) tiny, [z, j] left at +0.
      zero = std::min(zero, j + 2);
      small = std::min(small, j + 2);
      while (zero > 0 && plus_zero(V[zero - 1])) --zero;
      while (small > 0 && tiny(V[small - 1])) --small;
      const std::int32_t z = std::clamp(zero, f0, f1), t = std::clamp(small, f0, z);
      if (t < z && units == kTinyAuto) units = subnormals_slow() ? kTinyUnits : kTinyHardware;
      if (units == kTinyUnits) {
        held(V, f0, t, disc, p, p1);
        small = held_tiny(V, t, z, disc, p, p1) ? t : none;
      } else {
        held(V, f0, z, disc, p, p1);
        small = t;
      }
      zero = z;
    } else {
      // Held nodes [0, z) left at +0, [z, t) tiny, [t, f1) computed.
      while (zero <= j + 1 && plus_zero(V[zero])) ++zero;
      while (small <= j + 1 && tiny(V[small])) ++small;
      const std::int32_t z = std::clamp(zero - 1, 0, f1), t = std::clamp(small - 1, z, f1);
      if (z < t && units == kTinyAuto) units = subnormals_slow() ? kTinyUnits : kTinyHardware;
      if (units == kTinyUnits) {
        small = held_tiny(V, z, t, disc, p, p1) ? t : none;
        held(V, t, f1, disc, p, p1);
      } else {
        held(V, z, f1, disc, p, p1);
        small = t;
      }
      zero = z;
    }
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

#else

void induct_avx2(double* V, const double* a, const double* b, std::int32_t n, double c,
                 double disc, double p, const Shortcut& s) {
  layers(V, a, b, n, c, disc, p, s);
}

#endif

void induct(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
            double p, const Shortcut& s) {
  static const Induct best = have_avx2() ? induct_avx2 : induct_generic;
  best(V, a, b, n, c, disc, p, s);
}

}  // namespace vexal::binomial
