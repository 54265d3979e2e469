// Internals of the binomial (Cox-Ross-Rubinstein) American pricers.
#ifndef VEXAL_BINOMIAL_H
#define VEXAL_BINOMIAL_H

#include <cmath>
#include <cstdint>

#include "core/numeric.h"

namespace vexal::binomial {

// x if x > y, else y: y wins ties and whenever either is NaN.
inline double larger_of(double x, double y) { return x > y ? x : y; }

// +1 prices a call, -1 a put.
inline constexpr double kCall = 1.0, kPut = -1.0;

// The power tables of a tree of n steps: a[i] = (sign*S)*u^i and
// b[m] = d^(n-m), i, m = 0..n, each power taken once with pow. Node (j, i)
// then carries the exercise value a[i]*b[n-j+i] + c with c = -sign*K, the
// same double as (S*u^i)*d^(j-i) - K for a call and (-S*u^i)*d^(j-i) + K
// for a put.
void powers(double* a, double* b, std::int32_t n, double signed_spot, double u, double d);

// Where the exercise value cannot beat the continuation value: with every
// value at least +0, a put's nodes at or above the strike and a call's at
// or below it. For a put that is nodes i >= t0 + j*tj + margin of layer j,
// for a call nodes i <= t0 + j*tj - margin; side 0 (the default) claims no
// node. shortcut() fills it where the tree's parameters allow (spot and
// strike positive, u > 1, 0 < p < 1, positive discount, no power table
// near overflow or underflow).
//
// Far out of the money the held values decay through the subnormal range
// on their way to zero. Where both inputs of a held node are +0 its value
// is +0 and it is not computed. Where both are +0 or subnormal, `tiny`
// says how: kTinyHardware in the processor's own arithmetic, kTinyUnits on
// their integer multiples of 2^-1074 in normal doubles (the same doubles,
// without the microcode assist that some processors take on every
// subnormal operation), kTinyAuto the latter where the processor is found
// to be slow on subnormals.
inline constexpr int kTinyHardware = 0, kTinyUnits = 1, kTinyAuto = 2;
struct Shortcut {
  double side = 0, t0 = 0, tj = 0, margin = 0;
  int tiny = kTinyAuto;
};
Shortcut shortcut(double sign, double S, double K, double u, double d, double p, double disc,
                  std::int32_t n, const double* a, const double* b);

// Backward induction from the expiry layer in V[0..n] down to V[0]:
// V[i] = larger_of(disc*(p*V[i+1] + (1-p)*V[i]), a[i]*b[n-j+i] + c), the
// exercise value skipped where s shows it cannot win.
void induct(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
            double p, const Shortcut& s);

// The two builds of induct, exposed for tests and timing: call induct_avx2
// only where have_avx2() says so. Off x86 both are the baseline build.
void induct_generic(double* V, const double* a, const double* b, std::int32_t n, double c,
                    double disc, double p, const Shortcut& s);
void induct_avx2(double* V, const double* a, const double* b, std::int32_t n, double c,
                 double disc, double p, const Shortcut& s);
using vexal::have_avx2;

using Induct = void (*)(double* V, const double* a, const double* b, std::int32_t n, double c,
                        double disc, double p, const Shortcut& s);

// The tree both pricers run, once n = floor(steps) >= -1 is known: spot is
// what the tree follows, vol its volatility, carry the growth rate of p
// (exp(carry*dt)). Expiry node i is worth larger_of(expiry(i, dt, x), 0)
// with x its exercise value. n = -1 gives 0.0, T not > 0 the floored
// exercise value at the spot, failed storage NaN; no result is below 0.
template <class Expiry>
double run_tree(Induct induct, double sign, double spot, double K, double T, double r, double vol,
                double carry, std::int32_t n, Expiry expiry) {
  WorkArray V(static_cast<std::int64_t>(n) + 1);
  if (!V) return NAN;
  if (n == -1) return V[0];
  const double c = -sign * K;
  if (!(T > 0)) return larger_of(sign * spot + c, 0.0);

  const double dt = T / n;
  const double u = std::exp(std::sqrt(dt) * vol);
  const double d = 1.0 / u;
  const double g = std::exp(carry * dt);
  const double p = (g - d) / (u - d);

  WorkArray tables(2 * static_cast<std::int64_t>(n) + 1);
  if (!tables) return NAN;
  double* a = tables.data();
  double* b = a + (static_cast<std::int64_t>(n) + 1);
  powers(a, b, n, sign * spot, u, d);
  for (std::int64_t i = 0; i <= n; ++i) V[i] = larger_of(expiry(i, dt, a[i] * b[i] + c), 0.0);
  const double disc = std::exp(-r * dt);
  induct(V.data(), a, b, n, c, disc, p, shortcut(sign, spot, K, u, d, p, disc, n, a, b));
  // With 0 <= p <= 1 and a positive discount every node is at least 0. A
  // degenerate tree (zero, negative or tiny volatility: p infinite, NaN or
  // outside [0, 1]) can keep a negative exercise value at the root, since
  // a NaN continuation loses every comparison: the root is floored at 0.
  // Values at or above 0, and NaN, pass unchanged.
  return V[0] < 0 ? 0.0 : V[0];
}

// call_binamer (sign kCall) and put_binamer (kPut) on a given build of the
// induction.
double binamer(Induct induct, double sign, double S, double K, double T, double r, double sigma,
               double steps, double q);

}  // namespace vexal::binomial

#endif
