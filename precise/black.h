// The normalised Black function of the precise family. With forward F,
// strike K, x = ln(F/K) and total volatility s = sigma sqrt(T), the
// undiscounted call divided by sqrt(F K) is
//   b(x, s) = e^{x/2} N(x/s + s/2) - e^{-x/2} N(x/s - s/2),
// and the undiscounted put is the same with x turned over: b(-x, s).
// Every price is an out-of-the-money b (x <= 0) plus, in the money, the
// intrinsic value of the forward, so that nothing large cancels.
#ifndef VEXAL_PRECISE_BLACK_H
#define VEXAL_PRECISE_BLACK_H

#include <cmath>

namespace vexal::precise {

// b(x, s) for x <= 0 and s > 0, given ex = e^{x/2}, to a relative error of
// a few 1e-16 in the body and a few 1e-14 where the value is near the
// smallest doubles; the normalised vega d b / d s = e^{-(x^2/s^2 + s^2/4)/2}
// / sqrt(2 pi) in *vega when asked for (it comes with b at no cost).
double black_otm(double x, double s, double ex, double* vega = nullptr);
inline double black_otm(double x, double s) { return black_otm(x, s, std::exp(x / 2)); }

// ex - b(x, s) for x <= 0 and s > 0: how far the call is below the
// forward, to full relative accuracy when s is large; vega as above.
double black_otm_gap(double x, double s, double ex, double* vega = nullptr);

// D = b(x, s) / b'(x, s) for x <= 0 and s > 0, and the exponent e of
// b' = e^e / sqrt(2 pi) in *exponent (the expression black_otm takes the
// exponential of): ln b = e + ln(D / sqrt(2 pi)) where b' would underflow.
double black_otm_ratio(double x, double s, double* exponent);

// Y(h + t) - Y(h - t) for the Mills ratio Y = N/phi: by its asymptotic
// series where h + t <= -12, by its Taylor series in t where t < 0.21 and
// h >= -12.2 (the regions 1 and 2 below).
double mills_difference_asymptotic(double h, double t);
double mills_difference_series(double h, double t);

// The normalised vega alone.
double black_vega(double x, double s);

// ln(S/K) + (r - q) T with the rounding of S/K put back, so that far out of
// the money at small s the price does not inherit an error of 1 ulp in x.
double log_moneyness(double S, double K, double T, double r, double q);

}  // namespace vexal::precise

#endif
