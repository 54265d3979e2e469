// The normalised Black function of the precise family. With forward F,
// strike K, x = ln(F/K) and total volatility s = sigma sqrt(T), the
// undiscounted call divided by sqrt(F K) is
//   b(x, s) = e^{x/2} N(x/s + s/2) - e^{-x/2} N(x/s - s/2),
// and the undiscounted put is the same with x turned over: b(-x, s).
// Every price is an out-of-the-money b (x <= 0) plus, in the money, the
// intrinsic value of the forward, so that nothing large cancels.
#ifndef VEXAL_PRECISE_BLACK_H
#define VEXAL_PRECISE_BLACK_H

namespace vexal::precise {

// b(x, s) for x <= 0 and s > 0, to a relative error of a few 1e-16 in the
// body and a few 1e-14 where the value is near the smallest doubles.
double black_otm(double x, double s);

// e^{x/2} - b(x, s) for x <= 0 and s > 0: how far the call is below the
// forward, to full relative accuracy when s is large.
double black_otm_gap(double x, double s);

// The normalised vega d b / d s = e^{-(x^2/s^2 + s^2/4)/2} / sqrt(2 pi).
double black_vega(double x, double s);

// ln(S/K) + (r - q) T with the rounding of S/K put back, so that far out of
// the money at small s the price does not inherit an error of 1 ulp in x.
double log_moneyness(double S, double K, double T, double r, double q);

}  // namespace vexal::precise

#endif
