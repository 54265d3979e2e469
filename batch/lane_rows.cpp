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
#include "precise/impvol.h"
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

using lanes::norm_cdf;
using lanes::norm_pdf;

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

using Market4 = precise::MarketOf<V>;

// The rows of a six-argument European function (S, K, T, r, sigma or the
// price, q) whose lanes are not ordinary: any NaN or infinity, S, K or T not
// above 0, S/K not a normal double (log_moneyness_of's four lanes need it).
VEXAL_ROWS I unusual(const V* a) {
  const V all = a[0] + a[1] + a[2] + a[3] + a[4] + a[5], ratio = a[0] / a[1];
  return !(all - all == 0) || !(a[0] > 0) || !(a[1] > 0) || !(a[2] > 0) || !(ratio >= 0x1p-1022) ||
         !(ratio < INFINITY);
}

// The out-of-the-money price of four markets, marking the lanes where it
// is not ordinary (sigma sqrt(T) is, or b would underflow).
VEXAL_ROWS V otm(const Market4& m, I& odd) {
  V root;
  const V b = m.otm_b(root);
  odd |= Market4::underflows(b, root) || !(m.s > 0);
  return root * b;
}


// precise_call_eur and precise_put_eur.
template <bool Call>
VEXAL_ROWS V price(const Market4& m, I& odd) {
  const I itm = Call ? m.x > 0 : m.x < 0;
  return otm(m, odd) + (lanes::any(itm) ? lanes::pick(itm, m.intrinsic(), V{}) : V{});
}
VEXAL_ROWS V call_price(const Market4& m, I& odd) { return price<true>(m, odd); }
VEXAL_ROWS V put_price(const Market4& m, I& odd) { return price<false>(m, odd); }
VEXAL_ROWS V call_delta(const Market4& m, I&) { return m.Dq() * norm_cdf(m.h + m.t); }
VEXAL_ROWS V put_delta(const Market4& m, I&) { return -m.Dq() * norm_cdf(-(m.h + m.t)); }
VEXAL_ROWS V vega(const Market4& m, I&) { return m.A() * norm_pdf(m.h + m.t) * lanes::root(m.T); }
VEXAL_ROWS V gamma(const Market4& m, I&) { return m.Dq() * norm_pdf(m.h + m.t) / (m.S * m.s); }
VEXAL_ROWS V call_rho(const Market4& m, I&) { return m.K * m.T * m.Dr() * norm_cdf(m.h - m.t); }
VEXAL_ROWS V put_rho(const Market4& m, I&) { return -m.K * m.T * m.Dr() * norm_cdf(-(m.h - m.t)); }
// Where the out-of-the-money price is near its bound, theta takes another
// form (the scalar call's).
template <bool Call>
VEXAL_ROWS V theta(const Market4& m, I& odd) {
  odd |= m.t - lanes::magnitude(m.h) > 0.85;
  return precise::theta_near(m, Call, otm(m, odd));
}
VEXAL_ROWS V call_theta(const Market4& m, I& odd) { return theta<true>(m, odd); }
VEXAL_ROWS V put_theta(const Market4& m, I& odd) { return theta<false>(m, odd); }

// The row loop of a six-argument function: four rows at a time by
// Lanes(args, odd), which marks the lanes it leaves to the single call.
template <V (*Lanes)(const V*, I&), double (*Scalar)(double, double, double, double, double, double)>
VEXAL_ROWS void six_argument_rows(const void* p, std::int64_t begin, std::int64_t end) {
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
    V args[6];
    for (int k = 0; k < 6; ++k) args[k] = gather(a[k], st[k], i);
    I odd = {};
    lanes::store(out + i, Lanes(args, odd));
    if (lanes::any(odd))
      for (int j = 0; j < 4; ++j)
        if (odd[j]) out[i + j] = scalar(i + j);
  }
  for (; i < end; ++i) out[i] = scalar(i);
}

// A European price or Greek from the market of four rows (odd lanes take
// harmless values; their results are replaced).
template <V (*Lanes)(const Market4&, I&)>
VEXAL_ROWS V european(const V* a, I& odd) {
  odd = unusual(a) || !(a[4] > 0);
  if (lanes::all(odd)) return V{};
  const V one = V{} + 1;
  const Market4 m(lanes::pick(odd, one, a[0]), lanes::pick(odd, one, a[1]), lanes::pick(odd, one, a[2]),
                  lanes::pick(odd, V{}, a[3]), lanes::pick(odd, one, a[4]), lanes::pick(odd, V{}, a[5]));
  odd |= !(m.s > 0);  // sigma sqrt(T) below the doubles
  return Lanes(m, odd);
}

