# GARCH(1,1) by maximum likelihood, as an S3 object with the methods of R's
# fitted models. The fit, its standard errors and covariances and the
# forecasts are the library's; this file only arranges them.

# Parameter names and option codes come from the C API (capi.R, generated).
.vx_garch_names <- .vx_slots_params
.vx_se_kinds <- c("hessian", "opg", "robust", "bw")

# match.arg, with an error that names the function and the argument.
.vx_choice <- function(fname, arg, value, choices) {
  tryCatch(match.arg(value, choices), error = function(e)
    stop(fname, ": ", arg, " must be one of ", paste0("\"", choices, "\"", collapse = ", "), ", not ",
         paste(deparse(value), collapse = " "), call. = FALSE))
}

# A Value-at-Risk level: one number in (0, 0.5).
.vx_level <- function(fname, level) {
  if (!is.numeric(level) || length(level) != 1L || !isTRUE(level > 0 && level < 0.5))
    stop(fname, ": level must be one number in (0, 0.5), not ", paste(deparse(level), collapse = " "), call. = FALSE)
  as.double(level)
}

garch_mle <- function(returns, mean = c("constant", "zero", "ar1"), dist = c("normal", "t", "skewt", "ged"),
                      h0 = c("sample", "backcast"), prices = FALSE, vol = c("garch", "gjr")) {
  mean <- .vx_choice("garch_mle", "mean", mean, eval(formals(garch_mle)$mean))
  dist <- .vx_choice("garch_mle", "dist", dist, eval(formals(garch_mle)$dist))
  h0 <- .vx_choice("garch_mle", "h0", h0, eval(formals(garch_mle)$h0))
  vol <- .vx_choice("garch_mle", "vol", vol, eval(formals(garch_mle)$vol))
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
  res <- .Call(.C_vx_garch_mle, y[keep], .vx_option_mean[[mean]], .vx_option_vol[[vol]], .vx_option_dist[[dist]],
               .vx_option_h0[[h0]])
  k <- length(.vx_garch_names)
  est <- !is.na(res$params)
  free <- .vx_garch_names[est]
  se <- matrix(res$se, k, 4L, dimnames = list(.vx_garch_names, .vx_se_kinds))[free, , drop = FALSE]
  cov <- lapply(seq_len(4L), function(j)
    matrix(res$cov[, j], k, k, byrow = TRUE, dimnames = list(.vx_garch_names, .vx_garch_names))[free, free, drop = FALSE])
  names(cov) <- .vx_se_kinds
  mu <- if (mean == "zero") 0 else res$params[1]
  stats <- as.list(res$stats)
  bits <- as.integer(stats$at_bound)
  at_bound <- .vx_garch_names[bitwAnd(bits, bitwShiftL(1L, seq_len(k) - 1L)) != 0]
  if (bitwAnd(bits, bitwShiftL(1L, k)) != 0) at_bound <- c(at_bound, "persistence")
  structure(list(
    call = call, coefficients = setNames(res$params[est], free), se = se, cov = cov,
    loglik = stats$loglik, aic = stats$aic, bic = stats$bic, nobs = as.integer(stats$nobs),
    persistence = stats$persistence, half_life = stats$half_life,
    unconditional_variance = stats$unconditional_variance,
    iterations = as.integer(stats$iterations), converged = stats$converged == 1, at_bound = at_bound,
    mean = mean, vol = vol, dist = dist, h0 = h0, mu = mu,
    x = y[keep], variance = res$h, std_residuals = res$z,
    index = .vx_index(returns, keep), raw = res$raw),
    class = "vexal_garch_mle")
}

# One-step Value-at-Risk and expected shortfall of the next return, positive for losses.
garch_var <- function(object, level = 0.01) .Call(.C_vx_garch_mle_risk, object$raw, .vx_level("garch_var", level))[1]
garch_es <- function(object, level = 0.01) .Call(.C_vx_garch_mle_risk, object$raw, .vx_level("garch_es", level))[2]

garch_backtest <- function(returns, window, refit_every = 1, level = 0.01,
                           mean = c("constant", "zero", "ar1"), dist = c("normal", "t", "skewt", "ged"),
                           h0 = c("sample", "backcast"), vol = c("garch", "gjr")) {
  mean <- .vx_choice("garch_backtest", "mean", mean, eval(formals(garch_backtest)$mean))
  dist <- .vx_choice("garch_backtest", "dist", dist, eval(formals(garch_backtest)$dist))
  h0 <- .vx_choice("garch_backtest", "h0", h0, eval(formals(garch_backtest)$h0))
  vol <- .vx_choice("garch_backtest", "vol", vol, eval(formals(garch_backtest)$vol))
  level <- .vx_level("garch_backtest", level)
  y <- .vx_double(if (inherits(returns, "zoo")) zoo::coredata(returns) else unlist(returns, use.names = FALSE),
                  "garch_backtest", "returns")
  res <- .Call(.C_vx_garch_backtest, y, as.double(window), as.double(refit_every), as.double(level),
               .vx_option_mean[[mean]], .vx_option_vol[[vol]], .vx_option_dist[[dist]], .vx_option_h0[[h0]],
               .vx$threads)
  s <- as.list(res$stats)
  structure(list(var = res$var, es = res$es, exceed = res$exceed, days = s$days, exceedances = s$exceedances,
                 fits = s$fits, kupiec = c(statistic = s$kupiec, p_value = s$kupiec_p),
                 christoffersen_ind = c(statistic = s$christoffersen_ind, p_value = s$christoffersen_ind_p),
                 christoffersen_cc = c(statistic = s$christoffersen_cc, p_value = s$christoffersen_cc_p),
                 level = level), class = "vexal_garch_backtest")
}

