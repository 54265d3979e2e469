// The exact Kelly fraction: the root of G'(f) = sum p_i b_i / (1 + f b_i),
// which falls strictly from +inf to -inf across the fractions where every
// 1 + f b_i is positive (G is strictly concave there), by Newton's method
// kept inside a bracket that every evaluation of G' narrows; a step that
// leaves the bracket is replaced by its midpoint. Ends when the bracket or
// the step reaches the rounding of f, or G' is exactly zero; G' is summed
// in double-double so that the last step lands on the double nearest the
// root.
#include <cmath>

#include "exports/api.h"
#include "include/vexal_kelly.h"

namespace {

struct Table {
  const double* p;
  const double* b;
  long long n;
  double total;  // sum of the probabilities
};

// a * b = p + e exactly (Dekker's split; no fused multiply-add).
double two_product(double a, double b, double& e) {
  const double c = 134217729.0;  // 2^27 + 1
  const double p = a * b;
  const double ah = a * c - (a * c - a), al = a - ah, bh = b * c - (b * c - b), bl = b - bh;
  e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
  return p;
}

// a + b = s + e exactly (Knuth).
double two_sum(double a, double b, double& e) {
  const double s = a + b, v = s - a;
  e = (a - (s - v)) + (b - v);
  return s;
}

// G'(f) and G''(f), over the outcomes of positive probability; G' in
// double-double (the products, the 1 + f b and the quotients with their
// rounding errors, summed with the errors carried), so that its sign is
// right to the last bit of f near the root, where its terms cancel.
void slopes(const Table& t, double f, double& d1, double& d2) {
  double hi = 0, lo = 0;
  d2 = 0;
  for (long long i = 0; i < t.n; ++i) {
    if (!(t.p[i] > 0)) continue;
    double e_fb, e_den, e_pb, e_rs;
    const double fb = two_product(f, t.b[i], e_fb);
    const double den = two_sum(1.0, fb, e_den);
    const double pb = two_product(t.p[i], t.b[i], e_pb);
    const double r = pb / den;
    const double rs = two_product(r, den, e_rs);
    const double r_lo = (((pb - rs) - e_rs) + e_pb - r * (e_den + e_fb)) / den;
    double e;
    hi = two_sum(hi, r, e);
    lo += e + r_lo;
    const double q = t.b[i] / den;
    d2 -= t.p[i] * q * q;
  }
  d1 = hi + lo;
}

// The root in (lo, hi), one end 0, from Newton's first step from 0.
double solve(const Table& t, double lo, double hi) {
  double d1, d2;
  slopes(t, 0, d1, d2);
  double f = -d1 / d2;
  for (int it = 0; it < 400; ++it) {
    if (!(f > lo && f < hi)) f = lo + (hi - lo) / 2;
    slopes(t, f, d1, d2);
    if (d1 == 0) return f;
    if (d1 > 0) lo = f; else hi = f;
    const double next = f - d1 / d2;
    if (std::fabs(next - f) <= 2.3e-16 * std::fabs(f) || hi - lo <= 2.3e-16 * std::fabs(f)) return next;
    f = next;
  }
  return f;
}

}  // namespace

extern "C" VEXAL_API_EXPORT int vexal_kelly_exact(const double* probabilities, const double* outcomes, long long n,
                                                  double result[3]) {
  if (n < 0) return VEXAL_E_NEGATIVE;
  if (!result || (n > 0 && (!probabilities || !outcomes))) return VEXAL_E_NULL;
  Table t{probabilities, outcomes, n, 0};
  double mean = 0, b_max = -INFINITY, b_min = INFINITY;
  for (long long i = 0; i < n; ++i) {
    const double p = probabilities[i], b = outcomes[i];
    if (!(p >= 0 && p < INFINITY) || !std::isfinite(b)) return VEXAL_E_KELLY_TABLE;
    if (p == 0) continue;
    t.total += p;
    mean += p * b;
    b_max = std::fmax(b_max, b);
    b_min = std::fmin(b_min, b);
  }
  if (!(t.total > 0) || !(t.total < INFINITY)) return VEXAL_E_KELLY_TABLE;
  // The fractions that keep every 1 + f b_i > 0, and which way G' points at 0.
  const double lo = b_max > 0 ? -1 / b_max : -INFINITY, hi = b_min < 0 ? -1 / b_min : INFINITY;
  double f = 0;
  if (mean != 0) {
    if ((mean > 0 && hi == INFINITY) || (mean < 0 && lo == -INFINITY)) return VEXAL_E_KELLY_UNBOUNDED;
    f = mean > 0 ? solve(t, 0, hi) : solve(t, lo, 0);
  }
  double g = 0;
  for (long long i = 0; i < n; ++i)
    if (probabilities[i] > 0) g += probabilities[i] / t.total * std::log1p(f * outcomes[i]);
  double s = 0;
  for (long long i = 0; i < n; ++i)
    if (probabilities[i] > 0) {
      const double d = std::log1p(f * outcomes[i]) - g;
      s += probabilities[i] / t.total * d * d;
    }
  result[0] = f;
  result[1] = g;
  result[2] = std::sqrt(s);
  return VEXAL_OK;
}
