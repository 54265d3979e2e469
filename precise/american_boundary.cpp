// The put's exercise boundary by Newton's method on the collocated
// value-matching equation (see american_boundary.h), and the premium it
// implies.
//
// Unknowns y_j = ln(X/B(tau_j)) at the Chebyshev-Lobatto points of
// w = (tau/T)^(1/4), w_j = (1 - cos(j pi/n))/2 (y_0 = 0 at tau = 0); H = y^2
// is interpolated by Chebyshev polynomials in w. The fourth root puts half
// the nodes in the first sixteenth of the life, where B leaves X like
// sqrt(tau ln(1/tau)) when r >= q, and turns that behaviour into a smooth
// function of w. Below the first node, where the polynomial through all of
// them says little, H grows like u. Each Newton step solves the n x n
// system with the whole Jacobian (the B(u) under the integrals move with
// every y_i through the interpolation) and is halved until the residual
// falls. A coarse solve from an analytic first guess, converged, starts the
// fine one, which then needs one step for most options.
//
// Integrals over u in [0, tau] run over theta, u = tau sin^p(theta), p = 2
// or 4: then sqrt(u) (p = 2) or u^(1/4) (p = 4) and sqrt(tau - u) are
// smooth in theta. Gauss-Legendre for the boundary equation; tanh-sinh for
// the price's premium integral, whose nodes crowd both ends, where the
// integrand turns sharply when S is near B(T). The integrands are taken
// four quadrature points at a time (precise/lanes.h).
#include "precise/american_boundary.h"

#include <cmath>
#include <algorithm>
#include <mutex>
#include <vector>
#include <cstring>

#include "core/numeric.h"
#include "precise/functions.h"
#include "precise/lanes.h"

// Lanes pass between functions only where those are inlined.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace vexal::american {

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;
constexpr double kInvSqrt2 = 0.70710678118654752440;

// Gauss-Legendre nodes and weights on [0, pi/2], kept as sin and cos of
// theta; built once per node count.
constexpr int kMaxQuad = 128;

struct Rule {
  int size = 0;
  // sec = sqrt(1 + sin^2 theta), for u = tau sin^4(theta).
  double sin_t[kMaxQuad], cos_t[kMaxQuad], w[kMaxQuad], sec[kMaxQuad];
};

