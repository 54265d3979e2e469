// Where the price ends, whether its running maximum or minimum reaches a
// barrier, and both at once (precise_ProbPTBB ... precise_ProbFPUBMinPTBB),
// and the discrete-monitoring shift precise_AdjBarrier.
//
// With a = (h - nu T)/v and b = (-h - nu T)/v for a barrier h > 0 above the
// start, the reflection principle gives
//   P(max >= h) = N(-a) + e^{2 nu h / sigma^2} N(b),
//   P(max <  h) = N(a) - e^{2 nu h / sigma^2} N(b) = phi(a) (Y(a) - Y(b)),
// since e^{2 nu h / sigma^2} phi(b) = phi(a): the first is a sum of two
// positive terms, the second a difference of two Mills ratios of order one,
// taken by mills_gap without cancellation. A barrier below is the same
// problem turned over (X -> -X, nu -> -nu, h -> -h).
//
// The joint law, b > 0 and x <= b, is e^{2 nu b / sigma^2} N(c) with
// c = (x - 2b - nu T)/v; where c <= 0 its exponent is
// -(x - nu T)^2 / 2v^2 - 2 b (b - x) / v^2, two terms of one sign.
#include <cmath>

#include "precise/black.h"
#include "precise/erfc.h"
#include "precise/functions.h"
#include "precise/probability.h"

namespace vexal::precise {

double mills_gap(double A, double B, double E, double d) {
  const double m = (A + B) / 2;
  if (A > 0.85) {
    // Y(z) = sqrt(2 pi) e^{z^2/2} - Y(-z): both parts of one sign.
    const double big = kSqrt2Pi * std::exp(E + A * A / 2);
    if (B > 0) return big * -std::expm1(-d * (A + B)) + mills_gap(-B, -A, E, d);
    return big - std::exp(E) * (mills(-A) + mills(B));
  }
  const double e = std::exp(E);
  if (A <= -12) return e * mills_difference_asymptotic(m, d);
  if (d < 0.21) return e * mills_difference_series(m, d);
  return e * (mills(A) - mills(B));
}

double image_tail(double theta, double v, double c, double y) {
  const double alpha = (y - c) / v - theta * v;
  if (alpha <= 0) return std::exp(theta * c - alpha * alpha / 2) * mills(alpha) * kInvSqrt2Pi;
  return std::exp(theta * c) * norm_cdf(alpha);
}

double log_ratio(double H, double S) { return log_moneyness(H, S, 0, 0, 0); }

namespace {

// The touch of touch_upper, or its complement (stay): each on its own, so
// that a function that returns one does not pay for the other.
double touch_part(double nu, double sigma, double T, double h, bool stay) {
  const double v = sigma * std::sqrt(T);
  const double a = (h - nu * T) / v, b = (-h - nu * T) / v;
  // Each to within an ulp or two of the truth, so kept within [0, 1].
  if (stay) return std::fmin(1.0, mills_gap(a, b, -a * a / 2, h / v) * kInvSqrt2Pi);
  const double reflected = b <= 0 ? norm_pdf(a) * mills(b) : std::exp(2 * nu * h / (sigma * sigma)) * norm_cdf(b);
  return std::fmin(1.0, norm_cdf(-a) + reflected);
}

}  // namespace

Touch touch_upper(double nu, double sigma, double T, double h) {
  return {touch_part(nu, sigma, T, h, false), touch_part(nu, sigma, T, h, true)};
}

namespace {

bool bad(double mu, double sigma, double T) { return std::isnan(mu) || !(sigma >= 0) || !(T >= 0); }
bool bad_price(double P) { return !(P > 0); }

// N((h - nu T)/v), the probability of ending below h; a deterministic path
// (v = 0) ends below with probability 1, 0, or 1/2 exactly at h (the limit).
double end_below(double nu, double v, double T, double h) {
  if (v > 0) return norm_cdf((h - nu * T) / v);
  const double e = nu * T;
  return e < h ? 1.0 : e > h ? 0.0 : 0.5;
}

// P(max >= b, X(T) <= x) for b > 0 and v > 0.
double joint_upper(double nu, double sigma, double T, double b, double x) {
  const double v = sigma * std::sqrt(T);
  if (x > b) {  // P(b < X(T) <= x) and the paths that end below b
    const double ax = (x - nu * T) / v, ab = (b - nu * T) / v;
    const double between = ab >= 0 ? norm_cdf(-ab) - norm_cdf(-ax) : norm_cdf(ax) - norm_cdf(ab);
    return std::fmin(1.0, between + joint_upper(nu, sigma, T, b, b));
  }
  const double c = (x - 2 * b - nu * T) / v;
  if (c > 0) return std::exp(2 * nu * b / (sigma * sigma)) * norm_cdf(c);
  const double ax = (x - nu * T) / v;
  return std::exp(-ax * ax / 2 - 2 * b * (b - x) / (v * v)) * mills(c) * kInvSqrt2Pi;
}

// Touch of a barrier above (up) or below, h = ln(H/S), or its complement
// (stay); at or beyond the start the barrier has been touched.
double touch(double mu, double sigma, double T, double H, double S, bool up, bool stay) {
  if (bad(mu, sigma, T) || bad_price(H) || bad_price(S)) return NAN;
  const double nu = mu - sigma * sigma / 2;
  const double h = up ? log_ratio(H, S) : -log_ratio(H, S);
  const double drift = up ? nu : -nu;
  bool touched;
  if (!(h > 0)) {
    touched = true;
  } else if (h == INFINITY) {
    touched = false;  // no barrier at all
  } else if (!(sigma * std::sqrt(T) > 0)) {
    touched = drift * T >= h;
  } else {
    return touch_part(drift, sigma, T, h, stay);
  }
  return touched != stay ? 1.0 : 0.0;
}

// P(the extreme on the barrier's side reaches B, and X(T) ends beyond X).
double joint(double mu, double sigma, double T, double B, double X, double S, bool up) {
  if (bad(mu, sigma, T) || bad_price(B) || bad_price(X) || bad_price(S)) return NAN;
  const double nu = up ? mu - sigma * sigma / 2 : -(mu - sigma * sigma / 2);
  const double b = up ? log_ratio(B, S) : -log_ratio(B, S);
  const double x = up ? log_ratio(X, S) : -log_ratio(X, S);
  const double v = sigma * std::sqrt(T);
  if (!(v > 0)) return (b <= 0 || nu * T >= b) ? end_below(nu, 0, T, x) : 0.0;
  if (!(b > 0)) return end_below(nu, v, T, x);
  return joint_upper(nu, sigma, T, b, x);
}

double end(double mu, double sigma, double T, double H, double S, bool below) {
  if (bad(mu, sigma, T) || bad_price(H) || bad_price(S)) return NAN;
  const double nu = mu - sigma * sigma / 2, h = log_ratio(H, S), v = sigma * std::sqrt(T);
  return below ? end_below(nu, v, T, h) : end_below(-nu, v, T, -h);
}

}  // namespace
}  // namespace vexal::precise

