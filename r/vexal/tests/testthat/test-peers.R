# Side by side with the R packages users already have, on the same bars.

bars <- function() {
  closes <- read.csv(system.file("extdata", "closes.csv", package = "vexal"))$close[1:253]
  g <- mt_generator(7)
  open <- c(closes[1], closes[-253] * exp(0.002 * gaussMT(g, 252)))
  high <- pmax(open, closes) * exp(abs(0.004 * gaussMT(g, 253)))
  low <- pmin(open, closes) * exp(-abs(0.004 * gaussMT(g, 253)))
  cbind(Open = open, High = high, Low = low, Close = closes)
}

test_that("Parkinson and Yang-Zhang agree with TTR::volatility once the conventions are aligned", {
  skip_if_not_installed("TTR")
  ohlc <- bars()
  n <- nrow(ohlc)
  # Parkinson: TTR's is a rolling estimate over n bars annualised by N (260 by
  # default); the library's is over all the bars it is given, annualised by A.
  # The last window over all the bars with N = A is the same estimate.
  ttr <- tail(TTR::volatility(ohlc, n = n, calc = "parkinson", N = 252), 1)
  expect_equal(Price_Vol_Parkinson(ohlc[, "High"], ohlc[, "Low"], A = 252), as.numeric(ttr), tolerance = 1e-13)

  # Yang-Zhang: the library's n bars give m = n - 1 periods (bar 0 gives only
  # the first overnight close), TTR's window of m periods reads m + 1 bars:
  # TTR n = m. Both take sample variances of the overnight and open-to-close
  # returns and the mean Rogers-Satchell term. The weight differs:
  # TTR k = 0.34 / (1.34 + (m + 1) / (m - 1)), Yang and Zhang's; the library's
  # k = 0.34 / (1 + (m + 1) / (m - 1)). Aligned by moving TTR's variance to the
  # library's weight: s^2 + (k_lib - k_ttr) (Vc - Vrs), Vc the open-to-close
  # variance, Vrs TTR's Rogers-Satchell variance.
  m <- n - 1
  ttr <- as.numeric(tail(TTR::volatility(ohlc, n = m, calc = "yang.zhang", N = 252), 1))
  rs <- as.numeric(tail(TTR::volatility(ohlc, n = m, calc = "rogers.satchell", N = 252), 1))
  vc <- 252 * var(log(ohlc[-1, "Close"] / ohlc[-1, "Open"]))
  k_ttr <- 0.34 / (1.34 + (m + 1) / (m - 1))
  k_lib <- 0.34 / (1 + (m + 1) / (m - 1))
  aligned <- sqrt(ttr^2 + (k_lib - k_ttr) * (vc - rs^2))
  yz <- Price_Vol_YangZhang(ohlc[, "Open"], ohlc[, "High"], ohlc[, "Low"], ohlc[, "Close"], A = 252)
  expect_equal(yz, aligned, tolerance = 1e-13)
  expect_gt(abs(yz / ttr - 1), 1e-4)  # the weights do differ on these bars
})

test_that("precise European prices and Greeks agree with RQuantLib to QuantLib's accuracy", {
  skip_if_not_installed("RQuantLib")
  # Maturities whole in QuantLib's day count; S = 100, r = 3 %, q = 1 %.
  g <- expand.grid(K = c(60, 80, 95, 100, 105, 120, 150), T = c(0.25, 0.5, 1, 2), sigma = c(0.1, 0.25, 0.5),
                   type = c("call", "put"), stringsAsFactors = FALSE)
  ql <- t(mapply(function(K, T, sigma, type) {
    o <- RQuantLib::EuropeanOption(type, 100, K, 0.01, 0.03, T, sigma)
    c(o$value, o$delta, o$gamma, o$vega, o$theta, o$rho)
  }, g$K, g$T, g$sigma, g$type))
  pick <- function(call, put) ifelse(g$type == "call", call(100, g$K, g$T, 0.03, g$sigma, 0.01),
                                      put(100, g$K, g$T, 0.03, g$sigma, 0.01))
  vx <- cbind(pick(precise_call_eur, precise_put_eur), pick(precise_call_delta_eur, precise_put_delta_eur),
              precise_gamma_eur(100, g$K, g$T, 0.03, g$sigma, 0.01), precise_vega_eur(100, g$K, g$T, 0.03, g$sigma, 0.01),
              pick(precise_call_theta_eur, precise_put_theta_eur), pick(precise_call_rho_eur, precise_put_rho_eur))
  # QuantLib's analytic prices are differences of terms of the order of the
  # spot: their own rounding is some 1e-14 of it (a deep out-of-the-money
  # call comes out at -4e-15); the two agree within 1e-12 absolute.
  expect_lt(max(abs(vx - ql)), 1e-12)
  expect_true(all(vx[, 1] >= 0))
})

