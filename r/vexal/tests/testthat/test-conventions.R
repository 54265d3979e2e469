# NA in, NA out; series padding whatever n; the fit's covariance kinds and its price-level warning; bad input.

test_that("NA gives NA and NaN gives NaN; padding is dropped with or without n", {
  got <- call_eur(100, c(90, NA, NaN), 1, 0.05, 0.2, 0)
  expect_identical(is.nan(got), c(FALSE, FALSE, TRUE))
  expect_true(is.na(got[2]))
  m <- cbind(a = c(100, 101, 102, 99, 100, NA), b = c(NA, NA, 50, 51, 52, 53))
  want <- c(a = Price_sd(c(100, 101, 102, 99, 100)), b = Price_sd(c(50, 51, 52, 53)))
  expect_identical(Price_sd(m), want)
  expect_identical(Price_sd(m, n = c(5, 4)), want)
})

test_that("garch_mle: the Bollerslev-Wooldridge kind, and price levels warned about", {
  y <- read.csv(system.file("extdata", "dem2gbp.csv", package = "vexal"), comment.char = "#")[, 1]
  fit <- garch_mle(y)
  expect_identical(dim(vcov(fit, type = "bw")), c(4L, 4L))
  expect_identical(summary(fit, type = "bw")$type, "bw")
  expect_error(vcov(garch_mle(y, dist = "t"), type = "bw"), "normal errors")
  p <- cumprod(c(100, 1 + y / 100))
  expect_warning(garch_mle(p), "prices = TRUE")
  expect_silent(by_prices <- garch_mle(p, prices = TRUE))
  expect_identical(coef(by_prices), coef(garch_mle((p[-1] - p[-length(p)]) / p[-length(p)])))
})

test_that("the GARCH models' bad input: an error naming the problem", {
  y <- read.csv(system.file("extdata", "dem2gbp.csv", package = "vexal"), comment.char = "#")[1:300, 1]
  hole <- replace(y, 150, NaN)
  flat <- replace(y, 101:200, 0.25)
  fit <- garch_mle(y)
  cases <- list(
    list(function() garch_mle(hole), "NaN or infinity inside"),
    list(function() garch_mle(y[1:10], mean = "ar1"), "11 with an AR\\(1\\) mean"),
    list(function() garch_mle(rep(0.25, 50)), "without variation"),
    list(function() garch_mle(y, vol = "egarch"), "vol must be one of"),
    list(function() garch_var(fit, 0.5), "garch_var: level must be one number in \\(0, 0.5\\)"),
    list(function() garch_es(fit, "a"), "garch_es: level must be"),
    list(function() garch_backtest(hole, 50), "NaN or infinity inside"),
    list(function() garch_backtest(y, 300), "no longer than its window"),
    list(function() garch_backtest(y, 9), "window of fewer returns than a fit needs"),
    list(function() garch_backtest(y, 50.5), "whole numbers"),
    list(function() garch_backtest(flat, 100, 100), "without variation"),
    list(function() garch_backtest(y, 50, level = 0), "garch_backtest: level must be"),
    list(function() garch_backtest(y, 50, dist = "cauchy"), "dist must be one of"))
  for (case in cases) expect_error(case[[1]](), case[[2]])
})

test_that("kelly_exact: the root of the first-order condition; bad tables refused", {
  p <- c(0.5, 0.3, 0.2); b <- c(1, -1, -0.5)
  f <- kelly_exact(p, b)[["f"]]
  expect_lt(abs(sum(p * b / (1 + f * b))), 1e-15)
  expect_identical(kelly_exact(c(3, 2), c(1, -1))[["f"]], 0.2)
  expect_error(kelly_exact(1, 1), "no finite maximum")
})
