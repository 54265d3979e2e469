// Internals of the precise prices with cash dividends. Between dividend
// dates the stock follows Black-Scholes-Merton with rate r, volatility sigma
// and no yield; at the date t_i of dividend i it drops by the amount D_i, to
// 0 where it stood at or below D_i. The spot S is the price now, every
// dividend still to come included.
//
// The value is worked out backwards over the dates. At each date the value
// just before it is a function G of x = ln S(t_i-), known at the nodes of
// Gauss-Legendre panels in x; the value just after the date before,
//   V(y) = e^{-r dt} int G(x) phi(x; ln y + (r - sigma^2/2) dt, sigma sqrt dt) dx,
// is that quadrature against the Gaussian kernel, with the panels' ends on
// every kink of G (the floor at S = D_i, the exercise point of an American)
// and panels no wider than a few kernel widths. After the last date the value
// is the option without dividends, in closed form or by the continuous-yield
// solver with q = 0. No interpolation: each date's nodes are priced by the
// date after it. The American put adds between dates the early-exercise
// premium over its boundary, found by value matching (dividends.cpp).
#ifndef VEXAL_PRECISE_DIVIDENDS_H
#define VEXAL_PRECISE_DIVIDENDS_H

#include <vector>

namespace vexal::dividends {

enum class Kind { call, put };
enum class Style { european, american };

struct Dividend {
  double t, D;
};

// The dividends that count: entries 0..nearest(n - 1) of the arrays, those
// with 0 < t < T and D > 0, sorted by time, equal times added and dates
// within T/2^20 merged at their amount-weighted mean date. False when an
// entry read has a NaN time or amount or a negative amount (the price is then
// NaN).
bool read_schedule(double T, const double* times, const double* amounts, double n,
                   std::vector<Dividend>* out);

// The method's setting: the grid reaches z standard deviations either side
// of the log-price's spread, panels of 16 nodes are at most `width` kernel
// widths wide (`put_width` for the put exercised between dates); the put's
// boundary between dates has its panels in time split in `split`; a call
// with r < 0, exercised between dates, is priced with `steps` exercise
// dates a year and with twice as many, and the two extrapolated. A
// negative count prices the Bermudan option with that many exercise dates a
// year alone, the put's too (a check on its boundary: their limit).
struct Setting {
  double z;
  double width;
  int steps;
  int split;
  double put_width;
};
inline constexpr Setting kPrecise = {8.0, 5.0, 16, 2, 2.5};
inline constexpr Setting kReference = {10.0, 2.5, 64, 4, 1.5};

struct Value {
  double price = 0, delta = 0, gamma = 0;
};

// The option with at least one dividend counted; S, K, T, sigma positive and
// finite, r finite.
Value value(Kind kind, Style style, double S, double K, double T, double r, double sigma,
            const std::vector<Dividend>& divs, const Setting& s = kPrecise);

}  // namespace vexal::dividends

#endif
