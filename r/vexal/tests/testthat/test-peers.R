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
