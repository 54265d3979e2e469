# fGarch::garchFit on R's EuStockMarkets (100 x log returns) for the models of
# bench/garch_models_bench.cpp: CPU time per fit, log-likelihood and the
# estimates with their standard errors, one JSON object per line.
#   Rscript bench/garch_models_r.R [seconds per model]
budget <- { a <- commandArgs(trailingOnly = TRUE); if (length(a)) as.numeric(a[1]) else 1 }
suppressMessages(library(fGarch))
data(EuStockMarkets)
y <- 100 * diff(log(EuStockMarkets))
cpu <- function() { t <- proc.time(); t[["user.self"]] + t[["sys.self"]] }
models <- list(c(0, 0, 0), c(0, 0, 1), c(0, 0, 2), c(0, 0, 3), c(0, 1, 0), c(0, 1, 1), c(0, 1, 2), c(0, 1, 3),
               c(2, 0, 0))
dists <- c("norm", "std", "sstd", "ged")
num <- function(x) if (is.null(x) || is.na(x)) "null" else formatC(x, digits = 9, format = "g")
for (s in seq_len(ncol(y))) for (k in seq_along(models)) {
  m <- models[[k]]; x <- as.numeric(y[, s])
  formula <- if (m[1] == 2) ~arma(1, 0) + garch(1, 1) else if (m[2] == 1) ~aparch(1, 1) else ~garch(1, 1)
  fit <- function() if (m[2] == 1) garchFit(formula, data = x, cond.dist = dists[m[3] + 1], include.delta = FALSE,
                                            delta = 2, trace = FALSE)
                    else garchFit(formula, data = x, cond.dist = dists[m[3] + 1], trace = FALSE)
  f <- tryCatch(fit(), error = function(e) NULL)
  if (is.null(f)) {
    cat(sprintf('{"series": %d, "model": %d, "error": "garchFit stopped with an error"}\n', s - 1, k - 1))
    next
  }
  reps <- 0; start <- cpu()
  while (cpu() - start < budget || reps < 2) { f <- fit(); reps <- reps + 1 }
  ms <- 1000 * (cpu() - start) / reps
  cf <- coef(f); se <- f@fit$se.coef
  cat(sprintf('{"series": %d, "model": %d, "ms": %s, "reps": %d, "loglik": %s, "coef": {%s}, "se": {%s}}\n',
              s - 1, k - 1, num(ms), reps, num(-f@fit$value),
              paste(sprintf('"%s": %s', names(cf), sapply(cf, num)), collapse = ", "),
              paste(sprintf('"%s": %s', names(cf), sapply(se, num)), collapse = ", ")))
}
