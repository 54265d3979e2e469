// GARCH(1,1) and GJR-GARCH(1,1) by maximum likelihood.
//
// The series is divided by its scale c (the standard deviation; the root
// mean square for a zero mean), so that returns in percent and in decimals
// give the same fit; mu and omega are scaled back by c and c^2, and the
// log-likelihood by -n ln c.
//
// The residual is e[t] = y[t] - mu (- ar1 y[t-1]); with an AR(1) mean the
// first observation is conditioned on and the likelihood runs over t >= 1.
//
// Start-up: the pre-sample e^2 and h both equal s, the asymmetric term at its
// symmetric expectation, so h[0] = omega + (alpha + gamma / 2 + beta) s, where
// s is the mean of e[t]^2 over the whole series at the current mean
// parameters, or with `backcast` the average of the first 75 e[t]^2 weighted
// 0.94^t. Either way s depends on the mean, and so does the gradient.
//
// The gradient is that of the recursion itself: with a = alpha + gamma 1[e < 0],
// dh[t]/dtheta follows
//   dh[t] = (2 a e[t-1] de[t-1], 1, e[t-1]^2, 1[e[t-1] < 0] e[t-1]^2, h[t-1]) + beta dh[t-1]
// in (mean parameters, omega, alpha, gamma, beta).
//
// The search is a quasi-Newton (BFGS) minimisation of -loglik / n over
// unconstrained coordinates u: the mean parameters as they are, ln omega,
// logit(P) and shares of P = alpha + gamma P(z < 0) + beta (the persistence),
// logit((nu - 2) / 498) for the t laws, logit(nu / 50) for the error law and
// ln skew. They keep omega > 0, alpha >= 0, alpha + gamma >= 0, beta >= 0,
// P < 1, 2 < nu < 500 (0 < nu < 50) and skew > 0, from the best point of a
// coarse grid. With GJR the shares depend on P(z < 0), which for the skewed
// t moves with nu and skew; its derivatives there are central differences.
// The Hessian is the central difference of the analytic gradient in the
// model's own parameters, taken once at the optimum.
//
// The first models (constant or zero mean, GARCH, normal or t errors) keep
// the search they were released with; with normal errors its arithmetic to
// the last bit, with t errors all but the search's evaluations, which sum
// logarithms as logarithms of products, divide twice per observation, take
// the sums of e and e^2 from the series' and sum the constant terms after
// the loop (the fits move by about 1e-11 of the log-likelihood, within the
// search's tolerance). The later ones
// start BFGS from the inverse of the diagonal curvature, sum their
// logarithms as logarithms of products during the search, and search again
// from within when a share of P runs to its edge.
#include "fitting/garch_mle.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>
#include <limits>

#include "fitting/garch_laws.h"

