// The band regime of the American put, q < r < 0: the exercise region at
// time to expiry tau is an interval [L(tau), U(tau)], which at expiry is
// [X, K), X = K r/q (where r K - q S >= 0), and narrows until the two ends
// meet at some tau*, beyond which the put is never exercised. Value
// matching at either end, after the constant parts are integrated, reads
// B = K N(tau, B) / D(tau, B) with
//   N = e^{-r tau} Phi(d-(tau, B/K))
//       + r int_0^tau e^{-r s} [Phi(d-(s, B/U(u))) + Phi(-d-(s, B/L(u)))] du,
//   D = e^{-q tau} Phi(d+(tau, B/K))
//       + q int_0^tau e^{-q s} [Phi(d+(s, B/U(u))) + Phi(-d+(s, B/L(u)))] du,
// s = tau - u (with L = 0 it is the single boundary's equation), and the
// price is the European put plus the premium of both ends,
//   int_0^T [g(U(u)) - g(L(u))] du,
//   g(B) = r K e^{-r s} Phi(-d-(s, S/B)) - q S e^{-q s} Phi(-d+(s, S/B)).
//
// Each end is collocated as in american_boundary.cpp: H = ln(K/U)^2 in
// (tau/T)^(1/4) (U leaves K like sqrt(tau ln(1/tau))) and H = ln(L/X)^2 in
// (tau/T)^(1/2) (L leaves X like sqrt(tau)), Chebyshev-Lobatto nodes, both
// solved together by Newton's method, from a first guess read off a coarse
// tree. That holds while the ends stay well apart over [0, T]: as tau
// nears tau* they turn to meet (at a corner, by a fine tree), which the
// nodes stop following (with T at 2/3 of tau*, 6 and 12 nodes disagree by
// 5e-5 of the premium). So that solve is taken only where the coarse tree
// still finds the band open at 4T. Where the band closes before 4T the
// ends are solved the same way for T up to 0.95 of tau*, but by smooth
// pasting at the nodes,
//   -e^{-q tau} Phi(-d+(tau, B/K)) + int_0^tau [e^{-r s} ((q U - r K)
//   phi(d-(s, B/U)) - (q L - r K) phi(d-(s, B/L))) / (B sigma sqrt(s))
//   - q e^{-q s} (Phi(-d+(s, B/U)) - Phi(-d+(s, B/L)))] du = -1,
// in place of value matching, and at twice the nodes (below). Either way
// the prices at the coarse and the fine nodes must agree within 1e-7;
// elsewhere the caller keeps the tree.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "precise/american_boundary.h"
#include "precise/erfc.h"
#include "precise/functions.h"
#include "precise/lanes.h"

// Lanes pass between functions only where those are inlined.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::american {

