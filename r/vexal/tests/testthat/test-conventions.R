# NA in, NA out; series padding whatever n; the fit's covariance kinds and its price-level warning.

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

test_that("kelly_exact: the root of the first-order condition; bad tables refused", {
  p <- c(0.5, 0.3, 0.2); b <- c(1, -1, -0.5)
  f <- kelly_exact(p, b)[["f"]]
  expect_lt(abs(sum(p * b / (1 + f * b))), 1e-15)
  expect_identical(kelly_exact(c(3, 2), c(1, -1))[["f"]], 0.2)
  expect_error(kelly_exact(1, 1), "no finite maximum")
})
