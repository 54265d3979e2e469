# The R package against the C batch engine, in one run:
#   Rscript bench/r_bench.R [path/to/vexal_bench]
# call_eur over 1,000,000 rows from R, against the same rows given to the
# engine as laid-out columns (the package's own entry, no R-side work), both
# on one thread; put_binamer at 100 steps over 100,000 rows from R on one
# thread and on two. With the path of the native vexal_bench (CMake build),
# its one-thread call_eur map is run too, for the engine as the library ships it.
suppressMessages(library(vexal))

best <- function(f, times = 5) min(replicate(times, system.time(f())[["elapsed"]]))

rows <- function(n) {
  set.seed(2026)
  list(S = 80 + 40 * runif(n), K = 100, T = 0.1 + 1.9 * runif(n), r = 0.01 + 0.04 * runif(n),
       sigma = 0.1 + 0.4 * runif(n), q = 0.03 * runif(n))
}

vexal_threads(1)
x <- rows(1e6)
from_r <- best(function() call_eur(S = x$S, K = x$K, T = x$T, r = x$r, sigma = x$sigma, q = x$q))
cols <- lapply(x, as.double)
strides <- as.double(lengths(cols) > 1)
engine <- best(function() vexal:::.vx_call_map("call_eur", cols, strides, 1e6, 1L))
cat(sprintf("call_eur, 1,000,000 rows, 1 thread: from R %.1f ms, engine %.1f ms, ratio %.2f\n",
            1e3 * from_r, 1e3 * engine, from_r / engine))

# real time in seconds of a vexal_bench case, or NA without it
args <- commandArgs(trailingOnly = TRUE)
native <- function(case) {
  if (!length(args) || !file.exists(args[1])) return(NA)
  out <- system2(args[1], c(paste0("--benchmark_filter=^", case, "$"), "--benchmark_format=csv"),
                 stdout = TRUE, stderr = FALSE)
  row <- strsplit(grep(case, out, value = TRUE, fixed = TRUE), ",")[[1]]
  as.numeric(row[3]) / 1e3
}
n1 <- native("BM_BatchCallEur/1/real_time")
if (!is.na(n1))
  cat(sprintf("call_eur, 1,000,000 rows, 1 thread: native vexal_bench %.1f ms, R / native %.2f\n",
              1e3 * n1, from_r / n1))

y <- rows(1e5)
one <- best(function() put_binamer(y$S, y$K, y$T, y$r, y$sigma, 100, y$q), 3)
vexal_threads(2)
two <- best(function() put_binamer(y$S, y$K, y$T, y$r, y$sigma, 100, y$q), 3)
cat(sprintf("put_binamer, 100 steps, 100,000 rows from R: 1 thread %.0f ms, 2 threads %.0f ms, speed-up %.2f\n",
            1e3 * one, 1e3 * two, one / two))
p1 <- native("BM_BatchPutBinamer100/1/iterations:2/real_time")
p2 <- native("BM_BatchPutBinamer100/0/iterations:2/real_time")
if (!is.na(p1))
  cat(sprintf("put_binamer, native vexal_bench: 1 thread %.0f ms, all threads %.0f ms, speed-up %.2f\n",
              1e3 * p1, 1e3 * p2, p1 / p2))
cat(sprintf("(load average %s)\n", paste(tryCatch(strsplit(readLines("/proc/loadavg"), " ")[[1]][1:3],
                                                 error = function(e) "?"), collapse = " ")))
