// Placeholder until this family is built.
#include <cmath>

#include "core/functions.h"

namespace vexal {

double kellyfr_norm(double mu, double sigma) { return NAN; }
double kellyfr_growth(double k, double mu, double sigma) { return NAN; }
double kellyfr_barriers(double k, double L, double U) { return NAN; }
double kellyfr_dbarrier(double k, double L) { return NAN; }
double kellyfr_exittime(double k, double mu, double sigma, double W) { return NAN; }
double kellyfr_exittime_ab(double k, double mu, double sigma, double L, double U) { return NAN; }
double exittime(double mu, double sigma, double W) { return NAN; }
double exittime_ab(double mu, double sigma, double L, double U) { return NAN; }

}  // namespace vexal
