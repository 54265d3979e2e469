// The put's exercise boundary by Newton's method on the collocated
// value-matching equation (see american_boundary.h), and the premium it
// implies.
//
// Unknowns y_j = ln(X/B(tau_j)) at the Chebyshev-Lobatto points of
// w = (tau/T)^(1/4), w_j = (1 - cos(j pi/n))/2 (y_0 = 0 at tau = 0); H = y^2
// is interpolated by Chebyshev polynomials in w. The fourth root puts half
// the nodes in the first sixteenth of the life, where B leaves X like
// sqrt(tau ln(1/tau)) when r >= q, and turns that behaviour into a smooth
// function of w. Each Newton step solves the n x n system with the whole
// Jacobian (the B(u) under the integrals move with every y_i through the
// interpolation) and is halved until the residual falls. A coarse solve
// from an analytic first guess, converged, starts the fine one, which then
// needs one step for most options.
//
// Integrals over u in [0, tau] run over theta, u = tau sin^2(theta): then
// sqrt(u) and sqrt(tau - u) are both smooth in theta. Gauss-Legendre for the
// boundary equation; tanh-sinh for the price's premium integral, whose
// nodes crowd both ends, where the integrand turns sharply when S is near
// B(T).
#include "precise/american_boundary.h"

#include <cmath>
#include <algorithm>
#include <mutex>
#include <vector>
#include <cstring>

#include "precise/erfc.h"
#include "precise/functions.h"

namespace vexal::american {

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kPi = 3.141592653589793;

// Gauss-Legendre nodes and weights on [0, pi/2], kept as sin and cos of
// theta; built once per node count.
constexpr int kMaxQuad = 128;

struct Rule {
  int size = 0;
  double sin_t[kMaxQuad], cos_t[kMaxQuad], w[kMaxQuad];
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
  });
  return rules[level];
}

// e^x inside the integrals: x = (64 k + j) ln2/64 + t, |t| <= ln2/128,
// e^x = 2^k 2^{j/64} e^t, e^t by its Taylor polynomial of degree 6 (error
// under 3e-20) and 2^{j/64} from a table (rounded to nearest); within 4
// ulp, 0 below -708.
constexpr double kExp2[64] = {
    0x1.0000000000000p+0, 0x1.02c9a3e778061p+0, 0x1.059b0d3158574p+0, 0x1.0874518759bc8p+0,
    0x1.0b5586cf9890fp+0, 0x1.0e3ec32d3d1a2p+0, 0x1.11301d0125b51p+0, 0x1.1429aaea92de0p+0,
    0x1.172b83c7d517bp+0, 0x1.1a35beb6fcb75p+0, 0x1.1d4873168b9aap+0, 0x1.2063b88628cd6p+0,
    0x1.2387a6e756238p+0, 0x1.26b4565e27cddp+0, 0x1.29e9df51fdee1p+0, 0x1.2d285a6e4030bp+0,
    0x1.306fe0a31b715p+0, 0x1.33c08b26416ffp+0, 0x1.371a7373aa9cbp+0, 0x1.3a7db34e59ff7p+0,
    0x1.3dea64c123422p+0, 0x1.4160a21f72e2ap+0, 0x1.44e086061892dp+0, 0x1.486a2b5c13cd0p+0,
    0x1.4bfdad5362a27p+0, 0x1.4f9b2769d2ca7p+0, 0x1.5342b569d4f82p+0, 0x1.56f4736b527dap+0,
    0x1.5ab07dd485429p+0, 0x1.5e76f15ad2148p+0, 0x1.6247eb03a5585p+0, 0x1.6623882552225p+0,
    0x1.6a09e667f3bcdp+0, 0x1.6dfb23c651a2fp+0, 0x1.71f75e8ec5f74p+0, 0x1.75feb564267c9p+0,
    0x1.7a11473eb0187p+0, 0x1.7e2f336cf4e62p+0, 0x1.82589994cce13p+0, 0x1.868d99b4492edp+0,
    0x1.8ace5422aa0dbp+0, 0x1.8f1ae99157736p+0, 0x1.93737b0cdc5e5p+0, 0x1.97d829fde4e50p+0,
    0x1.9c49182a3f090p+0, 0x1.a0c667b5de565p+0, 0x1.a5503b23e255dp+0, 0x1.a9e6b5579fdbfp+0,
    0x1.ae89f995ad3adp+0, 0x1.b33a2b84f15fbp+0, 0x1.b7f76f2fb5e47p+0, 0x1.bcc1e904bc1d2p+0,
    0x1.c199bdd85529cp+0, 0x1.c67f12e57d14bp+0, 0x1.cb720dcef9069p+0, 0x1.d072d4a07897cp+0,
    0x1.d5818dcfba487p+0, 0x1.da9e603db3285p+0, 0x1.dfc97337b9b5fp+0, 0x1.e502ee78b3ff6p+0,
    0x1.ea4afa2a490dap+0, 0x1.efa1bee615a27p+0, 0x1.f50765b6e4540p+0, 0x1.fa7c1819e90d8p+0,
};