namespace vexal {
namespace {

using garch_laws::digamma;
using garch_laws::ln_gamma;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kLn2Pi = 1.83787706640934548356;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBackcastDecay = 0.94;
constexpr std::int64_t kBackcastLength = 75;
constexpr int kMaxIterations = 200;
constexpr double kNuMax = 500;  // beyond it the t law is the normal law to the fit's precision
constexpr double kGedNuMax = 50;
constexpr double kGradientTolerance = 1e-8;  // on the largest component of d(-loglik / n) / du
constexpr int kS = kGarchSlots;

double logistic(double x) { return 1 / (1 + std::exp(-x)); }

// A running product kept as p 2^e, for the sum of many logarithms in one:
// exact to a few ulps per factor, against a logarithm per factor. The caller
// normalises it after every 8 factors (8 factors of the scaled series' range
// stay far from overflow).
struct LogSum {
  double p = 1;
  int e = 0;
  void add(double v) { p *= v; }
  void normalise() {
    // frexp, by the exponent bits where p is normal (the call costs more
    // than the rest of an observation's terms): p times the power of 2 that
    // brings it to [0.5, 1), exactly, so that p itself stays in a
    // floating-point register.
    std::uint64_t b;
    std::memcpy(&b, &p, sizeof b);
    const int biased = static_cast<int>(b >> 52 & 0x7ff);
    if (biased != 0 && biased < 0x7fe) {
      const std::uint64_t to_half = static_cast<std::uint64_t>(2045 - biased) << 52;  // 2^(1022 - biased)
      double scale;
      std::memcpy(&scale, &to_half, sizeof scale);
      p *= scale;
      e += biased - 1022;
    } else {
      int ex;
      p = std::frexp(p, &ex);
      e += ex;
    }
  }
  double value() const { return std::log(p) + e * 0.69314718055994530942; }
};

struct Problem {
  const double* y;
  std::int64_t n;
  std::int64_t first;  // the first observation in the likelihood
  double inv_scale;
  double sum_y, sum_yy;  // of y[t] / scale and its square, t >= first (first models)
  GarchSetup setup;
  int free[kS];  // the estimated parameters' slots
  int k;
  bool ar, gjr;
  bool first_models;  // constant or zero mean, GARCH, normal or t: the fit as it first was
};

// What one evaluation may also gather, on the scaled series.
struct Extras {
  double* opg = nullptr;   // 8 x 8: sum of the scores' outer products
  double* info = nullptr;  // 8 x 8: Bollerslev-Wooldridge information, mean block apart
  double* h = nullptr;     // h[t]
  double* z = nullptr;     // e[t] / sqrt(h[t])
  double last_e = 0, last_h = 0;
};

// Log-likelihood of the scaled series at theta (the eight slots), and its
// gradient in theta when `grad` is given; one instance per law and model.
// The search's evaluations (`extras` false) are instances of their own,
// free of the final evaluation's branches.
template <GarchDist dist, bool ar, bool gjr, bool extras>
double evaluate_model(const Problem& p, const double* th, double* grad, Extras* extras_in) {
  Extras* const x = extras ? extras_in : nullptr;
  const double mu = th[kMu], phi = th[kAr1], omega = th[kOmega], alpha = th[kAlpha], gamma = th[kGamma],
               beta = th[kBeta], nu = th[kNu], xi = th[kSkew];
  const double* y = p.y;
  const std::int64_t n = p.n, first = p.first;
  const double c = p.inv_scale;
  auto residual = [&](std::int64_t t) { return ar ? y[t] * c - mu - phi * (y[t - 1] * c) : y[t] * c - mu; };

  // The search's evaluations (`fast`) sum ln h and ln(1 + q) as logarithms
  // of products, but for the first model with normal errors; the final
  // evaluation term by term, in the first models with the arithmetic they
  // were released with. The search's evaluations of the first model with t
  // errors also take the sums of e and e^2 from the series' own (the same to
  // rounding) rather than from a pass of their own, and sum the terms that do
  // not vary after the loop.
  constexpr bool first_models = !ar && !gjr && (dist == GarchDist::normal || dist == GarchDist::t);
  const bool fast = !(first_models && dist == GarchDist::normal) && !x;
  double s = 0, ds = 0, ds_phi = 0;
  if (!p.setup.backcast) {
    double sum = 0, sum2 = 0, sum_x = 0;
    const double m = static_cast<double>(n - first);
    if (first_models && fast) {
      sum = p.sum_y - m * mu;
      sum2 = p.sum_yy - mu * (2 * p.sum_y - m * mu);
    } else {
      for (std::int64_t t = first; t < n; ++t) {
        const double e = residual(t);
        sum += e;
        sum2 += e * e;
        if (ar) sum_x += e * (y[t - 1] * c);
      }
    }
    s = sum2 / m;
    ds = -2 * sum / m;
    ds_phi = -2 * sum_x / m;
  } else {
    double weight = 1, total = 0;
    for (std::int64_t t = first; t < std::min(n, first + kBackcastLength); ++t) {
      const double e = residual(t);
      s += weight * e * e;
      ds -= 2 * weight * e;
      if (ar) ds_phi -= 2 * weight * e * (y[t - 1] * c);
      total += weight;
      weight *= kBackcastDecay;
    }
    s /= total;
    ds /= total;
    ds_phi /= total;
  }

  // The error law's constants.
  double ln_c = 0, d_ln_c = 0, nu2 = 0;
  double sk_mean = 0, sk_sd = 0, sk_dmean_dxi = 0, sk_dsd_dxi = 0, sk_dmean_dnu = 0, sk_dsd_dnu = 0;
  double sk_dln_dxi = 0, sk_dln_dnu = 0;  // of ln(g sd) beyond ln_c
  double sk_w_up = 0, sk_w_down = 0, sk_inv_xi = 0, inv_nu2 = 0;
  double ged_ln_lambda = 0, ged_lambda = 0, ged_ln_g = 0, ged_dln_lambda = 0, ged_dln_g = 0;
  if (dist == GarchDist::t || dist == GarchDist::skewt) {
    nu2 = nu - 2;
    inv_nu2 = 1 / nu2;
    ln_c = ln_gamma(0.5 * (nu + 1)) - ln_gamma(0.5 * nu) - 0.5 * std::log(kPi * nu2);
    d_ln_c = 0.5 * (digamma(0.5 * (nu + 1)) - digamma(0.5 * nu)) - 0.5 / nu2;
  }
  if (dist == GarchDist::skewt) {
    const garch_laws::SkewT k = garch_laws::skew_t(nu, xi);
    const double dm1_dnu = k.m1 * (0.5 / nu2 + 0.5 * (digamma(0.5 * (nu + 1)) - digamma(0.5 * nu)) - 1 / (nu - 1));
    const double var = k.sd * k.sd, xi_inv = 1 / xi;
    sk_mean = k.mean;
    sk_sd = k.sd;
    sk_dmean_dxi = k.m1 * (1 + xi_inv * xi_inv);
    sk_dmean_dnu = dm1_dnu * (xi - xi_inv);
    const double dln_sd_dxi = 0.5 * (1 - k.m1 * k.m1) * (2 * xi - 2 * xi_inv * xi_inv * xi_inv) / var;
    const double dln_sd_dnu = 0.5 * 2 * k.m1 * dm1_dnu * (2 - xi * xi - xi_inv * xi_inv) / var;
    sk_dsd_dxi = k.sd * dln_sd_dxi;
    sk_dsd_dnu = k.sd * dln_sd_dnu;
    ln_c += kLn2 - std::log(xi + xi_inv) + std::log(k.sd);
    sk_dln_dxi = -(1 - xi_inv * xi_inv) / (xi + xi_inv) + dln_sd_dxi;
    sk_dln_dnu = dln_sd_dnu;
    sk_w_up = 1 / (xi * xi * nu2);
    sk_w_down = xi * xi / nu2;
    sk_inv_xi = xi_inv;
  }
  if (dist == GarchDist::ged) {
    const double inv = 1 / nu, inv2 = inv * inv;
    ged_ln_lambda = 0.5 * (-(2 * inv) * kLn2 + ln_gamma(inv) - ln_gamma(3 * inv));
    ged_lambda = std::exp(ged_ln_lambda);
    ged_ln_g = std::log(nu) - ged_ln_lambda - (1 + inv) * kLn2 - ln_gamma(inv);
    ged_dln_lambda = 0.5 * (2 * inv2 * kLn2 - digamma(inv) * inv2 + 3 * digamma(3 * inv) * inv2);
    ged_dln_g = inv - ged_dln_lambda + kLn2 * inv2 + digamma(inv) * inv2;
  }

  const double a0 = gjr ? alpha + 0.5 * gamma : alpha;
  double h = omega + (a0 + beta) * s;
  // dh / d(mu, ar1, omega, alpha, gamma, beta) and the gradient, as scalars
  // that the loop keeps in registers.
  double d_mu = (a0 + beta) * ds, d_ar = (a0 + beta) * ds_phi, d_om = 1, d_al = s, d_ga = 0.5 * s, d_be = s;
  double g_mu = 0, g_ar = 0, g_om = 0, g_al = 0, g_ga = 0, g_be = 0, g_nu = 0, g_xi = 0;
  double ll = 0, e_prev = 0, h_prev = 0, x_prev = 0, sum_fq = 0;
  LogSum sum_ln_h, sum_ln_q;
  int factors = 0;  // since the last normalisation
  for (std::int64_t t = first; t < n; ++t) {
    const double e = residual(t);
    const double xr = ar ? y[t - 1] * c : 0;  // de / dar1 = -xr
    if (t > first) {
      const double e2 = e_prev * e_prev;
      const bool down = gjr && e_prev < 0;
      const double a = down ? alpha + gamma : alpha;
      if (grad) {
        d_mu = -2 * a * e_prev + beta * d_mu;
        if (ar) d_ar = -2 * a * e_prev * x_prev + beta * d_ar;
        d_om = 1 + beta * d_om;
        d_al = e2 + beta * d_al;
        if (gjr) d_ga = (down ? e2 : 0) + beta * d_ga;
        d_be = h_prev + beta * d_be;
      }
      h = omega + a * e2 + beta * h_prev;
    }
    double dl_dh = 0, dl_de = 0, dl_dnu = 0, dl_dxi = 0;
    switch (dist) {
      case GarchDist::normal: {
        const double r = e / h;
        if (fast) {
          sum_ln_h.add(h);
          ll -= 0.5 * (kLn2Pi + e * r);
        } else {
          ll -= 0.5 * (kLn2Pi + std::log(h) + e * r);
        }
        dl_dh = 0.5 * (e * r - 1) / h;
        dl_de = -r;
        break;
      }
      case GarchDist::t: {
        if (fast) {  // two divisions, as with normal errors
          const double hn_inv = 1 / (h * nu2), q = e * e * hn_inv, f = (nu + 1) / (1 + q);
          sum_ln_h.add(h);
          sum_ln_q.add(1 + q);
          const double fq = f * q;  // 0.5 f q = 0.5 (f q), exactly
          dl_dh = 0.5 * (fq - 1) * (nu2 * hn_inv);
          dl_de = -f * e * hn_inv;
          if (first_models) {  // the terms that do not vary summed after the loop
            sum_fq += fq;
          } else {
            ll += ln_c;
            dl_dnu = d_ln_c + 0.5 * fq * inv_nu2;
          }
          break;
        }
        // log1p for the first models, whose doubles stay as they were; log
        // (far faster, and the same to an ulp of the term) for the rest.
        const double q = e * e / (h * nu2), f = (nu + 1) / (1 + q);
        const double log1q = first_models ? std::log1p(q) : std::log(1 + q);
        ll += ln_c - 0.5 * std::log(h) - 0.5 * (nu + 1) * log1q;
        dl_dh = 0.5 * (f * q - 1) / h;
        dl_de = -f * e / (h * nu2);
        dl_dnu = d_ln_c - 0.5 * log1q + 0.5 * f * q / nu2;
        break;
      }
      case GarchDist::skewt: {
        const double root = std::sqrt(h), inv_root = 1 / root, z = e * inv_root, r = z * sk_sd + sk_mean;
        const bool up = r >= 0;
        const double w = up ? sk_w_up : sk_w_down;  // 1 / (xi^(+-2) (nu - 2))
        const double q = r * r * w, f = (nu + 1) / (1 + q);
        double log1q = 0;
        if (fast) {
          sum_ln_h.add(h);
          sum_ln_q.add(1 + q);
          ll += ln_c;
        } else {
          log1q = std::log(1 + q);
          ll += ln_c - 0.5 * std::log(h) - 0.5 * (nu + 1) * log1q;
        }
        const double dl_dr = -f * r * w, fq = f * q;
        dl_de = dl_dr * sk_sd * inv_root;
        dl_dh = -0.5 * (1 + dl_dr * z * sk_sd) * inv_root * inv_root;
        if (grad) {
          dl_dxi = sk_dln_dxi + dl_dr * (z * sk_dsd_dxi + sk_dmean_dxi) + (up ? fq : -fq) * sk_inv_xi;
          dl_dnu = d_ln_c - 0.5 * log1q + 0.5 * fq * inv_nu2 + sk_dln_dnu + dl_dr * (z * sk_dsd_dnu + sk_dmean_dnu);
        }
        break;
      }
      case GarchDist::ged: {
        // a = |e| / (lambda sqrt h), a^nu by way of ln a.
        double ln_a;
        if (fast) {
          sum_ln_h.add(h);
          ln_a = e != 0 ? std::log(std::fabs(e) / (std::sqrt(h) * ged_lambda)) : 0;
          ll += ged_ln_g;
        } else {
          const double ln_h = std::log(h);
          ln_a = e != 0 ? std::log(std::fabs(e)) - 0.5 * ln_h - ged_ln_lambda : 0;
          ll += ged_ln_g - 0.5 * ln_h;
        }
        const double an = e != 0 ? std::exp(nu * ln_a) : 0;
        ll -= 0.5 * an;
        dl_dh = 0.5 * (0.5 * nu * an - 1) / h;
        dl_de = e != 0 ? -0.5 * nu * an / e : 0;
        dl_dnu = ged_dln_g - 0.5 * an * (ln_a - nu * ged_dln_lambda);
        break;
      }
    }
    if (grad) {
      // The slots the model lacks stay 0 (mu's is summed even when it is fixed).
      const double score[kS] = {dl_dh * d_mu - dl_de, ar ? dl_dh * d_ar - dl_de * xr : 0, dl_dh * d_om, dl_dh * d_al,
                                gjr ? dl_dh * d_ga : 0, dl_dh * d_be, dl_dnu, dl_dxi};
      g_mu += score[kMu];
      if (ar) g_ar += score[kAr1];
      g_om += score[kOmega];
      g_al += score[kAlpha];
      if (gjr) g_ga += score[kGamma];
      g_be += score[kBeta];
      if (dist != GarchDist::normal && !(first_models && fast)) g_nu += dl_dnu;
      if (dist == GarchDist::skewt) g_xi += dl_dxi;
      if (x && x->opg)
        for (int i = 0; i < p.k; ++i)
          for (int j = 0; j < p.k; ++j) x->opg[p.free[i] * kS + p.free[j]] += score[p.free[i]] * score[p.free[j]];
      if (x && x->info) {
        // E[-d2 l / dtheta2 | past] = m m' / h + dh dh' / (2 h^2), m = de/dtheta,
        // with the blocks between the mean and the variance's parameters left out.
        const double w = 0.5 / (h * h), d[6] = {d_mu, d_ar, d_om, d_al, d_ga, d_be};
        x->info[kMu * kS + kMu] += 1 / h + w * d[0] * d[0];
        if (ar) {
          x->info[kMu * kS + kAr1] += xr / h + w * d[0] * d[1];
          x->info[kAr1 * kS + kMu] += xr / h + w * d[0] * d[1];
          x->info[kAr1 * kS + kAr1] += xr * xr / h + w * d[1] * d[1];
        }
        for (int i = kOmega; i <= kBeta; ++i)
          for (int j = kOmega; j <= kBeta; ++j) x->info[i * kS + j] += w * d[i] * d[j];
      }
    }
    if (fast && ++factors == 8) {
      sum_ln_h.normalise();
      if (dist == GarchDist::t || dist == GarchDist::skewt) sum_ln_q.normalise();
      factors = 0;
    }
    if (x) {
      if (x->h) x->h[t] = h;
      if (x->z) x->z[t] = e / std::sqrt(h);
    }
    e_prev = e;
    h_prev = h;
    x_prev = xr;
  }
  if (fast) {
    const double ln_q = sum_ln_q.value();
    if (first_models && dist == GarchDist::t) {
      const double m = static_cast<double>(n - first);
      ll = m * ln_c;
      g_nu = m * d_ln_c + 0.5 * sum_fq * inv_nu2;
    }
    ll -= 0.5 * sum_ln_h.value();
    if (dist == GarchDist::t || dist == GarchDist::skewt) {
      ll -= 0.5 * (nu + 1) * ln_q;
      g_nu -= 0.5 * ln_q;
    }
  }
  if (x) {
    x->last_e = e_prev;
    x->last_h = h_prev;
  }
  if (grad) {
    const double g[kS] = {g_mu, g_ar, g_om, g_al, g_ga, g_be, g_nu, g_xi};
    for (int i = 0; i < kS; ++i) grad[i] = g[i];
  }
  return ll;
}

template <GarchDist dist, bool extras>
double evaluate_law(const Problem& p, const double* th, double* grad, Extras* x) {
  if (p.ar)
    return p.gjr ? evaluate_model<dist, true, true, extras>(p, th, grad, x)
                 : evaluate_model<dist, true, false, extras>(p, th, grad, x);
  return p.gjr ? evaluate_model<dist, false, true, extras>(p, th, grad, x)
               : evaluate_model<dist, false, false, extras>(p, th, grad, x);
}

template <bool extras>
double evaluate_dist(const Problem& p, const double* th, double* grad, Extras* x) {
  switch (p.setup.dist) {
    case GarchDist::normal: return evaluate_law<GarchDist::normal, extras>(p, th, grad, x);
    case GarchDist::t: return evaluate_law<GarchDist::t, extras>(p, th, grad, x);
    case GarchDist::skewt: return evaluate_law<GarchDist::skewt, extras>(p, th, grad, x);
    case GarchDist::ged: break;
  }
  return evaluate_law<GarchDist::ged, extras>(p, th, grad, x);
}

double evaluate(const Problem& p, const double* th, double* grad, Extras* x) {
  return x ? evaluate_dist<true>(p, th, grad, x) : evaluate_dist<false>(p, th, grad, nullptr);
}

double kappa_of(const Problem& p, double nu, double xi) {
  return p.setup.dist == GarchDist::skewt ? garch_law_below_zero(GarchDist::skewt, nu, xi) : 0.5;
}

bool has_nu(const GarchSetup& s) { return s.dist != GarchDist::normal; }
double nu_max(const GarchSetup& s) { return s.dist == GarchDist::ged ? kGedNuMax : kNuMax; }
double nu_floor(const GarchSetup& s) { return s.dist == GarchDist::ged ? 0 : 2; }

// The coordinates: how many precede the persistence, and where nu and skew lie.
void to_theta(const Problem& p, const double* u, double* th) {
  int i = 0;
  th[kMu] = p.setup.mean == GarchMean::zero ? 0 : u[i++];
  th[kAr1] = p.ar ? u[i++] : 0;
  th[kOmega] = std::exp(u[i++]);
  const int v = i;
  i += p.gjr ? 3 : 2;
  const double lo = nu_floor(p.setup);
  th[kNu] = has_nu(p.setup) ? lo + (nu_max(p.setup) - lo) * logistic(u[i++]) : 0;
  th[kSkew] = p.setup.dist == GarchDist::skewt ? std::exp(u[i]) : 1;
  const double persistence = logistic(u[v]), share = logistic(u[v + 1]);
  if (!p.gjr) {
    th[kAlpha] = persistence * share;
    th[kBeta] = persistence * (1 - share);
    th[kGamma] = 0;
  } else {
    // share of the shocks' part A = alpha + gamma kappa; split of A between
    // the rises ((1 - kappa) alpha) and the falls (kappa (alpha + gamma)).
    const double kappa = kappa_of(p, th[kNu], th[kSkew]), split = logistic(u[v + 2]);
    const double a = persistence * share;
    th[kAlpha] = a * split / (1 - kappa);
    th[kGamma] = a * (1 - split) / kappa - th[kAlpha];
    th[kBeta] = persistence * (1 - share);
  }
}

double logit(double x) { return std::log(x / (1 - x)); }

void to_u(const Problem& p, const double* th, double* u) {
  int i = 0;
  if (p.setup.mean != GarchMean::zero) u[i++] = th[kMu];
  if (p.ar) u[i++] = th[kAr1];
  u[i++] = std::log(th[kOmega]);
  if (!p.gjr) {
    const double persistence = th[kAlpha] + th[kBeta], share = th[kAlpha] / persistence;
    u[i++] = std::log(persistence / (1 - persistence));
    u[i++] = std::log(share / (1 - share));
  } else {
    const double kappa = kappa_of(p, th[kNu], th[kSkew]);
    const double a = th[kAlpha] + th[kGamma] * kappa, persistence = a + th[kBeta];
    u[i++] = logit(persistence);
    u[i++] = logit(a / persistence);
    u[i++] = logit(th[kAlpha] * (1 - kappa) / a);
  }
  if (has_nu(p.setup)) {
    const double lo = nu_floor(p.setup), x = (th[kNu] - lo) / (nu_max(p.setup) - lo);
    u[i++] = std::log(x / (1 - x));
  }
  if (p.setup.dist == GarchDist::skewt) u[i] = std::log(th[kSkew]);
}

// f(u) = -loglik / n and its gradient in u.
double objective(const Problem& p, const double* u, double* gu) {
  double th[kS], g[kS];
  to_theta(p, u, th);
  const double ll = evaluate(p, th, g, nullptr);
  const double scale = -1 / static_cast<double>(p.n - p.first);
  int i = 0;
  if (p.setup.mean != GarchMean::zero) gu[i++] = scale * g[kMu];
  if (p.ar) gu[i++] = scale * g[kAr1];
  gu[i++] = scale * g[kOmega] * th[kOmega];
  const int v = i;
  i += p.gjr ? 3 : 2;
  double d_nu = 0;  // dnu / du
  if (has_nu(p.setup)) {
    const double lo = nu_floor(p.setup);
    d_nu = (th[kNu] - lo) * (1 - (th[kNu] - lo) / (nu_max(p.setup) - lo));
    gu[i++] = scale * g[kNu] * (th[kNu] - lo) * (1 - (th[kNu] - lo) / (nu_max(p.setup) - lo));
  }
  if (p.setup.dist == GarchDist::skewt) gu[i] = scale * g[kSkew] * th[kSkew];
  if (!p.gjr) {
    const double persistence = th[kAlpha] + th[kBeta], share = persistence > 0 ? th[kAlpha] / persistence : 0;
    gu[v] = scale * (g[kAlpha] * share + g[kBeta] * (1 - share)) * persistence * (1 - persistence);
    gu[v + 1] = scale * (g[kAlpha] - g[kBeta]) * persistence * share * (1 - share);
    return scale * ll;
  }
  const double persistence = logistic(u[v]), share = logistic(u[v + 1]), split = logistic(u[v + 2]);
  const double kappa = kappa_of(p, th[kNu], th[kSkew]), a = persistence * share;
  // alpha = a split / (1 - kappa), gamma = a (1 - split) / kappa - alpha, beta = persistence (1 - share).
  const double dalpha_da = split / (1 - kappa), dgamma_da = (1 - split) / kappa - dalpha_da;
  const double g_a = g[kAlpha] * dalpha_da + g[kGamma] * dgamma_da;
  gu[v] = scale * (g_a * share + g[kBeta] * (1 - share)) * persistence * (1 - persistence);
  gu[v + 1] = scale * (g_a - g[kBeta]) * persistence * share * (1 - share);
  const double dalpha_ds = a / (1 - kappa), dgamma_ds = -a / kappa - dalpha_ds;
  gu[v + 2] = scale * (g[kAlpha] * dalpha_ds + g[kGamma] * dgamma_ds) * split * (1 - split);
  if (p.setup.dist == GarchDist::skewt) {
    // kappa = P(z < 0) moves with nu and skew: its derivatives by central differences.
    const double dalpha_dk = a * split / ((1 - kappa) * (1 - kappa));
    const double dgamma_dk = -a * (1 - split) / (kappa * kappa) - dalpha_dk;
    const double g_k = scale * (g[kAlpha] * dalpha_dk + g[kGamma] * dgamma_dk);
    const double nu = th[kNu], xi = th[kSkew], hn = 1e-6 * nu, hx = 1e-6 * xi;
    const double dk_dnu = (kappa_of(p, nu + hn, xi) - kappa_of(p, nu - hn, xi)) / (2 * hn);
    const double dk_dxi = (kappa_of(p, nu, xi + hx) - kappa_of(p, nu, xi - hx)) / (2 * hx);
    gu[i - 1] += g_k * dk_dnu * d_nu;
    gu[i] += g_k * dk_dxi * xi;
  }
  return scale * ll;
}

// f(u) alone: the double objective returns.
double objective_value(const Problem& p, const double* u) {
  double th[kS];
  to_theta(p, u, th);
  return -1 / static_cast<double>(p.n - p.first) * evaluate(p, th, nullptr, nullptr);
}

double max_abs(const double* v, int k) {
  double m = 0;
  for (int i = 0; i < k; ++i) m = std::max(m, std::fabs(v[i]));
  return m;
}

// BFGS with a backtracking (Armijo) line search; u is updated in place.
template <class Fit>
void minimise(const Problem& p, double* u, Fit& fit) {
  const int k = p.k;
  double hinv[kS * kS] = {};
  for (int i = 0; i < k; ++i) hinv[i * k + i] = 1;
  double g[kS], f = objective(p, u, g);
  if (!p.first_models) {
    // The later models start from the inverse of the diagonal curvature,
    // by forward differences of the gradient.
    for (int i = 0; i < k; ++i) {
      double up[kS], gi[kS];
      std::copy(u, u + k, up);
      up[i] += 1e-4;
      objective(p, up, gi);
      const double c = (gi[i] - g[i]) / 1e-4;
      hinv[i * k + i] = c > 0 && std::isfinite(c) ? 1 / c : 1;
    }
  }
  fit.converged = 0;
  int it = 0;
  for (; it < kMaxIterations; ++it) {
    if (!std::isfinite(f)) break;
    if (max_abs(g, k) < kGradientTolerance) {
      fit.converged = 1;
      break;
    }
    double dir[kS], slope = 0;
    for (int i = 0; i < k; ++i) {
      dir[i] = 0;
      for (int j = 0; j < k; ++j) dir[i] -= hinv[i * k + j] * g[j];
      slope += dir[i] * g[i];
    }
    if (!(slope < 0)) {  // not a descent direction: start the curvature afresh
      for (int i = 0; i < k * k; ++i) hinv[i] = 0;
      for (int i = 0; i < k; ++i) {
        hinv[i * k + i] = 1;
        dir[i] = -g[i];
      }
      slope = 0;
      for (int i = 0; i < k; ++i) slope -= g[i] * g[i];
    }
    const double longest = max_abs(dir, k);
    double step = longest > 2 ? 2 / longest : 1;  // at most 2 in any coordinate
    double un[kS], gn[kS], fn = 0;
    bool moved = false;
    // Near the optimum a decrease may be lost in rounding: the later models
    // give up after 5 halvings there, the first ones after 30 as they did.
    const int most = !p.first_models && max_abs(g, k) < 1e-6 ? 5 : 30;
    for (int tries = 0; tries < most; ++tries, step *= 0.5) {
      for (int i = 0; i < k; ++i) un[i] = u[i] + step * dir[i];
      // Near the optimum a trial after a first failure seldom succeeds: its
      // value alone (the same double), and the gradient only where it does.
      const bool value_only = tries > 0 && max_abs(g, k) < 1e-6;
      fn = value_only ? objective_value(p, un) : objective(p, un, gn);
      if (std::isfinite(fn) && fn <= f + 1e-4 * step * slope && fn < f) {
        if (value_only) objective(p, un, gn);
        moved = true;
        break;
      }
    }
    if (!moved) {  // no decrease left at machine precision
      fit.converged = max_abs(g, k) < 1e-6;
      break;
    }
    double s[kS], yv[kS], sy = 0, yy = 0;
    for (int i = 0; i < k; ++i) {
      s[i] = un[i] - u[i];
      yv[i] = gn[i] - g[i];
      sy += s[i] * yv[i];
      yy += yv[i] * yv[i];
    }
    if (sy > 1e-12 * std::sqrt(yy) * max_abs(s, k)) {
      if (it == 0 && p.first_models)
        for (int i = 0; i < k; ++i) hinv[i * k + i] = sy / yy;
      double hy[kS], yhy = 0;
      for (int i = 0; i < k; ++i) {
        hy[i] = 0;
        for (int j = 0; j < k; ++j) hy[i] += hinv[i * k + j] * yv[j];
        yhy += yv[i] * hy[i];
      }
      const double rho = 1 / sy;
      for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j)
          hinv[i * k + j] += rho * ((1 + rho * yhy) * s[i] * s[j] - hy[i] * s[j] - s[i] * hy[j]);
    }
    for (int i = 0; i < k; ++i) {
      u[i] = un[i];
      g[i] = gn[i];
    }
    f = fn;
  }
  fit.iterations = it;
}

// Inverts the symmetric k x k matrix a in place (Gauss-Jordan, pivoting on
// the largest diagonal entry); false when it is singular.
bool invert(double* a, int k) {
  bool used[kS] = {};
  for (int step = 0; step < k; ++step) {
    int piv = -1;
    for (int i = 0; i < k; ++i)
      if (!used[i] && (piv < 0 || std::fabs(a[i * k + i]) > std::fabs(a[piv * k + piv]))) piv = i;
    const double d = a[piv * k + piv];
    if (!(std::fabs(d) > 0) || !std::isfinite(d)) return false;
    used[piv] = true;
    const double inv = 1 / d;
    a[piv * k + piv] = 1;
    for (int j = 0; j < k; ++j) a[piv * k + j] *= inv;
    for (int i = 0; i < k; ++i) {
      if (i == piv) continue;
      const double f = a[i * k + piv];
      a[i * k + piv] = 0;
      for (int j = 0; j < k; ++j) a[i * k + j] -= f * a[piv * k + j];
    }
  }
  for (int i = 0; i < k * k; ++i)
    if (!std::isfinite(a[i])) return false;
  return true;
}

// out = a b a (k x k).
void sandwich(const double* a, const double* b, double* out, int k) {
  double ab[kS * kS];
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) {
      double v = 0;
      for (int l = 0; l < k; ++l) v += a[i * k + l] * b[l * k + j];
      ab[i * k + j] = v;
    }
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) {
      double v = 0;
      for (int l = 0; l < k; ++l) v += ab[i * k + l] * a[l * k + j];
      out[i * k + j] = v;
    }
}

