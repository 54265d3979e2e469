// GARCH(1,1) by maximum likelihood.
//
// The series is divided by its scale c (the standard deviation; the root
// mean square for a zero mean), so that returns in percent and in decimals
// give the same fit; mu and omega are scaled back by c and c^2, and the
// log-likelihood by -n ln c.
//
// Start-up: the pre-sample e^2 and h both equal s, so h[0] = omega + (alpha +
// beta) s, where s is the mean of e[t]^2 over the whole series at the current
// mu, or with `backcast` the average of the first 75 e[t]^2 weighted
// 0.94^t. Either way s depends on mu, and so does the gradient.
//
// The gradient is that of the recursion itself: dh[t]/dtheta follows
//   dh[t] = (-2 alpha e[t-1], 1, e[t-1]^2, h[t-1]) + beta dh[t-1]
// with the start dh[0] = ((alpha + beta) ds/dmu, 1, s, s).
//
// The search is a quasi-Newton (BFGS) minimisation of -loglik / n over
//   u = (mu, ln omega, logit(alpha + beta), logit(alpha / (alpha + beta)), logit((nu - 2) / 498)),
// which keeps omega > 0, alpha, beta >= 0, alpha + beta < 1 and 2 < nu < 500, from
// the best point of a coarse grid. The Hessian is the central difference of
// the analytic gradient in the model's own parameters, taken once at the
// optimum.
#include "fitting/garch_mle.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vexal {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kLn2Pi = 1.83787706640934548356;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBackcastDecay = 0.94;
constexpr std::int64_t kBackcastLength = 75;
constexpr int kMaxIterations = 200;
constexpr double kNuMax = 500;  // beyond it the t law is the normal law to the fit's precision
constexpr double kGradientTolerance = 1e-8;  // on the largest component of d(-loglik / n) / du

// ln Gamma(x), x > 0: Stirling's series after shifting x to 16 or more.
double ln_gamma(double x) {
  double product = 1;
  for (; x < 16; x += 1) product *= x;
  const double z = 1 / (x * x);
  const double series = (1.0 / 12 - z * (1.0 / 360 - z * (1.0 / 1260 - z * (1.0 / 1680)))) / x;
  return (x - 0.5) * std::log(x) - x + 0.5 * kLn2Pi + series - std::log(product);
}

// psi(x) = d ln Gamma(x) / dx, x > 0, the same way.
double digamma(double x) {
  double shift = 0;
  for (; x < 16; x += 1) shift += 1 / x;
  const double z = 1 / (x * x);
  return std::log(x) - 0.5 / x - z * (1.0 / 12 - z * (1.0 / 120 - z * (1.0 / 252 - z * (1.0 / 240)))) - shift;
}

double logistic(double x) { return 1 / (1 + std::exp(-x)); }

struct Problem {
  const double* y;
  std::int64_t n;
  double inv_scale;
  GarchMleModel model;
  int free[kGarchParams];  // the estimated parameters' indices in theta
  int k;
};

// What one evaluation may also gather, on the scaled series.
struct Extras {
  double* opg = nullptr;   // 5 x 5: sum of the scores' outer products
  double* info = nullptr;  // 5 x 5: Bollerslev-Wooldridge information, mean block apart
  double* h = nullptr;     // h[t]
  double* z = nullptr;     // e[t] / sqrt(h[t])
  double last_e = 0, last_h = 0;
};

