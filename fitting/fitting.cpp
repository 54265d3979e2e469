// Placeholder until this family is built.
#include <cmath>

#include "core/functions.h"

namespace vexal {

double Price_input(const double* prices, double count, double reverse) { return NAN; }
double garch_o(double alpha0, double beta0) { return NAN; }
double garch_param0() { return NAN; }
double garch_param1() { return NAN; }
double garch_param2() { return NAN; }
double garch_param3() { return NAN; }
double garch_paramc() { return NAN; }
double kelly_input(const double* probs, const double* outcomes, double count) { return NAN; }
double kelly_o(double f0) { return NAN; }
double kelly_f() { return NAN; }
double kelly_growth() { return NAN; }
double kelly_growth_sd() { return NAN; }
double kelly_paramc() { return NAN; }

}  // namespace vexal
