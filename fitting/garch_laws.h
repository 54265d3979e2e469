// The error laws of the GARCH models, each with zero mean and unit variance:
// normal, Student-t, Fernandez-Steel skewed t and the generalised error law.
// Special functions they rest on: ln Gamma, psi and the regularised
// incomplete beta and gamma functions.
#ifndef VEXAL_GARCH_LAWS_H
#define VEXAL_GARCH_LAWS_H

namespace vexal::garch_laws {

// ln Gamma(x) and psi(x) = d ln Gamma / dx, x > 0.
double ln_gamma(double x);
double digamma(double x);

// I_x(a, b), the regularised incomplete beta function, 0 <= x <= 1.
double inc_beta(double a, double b, double x);
// Q(a, x) = Gamma(a, x) / Gamma(a), the upper regularised incomplete gamma, x >= 0.
double inc_gamma_upper(double a, double x);

// The skewed t's constants: m1 = E|t| of the unit-variance t with nu
// degrees of freedom, and the mean and standard deviation of the raw
// Fernandez-Steel variable, from which z = (x - mean) / sd.
struct SkewT {
  double m1, mean, sd;
};
SkewT skew_t(double nu, double xi);

}  // namespace vexal::garch_laws

#endif