// Log-likelihood of the scaled series at theta = (mu, omega, alpha, beta, nu),
// and its gradient in theta when `grad` is given.
double evaluate(const Problem& p, const double* th, double* grad, Extras* x) {
  const double mu = th[0], omega = th[1], alpha = th[2], beta = th[3], nu = th[4];
  const double* y = p.y;
  const std::int64_t n = p.n;
  const double c = p.inv_scale;

  double s = 0, ds = 0;
  if (!p.model.backcast) {
    double sum = 0, sum2 = 0;
    for (std::int64_t t = 0; t < n; ++t) {
      const double e = y[t] * c - mu;
      sum += e;
      sum2 += e * e;
    }
    s = sum2 / static_cast<double>(n);
    ds = -2 * sum / static_cast<double>(n);
  } else {
    double weight = 1, total = 0;
    for (std::int64_t t = 0; t < std::min(n, kBackcastLength); ++t) {
      const double e = y[t] * c - mu;
      s += weight * e * e;
      ds -= 2 * weight * e;
      total += weight;
      weight *= kBackcastDecay;
    }
    s /= total;
    ds /= total;
  }

  const bool student = p.model.student_t;
  double ln_c = 0, d_ln_c = 0, nu2 = 0;
  if (student) {
    nu2 = nu - 2;
    ln_c = ln_gamma(0.5 * (nu + 1)) - ln_gamma(0.5 * nu) - 0.5 * std::log(kPi * nu2);
    d_ln_c = 0.5 * (digamma(0.5 * (nu + 1)) - digamma(0.5 * nu)) - 0.5 / nu2;
  }

  double h = omega + (alpha + beta) * s;
  double d[4] = {(alpha + beta) * ds, 1, s, s};  // dh / d(mu, omega, alpha, beta)
  double g[kGarchParams] = {0, 0, 0, 0, 0};
  double ll = 0, e_prev = 0, h_prev = 0;
  for (std::int64_t t = 0; t < n; ++t) {
    const double e = y[t] * c - mu;
    if (t > 0) {
      const double e2 = e_prev * e_prev;
      if (grad) {
        d[0] = -2 * alpha * e_prev + beta * d[0];
        d[1] = 1 + beta * d[1];
        d[2] = e2 + beta * d[2];
        d[3] = h_prev + beta * d[3];
      }
      h = omega + alpha * e2 + beta * h_prev;
    }
    double dl_dh, dl_de, dl_dnu = 0;
    if (!student) {
      const double r = e / h;
      ll -= 0.5 * (kLn2Pi + std::log(h) + e * r);
      dl_dh = 0.5 * (e * r - 1) / h;
      dl_de = -r;
    } else {
      const double q = e * e / (h * nu2), log1q = std::log1p(q), f = (nu + 1) / (1 + q);
      ll += ln_c - 0.5 * std::log(h) - 0.5 * (nu + 1) * log1q;
      dl_dh = 0.5 * (f * q - 1) / h;
      dl_de = -f * e / (h * nu2);
      dl_dnu = d_ln_c - 0.5 * log1q + 0.5 * f * q / nu2;
    }
    if (grad) {
      const double score[kGarchParams] = {dl_dh * d[0] - dl_de, dl_dh * d[1], dl_dh * d[2], dl_dh * d[3], dl_dnu};
      for (int i = 0; i < kGarchParams; ++i) g[i] += score[i];
      if (x && x->opg)
        for (int i = 0; i < kGarchParams; ++i)
          for (int j = 0; j < kGarchParams; ++j) x->opg[i * kGarchParams + j] += score[i] * score[j];
      if (x && x->info) {
        // E[-d2 l / dtheta2 | past] = m m' / h + dh dh' / (2 h^2), m = dmu/dtheta,
        // with the blocks between mu and the variance's parameters left out.
        const double w = 0.5 / (h * h);
        x->info[0] += 1 / h + w * d[0] * d[0];
        for (int i = 1; i < 4; ++i)
          for (int j = 1; j < 4; ++j) x->info[i * kGarchParams + j] += w * d[i] * d[j];
      }
    }
    if (x) {
      if (x->h) x->h[t] = h;
      if (x->z) x->z[t] = e / std::sqrt(h);
    }
    e_prev = e;
    h_prev = h;
  }
  if (x) {
    x->last_e = e_prev;
    x->last_h = h_prev;
  }
  if (grad)
    for (int i = 0; i < kGarchParams; ++i) grad[i] = g[i];
  return ll;
}