// The free block of an 8 x 8 matrix.
void free_block(const Problem& p, const double* full, double* out) {
  for (int i = 0; i < p.k; ++i)
    for (int j = 0; j < p.k; ++j) out[i * p.k + j] = full[p.free[i] * kS + p.free[j]];
}

// Standard errors and the covariance in the series' own units from a
// covariance of the free parameters of the scaled series (NaN when it could
// not be formed).
void store_std_err(const Problem& p, const double* cov, bool ok, double scale, double* se, double* full) {
  const double unit[kS] = {scale, 1, scale * scale, 1, 1, 1, 1, 1};
  for (int i = 0; i < kS; ++i) se[i] = kNaN;
  for (int i = 0; i < kS * kS; ++i) full[i] = kNaN;
  if (!ok) return;
  for (int i = 0; i < p.k; ++i) {
    const double v = cov[i * p.k + i];
    se[p.free[i]] = v >= 0 ? std::sqrt(v) * unit[p.free[i]] : kNaN;
    for (int j = 0; j < p.k; ++j)
      full[p.free[i] * kS + p.free[j]] = cov[i * p.k + j] * unit[p.free[i]] * unit[p.free[j]];
  }
}

// The best point of a coarse grid over (alpha, alpha + beta) with omega
// matching the sample variance; over gamma for GJR, and over nu (and skew)
// for the laws that have them.
void start_point(const Problem& p, double* th) {
  double mean = 0, phi = 0;
  const std::int64_t n = p.n, first = p.first;
  if (p.ar) {
    // Least squares of y[t] on y[t-1].
    double mx = 0, my = 0;
    for (std::int64_t t = 1; t < n; ++t) {
      mx += p.y[t - 1] * p.inv_scale;
      my += p.y[t] * p.inv_scale;
    }
    mx /= static_cast<double>(n - 1);
    my /= static_cast<double>(n - 1);
    double sxy = 0, sxx = 0;
    for (std::int64_t t = 1; t < n; ++t) {
      const double dx = p.y[t - 1] * p.inv_scale - mx;
      sxy += dx * (p.y[t] * p.inv_scale - my);
      sxx += dx * dx;
    }
    phi = sxx > 0 ? std::clamp(sxy / sxx, -0.9, 0.9) : 0;
    mean = my - phi * mx;
  } else if (p.setup.mean != GarchMean::zero) {
    for (std::int64_t t = 0; t < n; ++t) mean += p.y[t] * p.inv_scale;
    mean /= static_cast<double>(n);
  }
  double var = 0;
  for (std::int64_t t = first; t < n; ++t) {
    const double e = p.y[t] * p.inv_scale - mean - (p.ar ? phi * (p.y[t - 1] * p.inv_scale) : 0);
    var += e * e;
  }
  var /= static_cast<double>(n - first);
  double best = -std::numeric_limits<double>::infinity();
  const double nu0 = p.setup.dist == GarchDist::ged ? 1.5 : has_nu(p.setup) ? 8 : 0;
  th[kMu] = mean;
  th[kAr1] = phi;
  th[kOmega] = 0.1 * var;
  th[kAlpha] = 0.05;
  th[kGamma] = 0;
  th[kBeta] = 0.85;
  th[kNu] = nu0;
  th[kSkew] = 1;
  for (double persistence : {0.7, 0.9, 0.97})
    for (double alpha : {0.03, 0.08, 0.15, 0.25})
      for (double lean : {0.0, 0.5}) {
        if ((lean > 0) != p.gjr) continue;
        // GJR: alpha + gamma / 2 = alpha, half of it on the falls alone.
        const double trial[kS] = {mean, phi, var * (1 - persistence), alpha * (1 - lean), 2 * alpha * lean,
                                  persistence - alpha, nu0, 1};
        const double ll = evaluate(p, trial, nullptr, nullptr);
        if (ll > best) {
          best = ll;
          std::copy(trial, trial + kS, th);
        }
      }
  // The shape parameters in turn, each at the best of two trial values.
  auto try_values = [&](int slot, const double (&values)[2]) {
    for (double v : values) {
      double trial[kS];
      std::copy(th, th + kS, trial);
      trial[slot] = v;
      const double ll = evaluate(p, trial, nullptr, nullptr);
      if (ll > best) {
        best = ll;
        th[slot] = v;
      }
    }
  };
  const double t_nus[] = {4.0, 20.0}, ged_nus[] = {1.0, 2.0}, skews[] = {0.8, 1.25};
  if (has_nu(p.setup)) try_values(kNu, p.setup.dist == GarchDist::ged ? ged_nus : t_nus);
  if (p.setup.dist == GarchDist::skewt) try_values(kSkew, skews);
}

}  // namespace