// precise_call_impvol_eur and precise_put_impvol_eur: the bounds, the
// normalised price, the tables' guess and its correction four rows at a
// time. Rows whose price is on or beyond a bound or whose normalised price
// is below the normal doubles go to the single call; rows beyond the
// tables take their guess (or answer) from it row by row.
template <bool Call>
VEXAL_ROWS V impvol(const V* a, I& odd) {
  const V S = a[0], K = a[1], T = a[2], r = a[3], P = a[4], q = a[5];
  const V one = V{} + 1;
  odd = unusual(a);
  if (lanes::all(odd)) return V{};
  const Market4 m(lanes::pick(odd, one, S), lanes::pick(odd, one, K), lanes::pick(odd, one, T),
                  lanes::pick(odd, V{}, r), V{}, lanes::pick(odd, V{}, q));
  const V scale = m.scale(), bmax = precise::exp_any(-lanes::magnitude(m.x) / 2);
  const I sel = Call ? m.x > 0 : !(m.x > 0);
  const V lower = lanes::pick(sel, m.intrinsic(), V{}), upper = lanes::pick(sel, scale / bmax, scale * bmax);
  const V price = lanes::pick(odd, (lower + upper) / 2, P);
  odd |= !(price > lower && price < upper);
  const V beta = (price - lower) / scale, x = -lanes::magnitude(m.x);
  odd |= !(beta < bmax) || !(beta >= 0x1p-1000);
  // The tables' guesses four at a time for -1 <= x (not where the scalar
  // call takes the Bachelier limit or the far tail); the rest row by row.
  const I near = x >= -1 && !odd && !(x > -0x1p-40 && beta < 0x1p-40) && !(beta < bmax * 1.3838965267367376e-87);
  V lb = {}, s = one;
  I central = {}, below = {};
  if (lanes::any(near)) {
    s = lanes::pick(near, precise::table_start(x, lanes::pick(near, beta, one), bmax, lb, central, below), one);
    central &= near;
    below &= near;
  }
  I other = !(central || below);
  for (int j = 0; j < 4; ++j) {
    if (odd[j]) {
      central[j] = -1;  // harmless: the central correction of s = 1
      other[j] = 0;
      continue;
    }
    if (!other[j]) continue;
    precise::Start kind;
    double l = NAN;
    s[j] = precise::implied_start(x[j], beta[j], bmax[j], l, kind);
    central[j] = kind == precise::Start::central ? -1 : 0;
    other[j] = kind == precise::Start::other ? -1 : 0;
  }
  I low = {};
  const I corrected = !other;
  V c = s;
  if (lanes::any(corrected)) c = lanes::pick(corrected, precise::correction_of(x, s, bmax, beta, central, low), s);
  odd |= low && corrected;
  return c / lanes::root(lanes::pick(odd, one, T));
}

// Each loop built twice; the baseline build (SSE2, two registers per
// four lanes) measures slower than the scalar loop, so it serves only where
// asked for, and a processor without AVX2 keeps the generated loop.
#if defined(__x86_64__) || defined(__i386__)
#define VEXAL_AVX2 __attribute__((target("avx2")))
#else
#define VEXAL_AVX2
#endif
// The functions with four-lane rows: name, loop (one_ or six_argument_rows)
// and the lanes' formula; each row gives a baseline and an AVX2 build.
#define VEXAL_LANE_ROWS(X)                              \
  X(precise_snorm, one, norm_cdf)                       \
  X(precise_norm, one, norm_pdf)                        \
  X(precise_call_eur, six, european<call_price>)        \
  X(precise_put_eur, six, european<put_price>)          \
  X(precise_call_delta_eur, six, european<call_delta>)  \
  X(precise_put_delta_eur, six, european<put_delta>)    \
  X(precise_vega_eur, six, european<vega>)              \
  X(precise_gamma_eur, six, european<gamma>)            \
  X(precise_call_rho_eur, six, european<call_rho>)      \
  X(precise_put_rho_eur, six, european<put_rho>)        \
  X(precise_call_theta_eur, six, european<call_theta>)  \
  X(precise_put_theta_eur, six, european<put_theta>)    \
  X(precise_call_impvol_eur, six, impvol<true>)         \
  X(precise_put_impvol_eur, six, impvol<false>)

#define VEXAL_LANE_LOOPS(name, kind, lanes_fn)                                \
  void name##_baseline(const void* p, std::int64_t b, std::int64_t e) {      \
    kind##_argument_rows<lanes_fn, name>(p, b, e);                            \
  }                                                                            \
  VEXAL_AVX2 void name##_avx2(const void* p, std::int64_t b, std::int64_t e) { \
    kind##_argument_rows<lanes_fn, name>(p, b, e);                            \
  }
VEXAL_LANE_ROWS(VEXAL_LANE_LOOPS)
#undef VEXAL_LANE_LOOPS

struct LaneRow {
  const char* name;
  LaneFn baseline, avx2;
};
#define VEXAL_LANE_ENTRY(name, kind, lanes_fn) {#name, name##_baseline, name##_avx2},
const LaneRow kLaneRows[] = {VEXAL_LANE_ROWS(VEXAL_LANE_ENTRY)};
#undef VEXAL_LANE_ENTRY

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