namespace vexal {

using namespace precise;

double precise_ProbPTBB(double mu, double sigma, double T, double H, double S) { return end(mu, sigma, T, H, S, true); }
double precise_ProbPTUB(double mu, double sigma, double T, double H, double S) { return end(mu, sigma, T, H, S, false); }

double precise_ProbMaxPTUB(double mu, double sigma, double T, double H, double S) {
  return touch(mu, sigma, T, H, S, true, false);
}
double precise_ProbMaxPTBB(double mu, double sigma, double T, double H, double S) {
  return touch(mu, sigma, T, H, S, true, true);
}
double precise_ProbMinPTBB(double mu, double sigma, double T, double H, double S) {
  return touch(mu, sigma, T, H, S, false, false);
}
double precise_ProbMinPTUB(double mu, double sigma, double T, double H, double S) {
  return touch(mu, sigma, T, H, S, false, true);
}

double precise_ProbFPBBMaxPTUB(double mu, double sigma, double T, double B, double X, double S) {
  return joint(mu, sigma, T, B, X, S, true);
}
double precise_ProbFPUBMinPTBB(double mu, double sigma, double T, double B, double X, double S) {
  return joint(mu, sigma, T, B, X, S, false);
}

// beta = -zeta(1/2) / sqrt(2 pi) (Broadie, Glasserman and Kou, 1997).
double precise_AdjBarrier(double sigma, double dt) {
  if (std::isnan(sigma) || !(dt >= 0)) return NAN;
  return std::exp(0.58259715793901067 * sigma * std::sqrt(dt));
}

}  // namespace vexal