test_that("garch_mle agrees with fGarch::garchFit on dem2gbp, and its methods with one another", {
  skip_if_not_installed("fGarch")
  data("dem2gbp", package = "fGarch", envir = environment())
  y <- dem2gbp[, 1]
  v <- garch_mle(y)
  f <- fGarch::garchFit(~garch(1, 1), data = y, trace = FALSE)
  # Same model: constant mean, normal errors, pre-sample variance the mean
  # squared residual. The estimates agree to 4 digits and more; fGarch's
  # standard errors come from its own numerical Hessian, within 1 %.
  expect_lt(max(abs(coef(v) / f@fit$coef - 1)), 1e-4)
  expect_lt(max(abs(sqrt(diag(vcov(v))) / f@fit$se.coef - 1)), 0.01)
  expect_equal(as.numeric(logLik(v)), -unname(f@fit$value), tolerance = 1e-8)
  expect_equal(predict(v, 5)$sd, fGarch::predict(f, 5)$standardDeviation, tolerance = 1e-5)

  expect_identical(c(AIC(v), BIC(v), nobs(v)), c(v$aic, v$bic, 1974))
  for (type in c("hessian", "opg", "robust"))
    expect_equal(sqrt(diag(vcov(v, type = type))), v$se[, type])
  expect_equal(residuals(v, standardize = TRUE), residuals(v) / sqrt(v$variance))
  expect_equal(fitted(v) + residuals(v), y, tolerance = 1e-15)
  t <- garch_mle(stats::ts(c(NA, y, NA), start = 1), dist = "t")
  expect_identical(names(coef(t)), c("mu", "omega", "alpha", "beta", "nu"))
  expect_identical(stats::tsp(residuals(t)), c(2, 1975, 1))
  expect_error(garch_mle(c(y[1:5], NA, y[6:20])), "NaN or infinity")
})

test_that("precise American prices are where RQuantLib's finite differences converge", {
  skip_if_not_installed("RQuantLib")
  g <- expand.grid(K = c(80, 95, 100, 105, 120), T = c(0.25, 1), sigma = c(0.15, 0.35), type = c("call", "put"),
                   stringsAsFactors = FALSE)
  vx <- ifelse(g$type == "call", precise_call_american(100, g$K, g$T, 0.05, g$sigma, 0.02),
               precise_put_american(100, g$K, g$T, 0.05, g$sigma, 0.02))
  # QuantLib's American engines are approximations: Crank-Nicolson on a grid
  # of n points and n + 1 steps is good to its discretisation, which falls as
  # the grid grows. Its prices close in on ours: 2e-3 rms at n = 200, 3e-4 at
  # n = 800.
  rms <- sapply(c(200, 800), function(n) {
    ql <- mapply(function(K, T, sigma, type)
      RQuantLib::AmericanOption(type, 100, K, 0.02, 0.05, T, sigma, timeSteps = n + 1, gridPoints = n,
                                engine = "CrankNicolson")$value, g$K, g$T, g$sigma, g$type)
    sqrt(mean((vx - ql)^2))
  })
  expect_lt(rms[2], 5e-4)
  expect_lt(rms[2], rms[1] / 4)
})
