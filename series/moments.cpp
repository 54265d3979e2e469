// Mean, sample deviation, skewness and excess kurtosis of the log returns
// r_i = ln(p[i] / p[i-1]), i = 1..n-1.
//
// The number of returns summed is n - 1 rounded to nearest; every divisor
// is formed from n as passed, so a fractional n sums round(n - 1) returns
// and divides by n - 1, n - 2, ...  The deviation comes from the raw sums
// S1 = sum r, S2 = sum r^2 with divisor m - 1:
//   s^2 = S2/(m-1) - S1^2/(m-1)/m.
// Skewness and kurtosis standardise by that s in a second pass:
//   skew = m/((m-1)(m-2)) sum z^3
//   kurt = m(m+1)/((m-1)(m-2)(m-3)) sum z^4 - 3(m-1)^2/((m-2)(m-3)).
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

namespace {

struct RawSums {
  double s1 = 0, s2 = 0;
};

RawSums raw_sums(const double* p, std::int64_t last) {
  RawSums s;
  for (std::int64_t i = 1; i <= last; ++i) {
    const double r = std::log(p[i] / p[i - 1]);
    s.s1 += r;
    s.s2 += r * r;
  }
  return s;
}

double deviation(const RawSums& s, double n) {
  return std::sqrt(s.s2 / (n - 2) - s.s1 * s.s1 / (n - 2) / (n - 1));
}

// sum over the returns of pow((r - mean) / s, e)
double standardised_power_sum(const double* p, std::int64_t last, double mean, double s, double e) {
  double t = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    const double r = std::log(p[i] / p[i - 1]);
    t += std::pow((r - mean) / s, e);
  }
  return t;
}

}  // namespace

double Price_mn(const double* prices, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  return raw_sums(prices, last).s1 / (n - 1);
}

double Price_sd(const double* prices, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  return deviation(raw_sums(prices, last), n);
}

double Price_sk(const double* prices, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  const RawSums sums = raw_sums(prices, last);
  const double s = deviation(sums, n);
  const double mean = sums.s1 / (n - 1);
  const double t3 = standardised_power_sum(prices, last, mean, s, 3.0);
  return t3 * ((n - 1) / (n - 2) / (n - 3));
}

double Price_ku(const double* prices, double n) {
  if (any_nan(n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  const RawSums sums = raw_sums(prices, last);
  const double s = deviation(sums, n);
  const double mean = sums.s1 / (n - 1);
  const double t4 = standardised_power_sum(prices, last, mean, s, 4.0);
  return t4 * ((n - 1) * n / (n - 2) / (n - 3) / (n - 4)) - std::pow(n - 2, 2.0) * 3 / (n - 3) / (n - 4);
}

}  // namespace vexal