void to_theta(const Problem& p, const double* u, double* th) {
  int i = 0;
  th[0] = p.model.zero_mean ? 0 : u[i++];
  th[1] = std::exp(u[i++]);
  const double persistence = logistic(u[i]), share = logistic(u[i + 1]);
  i += 2;
  th[2] = persistence * share;
  th[3] = persistence * (1 - share);
  th[4] = p.model.student_t ? 2 + (kNuMax - 2) * logistic(u[i]) : 0;
}

void to_u(const Problem& p, const double* th, double* u) {
  int i = 0;
  if (!p.model.zero_mean) u[i++] = th[0];
  u[i++] = std::log(th[1]);
  const double persistence = th[2] + th[3], share = th[2] / persistence;
  u[i++] = std::log(persistence / (1 - persistence));
  u[i++] = std::log(share / (1 - share));
  if (p.model.student_t) {
    const double x = (th[4] - 2) / (kNuMax - 2);
    u[i] = std::log(x / (1 - x));
  }
}

// f(u) = -loglik / n and its gradient in u.
double objective(const Problem& p, const double* u, double* gu) {
  double th[kGarchParams], g[kGarchParams];
  to_theta(p, u, th);
  const double ll = evaluate(p, th, g, nullptr);
  const double scale = -1 / static_cast<double>(p.n);
  const double persistence = th[2] + th[3], share = persistence > 0 ? th[2] / persistence : 0;
  int i = 0;
  if (!p.model.zero_mean) gu[i++] = scale * g[0];
  gu[i++] = scale * g[1] * th[1];
  gu[i++] = scale * (g[2] * share + g[3] * (1 - share)) * persistence * (1 - persistence);
  gu[i++] = scale * (g[2] - g[3]) * persistence * share * (1 - share);
  if (p.model.student_t) gu[i] = scale * g[4] * (th[4] - 2) * (1 - (th[4] - 2) / (kNuMax - 2));
  return scale * ll;
}

double max_abs(const double* v, int k) {
  double m = 0;
  for (int i = 0; i < k; ++i) m = std::max(m, std::fabs(v[i]));
  return m;
}

