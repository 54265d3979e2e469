# GARCH(1,1) by maximum likelihood, as an S3 object with the methods of R's
# fitted models. The fit, its standard errors and covariances and the
# forecasts are the library's; this file only arranges them.

# Parameter names and option codes come from the C API (capi.R, generated).
.vx_garch_names <- .vx_slots_params
.vx_se_kinds <- c("hessian", "opg", "robust", "bw")

garch_mle <- function(returns, mean = c("constant", "zero"), dist = c("normal", "t"),
                      h0 = c("sample", "backcast"), prices = FALSE) {
  mean <- match.arg(mean)
  dist <- match.arg(dist)
  h0 <- match.arg(h0)
  call <- match.call()
  if (inherits(returns, "zoo") || is.data.frame(returns) || !is.null(dim(returns))) {
    if (NCOL(returns) != 1L) stop("garch_mle: one series of returns (one column)", call. = FALSE)
  }
  y <- .vx_double(if (inherits(returns, "zoo")) zoo::coredata(returns) else unlist(returns, use.names = FALSE),
                  "garch_mle", "returns")
  # NAs before the first number and after the last are padding.
  have <- which(!is.na(y))
  keep <- if (length(have)) seq(have[1], have[length(have)]) else integer()
  if (!is.logical(prices) || length(prices) != 1L || is.na(prices))
    stop("garch_mle: prices must be TRUE or FALSE", call. = FALSE)
  if (prices) {
    # The simple returns (P[t] - P[t-1]) / P[t-1] of the prices, as the CLI's --prices.
    p <- y[keep]
    keep <- keep[-1]
    y[keep] <- (p[-1] - p[-length(p)]) / p[-length(p)]
  } else if (.Call(.C_vx_garch_looks_like_prices, y[keep])) {
    warning("garch_mle: the series looks like price levels (all positive, the mean many standard deviations ",
            "from 0), fitted as returns; for prices use prices = TRUE", call. = FALSE)
  }
  res <- .Call(.C_vx_garch_mle, y[keep], .vx_option_mean[[mean]], .vx_option_dist[[dist]], .vx_option_h0[[h0]])
  est <- !is.na(res$params)
  if (mean == "zero") est[1] <- FALSE
  free <- .vx_garch_names[est]
  se <- matrix(res$se, 5L, 4L, dimnames = list(.vx_garch_names, .vx_se_kinds))[free, , drop = FALSE]
  cov <- lapply(seq_len(4L), function(k)
    matrix(res$cov[, k], 5L, 5L, byrow = TRUE, dimnames = list(.vx_garch_names, .vx_garch_names))[free, free, drop = FALSE])
  names(cov) <- .vx_se_kinds
  mu <- if (mean == "zero") 0 else res$params[1]
  stats <- as.list(res$stats)
  structure(list(
    call = call, coefficients = setNames(res$params[est], free), se = se, cov = cov,
    loglik = stats$loglik, aic = stats$aic, bic = stats$bic, nobs = as.integer(stats$nobs),
    persistence = stats$persistence, half_life = stats$half_life,
    unconditional_variance = stats$unconditional_variance,
    iterations = as.integer(stats$iterations), converged = stats$converged == 1,
    mean = mean, dist = dist, h0 = h0, mu = mu,
    x = y[keep], variance = res$h, std_residuals = res$z,
    index = .vx_index(returns, keep), raw = res$raw),
    class = "vexal_garch_mle")
}

# The time index of the fitted part of the input, to give results its shape.
.vx_index <- function(x, keep) {
  if (inherits(x, "zoo")) return(list(zoo = x[keep]))
  if (is.ts(x)) return(list(ts = c(time(x)[keep[1]], frequency(x))))
  if (!is.null(names(x))) return(list(names = names(x)[keep]))
  NULL
}