inline double fast_exp(double x) {
  if (!(x > -708)) return x < -708 ? 0.0 : x;
  if (x > 709) return INFINITY;
  constexpr double kInvStep = 92.332482616893656768;  // 64/ln2
  // ln2/64 in two parts, the first with 36 significant bits (k kStepHi exact).
  constexpr double kStepHi = 1.0830424696223417e-02, kStepLo = 2.572804622327669e-14;
  // Rounded to an integer by adding 1.5 2^52, whose low bits then hold k.
  constexpr double kShift = 6755399441055744.0;
  const double shifted = x * kInvStep + kShift;
  const double kf = shifted - kShift;
  const double t = (x - kf * kStepHi) - kf * kStepLo;
  long long k;
  std::memcpy(&k, &shifted, sizeof k);
  k = static_cast<long long>(static_cast<unsigned long long>(k) << 13) >> 13;  // sign-extend the low 51 bits
  const double t2 = t * t;
  const double p = 1 + t + t2 * ((0.5 + t * (1.0 / 6)) + t2 * ((1.0 / 24 + t * (1.0 / 120)) + t2 * (1.0 / 720)));
  const unsigned long long bits = static_cast<unsigned long long>((k >> 6) + 1023) << 52;
  double scale;
  std::memcpy(&scale, &bits, sizeof scale);
  return scale * (kExp2[k & 63] * p);
}


// Phi(x) and phi(x) together, sharing the exponential (to a few ulp times
// x^2 in the tails, ample for the boundary equation and its integrals).
inline double cdf_pdf(double x, double& density) {
  const double e = fast_exp(-0.5 * x * x);
  density = precise::kInvSqrt2Pi * e;
  const double y = std::fabs(x) * precise::kInvSqrt2;
  if (y <= 0.46875) return 0.5 + 0.5 * precise::erf_small(x * precise::kInvSqrt2);
  const double tail = 0.5 * e * (y <= 4 ? precise::erfcx_mid(y) : precise::erfcx_large(y));
  return x < 0 ? tail : 1 - tail;
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
// every integral, and the interpolation rows M (per (j, k), H(u) =
// sum_i M_i H_i over i = 1..n; H_0 = 0). Built once per (n, l).
struct Geometry {
  int n = 0, l = 0;
  std::vector<double> w, M, Mt;  // Mt: the rows of node j transposed, (j, i, k)
};

const Geometry& geometry(int n, int l) {
  static std::once_flag once[kMaxNodes + 1][kMaxQuad + 1];
  static Geometry cache[kMaxNodes + 1][kMaxQuad + 1];
  std::call_once(once[n][l], [n, l] {
    Geometry& G = cache[n][l];
    G.n = n;
    G.l = l;
    const Rule& g = gauss_legendre(l);
    G.w.resize(n + 1);
    for (int j = 0; j <= n; ++j) { const double c = (1 - std::cos(kPi * j / n)) / 2; G.w[j] = c * c; }
    const std::vector<double>& C = dct(n);
    G.M.assign(static_cast<std::size_t>(n) * l * n, 0.0);
    std::vector<double> Tc(n + 1);
    for (int j = 1; j <= n; ++j)
      for (int k = 0; k < l; ++k) {
        const double xi = to_xi(G.w[j] * g.sin_t[k]);
        Tc[0] = 1;
        Tc[1] = xi;
        for (int c = 2; c <= n; ++c) Tc[c] = 2 * xi * Tc[c - 1] - Tc[c - 2];
        double* row = &G.M[(static_cast<std::size_t>(j - 1) * l + k) * n];
        for (int c = 0; c <= n; ++c)
          for (int h = 1; h <= n; ++h)
            row[h - 1] += Tc[c] * C[static_cast<std::size_t>(c) * (n + 1) + h];
      }
    G.Mt.resize(G.M.size());
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < l; ++k)
        for (int h = 0; h < n; ++h)
          G.Mt[(static_cast<std::size_t>(j) * n + h) * l + k] = G.M[(static_cast<std::size_t>(j) * l + k) * n + h];
  });
  return cache[n][l];
}

