// The GARCH models' error laws, standardised to zero mean and unit variance,
// and their lower tails: the quantile z_p and the shortfall E[z | z < z_p].
//
//   t:      z = s T, T Student's t with nu degrees of freedom, s = sqrt((nu - 2) / nu);
//   skewt:  z = (x - m) / sd, x with density 2 / (xi + 1/xi) f(x / xi^sign(x)), f
//           the unit-variance t (Fernandez and Steel 1998, standardised);
//   ged:    density nu / (lambda 2^(1 + 1/nu) Gamma(1/nu)) exp(-|z / lambda|^nu / 2),
//           lambda^2 = 2^(-2/nu) Gamma(1/nu) / Gamma(3/nu).
//
// Partial expectations in closed form: for Student's t,
//   int_{-inf}^{t} u f_T(u) du = -(nu + t^2) / (nu - 1) f_T(t);
// for the error law, with w = |q / lambda|^nu / 2 and q < 0,
//   int_{-inf}^{q} z f(z) dz = -g lambda^2 2^(2/nu) Gamma(2/nu) Q(2/nu, w) / nu.
// The distribution functions rest on the incomplete beta (continued
// fraction) and gamma (series or continued fraction) functions; the
// quantile is a safeguarded Newton iteration on them.
#include "fitting/garch_laws.h"

#include <cmath>
#include <limits>

#include "fitting/garch_mle.h"
#include "precise/erfc.h"

namespace vexal {
namespace garch_laws {
namespace {

constexpr double kLn2Pi = 1.83787706640934548356;
constexpr double kPi = 3.14159265358979323846;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kTiny = 1e-300;
constexpr double kEps = 1e-16;

// Lentz's continued fraction for I_x(a, b) (Numerical Recipes' betacf).
double beta_fraction(double a, double b, double x) {
  const double qab = a + b, qap = a + 1, qam = a - 1;
  double c = 1, d = 1 - qab * x / qap;
  if (std::fabs(d) < kTiny) d = kTiny;
  d = 1 / d;
  double h = d;
  for (int m = 1; m <= 500; ++m) {
    const double m2 = 2.0 * m;
    double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
    d = 1 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    h *= d * c;
    aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
    d = 1 + aa * d;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = 1 + aa / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1) < kEps) break;
  }
  return h;
}

}  // namespace

double ln_gamma(double x) {
  double product = 1;
  for (; x < 16; x += 1) product *= x;
  const double z = 1 / (x * x);
  const double series = (1.0 / 12 - z * (1.0 / 360 - z * (1.0 / 1260 - z * (1.0 / 1680)))) / x;
  return (x - 0.5) * std::log(x) - x + 0.5 * kLn2Pi + series - std::log(product);
}

double digamma(double x) {
  double shift = 0;
  for (; x < 16; x += 1) shift += 1 / x;
  const double z = 1 / (x * x);
  return std::log(x) - 0.5 / x - z * (1.0 / 12 - z * (1.0 / 120 - z * (1.0 / 252 - z * (1.0 / 240)))) - shift;
}

double inc_beta(double a, double b, double x) {
  if (x <= 0) return 0;
  if (x >= 1) return 1;
  const double front =
      std::exp(a * std::log(x) + b * std::log1p(-x) - (ln_gamma(a) + ln_gamma(b) - ln_gamma(a + b)));
  if (x < (a + 1) / (a + b + 2)) return front * beta_fraction(a, b, x) / a;
  return 1 - front * beta_fraction(b, a, 1 - x) / b;
}

double inc_gamma_upper(double a, double x) {
  if (x <= 0) return 1;
  const double front = std::exp(-x + a * std::log(x) - ln_gamma(a));
  if (x < a + 1) {  // the series of P(a, x)
    double ap = a, del = 1 / a, sum = del;
    for (int n = 0; n < 1000; ++n) {
      ap += 1;
      del *= x / ap;
      sum += del;
      if (std::fabs(del) < std::fabs(sum) * kEps) break;
    }
    return 1 - sum * front;
  }
  double b = x + 1 - a, c = 1 / kTiny, d = 1 / b, h = d;  // Lentz's fraction of Q(a, x)
  for (int i = 1; i < 1000; ++i) {
    const double an = -i * (i - a);
    b += 2;
    d = an * d + b;
    if (std::fabs(d) < kTiny) d = kTiny;
    c = b + an / c;
    if (std::fabs(c) < kTiny) c = kTiny;
    d = 1 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1) < kEps) break;
  }
  return front * h;
}

SkewT skew_t(double nu, double xi) {
  const double m1 = 2 * std::sqrt(nu - 2) * std::exp(ln_gamma(0.5 * (nu + 1)) - ln_gamma(0.5 * nu)) /
                    ((nu - 1) * std::sqrt(kPi));
  const double var = (1 - m1 * m1) * (xi * xi + 1 / (xi * xi)) + 2 * m1 * m1 - 1;
  return {m1, m1 * (xi - 1 / xi), std::sqrt(var)};
}

