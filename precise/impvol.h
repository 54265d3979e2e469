// The normalised implied volatility behind precise_{call,put}_impvol_eur.
#ifndef VEXAL_PRECISE_IMPVOL_H
#define VEXAL_PRECISE_IMPVOL_H

#include <cmath>

namespace vexal::precise {

inline constexpr int kImpvolSteps = 2;
inline constexpr int kImpvolTableSize = 65;  // precise/impvol_table.h

// s with b(x, s) = beta (precise/black.h), for x <= 0 and 0 < beta <
// bmax = e^{x/2}, after the given number of Householder steps.
double normalised_volatility(double x, double beta, double bmax, int steps);

// The same s as precise_{call,put}_impvol_eur find it: one correction from a
// tabulated guess in the central region, one step from an asymptotic one
// far below, kImpvolSteps steps elsewhere. lb is ln beta where the caller
// has it better than beta (beta subnormal or 0), else NaN.
double implied_normalised(double x, double beta, double bmax, double lb = NAN);

}  // namespace vexal::precise

#endif
