// Pieces shared by the precise barrier and band probabilities. A price
// S e^{X(t)}, X(t) = nu t + sigma W(t), nu = mu - sigma^2/2, is watched in
// log price: a level H is h = ln(H/S), the scale is v = sigma sqrt(T) and
// theta = nu / sigma^2 is the exponent of the change of measure that takes
// the drift away. Every probability is written as a sum of terms of one sign
// or as e^E (Y(A) - Y(B)), Y = N/phi the Mills ratio, so that nothing large
// cancels and each value and its complement keep their relative accuracy.
#ifndef VEXAL_PRECISE_PROBABILITY_H
#define VEXAL_PRECISE_PROBABILITY_H

namespace vexal::precise {

inline constexpr double kPiValue = 3.14159265358979323846;

// e^E (Y(A) - Y(B)) for A >= B, without cancellation; d = (A - B)/2,
// given apart, since A and B may carry errors far larger than d's.
double mills_gap(double A, double B, double E, double d);

// e^{theta c} N(alpha), alpha = (y - c)/v - theta v: the lower tail at y of
// the image at c, weighted by the change of measure.
double image_tail(double theta, double v, double c, double y);

// The probability that the maximum of X over [0, T] reaches h > 0 (touch)
// and its complement (stay), for v = sigma sqrt(T) > 0.
struct Touch {
  double touch, stay;
};
Touch touch_upper(double nu, double sigma, double T, double h);

// ln(H/S), with the rounding of H/S put back.
double log_ratio(double H, double S);

}  // namespace vexal::precise

#endif
