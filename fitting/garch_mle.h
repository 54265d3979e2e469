// GARCH(1,1) by maximum likelihood on a series of returns:
//   y[t] = mu + ar1 y[t-1] + e[t],  e[t] = sqrt(h[t]) z[t],
//   h[t] = omega + (alpha + gamma 1[e[t-1] < 0]) e[t-1]^2 + beta h[t-1],
// the mean constant, zero or AR(1); gamma = 0 (GARCH) or estimated (GJR); z
// normal, standardised Student-t (nu > 2), Fernandez-Steel skewed t
// standardised to unit variance (nu > 2, skew > 0) or the generalised error
// law with unit variance (nu > 0). Every value lives in the caller's fit and
// arrays; nothing is shared.
#ifndef VEXAL_GARCH_MLE_H
#define VEXAL_GARCH_MLE_H

#include <cstdint>

namespace vexal {

struct GarchMleModel {
  bool zero_mean = false;  // mu fixed at 0
  bool student_t = false;  // standardised t errors, nu estimated
  bool backcast = false;   // pre-sample e^2 and h: backcast instead of the sample mean
};

// Parameters and standard errors in the order mu, omega, alpha, beta, nu.
// A parameter the model lacks (nu of a normal fit) and the error of a fixed
// one (mu of a zero-mean fit) are NaN.
inline constexpr int kGarchParams = 5;
enum GarchStdErr { kSeHessian, kSeOpg, kSeRobust, kSeBw, kGarchStdErrKinds };

struct GarchMleFit {
  double params[kGarchParams];
  double std_err[kGarchStdErrKinds][kGarchParams];  // bw: NaN for t errors
  // The covariances behind std_err, 5 x 5 row-major in the same order and
  // units; NaN for a parameter not estimated or a matrix not formed.
  double cov[kGarchStdErrKinds][kGarchParams * kGarchParams];
  double loglik, aic, bic;
  double persistence, half_life, unconditional_variance;
  double last_residual, last_variance;  // e[n-1] and h[n-1], the forecast's start
  std::int64_t observations;
  std::int32_t iterations;
  std::int32_t converged;  // 1 when the gradient vanished to the tolerance
};

enum class GarchMleInput { ok, too_short, not_finite, constant };

// Whether y[0..n-1] can be fitted: at least 10 finite values that vary.
GarchMleInput garch_mle_check(const double* y, std::int64_t n, const GarchMleModel& model);

// Fits a checked series. variances and residuals (n each, either may be
// null) receive h[t] and the standardised residuals e[t] / sqrt(h[t]).
void garch_mle_fit(const double* y, std::int64_t n, const GarchMleModel& model, GarchMleFit& fit,
                   double* variances, double* residuals);

// out[j] = the variance forecast j + 1 steps past the end of the series.
void garch_mle_forecast(const GarchMleFit& fit, std::int64_t steps, double* out);

// The models at large. GarchModelFit keeps its parameters in the slots
// mu, ar1, omega, alpha, gamma, beta, nu, skew; a slot the model lacks is NaN.
enum class GarchMean { constant, zero, ar1 };
enum class GarchVol { garch, gjr };
enum class GarchDist { normal, t, skewt, ged };

struct GarchSetup {
  GarchMean mean = GarchMean::constant;
  GarchVol vol = GarchVol::garch;
  GarchDist dist = GarchDist::normal;
  bool backcast = false;
};

inline constexpr int kGarchSlots = 8;
enum GarchSlot { kMu, kAr1, kOmega, kAlpha, kGamma, kBeta, kNu, kSkew };

struct GarchModelFit {
  GarchSetup setup;
  double params[kGarchSlots];
  double std_err[kGarchStdErrKinds][kGarchSlots];  // bw: NaN unless normal errors
  double cov[kGarchStdErrKinds][kGarchSlots * kGarchSlots];
  double loglik, aic, bic;
  double persistence;  // alpha + gamma P(z < 0) + beta
  double half_life, unconditional_variance;
  double last_return, last_residual, last_variance;  // y, e and h of the last observation
  std::int64_t observations;                         // those in the likelihood (n - 1 for ar1)
  std::int32_t iterations;
  std::int32_t converged;  // 1: the gradient vanished; 2: stopped at an edge (at_bound); 0: neither
  std::int32_t at_bound;   // bit s: slot s at a bound of its range; bit kGarchSlots: persistence at 1
};

GarchMleInput garch_check(const double* y, std::int64_t n, const GarchSetup& setup);

// Fits a checked series; variances and residuals (n each, either may be
// null) as garch_mle_fit gives them, NaN at t = 0 for ar1.
void garch_fit(const double* y, std::int64_t n, const GarchSetup& setup, GarchModelFit& fit, double* variances,
               double* residuals);

// mean[j] and variance[j] (either may be null): the forecasts of the return's
// conditional mean and variance j + 1 steps past the end of the series.
void garch_forecast(const GarchModelFit& fit, std::int64_t steps, double* mean, double* variance);

// The quantile of z at p in (0, 1) and E[z | z < quantile] under the fit's
// error law with parameters nu and skew (ignored where the law has none).
void garch_law_tail(GarchDist dist, double nu, double skew, double p, double& quantile, double& shortfall);

// P(z < 0) under the error law.
double garch_law_below_zero(GarchDist dist, double nu, double skew);

// One step of the model's recursion past (y_prev, e_prev, h_prev) with the
// fit's parameters: the next conditional mean and variance.
void garch_step(const GarchModelFit& fit, double y_prev, double e_prev, double h_prev, double& mean, double& h);

}  // namespace vexal

#endif