GarchMleInput garch_check(const double* y, std::int64_t n, const GarchSetup& setup) {
  if (n < (setup.mean == GarchMean::ar1 ? 11 : 10)) return GarchMleInput::too_short;
  for (std::int64_t t = 0; t < n; ++t)
    if (!std::isfinite(y[t])) return GarchMleInput::not_finite;
  for (std::int64_t t = 1; t < n; ++t)
    if (y[t] != y[0]) return GarchMleInput::ok;
  return setup.mean == GarchMean::zero && y[0] != 0 ? GarchMleInput::ok : GarchMleInput::constant;
}

namespace {

// The fit inside the parameter space's open box (garch_fit below adds what
// happens at its edges).
void fit_inside(const double* y, std::int64_t n, const GarchSetup& setup, GarchModelFit& fit, double* variances,
                double* residuals) {
  const bool zero_mean = setup.mean == GarchMean::zero;
  // The scale: the standard deviation (root mean square for a zero mean),
  // formed on y / max|y| so that no square overflows.
  double top = 0;
  for (std::int64_t t = 0; t < n; ++t) top = std::max(top, std::fabs(y[t]));
  double mean = 0, sum2 = 0;
  if (!zero_mean) {
    for (std::int64_t t = 0; t < n; ++t) mean += y[t] / top;
    mean /= static_cast<double>(n);
  }
  for (std::int64_t t = 0; t < n; ++t) {
    const double e = y[t] / top - mean;
    sum2 += e * e;
  }
  const double scale = top * std::sqrt(sum2 / static_cast<double>(n));

  Problem p{y, n, setup.mean == GarchMean::ar1 ? 1 : 0, 1 / scale, 0, 0, setup, {}, 0, setup.mean == GarchMean::ar1,
            setup.vol == GarchVol::gjr,
            setup.mean != GarchMean::ar1 && setup.vol == GarchVol::garch &&
                (setup.dist == GarchDist::normal || setup.dist == GarchDist::t)};
  if (p.first_models)
    for (std::int64_t t = p.first; t < n; ++t) {
      const double v = y[t] * p.inv_scale;
      p.sum_y += v;
      p.sum_yy += v * v;
    }
  const bool present[kS] = {!zero_mean, p.ar, true, true, p.gjr, true, has_nu(setup), setup.dist == GarchDist::skewt};
  for (int i = 0; i < kS; ++i)
    if (present[i]) p.free[p.k++] = i;

  double th[kS], u[kS];
  start_point(p, th);
  to_u(p, th, u);
  minimise(p, u, fit);
  if (!p.first_models) {
    // A share of the persistence run to its edge may be a false stop: the
    // gradient in u vanishes there whatever the slope in theta. Search again
    // from within and keep the better.
    const int v = (setup.mean != GarchMean::zero) + p.ar + 1;
    double again[kS];
    std::copy(u, u + kS, again);
    bool edge = false;
    for (int i = v; i < v + (p.gjr ? 3 : 2); ++i)
      if (std::fabs(u[i]) > 8) {
        again[i] = u[i] > 0 ? 3 : -3;
        edge = true;
      }
    if (edge) {
      GarchModelFit second{};
      minimise(p, again, second);
      double g1[kS], g2[kS];
      if (objective(p, again, g2) < objective(p, u, g1)) {
        std::copy(again, again + kS, u);
        fit.converged = second.converged;
      }
      fit.iterations += second.iterations;
    }
  }
  to_theta(p, u, th);

  // Hessian by central differences of the analytic gradient.
  const int k = p.k;
  double hess[kS * kS];
  for (int j = 0; j < k; ++j) {
    const int q = p.free[j];
    const double step = 1e-5 * std::max(std::fabs(th[q]), 0.1);
    double up[kS], down[kS], gu[kS], gd[kS];
    std::copy(th, th + kS, up);
    std::copy(th, th + kS, down);
    up[q] += step;
    down[q] -= step;
    evaluate(p, up, gu, nullptr);
    evaluate(p, down, gd, nullptr);
    for (int i = 0; i < k; ++i) hess[i * k + j] = (gu[p.free[i]] - gd[p.free[i]]) / (2 * step);
  }
  double info_hess[kS * kS];
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) info_hess[i * k + j] = -0.5 * (hess[i * k + j] + hess[j * k + i]);

