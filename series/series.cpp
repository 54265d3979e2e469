// Placeholder until this family is built.
#include <cmath>

#include "core/functions.h"

namespace vexal {

double Price_mn(const double* prices, double n) { return NAN; }
double Price_sd(const double* prices, double n) { return NAN; }
double Price_sk(const double* prices, double n) { return NAN; }
double Price_ku(const double* prices, double n) { return NAN; }
double Price_vr(const double* prices, double n, double k) { return NAN; }
double Price_cor(const double* pricesA, const double* pricesB, double n) { return NAN; }
double Price_Vol_EWMA(const double* prices, double n, double lambda, double A, double order) { return NAN; }
double Price_Vol_Parkinson(const double* high, const double* low, double A, double n) { return NAN; }
double Price_Vol_YangZhang(const double* open, const double* high, const double* low, const double* close, double A, double n) { return NAN; }
double MaxDrawdown(const double* prices, double n) { return NAN; }
double MaxTimeDrawdown(const double* prices, double n) { return NAN; }
double LogNormal_mn(double mu, double sigma, double t) { return NAN; }
double LogNormal_sd(double mu, double sigma, double t) { return NAN; }
double LogNormal_median(double mu, double sigma, double t) { return NAN; }
double LogNormal_mode(double mu, double sigma, double t) { return NAN; }
double Normal_mn(double m, double s) { return NAN; }
double Normal_sd(double m, double s) { return NAN; }

}  // namespace vexal
