// The two standardised distances of Black-Scholes-Merton with a continuous
// yield q (carry r - q):
//   d1 = (ln(S/K) + T (r - q + sigma^2/2)) / (sigma sqrt T),
//   d2 = d1 - sigma sqrt T.
// The root in d1 is sqrt, the one in d2 is pow(T, 0.5); they agree to
// within rounding.
#ifndef VEXAL_EUROPEAN_TERMS_H
#define VEXAL_EUROPEAN_TERMS_H

#include <cmath>

namespace vexal::european {

inline double d1(double S, double K, double T, double r, double sigma, double q) {
  const double ratio = S / K;
  return (std::log(ratio) + T * ((r - q) + sigma * sigma / 2)) / (std::sqrt(T) * sigma);
}

inline double d2(double d1, double T, double sigma) { return d1 - std::pow(T, 0.5) * sigma; }

}  // namespace vexal::european

#endif