  const bool normal = setup.dist == GarchDist::normal;
  double opg_full[kS * kS] = {}, bw_full[kS * kS] = {};
  Extras x;
  x.opg = opg_full;
  x.info = normal ? bw_full : nullptr;
  x.h = variances;
  x.z = residuals;
  double g[kS];
  const double ll = evaluate(p, th, g, &x);

  double cov_h[kS * kS], opg[kS * kS], cov_opg[kS * kS];
  std::copy(info_hess, info_hess + k * k, cov_h);
  const bool ok_h = invert(cov_h, k);
  free_block(p, opg_full, opg);
  std::copy(opg, opg + k * k, cov_opg);
  const bool ok_opg = invert(cov_opg, k);
  double cov_robust[kS * kS];
  if (ok_h) sandwich(cov_h, opg, cov_robust, k);
  store_std_err(p, cov_h, ok_h, scale, fit.std_err[kSeHessian], fit.cov[kSeHessian]);
  store_std_err(p, cov_opg, ok_opg, scale, fit.std_err[kSeOpg], fit.cov[kSeOpg]);
  store_std_err(p, cov_robust, ok_h, scale, fit.std_err[kSeRobust], fit.cov[kSeRobust]);
  if (!normal) {
    store_std_err(p, nullptr, false, scale, fit.std_err[kSeBw], fit.cov[kSeBw]);
  } else {
    double a[kS * kS], cov_bw[kS * kS];
    free_block(p, bw_full, a);
    const bool ok_bw = invert(a, k);
    if (ok_bw) sandwich(a, opg, cov_bw, k);
    store_std_err(p, cov_bw, ok_bw, scale, fit.std_err[kSeBw], fit.cov[kSeBw]);
  }

