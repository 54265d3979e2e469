// Yang-Zhang volatility over the m = n - 1 periods after bar 0:
//   sigma^2 = Vo + k Vc + (1 - k) Vrs,   k = 0.34 / (1 + (m + 1)/(m - 1)),
// Vo, Vc the sample variances (divisor m - 1) of the overnight returns
// ln(O_i/C_{i-1}) and the open-to-close returns ln(C_i/O_i), and Vrs the
// mean Rogers-Satchell term ln(H/O) ln(H/C) + ln(L/O) ln(L/C); all three
// scaled by A.
#include <cmath>
#include <cstdint>

#include "core/functions.h"
#include "core/numeric.h"

namespace vexal {

double Price_Vol_YangZhang(const double* open, const double* high, const double* low,
                           const double* close, double A, double n) {
  if (any_nan(A, n)) return NAN;
  const std::int64_t last = to_int_nearest(n - 1);
  const double m = n - 1;
  const double k = 0.34 / (1 + (m + 1) / (m - 1));

  double so = 0, sc = 0, srs = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    so += std::log(open[i] / close[i - 1]);
    sc += std::log(close[i] / open[i]);
    srs += std::log(high[i] / open[i]) * std::log(high[i] / close[i]) +
           std::log(low[i] / open[i]) * std::log(low[i] / close[i]);
  }
  const double mo = so / m;
  const double mc = sc / m;
  const double vrs = A * srs / m;

  double vo = 0, vc = 0;
  for (std::int64_t i = 1; i <= last; ++i) {
    vo += std::pow(std::log(open[i] / close[i - 1]) - mo, 2.0);
    vc += std::pow(std::log(close[i] / open[i]) - mc, 2.0);
  }
  vo = A * vo / (m - 1);
  vc = A * vc / (m - 1);

  return std::sqrt((vo + k * vc) + (1 - k) * vrs);
}

}  // namespace vexal