namespace {

// Student's t with nu degrees of freedom: distribution, density and the
// partial expectation int_{-inf}^{t} u f(u) du.
double student_cdf(double t, double nu) {
  const double lower = 0.5 * inc_beta(0.5 * nu, 0.5, nu / (nu + t * t));
  return t < 0 ? lower : 1 - lower;
}
double student_pdf(double t, double nu) {
  return std::exp(ln_gamma(0.5 * (nu + 1)) - ln_gamma(0.5 * nu) - 0.5 * std::log(nu * kPi) -
                  0.5 * (nu + 1) * std::log1p(t * t / nu));
}
double student_partial(double t, double nu) { return -(nu + t * t) / (nu - 1) * student_pdf(t, nu); }

// The unit-variance t, the same three.
struct UnitT {
  double nu, s;  // z = s T
  explicit UnitT(double n) : nu(n), s(std::sqrt((n - 2) / n)) {}
  double cdf(double z) const { return student_cdf(z / s, nu); }
  double pdf(double z) const { return student_pdf(z / s, nu) / s; }
  double partial(double z) const { return s * student_partial(z / s, nu); }
};

struct Law {
  GarchDist dist;
  double nu, xi;
  // skewt
  SkewT k{};
  // ged
  double lambda = 0, ln_g = 0;

  Law(GarchDist d, double n, double x) : dist(d), nu(n), xi(x) {
    if (dist == GarchDist::skewt) k = skew_t(nu, xi);
    if (dist == GarchDist::ged) {
      const double ln_lambda = 0.5 * (-(2 / nu) * kLn2 + ln_gamma(1 / nu) - ln_gamma(3 / nu));
      lambda = std::exp(ln_lambda);
      ln_g = std::log(nu) - ln_lambda - (1 + 1 / nu) * kLn2 - ln_gamma(1 / nu);
    }
  }

  double cdf(double z) const {
    switch (dist) {
      case GarchDist::normal: return precise::norm_cdf(z);
      case GarchDist::t: return UnitT(nu).cdf(z);
      case GarchDist::skewt: {
        const UnitT f(nu);
        const double x = z * k.sd + k.mean, xi2 = xi * xi;
        if (x < 0) return 2 / (xi2 + 1) * f.cdf(x * xi);
        return 1 / (1 + xi2) + 2 * xi2 / (1 + xi2) * (f.cdf(x / xi) - 0.5);
      }
      case GarchDist::ged: {
        const double upper = 0.5 * inc_gamma_upper(1 / nu, 0.5 * std::pow(std::fabs(z) / lambda, nu));
        return z < 0 ? upper : 1 - upper;
      }
    }
    return 0;
  }

  double pdf(double z) const {
    switch (dist) {
      case GarchDist::normal: return precise::norm_pdf(z);
      case GarchDist::t: return UnitT(nu).pdf(z);
      case GarchDist::skewt: {
        const double x = z * k.sd + k.mean;
        return k.sd * 2 / (xi + 1 / xi) * UnitT(nu).pdf(x < 0 ? x * xi : x / xi);
      }
      case GarchDist::ged: return std::exp(ln_g - 0.5 * std::pow(std::fabs(z) / lambda, nu));
    }
    return 0;
  }

  // int_{-inf}^{q} z f(z) dz.
  double partial(double q) const {
    switch (dist) {
      case GarchDist::normal: return -precise::norm_pdf(q);
      case GarchDist::t: return UnitT(nu).partial(q);
      case GarchDist::skewt: {
        const UnitT f(nu);
        const double x = q * k.sd + k.mean, xi2 = xi * xi, g = 2 / (xi + 1 / xi);
        double raw;  // int_{-inf}^{x} u f_X(u) du of the raw variable
        if (x < 0) {
          raw = g / xi2 * f.partial(x * xi);
        } else {
          const double at0 = f.partial(0);
          raw = g / xi2 * at0 + g * xi2 * (f.partial(x / xi) - at0);
        }
        return (raw - k.mean * cdf(q)) / k.sd;
      }
      case GarchDist::ged: {
        const double w = 0.5 * std::pow(std::fabs(q) / lambda, nu);
        const double whole = std::exp(ln_g + 2 * std::log(lambda) + (2 / nu) * kLn2 + ln_gamma(2 / nu)) / nu;
        const double tail = whole * inc_gamma_upper(2 / nu, w);  // int_{|q|}^{inf} z f(z) dz
        return q < 0 ? -tail : tail - 2 * whole;
      }
    }
    return 0;
  }
};

}  // namespace
}  // namespace garch_laws

void garch_law_tail(GarchDist dist, double nu, double skew, double p, double& quantile, double& shortfall) {
  if (dist == GarchDist::t && std::isinf(nu)) dist = GarchDist::normal;  // the t fit at its normal limit
  const garch_laws::Law law(dist, nu, skew);
  // Bracket, then Newton's steps kept inside the bracket (bisection when
  // a step would leave it).
  double lo = -1, hi = 1;
  for (int i = 0; i < 200 && law.cdf(lo) > p; ++i) lo *= 2;
  for (int i = 0; i < 200 && law.cdf(hi) < p; ++i) hi *= 2;
  double z = 0.5 * (lo + hi);
  for (int i = 0; i < 200; ++i) {
    const double f = law.cdf(z) - p;
    if (f == 0) break;
    (f < 0 ? lo : hi) = z;
    const double d = law.pdf(z);
    double next = d > 0 ? z - f / d : 0.5 * (lo + hi);
    if (!(next > lo && next < hi)) next = 0.5 * (lo + hi);
    const bool done = std::fabs(next - z) <= 1e-15 * (1 + std::fabs(z)) || hi - lo <= 1e-15 * (1 + std::fabs(z));
    z = next;
    if (done) break;
  }
  quantile = z;
  shortfall = law.partial(z) / p;
}

double garch_law_below_zero(GarchDist dist, double nu, double skew) {
  if (dist != GarchDist::skewt) return 0.5;
  return garch_laws::Law(dist, nu, skew).cdf(0);
}

}  // namespace vexal