  const double s2 = scale * scale, dn = static_cast<double>(n - p.first);
  fit.setup = setup;
  fit.params[kMu] = zero_mean ? kNaN : th[kMu] * scale;
  fit.params[kAr1] = p.ar ? th[kAr1] : kNaN;
  fit.params[kOmega] = th[kOmega] * s2;
  fit.params[kAlpha] = th[kAlpha];
  fit.params[kGamma] = p.gjr ? th[kGamma] : kNaN;
  fit.params[kBeta] = th[kBeta];
  fit.params[kNu] = has_nu(setup) ? th[kNu] : kNaN;
  fit.params[kSkew] = setup.dist == GarchDist::skewt ? th[kSkew] : kNaN;
  fit.loglik = ll - dn * std::log(scale);
  fit.aic = -2 * fit.loglik + 2 * k;
  fit.bic = -2 * fit.loglik + k * std::log(dn);
  fit.persistence = p.gjr ? th[kAlpha] + th[kGamma] * kappa_of(p, th[kNu], th[kSkew]) + th[kBeta]
                          : th[kAlpha] + th[kBeta];
  fit.half_life = std::log(0.5) / std::log(fit.persistence);
  fit.unconditional_variance = fit.params[kOmega] / (1 - fit.persistence);
  fit.last_return = y[n - 1];
  fit.last_residual = x.last_e * scale;
  fit.last_variance = x.last_h * s2;
  fit.observations = n - p.first;
  if (variances) {
    for (std::int64_t t = p.first; t < n; ++t) variances[t] *= s2;
    if (p.ar) variances[0] = kNaN;
  }
  if (residuals && p.ar) residuals[0] = kNaN;
}

}  // namespace

