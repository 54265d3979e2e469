// Placeholder until this family is built.
#include <cmath>

#include "core/functions.h"

namespace vexal {

double call_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double put_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double call_binamer_d(double S, double K, double T, double r, double sigma, double steps, const double* times, const double* amounts, double n) { return NAN; }
double put_binamer_d(double S, double K, double T, double r, double sigma, double steps, const double* times, const double* amounts, double n) { return NAN; }
double call_delta_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double put_delta_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double call_gamma_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double put_gamma_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double call_vega_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double put_vega_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double call_theta_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double put_theta_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double call_rho_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double put_rho_binamer(double S, double K, double T, double r, double sigma, double steps, double q) { return NAN; }
double call_impvol_binamer(double S, double K, double T, double r, double price, double steps, double q) { return NAN; }
double put_impvol_binamer(double S, double K, double T, double r, double price, double steps, double q) { return NAN; }

}  // namespace vexal
