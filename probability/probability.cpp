// Placeholder until this family is built.
#include <cmath>

#include "core/functions.h"

namespace vexal {

double ProbPTBB(double mu, double sigma, double T, double H, double S) { return NAN; }
double ProbPTUB(double mu, double sigma, double T, double H, double S) { return NAN; }
double ProbMaxPTUB(double mu, double sigma, double T, double H, double S) { return NAN; }
double ProbMaxPTBB(double mu, double sigma, double T, double H, double S) { return NAN; }
double ProbMinPTBB(double mu, double sigma, double T, double H, double S) { return NAN; }
double ProbMinPTUB(double mu, double sigma, double T, double H, double S) { return NAN; }
double ProbFPBBMaxPTUB(double mu, double sigma, double T, double B, double X, double S) { return NAN; }
double ProbFPUBMinPTBB(double mu, double sigma, double T, double B, double X, double S) { return NAN; }
double AdjBarrier(double sigma, double dt) { return NAN; }
double ProbWR(double S, double mu, double sigma, double T, double U, double L) { return NAN; }
double ProbBR(double S, double mu, double sigma, double T, double U, double L) { return NAN; }
double EMDD(double mu, double sigma, double T) { return NAN; }

}  // namespace vexal
