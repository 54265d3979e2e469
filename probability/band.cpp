// Probability that S exp(nu t + sigma W(t)) stays strictly inside (L, U) up
// to T. With both barriers absorbing, the density of the log price y = ln(x/S)
// at T is, by the method of images (w = ln(U/L), a = ln(L/S)),
//   p(y) = e^(nu y / sigma^2 - nu^2 T / (2 sigma^2)) / (sigma sqrt(2 pi T))
//          * sum_k [ exp(-(2kw + y)^2 / (2 sigma^2 T))
//                  - exp(-(2kw + y - 2a)^2 / (2 sigma^2 T)) ],
// where nu / sigma^2 = mu / sigma^2 - 1/2 and y - 2a = ln(S x / L^2). The
// series is cut at k = -5..5 and integrated over the price with the 100-panel
// left Riemann sum; 6.28 stands in for 2 pi.
//
// The weight and both logarithms depend on the grid point only, so they are
// taken once per point and the 11 image sums are carried side by side; each
// image sum still adds its terms in grid order, so the doubles are those of
// summing one image at a time.
#include <cmath>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double ProbWR(double S, double mu, double sigma, double T, double U, double L) {
  if (any_nan(S, mu, sigma, T, U, L)) return NAN;
  const double c0 =
      std::exp(std::pow(mu / sigma - 0.5 * sigma, 2.0) * T * (-0.5)) / (std::sqrt(6.28 * T) * sigma);
  const double w = std::log(U / L);
  const double d = (U - L) / 100;
  const double e = mu / (sigma * sigma) + (-0.5);
  const double var2 = sigma * sigma * T * 2;

  double I[11] = {};  // I[k + 5]: the band integral of image k
  for (int j = 0; j < 100; ++j) {
    const double x = j * d + L;
    const double weight = std::pow(x / S, e) * (1.0 * d / x);
    const double yd = std::log(x / S);
    const double yr = std::log(S * x / (L * L));
    for (int k = -5; k <= 5; ++k) {
      const double direct = std::exp(-std::pow(2 * k * w + yd, 2.0) / var2);
      const double reflected = std::exp(-std::pow(2 * k * w + yr, 2.0) / var2);
      I[k + 5] = (direct - reflected) * weight + I[k + 5];
    }
  }
  double result = 0;
  for (int k = 0; k < 11; ++k) result = I[k] * c0 + result;
  return result;
}

double ProbBR(double S, double mu, double sigma, double T, double U, double L) {
  if (any_nan(S, mu, sigma, T, U, L)) return NAN;
  return 1 - ProbWR(S, mu, sigma, T, U, L);
}

}  // namespace vexal
