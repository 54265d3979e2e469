// Four rows at a time for precise_snorm and precise_norm, the European
// prices, deltas and vega: the regions of the formulas become masks, each
// region's formula evaluated where some lane needs it, by the same
// operations as the scalar path (the formulas are templates for one double
// and four, precise/erfc.h, precise/black.h, precise/european.h), so every
// double equals the scalar call's. Rows outside the ordinary case (NaN, a
// zero or negative S, K, T or sigma, S/K beyond the normal doubles, a price
// below them) are left to the scalar call.
#include "batch/lane_rows.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "core/numeric.h"
#include "precise/erfc.h"
#include "precise/european.h"
#include "precise/functions.h"
#include "precise/lanes.h"

// Lanes pass between functions only where those are inlined.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::batch {
namespace {

using lanes::I;
using lanes::V;

#define VEXAL_ROWS inline __attribute__((always_inline))

VEXAL_ROWS V gather(const double* p, std::int64_t s, std::int64_t i) {
  if (s == 1) return lanes::load(p + i);
  return V{p[i * s], p[(i + 1) * s], p[(i + 2) * s], p[(i + 3) * s]};
}

// precise::tail_ratio with each lane's coefficients from its own quarter;
// k is clamped so that lanes outside [0.5, 5.75) read a valid row.
VEXAL_ROWS V tail_ratio(const V& a) {
  const V a4 = a * 4;
  const V in = lanes::pick(a4 >= 2 && a4 < 23, a4, V{} + 2);
  int k[4];
  for (int j = 0; j < 4; ++j) k[j] = static_cast<int>(in[j]);
  const double* c[4] = {precise::kTailRatio[k[0] - 2], precise::kTailRatio[k[1] - 2],
                        precise::kTailRatio[k[2] - 2], precise::kTailRatio[k[3] - 2]};
  const V mid = V{2.0 * k[0] + 1, 2.0 * k[1] + 1, 2.0 * k[2] + 1, 2.0 * k[3] + 1} * 0.125;
  const V t = a - mid;
  V p = V{c[0][11], c[1][11], c[2][11], c[3][11]};
  for (int i = 10; i >= 2; --i) p = p * t + V{c[0][i], c[1][i], c[2][i], c[3][i]};
  return V{c[0][0], c[1][0], c[2][0], c[3][0]} + (V{c[0][1], c[1][1], c[2][1], c[3][1]} + t * p);
}

// precise::norm_cdf.
VEXAL_ROWS V norm_cdf(const V& x) {
  using namespace precise;
  const V a = lanes::magnitude(x);
  const I central = a <= 0.46875 * 1.41421356237309504880;
  const I far = a > 4 * 1.41421356237309504880;
  const I tail = !central && x > -40 && x < 10;  // NaN lanes in none
  V r = lanes::pick(x >= 10, V{} + 1, V{});
  r = lanes::pick(x == x, r, x);
  if (lanes::any(central)) r = lanes::pick(central, 0.5 + 0.5 * erf_small(x * kInvSqrt2), r);
  if (lanes::any(tail)) {
    const V b = lanes::pick(tail, a, V{} + 1);  // harmless where unused
    V f = V{};
    if (lanes::any(far)) f = kInvSqrt2Pi - kInvSqrt2 * cody_large(2 / (b * b));
    const I near = tail && !far;
    const V e = precise::exp_half_sq(b);
    V n = e * f / b;
    if (lanes::any(near)) n = lanes::pick(near, e * tail_ratio(b), n);
    r = lanes::pick(tail, lanes::pick(x < 0, n, 1 - n), r);
  }
  return r;
}

// precise::norm_pdf.
VEXAL_ROWS V norm_pdf(const V& x) {
  const I inside = lanes::magnitude(x) < 40;
  const V b = lanes::pick(inside, x, V{});  // harmless where unused
  const V d = precise::kInvSqrt2Pi * precise::exp_half_sq(b);
  return lanes::pick(inside, d, lanes::pick(x == x, V{}, x));
}

template <V (*Lanes)(const V&), double (*Scalar)(double)>
VEXAL_ROWS void one_argument_rows(const void* p, std::int64_t begin, std::int64_t end) {
  const MapJob& job = *static_cast<const MapJob*>(p);
  const double* const x = job.args[0];
  const std::int64_t s = job.strides[0];
  double* const out = job.out;
  std::int64_t i = begin;
  for (; i + 4 <= end; i += 4) lanes::store(out + i, Lanes(gather(x, s, i)));
  for (; i < end; ++i) out[i] = Scalar(x[i * s]);
}

// The rows of a six-argument European function whose lanes are not
// ordinary: any NaN or infinity, S, K, T or sigma not above 0, S/K not a
// normal double (log_moneyness_of's four lanes need it).
VEXAL_ROWS I unusual(const V& S, const V& K, const V& T, const V& r, const V& sigma, const V& q) {
  const V all = S + K + T + r + sigma + q, ratio = S / K;
  return !(all - all == 0) || !(S > 0) || !(K > 0) || !(T > 0) || !(sigma > 0) ||
         !(ratio >= 0x1p-1022) || !(ratio < INFINITY);
}

using Market4 = precise::MarketOf<V>;

// precise_call_eur and precise_put_eur.
template <bool Call>
VEXAL_ROWS V price(const Market4& m, I& odd) {
  V root;
  const V b = m.otm_b(root);
  odd |= Market4::underflows(b, root) || !(m.s > 0);
  const I itm = Call ? m.x > 0 : m.x < 0;
  V p = root * b;
  if (lanes::any(itm)) p = p + lanes::pick(itm, m.intrinsic(), V{});
  else p = p + 0.0;
  return p;
}
VEXAL_ROWS V call_price(const Market4& m, I& odd) { return price<true>(m, odd); }
VEXAL_ROWS V put_price(const Market4& m, I& odd) { return price<false>(m, odd); }
VEXAL_ROWS V call_delta(const Market4& m, I&) { return m.Dq() * norm_cdf(m.h + m.t); }
VEXAL_ROWS V put_delta(const Market4& m, I&) { return -m.Dq() * norm_cdf(-(m.h + m.t)); }
VEXAL_ROWS V vega(const Market4& m, I&) { return m.A() * norm_pdf(m.h + m.t) * lanes::root(m.T); }

template <V (*Lanes)(const Market4&, I&), double (*Scalar)(double, double, double, double, double, double)>
VEXAL_ROWS void european_rows(const void* p, std::int64_t begin, std::int64_t end) {
  const MapJob& job = *static_cast<const MapJob*>(p);
  const double* const* a = job.args;
  const long long* st = job.strides;
  double* const out = job.out;
  auto scalar = [&](std::int64_t i) {
    return Scalar(a[0][i * st[0]], a[1][i * st[1]], a[2][i * st[2]], a[3][i * st[3]], a[4][i * st[4]],
                  a[5][i * st[5]]);
  };
  std::int64_t i = begin;
  for (; i + 4 <= end; i += 4) {
    const V S = gather(a[0], st[0], i), K = gather(a[1], st[1], i), T = gather(a[2], st[2], i);
    const V r = gather(a[3], st[3], i), sigma = gather(a[4], st[4], i), q = gather(a[5], st[5], i);
    I odd = unusual(S, K, T, r, sigma, q);
    V v = {};
    if (!lanes::all(odd)) {
      // Odd lanes take harmless values; their results are replaced.
      const V one = V{} + 1;
      const Market4 m(lanes::pick(odd, one, S), lanes::pick(odd, one, K), lanes::pick(odd, one, T),
                      lanes::pick(odd, V{}, r), lanes::pick(odd, one, sigma), lanes::pick(odd, V{}, q));
      v = Lanes(m, odd);
    }
    lanes::store(out + i, v);
    if (lanes::any(odd))
      for (int j = 0; j < 4; ++j)
        if (odd[j]) out[i + j] = scalar(i + j);
  }
  for (; i < end; ++i) out[i] = scalar(i);
}

// Each loop built twice; the baseline build (SSE2, two registers per
// four lanes) measures slower than the scalar loop, so it serves only where
// asked for, and a processor without AVX2 keeps the generated loop.
#if defined(__x86_64__) || defined(__i386__)
#define VEXAL_AVX2 __attribute__((target("avx2")))
#else
#define VEXAL_AVX2
#endif
void snorm_baseline(const void* p, std::int64_t b, std::int64_t e) { one_argument_rows<norm_cdf, precise_snorm>(p, b, e); }
VEXAL_AVX2 void snorm_avx2(const void* p, std::int64_t b, std::int64_t e) {
  one_argument_rows<norm_cdf, precise_snorm>(p, b, e);
}
void norm_baseline(const void* p, std::int64_t b, std::int64_t e) { one_argument_rows<norm_pdf, precise_norm>(p, b, e); }
VEXAL_AVX2 void norm_avx2(const void* p, std::int64_t b, std::int64_t e) {
  one_argument_rows<norm_pdf, precise_norm>(p, b, e);
}

#define VEXAL_EUROPEAN_ROWS(name, lanes_fn)                                                    \
  void name##_baseline(const void* p, std::int64_t b, std::int64_t e) {                         \
    european_rows<lanes_fn, name>(p, b, e);                                                      \
  }                                                                                               \
  VEXAL_AVX2 void name##_avx2(const void* p, std::int64_t b, std::int64_t e) {                  \
    european_rows<lanes_fn, name>(p, b, e);                                                      \
  }