// The fit, and its edges. The t law's nu stops at a cap, past which the
// t likelihood can only rise to the normal law's, its limit as nu grows:
// where nu ends within 1 % of the cap, the normal fit is made too, and kept
// (with nu infinite and without its standard errors) if its likelihood is
// at least as high. A fit whose nu is at its cap or whose persistence is
// within 1e-7 of 1 stopped at an edge of the parameter space, not where the
// gradient vanishes: at_bound says which, and converged is 2.
void garch_fit(const double* y, std::int64_t n, const GarchSetup& setup, GarchModelFit& fit, double* variances,
               double* residuals) {
  fit_inside(y, n, setup, fit, variances, residuals);
  fit.at_bound = 0;
  if (setup.dist == GarchDist::t && fit.params[kNu] >= 0.99 * kNuMax) {
    GarchSetup normal = setup;
    normal.dist = GarchDist::normal;
    GarchModelFit nf{};
    std::vector<double> h(variances ? static_cast<std::size_t>(n) : 0), z(residuals ? static_cast<std::size_t>(n) : 0);
    fit_inside(y, n, normal, nf, variances ? h.data() : nullptr, residuals ? z.data() : nullptr);
    if (nf.loglik >= fit.loglik) {
      const double extra = std::log(static_cast<double>(nf.observations));
      const std::int32_t iterations = fit.iterations + nf.iterations;
      fit = nf;
      fit.setup = setup;
      fit.params[kNu] = std::numeric_limits<double>::infinity();
      fit.aic += 2;  // nu counted as estimated, at infinity
      fit.bic += extra;
      fit.iterations = iterations;
      if (variances) std::copy(h.begin(), h.end(), variances);
      if (residuals) std::copy(z.begin(), z.end(), residuals);
    }
    fit.at_bound |= 1 << kNu;
  }
  if (fit.persistence > 1 - 1e-7) fit.at_bound |= 1 << kGarchSlots;
  if (fit.at_bound && fit.converged) fit.converged = 2;
}

