// Internals of the binomial (Cox-Ross-Rubinstein) American pricers.
#ifndef VEXAL_BINOMIAL_H
#define VEXAL_BINOMIAL_H

#include <cstdint>

namespace vexal::binomial {

// x if x > y, else y: y wins ties and whenever either is NaN.
inline double larger_of(double x, double y) { return x > y ? x : y; }

// +1 prices a call, -1 a put.
inline constexpr double kCall = 1.0, kPut = -1.0;

// The power tables of a tree of n steps: a[i] = (sign*S)*u^i and
// b[m] = d^(n-m), i, m = 0..n, each power taken once with pow. Node (j, i)
// then carries the exercise value a[i]*b[n-j+i] + c with c = -sign*K, the
// same double as (S*u^i)*d^(j-i) - K for a call and (-S*u^i)*d^(j-i) + K
// for a put.
void powers(double* a, double* b, std::int32_t n, double signed_spot, double u, double d);

// Backward induction from the expiry layer in V[0..n] down to V[0]:
// V[i] = larger_of(disc*(p*V[i+1] + (1-p)*V[i]), a[i]*b[n-j+i] + c).
void induct(double* V, const double* a, const double* b, std::int32_t n, double c, double disc,
            double p);

// The two builds of induct, exposed so that tests can compare them.
void induct_generic(double* V, const double* a, const double* b, std::int32_t n, double c,
                    double disc, double p);
bool have_avx2();
void induct_avx2(double* V, const double* a, const double* b, std::int32_t n, double c,
                 double disc, double p);

using Induct = void (*)(double* V, const double* a, const double* b, std::int32_t n, double c,
                        double disc, double p);

// call_binamer (sign kCall) and put_binamer (kPut) on a given build of the
// induction.
double binamer(Induct induct, double sign, double S, double K, double T, double r, double sigma,
               double steps, double q);

}  // namespace vexal::binomial

#endif