namespace {

using precise::norm_cdf;
using precise::norm_pdf;

constexpr double kPi = 3.141592653589793;

// Gauss-Legendre on theta in [0, pi/2], as sin and cos of its nodes.
struct Rule {
  std::vector<double> sin_t, cos_t, w;
};

Rule build_rule(int l) {
  Rule g;
  for (int i = 0; i < l; ++i) {
    double x = std::cos(kPi * (i + 0.75) / (l + 0.5)), dp = 1;
    for (int it = 0; it < 100; ++it) {
      double p0 = 1, p1 = x;
      for (int k = 2; k <= l; ++k) {
        const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      dp = l * (x * p1 - p0) / (x * x - 1);
      const double dx = p1 / dp;
      x -= dx;
      if (std::fabs(dx) < 1e-16) break;
    }
    g.sin_t.push_back(std::sin(kPi / 4 * (1 + x)));
    g.cos_t.push_back(std::sin(kPi / 4 * (1 - x)));
    g.w.push_back(kPi / 4 * 2 / ((1 - x * x) * dp * dp));
  }
  return g;
}

// The rules of the settings, built once: 16 << i points.
const Rule& rule(int l) {
  static std::once_flag once[6];
  static Rule rules[6];
  int i = 0;
  while (i < 5 && (16 << i) < l) ++i;
  std::call_once(once[i], [i] { rules[i] = build_rule(16 << i); });
  return rules[i];
}

// H on [0, T] as a Chebyshev series in w = (tau/T)^(1/p) from its values at
// the Lobatto points w_j = (1 - cos(j pi/n))/2, H_0 = 0; below the first
// node H grows like tau.
struct End {
  int n = 0, p = 2;
  double T = 0, tau1 = 0, H1 = 0;
  double a[kMaxNodes + 1] = {};

  double node(int j) const { return T * std::pow((1 - std::cos(kPi * j / n)) / 2, p); }
  void fit(const double* H) {
    for (int c = 0; c <= n; ++c) {
      double s = 0;
      for (int i = 0; i <= n; ++i) {
        double e = std::cos(kPi * static_cast<double>(c * i % (2 * n)) / n) * H[i];
        if (i == 0 || i == n) e /= 2;
        s += c % 2 ? -e : e;
      }
      a[c] = s * 2 / n / (c == 0 || c == n ? 2 : 1);
    }
    tau1 = node(1);
    H1 = H[1];
  }
  // ln(K/U) or ln(L/X) at four points, from the series' variable x there,
  // or (where below >= 0) from H growing like tau below the first node.
  lanes::V y(const lanes::V& x, const lanes::V& below) const {
    using namespace lanes;
    const V x2 = 2 * x;
    V b1 = {}, b2 = {};
    for (int c = n; c >= 1; --c) {
      const V t = x2 * b1 - b2 + a[c];
      b2 = b1;
      b1 = t;
    }
    V H = x * b1 - b2 + a[0];
    H = pick(below >= 0, H1 * below, H);
    return root(pick(H > 0, H, V{}));
  }

  // ln(K/U) or ln(L/X) at tau in [0, T].
  double y(double tau) const {
    double H;
    if (tau < tau1) {
      H = H1 * (tau / tau1);
    } else {
      const double w = p == 4 ? std::sqrt(std::sqrt(tau / T)) : std::sqrt(tau / T);
      const double x = std::min(1.0, 2 * w - 1);
      double b1 = 0, b2 = 0;
      for (int c = n; c >= 1; --c) {
        const double t = 2 * x * b1 - b2 + a[c];
        b2 = b1;
        b1 = t;
      }
      H = x * b1 - b2 + a[0];
    }
    return std::sqrt(H > 0 ? H : 0.0);
  }
};

// The quadrature points of every node's integral, u = tau sin^4(theta),
// s = tau - u = tau cos^2(theta) (1 + sin^2(theta)), by (end, node, point):
// where each end's series is evaluated (its variable x, or u over its first
// node where u lies below it, else -1), the weights du e^{-r s} and
// du e^{-q s}, the drift of d- and sigma sqrt(s) with its inverse.
struct Points {
  std::vector<double> x_up, below_up, x_low, below_low, wr, wq, drift, v, inv_v;
};

struct Band {
  double K = 0, T = 0, r = 0, sigma = 0, q = 0, X = 0;
  int n = 0, l = 0;
  // Smooth pasting in place of value matching at the nodes.
  bool pasting = false;
  End up, low;
  Points pts;
  double lnK = 0, lnX = 0;

  double U(double tau) const { return K * std::exp(-up.y(tau)); }
  double L(double tau) const { return X * std::exp(low.y(tau)); }
  double dm(double s, double z) const {
    return (std::log(z) + (r - q - sigma * sigma / 2) * s) / (sigma * std::sqrt(s));
  }

  void resize(int nodes, int points) {
    n = nodes;
    l = points;
    up.n = low.n = n;
    up.T = low.T = T;
    up.p = 4;
    low.p = 2;
    lnK = std::log(K);
    lnX = std::log(X);
    const Rule& g = rule(l);
    const double mu = r - q - sigma * sigma / 2;
    pts = Points();
    const double tau1_up = up.node(1), tau1_low = low.node(1);
    for (int e = 0; e < 2; ++e)
      for (int j = 1; j <= n; ++j) {
        const double tau = (e == 0 ? up : low).node(j);
        for (int k = 0; k < l; ++k) {
          const double st = g.sin_t[k], ct = g.cos_t[k], st2 = st * st;
          const double u = tau * st2 * st2, s = tau * ct * ct * (1 + st2);
          const double du = g.w[k] * 4 * tau * st2 * st * ct, v = sigma * std::sqrt(s);
          pts.x_up.push_back(std::min(1.0, 2 * std::sqrt(std::sqrt(u / T)) - 1));
          pts.below_up.push_back(u < tau1_up ? u / tau1_up : -1.0);
          pts.x_low.push_back(std::min(1.0, 2 * std::sqrt(u / T) - 1));
          pts.below_low.push_back(u < tau1_low ? u / tau1_low : -1.0);
          pts.wr.push_back(du * std::exp(-r * s));
          pts.wq.push_back(du * std::exp(-q * s));
          pts.drift.push_back(mu * s);
          pts.v.push_back(v);
          pts.inv_v.push_back(1 / v);
        }
      }
  }

  // ln(N/D) + ln(K/B) at node j of end e, lnB = ln B; the integrals four
  // points at a time (precise/lanes.h).
  double residual(int e, int j, double lnB) const {
    using namespace lanes;
    const double tau = (e == 0 ? up : low).node(j), v0 = sigma * std::sqrt(tau);
    const double d0 = (lnB - lnK + (r - q - sigma * sigma / 2) * tau) / v0;
    double N = std::exp(-r * tau) * norm_cdf(d0), D = std::exp(-q * tau) * norm_cdf(d0 + v0);
    const std::size_t row = (static_cast<std::size_t>(e) * n + (j - 1)) * l;
    V In = {}, Id = {}, unused;
    for (int k = 0; k < l; k += 4) {
      const std::size_t i = row + k;
      const V yu = up.y(load(&pts.x_up[i]), load(&pts.below_up[i]));
      const V yl = low.y(load(&pts.x_low[i]), load(&pts.below_low[i]));
      const V drift = load(&pts.drift[i]), v = load(&pts.v[i]), inv_v = load(&pts.inv_v[i]);
      const V a = ((lnB - lnK) + yu + drift) * inv_v, b = ((lnB - lnX) - yl + drift) * inv_v;
      In += load(&pts.wr[i]) * (cdf_pdf(a, unused) + cdf_pdf(-b, unused));
      Id += load(&pts.wq[i]) * (cdf_pdf(a + v, unused) + cdf_pdf(-(b + v), unused));
    }
    N += r * sum(In);
    D += q * sum(Id);
    return std::log(N / D) + lnK - lnB;
  }

  // Smooth pasting at node j of end e: the delta of the put at S = B, the
  // European delta plus the premium's, plus 1.
  double paste(int e, int j, double lnB) const {
    using namespace lanes;
    const double tau = (e == 0 ? up : low).node(j), v0 = sigma * std::sqrt(tau);
    const double d0 = (lnB - lnK + (r - q - sigma * sigma / 2) * tau) / v0;
    const double B = std::exp(lnB);
    double delta = -std::exp(-q * tau) * norm_cdf(-(d0 + v0));
    const std::size_t row = (static_cast<std::size_t>(e) * n + (j - 1)) * l;
    V acc = {};
    for (int k = 0; k < l; k += 4) {
      const std::size_t i = row + k;
      const V yu = up.y(load(&pts.x_up[i]), load(&pts.below_up[i]));
      const V yl = low.y(load(&pts.x_low[i]), load(&pts.below_low[i]));
      const V drift = load(&pts.drift[i]), v = load(&pts.v[i]), inv_v = load(&pts.inv_v[i]);
      const V a = ((lnB - lnK) + yu + drift) * inv_v, b = ((lnB - lnX) - yl + drift) * inv_v;
      V fa, fb, unused;
      cdf_pdf(a, fa);
      cdf_pdf(b, fb);
      const V Pa = cdf_pdf(-(a + v), unused), Pb = cdf_pdf(-(b + v), unused);
      const V Uu = K * exp_of(-yu), Lu = X * exp_of(yl);
      acc += load(&pts.wr[i]) * ((q * Uu - r * K) * fa - (q * Lu - r * K) * fb) * inv_v * (1 / B) -
             load(&pts.wq[i]) * (q * (Pa - Pb));
    }
    return delta + sum(acc) + 1;
  }

  // y: ln(K/U) at the upper nodes 1..n, then ln(L/X) at the lower ones.
  void set(const double* y) {
    double Hu[kMaxNodes + 1] = {}, Hl[kMaxNodes + 1] = {};
    for (int j = 1; j <= n; ++j) {
      Hu[j] = y[j - 1] * y[j - 1];
      Hl[j] = y[n + j - 1] * y[n + j - 1];
    }
    up.fit(Hu);
    low.fit(Hl);
  }
  void F(const std::vector<double>& y, std::vector<double>& f) {
    set(y.data());
    for (int j = 1; j <= n; ++j) {
      f[j - 1] = pasting ? paste(0, j, lnK - y[j - 1]) : residual(0, j, lnK - y[j - 1]);
      f[n + j - 1] = pasting ? paste(1, j, lnX + y[n + j - 1]) : residual(1, j, lnX + y[n + j - 1]);
    }
    for (double& v : f)
      if (!std::isfinite(v)) v = 1e300;
  }
};

double largest(const std::vector<double>& f) {
  double e = 0;
  for (double v : f) e = std::max(e, std::fabs(v));
  return e;
}

bool solve_linear(std::vector<double>& A, std::vector<double>& b, int n) {
  for (int c = 0; c < n; ++c) {
    int p = c;
    for (int i = c + 1; i < n; ++i)
      if (std::fabs(A[i * n + c]) > std::fabs(A[p * n + c])) p = i;
    if (!(std::fabs(A[p * n + c]) > 0)) return false;
    if (p != c) {
      for (int k = 0; k < n; ++k) std::swap(A[c * n + k], A[p * n + k]);
      std::swap(b[c], b[p]);
    }
    for (int i = c + 1; i < n; ++i) {
      const double f = A[i * n + c] / A[c * n + c];
      for (int k = c; k < n; ++k) A[i * n + k] -= f * A[c * n + k];
      b[i] -= f * b[c];
    }
  }
  for (int c = n - 1; c >= 0; --c) {
    double s = b[c];
    for (int k = c + 1; k < n; ++k) s -= A[c * n + k] * b[k];
    b[c] = s / A[c * n + c];
  }
  return true;
}

// Newton's method with a Jacobian by forward differences (2n residuals),
// then kept up to date by Broyden's rank-one updates (one residual a step),
// each step halved until the largest residual falls; a step that cannot
// lower it takes a new Jacobian, and a second such ends the solve. The
// largest residual left.
double newton(Band& b, std::vector<double>& y, double enough) {
  const int N = 2 * b.n;
  std::vector<double> f(N), g(N), J(static_cast<std::size_t>(N) * N), LU(J.size()), step(N), trial(N);
  b.F(y, f);
  bool have = false, fresh = false;
  for (int it = 0; it < 60; ++it) {
    const double now = largest(f);
    if (now < enough) break;
    if (!have) {
      for (int i = 0; i < N; ++i) {
        trial = y;
        const double h = 1e-7 * std::max(1e-2, y[i]);
        trial[i] += h;
        b.F(trial, g);
        for (int k = 0; k < N; ++k) J[static_cast<std::size_t>(k) * N + i] = (g[k] - f[k]) / h;
      }
      have = fresh = true;
    }
    for (int k = 0; k < N; ++k) step[k] = -f[k];
    LU = J;
    if (!solve_linear(LU, step, N)) break;
    bool moved = false;
    double lambda = 1;
    for (int tries = 0; tries < 20 && !moved; ++tries, lambda /= 2) {
      for (int k = 0; k < N; ++k) {
        trial[k] = y[k] + lambda * step[k];
        if (!(trial[k] > 0)) trial[k] = y[k] / 4;
      }
      b.F(trial, g);
      moved = largest(g) < now;
    }
    if (!moved) {
      if (fresh) break;
      have = false;
      continue;
    }
    // J += (dF - J dy) dy' / dy'dy
    double dd = 0;
    for (int k = 0; k < N; ++k) {
      step[k] = trial[k] - y[k];
      dd += step[k] * step[k];
    }
    for (int k = 0; k < N; ++k) {
      double* row = J.data() + static_cast<std::size_t>(k) * N;
      double Jdy = 0;
      for (int i = 0; i < N; ++i) Jdy += row[i] * step[i];
      const double c = ((g[k] - f[k]) - Jdy) / dd;
      for (int i = 0; i < N; ++i) row[i] += c * step[i];
    }
    y = trial;
    f = g;
    fresh = false;
    if (largest(step) < 1e-15) break;
  }
  b.set(y.data());
  return largest(f);
}

// The exercise region of a coarse tree (M steps over H, centred on K) at
// each time to expiry k H/M: lo[k], hi[k], NaN where empty.
void tree_region(double K, double H, double r, double sigma, double q, int M, std::vector<double>& lo,
                 std::vector<double>& hi) {
  const double dt = H / M, mu = (r - q - sigma * sigma / 2) * dt, st = sigma * std::sqrt(dt);
  const double up = std::exp(mu + st), down = std::exp(mu - st);
  const double p = (std::exp((r - q) * dt) - down) / (up - down), disc = std::exp(-r * dt);
  lo.assign(M + 1, NAN);
  hi.assign(M + 1, NAN);
  // The spot at node (j, i), K e^{j mu + (2i - j) st}, as K e^{j mu - j st}
  // times powers of e^{2 st} (a guess needs no better).
  const double ratio = std::exp(2 * st);
  std::vector<double> V(M + 1);
  double x = K * std::exp(M * (mu - st));
  for (int i = 0; i <= M; ++i, x *= ratio) V[i] = std::max(K - x, 0.0);
  for (int j = M - 1; j >= 0; --j) {
    const int k = M - j;
    x = K * std::exp(j * (mu - st));
    for (int i = 0; i <= j; ++i, x *= ratio) {
      const double hold = disc * (p * V[i + 1] + (1 - p) * V[i]);
      if (K - x > hold) {
        V[i] = K - x;
        if (!(x >= lo[k])) lo[k] = x;
        if (!(x <= hi[k])) hi[k] = x;
      } else {
        V[i] = hold;
      }
    }
  }
}

// The ends at the nodes of `to` from the series of `from`.
std::vector<double> values_at(const Band& from, Band& to) {
  std::vector<double> y(2 * to.n);
  for (int j = 1; j <= to.n; ++j) {
    y[j - 1] = from.up.y(to.up.node(j));
    y[to.n + j - 1] = from.low.y(to.low.node(j));
  }
  return y;
}

// The premium of both ends over the European put at S, with its first two
// derivatives in S (as in american_boundary.cpp, for each end).
Premium premium(const Band& b, double S, int points) {
  const Rule& g = rule(points);
  const double T = b.T, r = b.r, q = b.q, K = b.K, sigma = b.sigma;
  Premium p;
  for (std::size_t k = 0; k < g.w.size(); ++k) {
    const double st = g.sin_t[k], ct = g.cos_t[k], st2 = st * st;
    const double u = T * st2 * st2, s = T * ct * ct * (1 + st2);
    const double du = g.w[k] * 4 * T * st2 * st * ct;
    const double v = sigma * std::sqrt(s), er = std::exp(-r * s), eq = std::exp(-q * s);
    const double ends[2] = {b.U(u), b.L(u)};
    for (int e = 0; e < 2; ++e) {
      const double B = ends[e], sign = e == 0 ? 1 : -1;
      const double dm = b.dm(s, S / B), dp = dm + v;
      const double fm = norm_pdf(dm), Pm = norm_cdf(-dm), Pp = norm_cdf(-dp);
      const double A = er * (q * B - r * K);
      p.value += sign * du * (r * K * er * Pm - q * S * eq * Pp);
      p.delta += sign * du * (A * fm / (S * v) - q * eq * Pp);
      p.gamma += sign * du * fm / (S * S * v) * (q * B * er - A * (dm / v + 1));
    }
  }
  return p;
}

// The last layer of the tree's region that is not empty, or -1.
int last_open(const std::vector<double>& lo) {
  for (int k = static_cast<int>(lo.size()) - 1; k >= 1; --k)
    if (!std::isnan(lo[k])) return k;
  return -1;
}

// A band that closes at tau* before 4T is solved as one that stays open,
// for T up to kReach of tau* (the coarse tree's, which may be off by a
// percent or two either way: it misses the last stretch, narrower than its
// steps), but by smooth pasting (delta -1 at either end) in place of value
// matching. As the ends close in, value matching, which
// holds on the whole band and touches zero at its ends, admits solutions
// whose ends meet too early (at T = 0.84 tau* one met at T); smooth pasting
// crosses zero at the ends. The solve runs at the setting's coarse nodes,
// then at twice those nodes and points, then at twice the fine nodes with
// the setting's points (twice those cost twice the time and moved the
// prices by at most 6e-11). Newton's method starts from the tree up to
// kClosing of tau*, and beyond from the solve there, T growing by steps of
// at most 4 %. Nearer tau* the ends turn to meet at an angle, which the
// nodes stop following: there the caller keeps the tree.
constexpr double kClosing = 0.8, kReach = 0.95;

}  // namespace

bool band_value(double S, double K, double T, double r, double sigma, double q, Value& out,
                const BandSetting& set) {
  // A coarse tree over 5T: the band must still be open at 4T (where the
  // tree has 100 layers of nodes on either side of K), and it gives the
  // first guess on [0, T].
  constexpr int kSteps = 500;
  std::vector<double> lo, hi;
  tree_region(K, 5 * T, r, sigma, q, kSteps, lo, hi);
  const bool closing = std::isnan(lo[kSteps * 4 / 5]);
  const double tau_tree = (last_open(lo) + 1) * (5 * T) / kSteps;
  if (closing && !(T <= kReach * tau_tree)) return false;
  // Beyond kClosing of tau*, from a solve there by steps of at most 4 %.
  const double start = closing ? std::min(T, kClosing * tau_tree) : T;
  const int n0 = set.n0;
  Band coarse;
  coarse.K = K, coarse.T = start, coarse.r = r, coarse.sigma = sigma, coarse.q = q, coarse.X = K * (r / q);
  coarse.pasting = closing;
  coarse.resize(n0, set.l0);
  std::vector<double> y(2 * n0);
  auto region = [&](const std::vector<double>& v, double edge, double tau) {
    // v at tau by linear interpolation between the tree's layers (edge at 0).
    const double kf = tau / (5 * T) * kSteps;
    const int k = static_cast<int>(kf);
    const double a = k == 0 ? edge : v[k], c = v[k + 1];
    return std::isnan(a) || std::isnan(c) ? NAN : a + (kf - k) * (c - a);
  };
  for (int j = 1; j <= n0; ++j) {
    const double tu = coarse.up.node(j), tl = coarse.low.node(j);
    double Bu = region(hi, K, tu), Bl = region(lo, coarse.X, tl);
    if (!(Bu < K)) Bu = K * std::exp(-sigma * std::sqrt(tu));
    if (!(Bl > coarse.X)) Bl = coarse.X * std::exp(0.5 * sigma * std::sqrt(tl));
    y[j - 1] = std::log(K / Bu);
    y[n0 + j - 1] = std::log(Bl / coarse.X);
  }
  if (!(newton(coarse, y, 1e-10) < 1e-9)) return false;
  while (coarse.T < T) {
    Band next = coarse;
    next.T = std::min(T, 1.04 * coarse.T);
    next.resize(coarse.n, coarse.l);
    y = values_at(coarse, next);
    if (!(newton(next, y, 1e-10) < 1e-9)) return false;
    coarse = next;
  }
  if (closing) {
    // A second coarse level at twice the nodes and points (from the first,
    // which is cheap to start from the tree), then the fine one at twice
    // the setting's nodes.
    Band next = coarse;
    next.resize(std::min(2 * set.n0, kMaxNodes), std::min(2 * set.l0, 512));
    y = values_at(coarse, next);
    if (!(newton(next, y, 1e-10) < 1e-9)) return false;
    coarse = next;
  }
  Band fine = coarse;
  fine.resize(std::min((closing ? 2 : 1) * set.n, kMaxNodes), set.l);
  y = values_at(coarse, fine);
  if (!(newton(fine, y, 1e-13) < 1e-11)) return false;
  for (int j = 0; j <= 64; ++j) {
    const double tau = T * j / 64;
    if (!(fine.L(tau) < fine.U(tau))) return false;
  }
  const double eur = precise_put_eur(S, K, T, r, sigma, q);
  if (S >= fine.L(T) && S <= fine.U(T) && K - S >= eur) {
    out = {K - S, -1, 0};
    return true;
  }
  const Premium pc = premium(coarse, S, set.points), pf = premium(fine, S, set.points);
  if (!(std::fabs(pf.value - pc.value) <= 1e-7 * (eur + pf.value))) return false;
  out = {eur + pf.value, precise_put_delta_eur(S, K, T, r, sigma, q) + pf.delta,
         precise_gamma_eur(S, K, T, r, sigma, q) + pf.gamma};
  if (!(out.price > K - S)) out = {K - S, -1, 0};
  if (!(out.price >= eur)) out.price = eur;
  return true;
}

}  // namespace vexal::american
