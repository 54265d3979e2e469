# Every pure function of the library (the precise family too), two rows at
# once from R, against the command-line host one call at a time; and the
# fits and the generator against the host's calls in sequence on the
# library's own state.

typical <- list(x = 0.3, S = 100, K = 95, T = 0.5, r = 0.03, sigma = 0.25, q = 0.01, price = 7.5,
                steps = 20, k = 2, mu = 0.08, H = 110, B = 110, X = 105, U = 120, L = 80, dt = 0.004,
                lambda = 0.94, A = 252, order = 0, t = 2, m = 100, s = 20, W = 2)
series <- cbind(c(100, 101.5, 99.8, 102.2, 103.9, 101.1), c(50, 49.2, 50.7, 51.9, 51.3, 52.8))
dividends <- list(times = c(0.1, 0.3), amounts = c(1, 1.5))

test_that("every pure function gives the command-line host's doubles", {
  f <- vexal_functions()
  calls <- list()
  results <- list()
  for (i in seq_len(nrow(f))) {
    args <- strsplit(f$arguments[i], ", ")[[1]]
    arrays <- endsWith(args, "[]")
    args <- sub("[]", "", args, fixed = TRUE)
    lead <- arrays[1]
    r_args <- list()
    cli_rows <- list(f$name[i], f$name[i])
    for (j in seq_along(args)) {
      a <- args[j]
      if (arrays[j] && lead) {            # one series per column
        v <- series * (1 + 0.01 * (j - 1))
        r_args[[a]] <- v
        cell <- function(row) paste(num(v[, row]), collapse = ",")
      } else if (arrays[j]) {             # the same schedule for every row
        v <- dividends[[a]]
        r_args[[a]] <- v
        cell <- function(row) paste(num(v), collapse = ",")
      } else if (a %in% c("n", "count")) {
        v <- if (lead) nrow(series) else length(dividends$times)
        cell <- function(row) num(v)
      } else {                            # two rows: typical, then 10 % up
        v <- typical[[a]] * c(1, 1.1)
        if (lead) v <- v[1]
        r_args[[a]] <- v
        cell <- function(row) num(v[min(row, length(v))])
      }
      cli_rows[[1]] <- c(cli_rows[[1]], cell(1))
      cli_rows[[2]] <- c(cli_rows[[2]], cell(2))
    }
    calls <- c(calls, cli_rows)
    results[[f$name[i]]] <- unname(do.call(f$name[i], r_args))
  }
  want <- run_cli(calls)
  got <- unlist(lapply(results, function(x) x[1:2]))
  expect_identical(length(results), nrow(f))
  expect_identical(unname(got), want)
})

test_that("the fits and the generator give the host's doubles on caller-held values", {
  p <- series[, 1]
  want <- run_cli(list(c("Price_input", paste(num(p), collapse = ","), "6", "0"), c("garch_o", "0.1", "0.8"),
                       "garch_param0", "garch_param1", "garch_param2", "garch_param3",
                       c("kelly_input", "0.5,0.3,0.2", "1,-1,-0.5", "3"), c("kelly_o", "0.1"),
                       "kelly_f", "kelly_growth", "kelly_growth_sd"))
  expect_identical(unname(garch_fit(p, 0.1, 0.8)), want[3:6])
  expect_identical(unname(garch_fit(rev(p), 0.1, 0.8, newest_first = TRUE)), want[3:6])
  expect_identical(unname(kelly_fit(c(0.5, 0.3, 0.2), c(1, -1, -0.5), 0.1)), want[9:11])

  want <- run_cli(list("RanMT1", "RanMT1", c("RanMTInit", "42"), "RanMT1", "RanMT3", "gaussMT",
                       c("F_NextPrice", "100", "0.08", "0.2", "0.004")))
  g <- mt_generator()
  expect_identical(RanMT1(g, 2), want[1:2])
  h <- mt_generator(42)
  expect_identical(c(RanMT1(h), RanMT3(h), gaussMT(h), F_NextPrice(h, 100, 0.08, 0.2, 0.004)), want[4:7])
  RanMTInit(g, 42)                       # a generator reseeded is the seeded one
  expect_identical(RanMT1(g, 3), { RanMTInit(h, 42); RanMT1(h, 3) })
})
