# R's conventions over the rows: recycling, shapes, NA and NaN, bad input.

test_that("arguments recycle, the longest argument's shape is kept, NA and NaN give NA or NaN", {
  one <- function(K, sigma) call_eur(100, K, 1, 0.05, sigma, 0)
  K <- c(low = 90, mid = 100, high = 110)
  cases <- list(
    list(got = call_eur(S = 100, K = K, T = 1, r = 0.05, sigma = 0.2, q = 0),
         want = c(low = one(90, 0.2), mid = one(100, 0.2), high = one(110, 0.2))),
    list(got = call_eur(100, matrix(c(90, 100, 110, 120), 2, dimnames = list(c("a", "b"), NULL)), 1, 0.05,
                        c(0.2, 0.3), 0),
         want = matrix(c(one(90, 0.2), one(100, 0.3), one(110, 0.2), one(120, 0.3)), 2,
                       dimnames = list(c("a", "b"), NULL))),
    list(got = call_eur(100, c(90, NA, 110, NaN), 1, 0.05, 0.2, 0),
         want = c(one(90, 0.2), NA, one(110, 0.2), NaN)),
    list(got = call_eur(100, 1:2, 1, 0.05, TRUE, 0L), want = c(one(1, 1), one(2, 1))),
    list(got = call_eur(100, numeric(0), 1, 0.05, 0.2, 0), want = numeric(0)),
    list(got = Price_sd(cbind(a = c(NA, 100, 101, 103), b = c(100, 99, 101, NA))),
         want = c(a = Price_sd(c(100, 101, 103)), b = Price_sd(c(100, 99, 101)))),
    list(got = Price_sd(c(100, NA, 101, 103)), want = NaN),
    list(got = Price_sd(xts::xts(cbind(x = c(100, 101, 103)), Sys.Date() + 0:2)), want = c(x = Price_sd(c(100, 101, 103))))
  )
  for (c in cases) {
    expect_equal(is.na(c$got), is.na(c$want))
    expect_identical(c$got[!is.na(c$got)], c$want[!is.na(c$want)])
    expect_identical(attributes(c$got), attributes(c$want))
  }
  expect_warning(call_eur(100, c(90, 100), 1, 0.05, c(0.1, 0.2, 0.3), 0), "multiple")
  expect_error(call_eur("100", 90, 1, 0.05, 0.2, 0), "S must be numeric")
  expect_error(Price_cor(1:5, 1:4), "differ in shape")
  expect_error(call_eur_d(100, 90, 1, 0.05, 0.2, 0.5, 1, n = 2), "more elements")
  expect_error(Price_sd(numeric(0)), "empty")
  expect_error(vexal_threads(-1), "whole number")
})

test_that("the rows are the same doubles on one thread and on many", {
  old <- vexal_threads(1)
  on.exit(vexal_threads(old))
  K <- seq(50, 150, length.out = 2001)
  one <- put_binamer(100, K, 1, 0.05, 0.2, 50, 0)
  vexal_threads(4)
  expect_identical(put_binamer(100, K, 1, 0.05, 0.2, 50, 0), one)
})
