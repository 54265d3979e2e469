// Internals of the precise American pricers: the early-exercise boundary of
// a put under Black-Scholes-Merton, found by collocation of an integral
// equation, and the early-exercise premium it implies.
//
// Put with strike K, rate r, yield q, volatility sigma, time to expiry tau;
// exercise where S <= B(tau). With d-(t, z) = (ln z + (r - q) t -
// sigma^2 t / 2) / (sigma sqrt t) and d+ = d- + sigma sqrt t, value matching
// at S = B(tau) rearranges into the fixed point
//   B(tau) = K e^{-(r-q) tau} N(tau) / D(tau),
//   N = Phi(d-(tau, B(tau)/K)) + r int_0^tau e^{r u} Phi(d-(tau-u, B(tau)/B(u))) du,
//   D = Phi(d+(tau, B(tau)/K)) + q int_0^tau e^{q u} Phi(d+(tau-u, B(tau)/B(u))) du,
// and the price is the European put plus the premium
//   int_0^T [r K e^{-r(T-u)} Phi(-d-(T-u, S/B(u))) - q S e^{-q(T-u)} Phi(-d+(T-u, S/B(u)))] du.
//
// B starts at X = K min(1, r/q) (X = K for q <= 0) and leaves it like
// sqrt(tau), with a logarithmic factor when r >= q; H = ln(B/X)^2 is what we
// interpolate, by Chebyshev polynomials in (tau/T)^(1/4).
#ifndef VEXAL_PRECISE_AMERICAN_BOUNDARY_H
#define VEXAL_PRECISE_AMERICAN_BOUNDARY_H

#include <vector>

namespace vexal::american {

// The method's setting: a first solve at n0 collocation points, l0
// quadrature nodes and m0 Newton steps, then up to m steps at (n, l),
// stopping at a weighted step of `enough`; the premium integral by
// tanh-sinh with step 2^-level.
struct Setting {
  int n0, l0, m0;
  int n, l, m;
  int level;
  double enough;
  // The boundary equation's integrals over u in [0, tau] run over theta,
  // u = tau sin^power(theta): 2 or 4.
  int power = 2;
};

// The library's settings, by regime of the put's rate and yield, and a much
// finer one the tests use as reference (settled to about 1e-12: it agrees
// with 64 nodes to 5e-13 over the grid, to 5e-11 where the yield is just
// above the rate).
//
// Where the yield is at most the rate, B leaves X = K like
// sqrt(tau ln(1/tau)) and the boundary equation's integrands are smooth in
// theta once u = tau sin^4(theta): 24 nodes and 20 quadrature points.
inline constexpr Setting kPrecise = {10, 8, 8, 24, 20, 3, 5, 1e-5, 4};
inline constexpr Setting kReference = {24, 48, 10, 48, 96, 6, 7, 1e-13};

// Where the yield is above the rate, B starts at X = K r/q and the
// integrands turn sharply at small u, as B(u) leaves X: 28 nodes and 24
// points of u = tau sin^2(theta), which follows that turn better.
inline constexpr Setting kPreciseAbove = {12, 8, 8, 28, 24, 3, 5, 1e-5, 2};

// Where the yield is just above the rate, B leaves X = K r/q like sqrt(tau)
// only until the terms in Phi(d(tau, B/K)) (of the order of
// e^{-ln(q/r)^2 / (2 sigma^2 tau)}, negligible near expiry) wake up and
// turn it within a short time to the steeper behaviour of r >= q: a bend
// that 28 nodes leave errors of a few 1e-9 on far out-of-the-money prices.
// There (0 < q - r < 0.04) the library solves at 40 nodes from a coarse
// solve at 24, which Newton's method needs to start within reach.
inline constexpr Setting kPreciseNear = {24, 16, 8, 40, 32, 3, 5, 1e-5, 2};

// The library's setting for the put with rate r and yield q.
inline const Setting& precise_setting(double r, double q) {
  if (r > 0 && q > r) return q - r < 0.04 ? kPreciseNear : kPreciseAbove;
  return kPrecise;
}

inline constexpr int kMaxNodes = 64;

// ln B(u) of the put on [0, T]: a Chebyshev series for H in (u/T)^(1/4).
struct Boundary {
  double T = 0, sqrtT = 0, lnX = 0;
  int n = 0;
  double a[kMaxNodes + 1] = {};
  // The largest residual of the value-matching equation in ln B left at the
  // nodes, weighted by sqrt(tau/T): the solve's own measure of success.
  double residual = 0;
  double H(double u) const;
  double log_at(double u) const;
};

// The solver's arithmetic is built twice, for the baseline processor and
// for AVX2, with the same doubles; best_isa() is the one this processor runs.
enum class Isa { baseline, avx2 };
Isa best_isa();

// Solves the put's boundary for r > 0, or r = 0 > q. K, T, sigma positive
// and finite; n <= kMaxNodes; every quadrature size a multiple of 4.
Boundary put_boundary(double K, double T, double r, double sigma, double q, const Setting& s,
                      Isa isa = best_isa());

// The early-exercise premium of the put at spot S over the European put,
// with its first and second derivatives in S, for S above the boundary at T.
struct Premium {
  double value = 0, delta = 0, gamma = 0;
};
Premium put_premium(const Boundary& b, double S, double K, double r, double sigma, double q,
                    const Setting& s, Isa isa = best_isa());

// The premium of the put with q = 0 as a sum over its quadrature points,
// sum f_k Phi((c_k - ln S)/sd_k) at any spot S above the boundary: the
// points' parts that do not depend on S, for pricing many spots against one
// boundary. Points whose weight is below 1e-17 of r K T are left out.
struct PremiumRule {
  std::vector<double> f, c, sd;
};
PremiumRule put_premium_rule(const Boundary& b, double K, double r, double sigma, const Setting& s);
// The put on a binomial tree with Black-Scholes values at its last step,
// extrapolated from n and 2n steps (american_tree.cpp): for the band regime
// q < r < 0 where the two ends meet before 4T, and where the boundary solve
// reports failure.
double put_tree(double S, double K, double T, double r, double sigma, double q, int n);

// A price with its delta and gamma.
struct Value {
  double price = 0, delta = 0, gamma = 0;
};

// The band solve's setting: a coarse solve at n0 nodes per end and l0
// quadrature points, a fine one at (n, l) from it, and the premium by
// `points` Gauss-Legendre points; the library's, and a finer one the tests
// take as reference.
struct BandSetting {
  int n0, l0, n, l, points;
};
inline constexpr BandSetting kBandPrecise = {6, 16, 12, 32, 256};
inline constexpr BandSetting kBandReference = {12, 32, 24, 64, 512};

// The put in the band regime q < r < 0 by the two ends' equations
// (american_band.cpp); false where that solve does not hold (the ends meet
// before 4T, or it fails its own checks).
bool band_value(double S, double K, double T, double r, double sigma, double q, Value& out,
                const BandSetting& set = kBandPrecise);

// The American put priced by the method at setting s, with its delta and
// gamma, in every regime of r and q. S, K, T, sigma positive and finite.
// In the band regime the two ends' solve where it holds, else (or with
// band false) the tree; *tree, if given, says whether the tree answered.
Value put_value(double S, double K, double T, double r, double sigma, double q,
                const Setting& s, Isa isa = best_isa(), bool band = true, bool* tree = nullptr);

// The American call by the put-call symmetry C(S, K, r, q) = P(K, S, q, r).
Value call_value(double S, double K, double T, double r, double sigma, double q,
                 const Setting& s, Isa isa = best_isa(), bool band = true, bool* tree = nullptr);

}  // namespace vexal::american

#endif