.vx_like <- function(object, values) {
  i <- object$index
  if (!is.null(i$zoo)) {
    z <- i$zoo
    zoo::coredata(z) <- matrix(values, ncol = 1L, dimnames = list(NULL, colnames(z)))
    return(z)
  }
  if (!is.null(i$ts)) return(stats::ts(values, start = i$ts[1], frequency = i$ts[2]))
  if (!is.null(i$names)) names(values) <- i$names
  values
}

coef.vexal_garch_mle <- function(object, ...) object$coefficients

# The kind of covariance asked for; "bw" (Bollerslev-Wooldridge) is defined for normal errors only.
.vx_garch_type <- function(object, type) {
  if (type == "bw" && object$dist != "normal")
    stop("the Bollerslev-Wooldridge covariance is for normal errors; this fit has ", object$dist, " errors",
         call. = FALSE)
  type
}

vcov.vexal_garch_mle <- function(object, type = c("hessian", "opg", "robust", "bw"), ...) {
  object$cov[[.vx_garch_type(object, match.arg(type))]]
}

logLik.vexal_garch_mle <- function(object, ...) {
  structure(object$loglik, df = length(object$coefficients), nobs = object$nobs, class = "logLik")
}

nobs.vexal_garch_mle <- function(object, ...) object$nobs

fitted.vexal_garch_mle <- function(object, ...) .vx_like(object, rep(object$mu, object$nobs))

residuals.vexal_garch_mle <- function(object, standardize = FALSE, ...) {
  .vx_like(object, if (standardize) object$std_residuals else object$x - object$mu)
}

predict.vexal_garch_mle <- function(object, n.ahead = 10, ...) {
  if (!is.numeric(n.ahead) || length(n.ahead) != 1L || is.na(n.ahead) || n.ahead < 1)
    stop("predict: n.ahead must be a positive count", call. = FALSE)
  v <- .Call(.C_vx_garch_mle_forecast, object$raw, as.double(floor(n.ahead)))
  data.frame(mean = rep(object$mu, length(v)), sd = sqrt(v), variance = v)
}

print.vexal_garch_mle <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("GARCH(1,1) by maximum likelihood:", x$mean, "mean,", x$dist, "errors,", x$h0, "start\n")
  cat("Call: ", paste(deparse(x$call), collapse = "\n"), "\n\n", sep = "")
  print.default(format(coef(x), digits = digits), print.gap = 2L, quote = FALSE)
  cat("\nLog-likelihood:", format(x$loglik, digits = digits + 3L), " on", x$nobs, "returns",
      if (!x$converged) " (not converged)", "\n")
  invisible(x)
}

summary.vexal_garch_mle <- function(object, type = c("hessian", "opg", "robust", "bw"), ...) {
  type <- .vx_garch_type(object, match.arg(type))
  est <- coef(object)
  se <- object$se[names(est), type]
  t <- est / se
  table <- cbind(Estimate = est, `Std. Error` = se, `t value` = t, `Pr(>|t|)` = 2 * stats::pnorm(-abs(t)))
  structure(list(object = object, coefficients = table, type = type), class = "summary.vexal_garch_mle")
}

print.summary.vexal_garch_mle <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  o <- x$object
  cat("GARCH(1,1) by maximum likelihood:", o$mean, "mean,", o$dist, "errors,", o$h0, "start\n\n")
  cat("Coefficients (standard errors from the ", x$type, " covariance):\n", sep = "")
  stats::printCoefmat(x$coefficients, digits = digits, signif.legend = TRUE)
  cat("\nLog-likelihood:", format(o$loglik, digits = digits + 3L), " AIC:", format(o$aic, digits = digits + 3L),
      " BIC:", format(o$bic, digits = digits + 3L), "\n")
  cat("Returns:", o$nobs, " Persistence (alpha + beta):", format(o$persistence, digits = digits),
      " Half-life:", format(o$half_life, digits = digits), "\n")
  cat("Unconditional variance:", format(o$unconditional_variance, digits = digits),
      " Iterations:", o$iterations, if (o$converged) " (converged)" else " (not converged)", "\n")
  invisible(x)
}
