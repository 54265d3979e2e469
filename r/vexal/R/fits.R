# The fits on values the caller holds: no state in the library between calls.

garch_fit <- function(prices, alpha0 = 0.1, beta0 = 0.8, newest_first = FALSE) {
  m <- .vx_matrix(prices, "garch_fit", "prices")
  if (nrow(m) == 0L) m <- matrix(NA_real_, 1L, ncol(m), dimnames = dimnames(m))
  u <- .vx_unpad(list(m))
  for (a in c("alpha0", "beta0")) {
    v <- get(a)
    if (!is.numeric(v) || length(v) != 1L) stop(sprintf("garch_fit: %s must be one number", a), call. = FALSE)
  }
  if (!is.logical(newest_first) || length(newest_first) != 1L || is.na(newest_first))
    stop("garch_fit: newest_first must be TRUE or FALSE", call. = FALSE)
  res <- .Call(.C_vx_garch_fit, u$mats[[1]], as.double(u$lengths), as.double(newest_first),
               as.double(alpha0), as.double(beta0), .vx$threads)
  rownames(res) <- c("objective", "omega", "alpha", "beta")
  if (is.null(dim(prices)) && !inherits(prices, "zoo")) return(res[, 1])
  colnames(res) <- colnames(m)
  t(res)  # one row per series
}

kelly_exact <- function(prob, outcome) {
  prob <- .vx_double(prob, "kelly_exact", "prob")
  outcome <- .vx_double(outcome, "kelly_exact", "outcome")
  if (length(prob) != length(outcome)) stop("kelly_exact: prob and outcome differ in length", call. = FALSE)
  res <- .Call(.C_vx_kelly_exact, prob, outcome)
  names(res) <- c("f", "growth", "growth_sd")
  res
}

kelly_fit <- function(prob, outcome, f0 = 0) {
  prob <- .vx_double(prob, "kelly_fit", "prob")
  outcome <- .vx_double(outcome, "kelly_fit", "outcome")
  if (length(prob) != length(outcome)) stop("kelly_fit: prob and outcome differ in length", call. = FALSE)
  if (!is.numeric(f0) || length(f0) != 1L) stop("kelly_fit: f0 must be one number", call. = FALSE)
  res <- .Call(.C_vx_kelly_fit, prob, outcome, as.double(f0))
  names(res) <- c("f", "growth", "growth_sd")
  res
}