// One level of the solve for one market: the fixed factors of every
// integrand.
struct Level {
  int n = 0, l = 0;
  const double* M = nullptr;
  const double* Mt = nullptr;
  std::vector<double> tau, sqrt_tau;  // j = 0..n
  // per (j, k), j = 1..n: e^{r u} du and e^{q u} du; the same over
  // sigma sqrt(s), s = tau - u; the drift (r - q - sigma^2/2) s of d-;
  // sigma sqrt(s) and its inverse.
  std::vector<double> er, eq, ern, eqn, drift, vol, inv_vol;
};

Level make_level(int n, int l, double T, double r, double sigma, double q) {
  const Geometry& G = geometry(n, l);
  const Rule& g = gauss_legendre(l);
  Level L;
  L.n = n;
  L.l = l;
  L.M = G.M.data();
  L.Mt = G.Mt.data();
  const double sqrtT = std::sqrt(T);
  L.tau.resize(n + 1);
  L.sqrt_tau.resize(n + 1);
  for (int j = 0; j <= n; ++j) {
    L.sqrt_tau[j] = sqrtT * G.w[j];
    L.tau[j] = L.sqrt_tau[j] * L.sqrt_tau[j];
  }
  const std::size_t size = static_cast<std::size_t>(n) * l;
  for (auto* v : {&L.er, &L.eq, &L.ern, &L.eqn, &L.drift, &L.vol, &L.inv_vol}) v->resize(size);
  const double mu = r - q - sigma * sigma / 2;
  for (int j = 1; j <= n; ++j) {
    const double tau = L.tau[j], rt = L.sqrt_tau[j];
    for (int k = 0; k < l; ++k) {
      const std::size_t i = static_cast<std::size_t>(j - 1) * l + k;
      const double st = g.sin_t[k], ct = g.cos_t[k];
      const double u = tau * st * st, s = tau * ct * ct;
      const double du = g.w[k] * 2 * tau * st * ct;
      const double dus = g.w[k] * 2 * rt * st / sigma;  // du / (sigma sqrt s)
      const double er = fast_exp(r * u), eq = fast_exp(q * u);
      L.er[i] = er * du;
      L.eq[i] = eq * du;
      L.ern[i] = er * dus;
      L.eqn[i] = eq * dus;
      L.drift[i] = mu * s;
      L.vol[i] = sigma * rt * ct;
      L.inv_vol[i] = 1 / L.vol[i];
    }
  }
  return L;
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
bool solve_linear(double* A, double* b, int n) {
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
double newton(const Level& L, double lnX, std::vector<double>& y, double K, double r,
              double sigma, double q, int m, double enough) {
  const int n = L.n, l = L.l;
  std::vector<double> H(n), Hq(l), ga(l), gb(l);
  const double lnK = std::log(K);
  // The residual F at y, with what its Jacobian needs: G_jk, the weight of
  // row (j, k) of the interpolation in row j, and the diagonal part.
  struct State {
    std::vector<double> F, G, diag;
  };
  auto residual = [&](const std::vector<double>& y, State& S) {
    for (int i = 0; i < n; ++i) H[i] = y[i + 1] * y[i + 1];
    for (int j = 1; j <= n; ++j) {
      const double tau = L.tau[j], rt = L.sqrt_tau[j];
      const double lnB = lnX - y[j];
      // H at the node's quadrature points, a column of Mt at a time.
      const double* Mj = L.Mt + static_cast<std::size_t>(j - 1) * n * l;
      double* __restrict hq = Hq.data();
      for (int k = 0; k < l; ++k) hq[k] = 0;
      for (int h = 0; h < n; ++h) {
        const double Hh = H[h];
        const double* __restrict col = Mj + static_cast<std::size_t>(h) * l;
        for (int k = 0; k < l; ++k) hq[k] += col[k] * Hh;
      }
      double Ni = 0, Di = 0, dNi = 0, dDi = 0;
      for (int k = 0; k < l; ++k) {
        const std::size_t i = static_cast<std::size_t>(j - 1) * l + k;
        const double Hu = Hq[k];
        const double yu = root_of(Hu);
        const double dm = (lnB - lnX + yu + L.drift[i]) * L.inv_vol[i];
        const double dp = dm + L.vol[i];
        double fm, fp;
        const double cm = cdf_pdf(dm, fm), cp = cdf_pdf(dp, fp);
        const double pm = L.ern[i] * fm, pp = L.eqn[i] * fp;
        Ni += L.er[i] * cm;
        Di += L.eq[i] * cp;
        dNi += pm;
        dDi += pp;
        ga[k] = yu > 0 ? r * pm / yu : 0.0;
        gb[k] = yu > 0 ? q * pp / yu : 0.0;
      }
      const double v = sigma * rt;
      const double dm = (lnB - lnK + (r - q - sigma * sigma / 2) * tau) / v;
      const double dp = dm + v;
      double fm, fp;
      const double N = cdf_pdf(dm, fm) + r * Ni, D = cdf_pdf(dp, fp) + q * Di;
      // d N / d ln B_j and d D / d ln B_j
      const double dN = fm / v + r * dNi, dD = fp / v + q * dDi;
      S.F[j - 1] = std::log(N / D) + lnK - (r - q) * tau - lnB;
      if (!std::isfinite(S.F[j - 1])) S.F[j - 1] = 1e300;
      double* Gj = &S.G[static_cast<std::size_t>(j - 1) * l];
      for (int k = 0; k < l; ++k) Gj[k] = ga[k] / N - gb[k] / D;
      S.diag[j - 1] = 1 - dN / N + dD / D;
    }
  };
  // The Jacobian, assembled only where a step is taken from y.
  auto jacobian = [&](const std::vector<double>& y, const State& S, std::vector<double>& J) {
    for (int j = 1; j <= n; ++j) {
      double* __restrict Jr = &J[static_cast<std::size_t>(j - 1) * n];
      for (int h = 0; h < n; ++h) Jr[h] = 0;
      for (int k = 0; k < l; ++k) {
        const double gk = S.G[static_cast<std::size_t>(j - 1) * l + k];
        if (gk == 0) continue;
        const double* __restrict row = L.M + (static_cast<std::size_t>(j - 1) * l + k) * n;
        for (int h = 0; h < n; ++h) Jr[h] += gk * row[h];
      }
      for (int h = 0; h < n; ++h) Jr[h] *= y[h + 1];
      Jr[j - 1] += S.diag[j - 1];
    }
  };
  // Residuals weighted by sqrt(tau_j / T): the nodes nearest expiry are the
  // stiffest and matter least to the price; a step must also keep the
  // largest unweighted residual in bounds.
  auto size = [n, &L](const std::vector<double>& F) {
    double e = 0;
    const double rT = L.sqrt_tau[n];
    for (int i = 0; i < n; ++i) e = std::max(e, std::fabs(F[i]) * (L.sqrt_tau[i + 1] / rT));
    return e;
  };
  auto largest = [n](const std::vector<double>& F) {
    double e = 0;
    for (int i = 0; i < n; ++i) e = std::max(e, std::fabs(F[i]));
    return e;
  };
  std::vector<double> yt(y), J(static_cast<std::size_t>(n) * n), step(n);
  State cur{std::vector<double>(n), std::vector<double>(static_cast<std::size_t>(n) * l), std::vector<double>(n)};
  State trial = cur;
  const std::vector<double>& F = cur.F;
  residual(y, cur);
  double norm = size(F);
  for (int it = 0; it < m; ++it) {
    for (int i = 0; i < n; ++i) step[i] = -F[i];
    jacobian(y, cur, J);
    if (!solve_linear(J.data(), step.data(), n)) break;
    const double taken = size(step);
    if ((it == m - 1 || taken <= enough) && taken <= std::max(enough, 1e-7) && largest(step) <= 1e-3) {
      for (int j = 1; j <= n; ++j) y[j] += step[j - 1];
      return taken;
    }
    double lambda = 1;
    for (int tries = 0; tries < 6; ++tries, lambda /= 2) {
      for (int j = 1; j <= n; ++j) {
        const double next = y[j] + lambda * step[j - 1];
        yt[j] = next > 0 ? next : y[j] / 4;
      }
      residual(yt, trial);
      if (size(trial.F) <= norm && largest(trial.F) <= std::max(2 * largest(F), 1e-4)) break;
    }
    y.swap(yt);
    std::swap(cur, trial);
    norm = size(F);
  }
  return largest(F) < 1e300 ? size(F) : INFINITY;
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

}  // namespace

double Boundary::H(double u) const {
  const double x = to_xi(std::sqrt(u) / sqrtT);
  return clenshaw(a, n, x < -1 ? -1 : x > 1 ? 1 : x);
}

double Boundary::log_at(double u) const { return lnX - root_of(H(u)); }

Boundary put_boundary(double K, double T, double r, double sigma, double q, const Setting& s) {
  Boundary b;
  b.T = T;
  b.sqrtT = std::sqrt(T);
  const double X = q > 0 && r < q ? K * (r / q) : K;
  b.lnX = std::log(X);
  // The solve at level (n, l) from the boundary b holds (from the analytic
  // guess when it holds none): below b's first node, B leaves X like
  // sqrt(tau).
  const double Binf = perpetual_put_boundary(K, r, sigma, q);
  Level from;
  std::vector<double> y;
  auto solve = [&](int n, int l, int m, double enough) {
    Level L = make_level(n, l, T, r, sigma, q);
    std::vector<double> next(n + 1, 0.0);
    for (int j = 1; j <= n; ++j) {
      if (b.n == 0) {
        // From X towards the perpetual boundary like e^{-2 sigma sqrt(tau)}.
        const double g = Binf + (X - Binf) * std::exp(-2 * sigma * L.sqrt_tau[j] * X / (X - Binf));
        next[j] = std::log(X / g);
      } else {
        next[j] = L.tau[j] < from.tau[1] ? y[1] * L.sqrt_tau[j] / from.sqrt_tau[1]
                                         : root_of(clenshaw(b.a, b.n, to_xi(L.sqrt_tau[j] / b.sqrtT)));
      }
    }
    const double residual = newton(L, b.lnX, next, K, r, sigma, q, m, enough);
    b.n = n;
    set_coefficients(b, next);
    from = std::move(L);
    y = std::move(next);
    return residual;
  };
  solve(s.n0, s.l0, s.m0, kCoarseEnough);
  b.residual = solve(s.n, s.l, s.m, s.enough);
  return b;
}

Premium put_premium(const Boundary& b, double S, double K, double r, double sigma, double q,
                    const Setting& s) {
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
  Premium p;
  for (std::size_t k = 0; k < size; ++k) {
    const double st = ts.sin_t[k], ct = ts.cos_t[k];
    const double sl = T * ct * ct;
    const double v = sigma * rt * ct;
    const double lu = b.lnX - root_of(Hs[k]);
    const double inv_v = 1 / v;
    const double dm = (lnS - lu + mu * sl) * inv_v, dp = dm + v;
    double fm, fp;
    const double Pm = cdf_pdf(-dm, fm), Pp = cdf_pdf(-dp, fp);
    const double er = fast_exp(-r * sl), eq = fast_exp(-q * sl);
    const double Bu = fast_exp(lu);
    const double A = er * (q * Bu - r * K);
    const double w = ts.w[k] * 2 * T * st * ct;  // du
    p.value += w * (r * K * er * Pm - q * S * eq * Pp);
    p.delta += w * (A * fm * inv_v / S - q * eq * Pp);
    p.gamma += w * fm * inv_v / (S * S) * (q * Bu * er - A * (dm * inv_v + 1));
  }
  return p;
}

}  // namespace vexal::american
