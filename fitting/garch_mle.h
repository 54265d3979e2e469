// GARCH(1,1) by maximum likelihood on a series of returns:
//   y[t] = mu + e[t],  e[t] = sqrt(h[t]) z[t],
//   h[t] = omega + alpha e[t-1]^2 + beta h[t-1],
// z normal or standardised Student-t with nu > 2 degrees of freedom. Every
// value lives in the caller's GarchMleFit and arrays; nothing is shared.
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

}  // namespace vexal

#endif