VEXAL_EUROPEAN_ROWS(precise_call_eur, call_price)
VEXAL_EUROPEAN_ROWS(precise_put_eur, put_price)
VEXAL_EUROPEAN_ROWS(precise_call_delta_eur, call_delta)
VEXAL_EUROPEAN_ROWS(precise_put_delta_eur, put_delta)
VEXAL_EUROPEAN_ROWS(precise_vega_eur, vega)
#undef VEXAL_EUROPEAN_ROWS

struct LaneRow {
  const char* name;
  LaneFn baseline, avx2;
};
const LaneRow kLaneRows[] = {
    {"precise_snorm", snorm_baseline, snorm_avx2},
    {"precise_norm", norm_baseline, norm_avx2},
    {"precise_call_eur", precise_call_eur_baseline, precise_call_eur_avx2},
    {"precise_put_eur", precise_put_eur_baseline, precise_put_eur_avx2},
    {"precise_call_delta_eur", precise_call_delta_eur_baseline, precise_call_delta_eur_avx2},
    {"precise_put_delta_eur", precise_put_delta_eur_baseline, precise_put_delta_eur_avx2},
    {"precise_vega_eur", precise_vega_eur_baseline, precise_vega_eur_avx2},
};

std::atomic<LaneBuild> forced{LaneBuild::best};

}  // namespace

LaneFn lane_rows(const char* name) {
  for (const LaneRow& r : kLaneRows)
    if (std::strcmp(r.name, name) == 0) {
      const LaneBuild b = forced.load(std::memory_order_relaxed);
      if (b == LaneBuild::best) return have_avx2() ? r.avx2 : nullptr;
      return b == LaneBuild::avx2 ? r.avx2 : r.baseline;
    }
  return nullptr;
}

void force_lane_build(LaneBuild b) { forced.store(b, std::memory_order_relaxed); }

}  // namespace vexal::batch
