// Implied volatility of an American call or put by a windowed halving
// search. A window is centred 1.0 above the last sigma and makes sixteen
// probes, moving sigma by 1/2, 1/4, ..., 2^-16 up where the model price is
// below the target and down otherwise. A window whose probes all lay below
// the target opens the next one; one whose probes all lay at or above it
// gives its lower end. Every probe prices floor(steps) steps.
//
// A target no volatility reaches (a put at or above the strike) would move
// up forever: after 64 windows (sigma near 128) the answer is NaN.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {
namespace {

using Pricer = double (*)(double, double, double, double, double, double, double);

constexpr int kMaxWindows = 64;

double impvol(Pricer V, double S, double K, double T, double r, double price, double steps,
              double q) {
  const double n = to_int_floor(steps);
  double sigma = 0.0;
  for (int w = 0; w < kMaxWindows; ++w) {
    int count = 0;
    double h = 1.0;
    sigma = sigma + 1.0;
    const double c = sigma;
    for (int probe = 0; probe < 16; ++probe) {
      h = h / 2.0;
      if (price - V(S, K, T, r, sigma, n, q) > 0.0) {
        ++count;
        sigma = sigma + h;
      } else {
        sigma = sigma - h;
      }
    }
    if (count == 16) continue;
    if (count == 0) sigma = -1.0 + c;
    return sigma;
  }
  return NAN;
}

}  // namespace

double call_impvol_binamer(double S, double K, double T, double r, double price, double steps,
                           double q) {
  return impvol(call_binamer, S, K, T, r, price, steps, q);
}

double put_impvol_binamer(double S, double K, double T, double r, double price, double steps,
                          double q) {
  return impvol(put_binamer, S, K, T, r, price, steps, q);
}

}  // namespace vexal