void build_gauss_legendre(Rule& rule, int l) {
  rule.size = l;
  for (int i = 0; i < l; ++i) {
    // Newton on P_l from the asymptotic guess for the i-th root.
    double x = std::cos(kPi * (i + 0.75) / (l + 0.5));
    double dp = 1;
    for (int it = 0; it < 100; ++it) {
      double p0 = 1, p1 = x;
      for (int k = 2; k <= l; ++k) {
        const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      if (l == 1) p0 = 1;
      dp = l * (x * p1 - p0) / (x * x - 1);
      const double dx = p1 / dp;
      x -= dx;
      if (std::fabs(dx) < 1e-16) break;
    }
    {
      double p0 = 1, p1 = x;
      for (int k = 2; k <= l; ++k) {
        const double p2 = ((2 * k - 1) * x * p1 - (k - 1) * p0) / k;
        p0 = p1;
        p1 = p2;
      }
      dp = l * (x * p1 - (l == 1 ? 1 : p0)) / (x * x - 1);
    }
    // theta = pi/4 (1 + x); pi/2 - theta = pi/4 (1 - x).
    const double t = kHalfPi / 2 * (1 + x), c = kHalfPi / 2 * (1 - x);
    rule.sin_t[i] = std::sin(t);
    rule.cos_t[i] = std::sin(c);
    rule.w[i] = kHalfPi / 2 * 2 / ((1 - x * x) * dp * dp);
    rule.sec[i] = std::sqrt(1 + rule.sin_t[i] * rule.sin_t[i]);
  }
}

const Rule& gauss_legendre(int l) {
  static std::once_flag once[kMaxQuad + 1];
  static Rule rules[kMaxQuad + 1];
  std::call_once(once[l], [l] { build_gauss_legendre(rules[l], l); });
  return rules[l];
}

// Tanh-sinh on [0, pi/2]: theta = (pi/2) / (1 + e^{-pi sinh t}), t = k h,
// |t| <= 3.2, h = 2^-level; sin and cos of theta from theta and from
// pi/2 - theta, each accurate where it is small.
constexpr int kMaxLevel = 8;

struct TanhSinh {
  std::vector<double> sin_t, cos_t, w;
};

const TanhSinh& tanh_sinh(int level) {
  static std::once_flag once[kMaxLevel + 1];
  static TanhSinh rules[kMaxLevel + 1];
  std::call_once(once[level], [level] {
    TanhSinh& r = rules[level];
    const double h = std::ldexp(1.0, -level);
    const int M = static_cast<int>(std::ceil(3.2 / h));
    for (int k = -M; k <= M; ++k) {
      const double t = k * h, sh = std::sinh(t), ch = std::cosh(t);
      const double ep = std::exp(kPi * sh), em = std::exp(-kPi * sh);
      const double theta = kHalfPi / (1 + em), comp = kHalfPi / (1 + ep);
      // d theta / dt = (pi/2) pi cosh t e^{-pi sinh t} / (1 + e^{-pi sinh t})^2
      const double dtheta = kHalfPi * kPi * ch / ((1 + em) * (1 + ep));
      r.sin_t.push_back(std::sin(theta));
      r.cos_t.push_back(std::sin(comp));
      r.w.push_back(h * dtheta);
    }
    // Padded to whole groups of four lanes by nodes of weight zero.
    while (r.w.size() % 4 != 0) {
      r.sin_t.push_back(kInvSqrt2);
      r.cos_t.push_back(kInvSqrt2);
      r.w.push_back(0);
    }
  });
  return rules[level];
}

// The DCT-I that takes values at the Lobatto points xi_i = -cos(i pi/n) to
// Chebyshev coefficients, a_c = sum_i C[c][i] H_i; built once per n.
const std::vector<double>& dct(int n) {
  static std::once_flag once[kMaxNodes + 1];
  static std::vector<double> cache[kMaxNodes + 1];
  std::call_once(once[n], [n] {
    std::vector<double>& C = cache[n];
    C.resize(static_cast<std::size_t>(n + 1) * (n + 1));
    for (int c = 0; c <= n; ++c)
      for (int i = 0; i <= n; ++i) {
        const double cs = std::cos(kPi * static_cast<double>(i * c % (2 * n)) / n);
        double e = ((c % 2) ? -cs : cs) * 2 / n;
        if (i == 0 || i == n) e /= 2;
        if (c == 0 || c == n) e /= 2;
        C[static_cast<std::size_t>(c) * (n + 1) + i] = e;
      }
  });
  return cache[n];
}

// The Chebyshev series of H on the interpolation variable from its values at
// the Lobatto points.
void chebyshev_coefficients(Boundary& b, const double* H) {
  const int n = b.n;
  const double* C = dct(n).data();
  for (int c = 0; c <= n; ++c) {
    double sum = 0;
    for (int i = 0; i <= n; ++i) sum += C[static_cast<std::size_t>(c) * (n + 1) + i] * H[i];
    b.a[c] = sum;
  }
}

double perpetual_put_boundary(double K, double r, double sigma, double q) {
  // The negative root of sigma^2/2 l (l - 1) + (r - q) l - r = 0.
  const double s2 = sigma * sigma, b = r - q - s2 / 2;
  const double lam = (-b - std::sqrt(b * b + 2 * s2 * r)) / s2;
  return lam < 0 ? K * lam / (lam - 1) : 0.0;
}

// The interpolation variable in [-1, 1] from w = sqrt(u/T).
inline double to_xi(double w) { return 2 * std::sqrt(w) - 1; }

// The Chebyshev polynomials T_0..T_n at the interpolation variable of every
// tanh-sinh node, (c, k) row major; built once per (level, n).
const std::vector<double>& premium_basis(int level, int n) {
  static std::once_flag once[kMaxLevel + 1][kMaxNodes + 1];
  static std::vector<double> cache[kMaxLevel + 1][kMaxNodes + 1];
  std::call_once(once[level][n], [level, n] {
    const TanhSinh& ts = tanh_sinh(level);
    const std::size_t size = ts.w.size();
    std::vector<double>& B = cache[level][n];
    B.assign(static_cast<std::size_t>(n + 1) * size, 0.0);
    for (std::size_t k = 0; k < size; ++k) {
      const double xi = to_xi(ts.sin_t[k]);
      double t0 = 1, t1 = xi;
      B[k] = 1;
      if (n >= 1) B[size + k] = xi;
      for (int c = 2; c <= n; ++c) {
        const double t2 = 2 * xi * t1 - t0;
        B[static_cast<std::size_t>(c) * size + k] = t2;
        t0 = t1;
        t1 = t2;
      }
    }
  });
  return cache[level][n];
}

// The nodes of one level, independent of the market: Lobatto points
// w_j = sqrt(tau_j / T) = (1 - cos(j pi/n))/2, the Gauss-Legendre theta of
// every integral, and the interpolation weights Mt (H at point k of node j
// = sum_h Mt[j][h][k] H_h over h = 1..n; H_0 = 0), laid out so that a node's
// points are contiguous for each h. Built once per (n, l, power).
struct Geometry {
  int n = 0, l = 0;
  std::vector<double> w, Mt;
};

const Geometry& geometry(int n, int l, int power) {
  static std::once_flag once[2][kMaxNodes + 1][kMaxQuad + 1];
  static Geometry cache[2][kMaxNodes + 1][kMaxQuad + 1];
  const int p = power == 4;
  std::call_once(once[p][n][l], [n, l, p] {
    Geometry& G = cache[p][n][l];
    G.n = n;
    G.l = l;
    const Rule& g = gauss_legendre(l);
    G.w.resize(n + 1);
    for (int j = 0; j <= n; ++j) { const double c = (1 - std::cos(kPi * j / n)) / 2; G.w[j] = c * c; }
    const std::vector<double>& C = dct(n);
    G.Mt.assign(static_cast<std::size_t>(n) * n * l, 0.0);
    std::vector<double> Tc(n + 1);
    for (int j = 1; j <= n; ++j)
      for (int k = 0; k < l; ++k) {
        auto at = [&](int h) -> double& { return G.Mt[(static_cast<std::size_t>(j - 1) * n + h - 1) * l + k]; };
        const double wu = G.w[j] * (p ? g.sin_t[k] * g.sin_t[k] : g.sin_t[k]);
        if (wu < G.w[1]) {
          // Below the first node H grows like u (B leaves X like sqrt(u)),
          // not as the polynomial through every node would have it there.
          at(1) = (wu / G.w[1]) * (wu / G.w[1]);
          continue;
        }
        const double xi = to_xi(wu);
        Tc[0] = 1;
        Tc[1] = xi;
        for (int c = 2; c <= n; ++c) Tc[c] = 2 * xi * Tc[c - 1] - Tc[c - 2];
        for (int c = 0; c <= n; ++c)
          for (int h = 1; h <= n; ++h) at(h) += Tc[c] * C[static_cast<std::size_t>(c) * (n + 1) + h];
      }
  });
  return cache[p][n][l];
}

// One level of the solve for one market: the fixed factors of every
// integrand, in one allocation.
struct Level {
  int n = 0, l = 0;
  const double* Mt = nullptr;
  std::vector<double> store;
  const double *tau = nullptr, *sqrt_tau = nullptr;  // j = 0..n
  // per (j, k), j = 1..n: e^{r u} du and e^{q u} du; the same over
  // sigma sqrt(s), s = tau - u; the drift (r - q - sigma^2/2) s of d-;
  // sigma sqrt(s) and its inverse.
  const double *er = nullptr, *eq = nullptr, *ern = nullptr, *eqn = nullptr, *drift = nullptr,
               *vol = nullptr, *inv_vol = nullptr;
};

// The market's numbers the boundary equation needs.
struct Market {
  double K, lnK, X, lnX, r, sigma, q;
};

// What follows is the solver's arithmetic, forced inline into the two
// builds of put_boundary and put_premium below (baseline and AVX2).
VEXAL_LANES void make_level(Level& L, int n, int l, int power, double T, const Market& m) {
  using namespace lanes;
  const Geometry& G = geometry(n, l, power);
  const Rule& g = gauss_legendre(l);
  L.n = n;
  L.l = l;
  L.Mt = G.Mt.data();
  const std::size_t size = static_cast<std::size_t>(n) * l;
  L.store.resize(2 * (n + 1) + 7 * size);
  double* p = L.store.data();
  double* tau = p;
  double* sqrt_tau = p + n + 1;
  double* er = p + 2 * (n + 1);
  double *eq = er + size, *ern = eq + size, *eqn = ern + size, *drift = eqn + size, *vol = drift + size,
         *inv_vol = vol + size;
  const double sqrtT = std::sqrt(T);
  for (int j = 0; j <= n; ++j) {
    sqrt_tau[j] = sqrtT * G.w[j];
    tau[j] = sqrt_tau[j] * sqrt_tau[j];
  }
  const double r = m.r, q = m.q, sigma = m.sigma;
  const double mu = r - q - sigma * sigma / 2;
  for (int j = 1; j <= n; ++j) {
    const double t = tau[j], rt = sqrt_tau[j];
    for (int k = 0; k < l; k += 4) {
      const std::size_t i = static_cast<std::size_t>(j - 1) * l + k;
      const V st = load(g.sin_t + k), ct = load(g.cos_t + k), w = load(g.w + k);
      V u, s, du, dus, v;  // dus = du / (sigma sqrt s), v = sigma sqrt s
      if (power == 4) {
        // u = tau sin^4, tau - u = tau cos^2 (1 + sin^2)
        const V st2 = st * st, c = load(g.sec + k);
        u = t * st2 * st2;
        s = t * ct * ct * (1 + st2);
        du = w * 4 * t * st2 * st * ct;
        dus = w * 4 * rt * st2 * st / (sigma * c);
        v = sigma * rt * ct * c;
      } else {
        u = t * st * st;
        s = t * ct * ct;
        du = w * 2 * t * st * ct;
        dus = w * 2 * rt * st / sigma;
        v = sigma * rt * ct;
      }
      const V eru = exp_of(r * u), equ = exp_of(q * u);
      store(er + i, eru * du);
      store(eq + i, equ * du);
      store(ern + i, eru * dus);
      store(eqn + i, equ * dus);
      store(drift + i, mu * s);
      store(vol + i, v);
      store(inv_vol + i, 1 / v);
    }
  }
  L.tau = tau;
  L.sqrt_tau = sqrt_tau;
  L.er = er;
  L.eq = eq;
  L.ern = ern;
  L.eqn = eqn;
  L.drift = drift;
  L.vol = vol;
  L.inv_vol = inv_vol;
}

inline double clenshaw(const double* a, int n, double x) {
  const double x2 = 2 * x;
  double b1 = 0, b2 = 0;
  for (int c = n; c >= 1; --c) {
    const double t = x2 * b1 - b2 + a[c];
    b2 = b1;
    b1 = t;
  }
  return x * b1 - b2 + a[0];
}

inline double root_of(double H) { return std::sqrt(H > 0 ? H : 0.0); }

// Gaussian elimination with partial pivoting on the n x n system A x = b
// (row major); b becomes x. False if singular.
VEXAL_LANES bool solve_linear(double* A, double* b, int n) {
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
      if (f == 0) continue;
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

// The residual F of the collocated equation at y (y_0 = 0 .. y_n), with
// what its Jacobian needs: G_jk, the weight of row (j, k) of the
// interpolation in row j, and the diagonal part. H and g are scratch of
// n and 2 l doubles.
struct State {
  double *F, *G, *diag;
};

VEXAL_LANES void residual(const Level& L, const Market& m, const double* y, double* H, double* g,
                          State& S) {
  using namespace lanes;
  const int n = L.n, l = L.l;
  const double r = m.r, q = m.q, sigma = m.sigma;
  for (int i = 0; i < n; ++i) H[i] = y[i + 1] * y[i + 1];
  double* ga = g;
  double* gb = g + l;
  for (int j = 1; j <= n; ++j) {
    const double tau = L.tau[j], rt = L.sqrt_tau[j];
    const double lnB = m.lnX - y[j], shift = lnB - m.lnX;
    const double* Mj = L.Mt + static_cast<std::size_t>(j - 1) * n * l;
    const std::size_t row = static_cast<std::size_t>(j - 1) * l;
    V Ni = {}, Di = {}, dNi = {}, dDi = {};
    for (int k = 0; k < l; k += 4) {
      // H at four of the node's quadrature points, a column of Mt at a time.
      V Hu = {}, Hv = {};
      int h = 0;
      for (; h + 1 < n; h += 2) {
        Hu += load(Mj + static_cast<std::size_t>(h) * l + k) * H[h];
        Hv += load(Mj + static_cast<std::size_t>(h + 1) * l + k) * H[h + 1];
      }
      if (h < n) Hu += load(Mj + static_cast<std::size_t>(h) * l + k) * H[h];
      Hu += Hv;
      const std::size_t i = row + k;
      const V yu = root(pick(Hu > 0, Hu, V{}));
      const V dm = ((shift + yu) + load(L.drift + i)) * load(L.inv_vol + i);
      const V dp = dm + load(L.vol + i);
      V fm, fp;
      const V cm = cdf_pdf(dm, fm), cp = cdf_pdf(dp, fp);
      const V pm = load(L.ern + i) * fm, pp = load(L.eqn + i) * fp;
      Ni += load(L.er + i) * cm;
      Di += load(L.eq + i) * cp;
      dNi += pm;
      dDi += pp;
      const V inv = pick(yu > 0, 1 / yu, V{});
      store(ga + k, r * pm * inv);
      store(gb + k, q * pp * inv);
    }
    const double v = sigma * rt;
    const double dm = (lnB - m.lnK + (r - q - sigma * sigma / 2) * tau) / v;
    const double dp = dm + v;
    double fm, fp;
    const double N = cdf_pdf(dm, fm) + r * sum(Ni), D = cdf_pdf(dp, fp) + q * sum(Di);
    // d N / d ln B_j and d D / d ln B_j
    const double dN = fm / v + r * sum(dNi), dD = fp / v + q * sum(dDi);
    S.F[j - 1] = std::log(N / D) + m.lnK - (r - q) * tau - lnB;
    if (!std::isfinite(S.F[j - 1])) S.F[j - 1] = 1e300;
    const V iN = splat(1 / N), iD = splat(1 / D);
    for (int k = 0; k < l; k += 4) store(S.G + row + k, load(ga + k) * iN - load(gb + k) * iD);
    S.diag[j - 1] = 1 - dN / N + dD / D;
  }
}

// The Jacobian at y from the state there: J_jh = y_h sum_k G_jk M_jkh + the
// diagonal part, a dot product over the node's quadrature points for each h.
VEXAL_LANES void jacobian(const Level& L, const double* y, const State& S, double* J) {
  using namespace lanes;
  const int n = L.n, l = L.l;
  for (int j = 1; j <= n; ++j) {
    double* Jr = J + static_cast<std::size_t>(j - 1) * n;
    const double* Gj = S.G + static_cast<std::size_t>(j - 1) * l;
    const double* Mj = L.Mt + static_cast<std::size_t>(j - 1) * n * l;
    for (int h = 0; h < n; ++h) {
      const double* col = Mj + static_cast<std::size_t>(h) * l;
      V a = {};
      for (int k = 0; k < l; k += 4) a += load(Gj + k) * load(col + k);
      Jr[h] = sum(a) * y[h + 1];
    }
    Jr[j - 1] += S.diag[j - 1];
  }
}

// Residuals weighted by sqrt(tau_j / T): the nodes nearest expiry are the
// stiffest and matter least to the price; a step must also keep the
// largest unweighted residual in bounds.
inline double weighted(const Level& L, const double* F) {
  double e = 0;
  const double rT = L.sqrt_tau[L.n];
  for (int i = 0; i < L.n; ++i) e = std::max(e, std::fabs(F[i]) * (L.sqrt_tau[i + 1] / rT));
  return e;
}

inline double largest(const double* F, int n) {
  double e = 0;
  for (int i = 0; i < n; ++i) e = std::max(e, std::fabs(F[i]));
  return e;
}

// m Newton steps on F_j(y) = ln f_j - ln B_j = 0, y_j = ln(X/B_j) =
// sqrt(H_j), j = 1..n, with the whole Jacobian: the B(u) under the
// integrals move with y through the interpolation, d ln B(u) / d y_i =
// -M_i y_i / y(u). A step is halved until the weighted residual falls and
// the largest stays under twice its size or 1e-4: at the few nodes nearest
// expiry, where y is tiny, full steps overshoot without moving the price,
// and halving for them would slow the others to a linear rate. A step
// within `enough` (weighted; and 1e-3 at every node), or the last if within
// the larger of `enough` and 1e-7, is taken unchecked and ends the solve
// (Newton's error after it is of the order of its square).
VEXAL_LANES double newton(const Level& L, const Market& m, std::vector<double>& y, int steps,
                          double enough) {
  const int n = L.n, l = L.l;
  const std::size_t nl = static_cast<std::size_t>(n) * l;
  std::vector<double> work(2 * (2 * n + nl) + (n + 1) + n * n + 2 * n + 2 * l);
  double* p = work.data();
  State cur{p, p + n, p + n + nl}, trial{p + 2 * n + nl, p + 3 * n + nl, p + 3 * n + 2 * nl};
  p += 2 * (2 * n + nl);
  double* yt = p;
  double* J = yt + n + 1;
  double* step = J + n * n;
  double* H = step + n;
  double* g = H + n;
  yt[0] = 0;
  residual(L, m, y.data(), H, g, cur);
  double norm = weighted(L, cur.F);
  for (int it = 0; it < steps; ++it) {
    for (int i = 0; i < n; ++i) step[i] = -cur.F[i];
    jacobian(L, y.data(), cur, J);
    if (!solve_linear(J, step, n)) break;
    const double taken = weighted(L, step);
    if ((it == steps - 1 || taken <= enough) && taken <= std::max(enough, 1e-7) && largest(step, n) <= 1e-3) {
      for (int j = 1; j <= n; ++j) y[j] += step[j - 1];
      return taken;
    }
    double lambda = 1;
    for (int tries = 0; tries < 6; ++tries, lambda /= 2) {
      for (int j = 1; j <= n; ++j) {
        const double next = y[j] + lambda * step[j - 1];
        yt[j] = next > 0 ? next : y[j] / 4;
      }
      residual(L, m, yt, H, g, trial);
      if (weighted(L, trial.F) <= norm && largest(trial.F, n) <= std::max(2 * largest(cur.F, n), 1e-4)) break;
    }
    for (int j = 1; j <= n; ++j) y[j] = yt[j];
    std::swap(cur, trial);
    norm = weighted(L, cur.F);
  }
  return largest(cur.F, n) < 1e300 ? weighted(L, cur.F) : INFINITY;
}

// The coarse solve stops at a weighted step of 1e-7, where its boundary is
// as close to the fine one as its nodes allow; from there one step of the
// fine solve within the library's 1e-5 leaves prices over the grid within
// 1e-11 of the converged fine boundary's.
constexpr double kCoarseEnough = 1e-7;

void set_coefficients(Boundary& b, const std::vector<double>& y) {
  std::vector<double> H(b.n + 1);
  for (int j = 0; j <= b.n; ++j) H[j] = y[j] * y[j];
  chebyshev_coefficients(b, H.data());
}

// The solve at level (n, l) from the boundary b holds (from the analytic
// guess when it holds none): below b's first node, B leaves X like
// sqrt(tau). `from` and y are the level and the solution b came from.
VEXAL_LANES double solve_level(Boundary& b, Level& from, std::vector<double>& y, const Market& m,
                               int n, int l, int power, int steps, double enough) {
  Level L;
  make_level(L, n, l, power, b.T, m);
  std::vector<double> next(n + 1, 0.0);
  const double X = m.X;
  const double Binf = b.n == 0 ? perpetual_put_boundary(m.K, m.r, m.sigma, m.q) : 0.0;
  for (int j = 1; j <= n; ++j) {
    if (b.n == 0) {
      // From X towards the perpetual boundary like e^{-2 sigma sqrt(tau)}.
      const double guess = Binf + (X - Binf) * std::exp(-2 * m.sigma * L.sqrt_tau[j] * X / (X - Binf));
      next[j] = std::log(X / guess);
    } else {
      next[j] = L.tau[j] < from.tau[1] ? y[1] * L.sqrt_tau[j] / from.sqrt_tau[1]
                                       : root_of(clenshaw(b.a, b.n, to_xi(L.sqrt_tau[j] / b.sqrtT)));
    }
  }
  const double residual = newton(L, m, next, steps, enough);
  b.n = n;
  set_coefficients(b, next);
  from = std::move(L);
  y = std::move(next);
  return residual;
}

VEXAL_LANES Boundary boundary(double K, double T, double r, double sigma, double q, const Setting& s) {
  Boundary b;
  b.T = T;
  b.sqrtT = std::sqrt(T);
  const double X = q > 0 && r < q ? K * (r / q) : K;
  b.lnX = std::log(X);
  const Market m{K, std::log(K), X, b.lnX, r, sigma, q};
  Level from;
  std::vector<double> y;
  solve_level(b, from, y, m, s.n0, s.l0, s.power, s.m0, kCoarseEnough);
  b.residual = solve_level(b, from, y, m, s.n, s.l, s.power, s.m, s.enough);
  return b;
}

VEXAL_LANES Premium premium(const Boundary& b, double S, double K, double r, double sigma, double q,
                            const Setting& s) {
  using namespace lanes;
  // With d-+ = d-+(T - u, S/B(u)), v = sigma sqrt(T - u), s = T - u and
  // S e^{-q s} phi(d+) = B e^{-r s} phi(d-), the integrand and its
  // derivatives in S are
  //   g   = r K e^{-r s} Phi(-d-) - q S e^{-q s} Phi(-d+),
  //   g'  = A phi(d-)/(S v) - q e^{-q s} Phi(-d+),   A = e^{-r s} (q B - r K),
  //   g'' = phi(d-)/(S^2 v) (q B e^{-r s} - A (d-/v + 1)).
  const TanhSinh& ts = tanh_sinh(s.level);
  const std::size_t size = ts.w.size();
  // H at every node (sqrt(u/T) = sin(theta)), a Chebyshev polynomial at a time.
  const double* basis = premium_basis(s.level, b.n).data();
  std::vector<double> Hs(size, 0.0);
  for (int c = 0; c <= b.n; ++c) {
    const double ac = b.a[c];
    const double* __restrict Tc = basis + static_cast<std::size_t>(c) * size;
    double* __restrict h = Hs.data();
    for (std::size_t k = 0; k < size; ++k) h[k] += ac * Tc[k];
  }
  const double T = b.T, rt = b.sqrtT, lnS = std::log(S);
  const double mu = r - q - sigma * sigma / 2;
  V value = {}, delta = {}, gamma = {};
  for (std::size_t k = 0; k < size; k += 4) {
    const V st = load(ts.sin_t.data() + k), ct = load(ts.cos_t.data() + k);
    const V sl = T * ct * ct;
    const V v = sigma * rt * ct;
    const V Hk = load(Hs.data() + k);
    const V lu = b.lnX - root(pick(Hk > 0, Hk, V{}));
    const V inv_v = 1 / v;
    const V dm = (lnS - lu + mu * sl) * inv_v, dp = dm + v;
    V fm, fp;
    const V Pm = cdf_pdf(-dm, fm), Pp = cdf_pdf(-dp, fp);
    const V er = exp_of(-r * sl), eq = exp_of(-q * sl);
    const V Bu = exp_of(lu);
    const V A = er * (q * Bu - r * K);
    const V w = load(ts.w.data() + k) * 2 * T * st * ct;  // du
    value += w * (r * K * er * Pm - q * S * eq * Pp);
    delta += w * (A * fm * inv_v / S - q * eq * Pp);
    gamma += w * fm * inv_v / (S * S) * (q * Bu * er - A * (dm * inv_v + 1));
  }
  return {sum(value), sum(delta), sum(gamma)};
}

Boundary boundary_baseline(double K, double T, double r, double sigma, double q, const Setting& s) {
  return boundary(K, T, r, sigma, q, s);
}
Premium premium_baseline(const Boundary& b, double S, double K, double r, double sigma, double q,
                         const Setting& s) {
  return premium(b, S, K, r, sigma, q, s);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) Boundary boundary_avx2(double K, double T, double r, double sigma,
                                                        double q, const Setting& s) {
  return boundary(K, T, r, sigma, q, s);
}
__attribute__((target("avx2"))) Premium premium_avx2(const Boundary& b, double S, double K, double r,
                                                      double sigma, double q, const Setting& s) {
  return premium(b, S, K, r, sigma, q, s);
}
#else
Boundary boundary_avx2(double K, double T, double r, double sigma, double q, const Setting& s) {
  return boundary(K, T, r, sigma, q, s);
}
Premium premium_avx2(const Boundary& b, double S, double K, double r, double sigma, double q,
                     const Setting& s) {
  return premium(b, S, K, r, sigma, q, s);
}
#endif

// The lanes take the quadrature points four at a time.
static_assert(kPrecise.l0 % 4 == 0 && kPrecise.l % 4 == 0 && kPreciseAbove.l0 % 4 == 0 &&
              kPreciseAbove.l % 4 == 0 && kPreciseNear.l0 % 4 == 0 && kPreciseNear.l % 4 == 0 &&
              kReference.l0 % 4 == 0 && kReference.l % 4 == 0);

}  // namespace

Isa best_isa() { return have_avx2() ? Isa::avx2 : Isa::baseline; }

double Boundary::H(double u) const {
  const double x = to_xi(std::sqrt(u) / sqrtT);
  return clenshaw(a, n, x < -1 ? -1 : x > 1 ? 1 : x);
}

double Boundary::log_at(double u) const { return lnX - root_of(H(u)); }

Boundary put_boundary(double K, double T, double r, double sigma, double q, const Setting& s, Isa isa) {
  return isa == Isa::avx2 ? boundary_avx2(K, T, r, sigma, q, s) : boundary_baseline(K, T, r, sigma, q, s);
}

Premium put_premium(const Boundary& b, double S, double K, double r, double sigma, double q,
                    const Setting& s, Isa isa) {
  return isa == Isa::avx2 ? premium_avx2(b, S, K, r, sigma, q, s) : premium_baseline(b, S, K, r, sigma, q, s);
}

PremiumRule put_premium_rule(const Boundary& b, double K, double r, double sigma, const Setting& s) {
  const TanhSinh& ts = tanh_sinh(s.level);
  const std::size_t size = ts.w.size();
  const double* basis = premium_basis(s.level, b.n).data();
  const double T = b.T, mu = r - sigma * sigma / 2, rK = r * K;
  PremiumRule out;
  for (std::size_t k = 0; k < size; ++k) {
    const double ct = ts.cos_t[k], sl = T * ct * ct;
    const double f = ts.w[k] * 2 * T * ts.sin_t[k] * ct * rK * std::exp(-r * sl);
    if (!(f > 1e-17 * rK * T)) continue;
    double H = 0;
    for (int c = 0; c <= b.n; ++c) H += b.a[c] * basis[static_cast<std::size_t>(c) * size + k];
    out.f.push_back(f);
    out.c.push_back(b.lnX - root_of(H) - mu * sl);
    out.sd.push_back(sigma * b.sqrtT * ct);
  }
  return out;
}

}  // namespace vexal::american
