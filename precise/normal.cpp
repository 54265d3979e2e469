// The standard normal density and distribution function of the precise
// family (methods in precise/erfc.h): N(x) = erfc(-x/sqrt 2) / 2, taken as
// e^{-x^2/2} erfcx(|x|/sqrt 2) / 2 in the tails, 1/2 + erf(x/sqrt 2) / 2 near 0.
#include <cmath>

#include "precise/erfc.h"
#include "precise/functions.h"

namespace vexal {

double precise_norm(double x) { return precise::norm_pdf(x); }

double precise_snorm(double x) { return precise::norm_cdf(x); }

}  // namespace vexal