// BFGS with a backtracking (Armijo) line search; u is updated in place.
void minimise(const Problem& p, double* u, GarchMleFit& fit) {
  const int k = p.k;
  double hinv[kGarchParams * kGarchParams] = {};
  for (int i = 0; i < k; ++i) hinv[i * k + i] = 1;
  double g[kGarchParams], f = objective(p, u, g);
  fit.converged = 0;
  int it = 0;
  for (; it < kMaxIterations; ++it) {
    if (!std::isfinite(f)) break;
    if (max_abs(g, k) < kGradientTolerance) {
      fit.converged = 1;
      break;
    }
    double dir[kGarchParams], slope = 0;
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
    double un[kGarchParams], gn[kGarchParams], fn = 0;
    bool moved = false;
    for (int tries = 0; tries < 30; ++tries, step *= 0.5) {
      for (int i = 0; i < k; ++i) un[i] = u[i] + step * dir[i];
      fn = objective(p, un, gn);
      if (std::isfinite(fn) && fn <= f + 1e-4 * step * slope && fn < f) {
        moved = true;
        break;
      }
    }
    if (!moved) {  // no decrease left at machine precision
      fit.converged = max_abs(g, k) < 1e-6;
      break;
    }
    double s[kGarchParams], yv[kGarchParams], sy = 0, yy = 0;
    for (int i = 0; i < k; ++i) {
      s[i] = un[i] - u[i];
      yv[i] = gn[i] - g[i];
      sy += s[i] * yv[i];
      yy += yv[i] * yv[i];
    }
    if (sy > 1e-12 * std::sqrt(yy) * max_abs(s, k)) {
      if (it == 0)
        for (int i = 0; i < k; ++i) hinv[i * k + i] = sy / yy;
      double hy[kGarchParams], yhy = 0;
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
  bool used[kGarchParams] = {};
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
  double ab[kGarchParams * kGarchParams];
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

// The free block of a 5 x 5 matrix.
void free_block(const Problem& p, const double* full, double* out) {
  for (int i = 0; i < p.k; ++i)
    for (int j = 0; j < p.k; ++j) out[i * p.k + j] = full[p.free[i] * kGarchParams + p.free[j]];
}

// Standard errors and the covariance in the series' own units from a
// covariance of the free parameters of the scaled series (NaN when it could
// not be formed).
void store_std_err(const Problem& p, const double* cov, bool ok, double scale, double* se, double* full) {
  const double unit[kGarchParams] = {scale, scale * scale, 1, 1, 1};
  for (int i = 0; i < kGarchParams; ++i) se[i] = kNaN;
  for (int i = 0; i < kGarchParams * kGarchParams; ++i) full[i] = kNaN;
  if (!ok) return;
  for (int i = 0; i < p.k; ++i) {
    const double v = cov[i * p.k + i];
    se[p.free[i]] = v >= 0 ? std::sqrt(v) * unit[p.free[i]] : kNaN;
    for (int j = 0; j < p.k; ++j)
      full[p.free[i] * kGarchParams + p.free[j]] = cov[i * p.k + j] * unit[p.free[i]] * unit[p.free[j]];
  }
}

// The best point of a coarse grid over (alpha, alpha + beta) with omega
// matching the sample variance, and over nu for t errors.
void start_point(const Problem& p, double* th) {
  double mean = 0;
  if (!p.model.zero_mean) {
    for (std::int64_t t = 0; t < p.n; ++t) mean += p.y[t] * p.inv_scale;
    mean /= static_cast<double>(p.n);
  }
  double var = 0;
  for (std::int64_t t = 0; t < p.n; ++t) {
    const double e = p.y[t] * p.inv_scale - mean;
    var += e * e;
  }
  var /= static_cast<double>(p.n);
  double best = -std::numeric_limits<double>::infinity();
  th[0] = mean;
  th[1] = 0.1 * var;
  th[2] = 0.05;
  th[3] = 0.85;
  th[4] = p.model.student_t ? 8 : 0;
  for (double persistence : {0.7, 0.9, 0.97})
    for (double alpha : {0.03, 0.08, 0.15, 0.25}) {
      const double trial[kGarchParams] = {mean, var * (1 - persistence), alpha, persistence - alpha, th[4]};
      const double ll = evaluate(p, trial, nullptr, nullptr);
      if (ll > best) {
        best = ll;
        std::copy(trial, trial + kGarchParams, th);
      }
    }
  if (p.model.student_t)
    for (double nu : {4.0, 20.0}) {
      double trial[kGarchParams];
      std::copy(th, th + kGarchParams, trial);
      trial[4] = nu;
      const double ll = evaluate(p, trial, nullptr, nullptr);
      if (ll > best) {
        best = ll;
        th[4] = nu;
      }
    }
}

}  // namespace

GarchMleInput garch_mle_check(const double* y, std::int64_t n, const GarchMleModel& model) {
  if (n < 10) return GarchMleInput::too_short;
  for (std::int64_t t = 0; t < n; ++t)
    if (!std::isfinite(y[t])) return GarchMleInput::not_finite;
  for (std::int64_t t = 1; t < n; ++t)
    if (y[t] != y[0]) return GarchMleInput::ok;
  return model.zero_mean && y[0] != 0 ? GarchMleInput::ok : GarchMleInput::constant;
}

void garch_mle_fit(const double* y, std::int64_t n, const GarchMleModel& model, GarchMleFit& fit, double* variances,
                   double* residuals) {
  // The scale: the standard deviation (root mean square for a zero mean),
  // formed on y / max|y| so that no square overflows.
  double top = 0;
  for (std::int64_t t = 0; t < n; ++t) top = std::max(top, std::fabs(y[t]));
  double mean = 0, sum2 = 0;
  if (!model.zero_mean) {
    for (std::int64_t t = 0; t < n; ++t) mean += y[t] / top;
    mean /= static_cast<double>(n);
  }
  for (std::int64_t t = 0; t < n; ++t) {
    const double e = y[t] / top - mean;
    sum2 += e * e;
  }
  const double scale = top * std::sqrt(sum2 / static_cast<double>(n));

  Problem p{y, n, 1 / scale, model, {}, 0};
  for (int i = 0; i < kGarchParams; ++i)
    if ((i != 0 || !model.zero_mean) && (i != 4 || model.student_t)) p.free[p.k++] = i;

  double th[kGarchParams], u[kGarchParams];
  start_point(p, th);
  to_u(p, th, u);
  minimise(p, u, fit);
  to_theta(p, u, th);

  // Hessian by central differences of the analytic gradient.
  const int k = p.k;
  double hess[kGarchParams * kGarchParams];
  for (int j = 0; j < k; ++j) {
    const int q = p.free[j];
    const double step = 1e-5 * std::max(std::fabs(th[q]), 0.1);
    double up[kGarchParams], down[kGarchParams], gu[kGarchParams], gd[kGarchParams];
    std::copy(th, th + kGarchParams, up);
    std::copy(th, th + kGarchParams, down);
    up[q] += step;
    down[q] -= step;
    evaluate(p, up, gu, nullptr);
    evaluate(p, down, gd, nullptr);
    for (int i = 0; i < k; ++i) hess[i * k + j] = (gu[p.free[i]] - gd[p.free[i]]) / (2 * step);
  }
  double info_hess[kGarchParams * kGarchParams];
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) info_hess[i * k + j] = -0.5 * (hess[i * k + j] + hess[j * k + i]);

  double opg_full[kGarchParams * kGarchParams] = {}, bw_full[kGarchParams * kGarchParams] = {};
  Extras x;
  x.opg = opg_full;
  x.info = model.student_t ? nullptr : bw_full;
  x.h = variances;
  x.z = residuals;
  double g[kGarchParams];
  const double ll = evaluate(p, th, g, &x);

  double cov_h[kGarchParams * kGarchParams], opg[kGarchParams * kGarchParams], cov_opg[kGarchParams * kGarchParams];
  std::copy(info_hess, info_hess + k * k, cov_h);
  const bool ok_h = invert(cov_h, k);
  free_block(p, opg_full, opg);
  std::copy(opg, opg + k * k, cov_opg);
  const bool ok_opg = invert(cov_opg, k);
  double cov_robust[kGarchParams * kGarchParams];
  if (ok_h) sandwich(cov_h, opg, cov_robust, k);
  store_std_err(p, cov_h, ok_h, scale, fit.std_err[kSeHessian], fit.cov[kSeHessian]);
  store_std_err(p, cov_opg, ok_opg, scale, fit.std_err[kSeOpg], fit.cov[kSeOpg]);
  store_std_err(p, cov_robust, ok_h, scale, fit.std_err[kSeRobust], fit.cov[kSeRobust]);
  if (model.student_t) {
    store_std_err(p, nullptr, false, scale, fit.std_err[kSeBw], fit.cov[kSeBw]);
  } else {
    double a[kGarchParams * kGarchParams], cov_bw[kGarchParams * kGarchParams];
    free_block(p, bw_full, a);
    const bool ok_bw = invert(a, k);
    if (ok_bw) sandwich(a, opg, cov_bw, k);
    store_std_err(p, cov_bw, ok_bw, scale, fit.std_err[kSeBw], fit.cov[kSeBw]);
  }

  const double s2 = scale * scale, dn = static_cast<double>(n);
  fit.params[0] = th[0] * scale;
  fit.params[1] = th[1] * s2;
  fit.params[2] = th[2];
  fit.params[3] = th[3];
  fit.params[4] = model.student_t ? th[4] : kNaN;
  fit.loglik = ll - dn * std::log(scale);
  fit.aic = -2 * fit.loglik + 2 * k;
  fit.bic = -2 * fit.loglik + k * std::log(dn);
  fit.persistence = th[2] + th[3];
  fit.half_life = std::log(0.5) / std::log(fit.persistence);
  fit.unconditional_variance = fit.params[1] / (1 - fit.persistence);
  fit.last_residual = x.last_e * scale;
  fit.last_variance = x.last_h * s2;
  fit.observations = n;
  if (variances)
    for (std::int64_t t = 0; t < n; ++t) variances[t] *= s2;
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