print.vexal_garch_backtest <- function(x, ...) {
  cat("Value-at-Risk backtest at level", x$level, ":", x$days, "days,", x$exceedances, "exceedances,",
      x$fits, "fits\n")
  cat("Kupiec LR", format(x$kupiec[1]), "p", format(x$kupiec[2]),
      "  Christoffersen independence LR", format(x$christoffersen_ind[1]), "p", format(x$christoffersen_ind[2]),
      "  conditional coverage LR", format(x$christoffersen_cc[1]), "p", format(x$christoffersen_cc[2]), "\n")
  invisible(x)
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

fitted.vexal_garch_mle <- function(object, ...) {
  .vx_like(object, if (object$mean == "ar1") object$x - .vx_residuals(object) else rep(object$mu, length(object$x)))
}

# e[t], the residuals of the mean: y - mu, or for an AR(1) mean sqrt(h) z (NA at the first return).
.vx_residuals <- function(object) {
  if (object$mean == "ar1") sqrt(object$variance) * object$std_residuals else object$x - object$mu
}

residuals.vexal_garch_mle <- function(object, standardize = FALSE, ...) {
  .vx_like(object, if (standardize) object$std_residuals else .vx_residuals(object))
}

predict.vexal_garch_mle <- function(object, n.ahead = 10, ...) {
  if (!is.numeric(n.ahead) || length(n.ahead) != 1L || is.na(n.ahead) || n.ahead < 1)
    stop("predict: n.ahead must be a positive count", call. = FALSE)
  f <- .Call(.C_vx_garch_mle_forecast, object$raw, as.double(floor(n.ahead)))
  data.frame(mean = f[, 1], sd = sqrt(f[, 2]), variance = f[, 2])
}

print.vexal_garch_mle <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  cat("GARCH(1,1) by maximum likelihood:", x$mean, "mean,", x$vol, "variance,", x$dist, "errors,", x$h0, "start\n")
  cat("Call: ", paste(deparse(x$call), collapse = "\n"), "\n\n", sep = "")
  print.default(format(coef(x), digits = digits), print.gap = 2L, quote = FALSE)
  cat("\nLog-likelihood:", format(x$loglik, digits = digits + 3L), " on", x$nobs, "returns",
      if (length(x$at_bound)) paste0(" (at a bound: ", paste(x$at_bound, collapse = ", "), ")")
      else if (!x$converged) " (not converged)", "\n")
  invisible(x)
}

summary.vexal_garch_mle <- function(object, type = c("hessian", "opg", "robust", "bw"), ...) {
  type <- .vx_garch_type(object, match.arg(type))
  est <- coef(object)
  se <- object$se[names(est), type]
  se[names(est) %in% object$at_bound] <- NA  # no test of a parameter at its bound
  t <- est / se
  table <- cbind(Estimate = est, `Std. Error` = se, `t value` = t, `Pr(>|t|)` = 2 * stats::pnorm(-abs(t)))
  structure(list(object = object, coefficients = table, type = type), class = "summary.vexal_garch_mle")
}

print.summary.vexal_garch_mle <- function(x, digits = max(3L, getOption("digits") - 3L), ...) {
  o <- x$object
  cat("GARCH(1,1) by maximum likelihood:", o$mean, "mean,", o$vol, "variance,", o$dist, "errors,", o$h0, "start\n\n")
  cat("Coefficients (standard errors from the ", x$type, " covariance):\n", sep = "")
  stats::printCoefmat(x$coefficients, digits = digits, signif.legend = TRUE)
  cat("\nLog-likelihood:", format(o$loglik, digits = digits + 3L), " AIC:", format(o$aic, digits = digits + 3L),
      " BIC:", format(o$bic, digits = digits + 3L), "\n")
  cat("Returns:", o$nobs, " Persistence (alpha + beta):", format(o$persistence, digits = digits),
      " Half-life:", format(o$half_life, digits = digits), "\n")
  cat("Unconditional variance:", format(o$unconditional_variance, digits = digits),
      " Iterations:", o$iterations,
      if (length(o$at_bound)) paste0(" (at a bound: ", paste(o$at_bound, collapse = ", "), ")")
      else if (o$converged) " (converged)" else " (not converged)", "\n")
  invisible(x)
}
