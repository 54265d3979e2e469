// The normalised implied volatility behind precise_{call,put}_impvol_eur.
#ifndef VEXAL_PRECISE_IMPVOL_H
#define VEXAL_PRECISE_IMPVOL_H

namespace vexal::precise {

inline constexpr int kImpvolSteps = 2;

// s with b(x, s) = beta (precise/black.h), for x <= 0 and 0 < beta <
// bmax = e^{x/2}, after the given number of Householder steps.
double normalised_volatility(double x, double beta, double bmax, int steps);

}  // namespace vexal::precise

#endif
