// Placeholder until this family is built.
#include <cmath>

#include "core/functions.h"

namespace vexal {

double call_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double put_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double call_delta_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double put_delta_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double gamma_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double vega_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double call_theta_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double put_theta_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double call_rho_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double put_rho_eur(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double prob_itm(double S, double K, double T, double r, double sigma, double q) { return NAN; }
double call_impvol_eur(double S, double K, double T, double r, double price, double q) { return NAN; }
double put_impvol_eur(double S, double K, double T, double r, double price, double q) { return NAN; }
double call_eur_d(double S, double K, double T, double r, double sigma, const double* times, const double* amounts, double n) { return NAN; }
double put_eur_d(double S, double K, double T, double r, double sigma, const double* times, const double* amounts, double n) { return NAN; }

}  // namespace vexal