void garch_step(const GarchModelFit& fit, double y_prev, double e_prev, double h_prev, double& mean, double& h) {
  const double* th = fit.params;
  const double mu = fit.setup.mean == GarchMean::zero ? 0 : th[kMu];
  mean = fit.setup.mean == GarchMean::ar1 ? mu + th[kAr1] * y_prev : mu;
  const double a = fit.setup.vol == GarchVol::gjr && e_prev < 0 ? th[kAlpha] + th[kGamma] : th[kAlpha];
  h = th[kOmega] + a * e_prev * e_prev + th[kBeta] * h_prev;
}

void garch_forecast(const GarchModelFit& fit, std::int64_t steps, double* mean, double* variance) {
  double m, h;
  garch_step(fit, fit.last_return, fit.last_residual, fit.last_variance, m, h);
  const double mu = fit.setup.mean == GarchMean::zero ? 0 : fit.params[kMu];
  const double phi = fit.setup.mean == GarchMean::ar1 ? fit.params[kAr1] : 0;
  for (std::int64_t j = 0; j < steps; ++j) {
    if (mean) mean[j] = m;
    if (variance) variance[j] = h;
    m = mu + phi * m;
    h = fit.params[kOmega] + fit.persistence * h;
  }
}

// The fit of the first models, in their five slots mu, omega, alpha, beta, nu.
GarchMleInput garch_mle_check(const double* y, std::int64_t n, const GarchMleModel& model) {
  GarchSetup setup;
  setup.mean = model.zero_mean ? GarchMean::zero : GarchMean::constant;
  return garch_check(y, n, setup);
}

void garch_mle_fit(const double* y, std::int64_t n, const GarchMleModel& model, GarchMleFit& fit, double* variances,
                   double* residuals) {
  GarchSetup setup;
  setup.mean = model.zero_mean ? GarchMean::zero : GarchMean::constant;
  setup.dist = model.student_t ? GarchDist::t : GarchDist::normal;
  setup.backcast = model.backcast;
  GarchModelFit f{};
  garch_fit(y, n, setup, f, variances, residuals);
  const int slot[kGarchParams] = {kMu, kOmega, kAlpha, kBeta, kNu};
  for (int i = 0; i < kGarchParams; ++i) {
    fit.params[i] = f.params[slot[i]];
    for (int kind = 0; kind < kGarchStdErrKinds; ++kind) {
      fit.std_err[kind][i] = f.std_err[kind][slot[i]];
      for (int j = 0; j < kGarchParams; ++j)
        fit.cov[kind][i * kGarchParams + j] = f.cov[kind][slot[i] * kS + slot[j]];
    }
  }
  if (model.zero_mean) fit.params[0] = 0;
  fit.loglik = f.loglik;
  fit.aic = f.aic;
  fit.bic = f.bic;
  fit.persistence = f.persistence;
  fit.half_life = f.half_life;
  fit.unconditional_variance = f.unconditional_variance;
  fit.last_residual = f.last_residual;
  fit.last_variance = f.last_variance;
  fit.observations = f.observations;
  fit.iterations = f.iterations;
  fit.converged = f.converged;
}

void garch_mle_forecast(const GarchMleFit& fit, std::int64_t steps, double* out) {
  const double omega = fit.params[1], alpha = fit.params[2], beta = fit.params[3];
  double h = omega + alpha * fit.last_residual * fit.last_residual + beta * fit.last_variance;
  for (std::int64_t j = 0; j < steps; ++j) {
    out[j] = h;
    h = omega + (alpha + beta) * h;
  }
}

}  // namespace vexal
