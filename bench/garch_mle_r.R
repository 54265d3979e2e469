# GARCH(1,1) of the Deutschmark/pound returns by R's fGarch::garchFit (constant
# mean, normal errors, standard errors included) and tseries::garch (zero
# mean): CPU time per fit and the estimates, one JSON object per line.
#   Rscript bench/garch_mle_r.R tests/data/dem2gbp.csv [seconds]
args <- commandArgs(trailingOnly = TRUE)
y <- read.csv(args[1], comment.char = "#")[, 1]
budget <- if (length(args) > 1) as.numeric(args[2]) else 3
suppressMessages({ library(fGarch); library(tseries) })

cpu <- function() { t <- proc.time(); t[["user.self"]] + t[["sys.self"]] }
timed <- function(fit) {
  value <- fit()  # once to warm up
  reps <- 0; start <- cpu()
  while (cpu() - start < budget || reps < 3) { value <- fit(); reps <- reps + 1 }
  list(value = value, ms = 1000 * (cpu() - start) / reps, reps = reps)
}
json <- function(package, ms, reps, est, se, loglik) {
  num <- function(x) if (is.na(x)) "null" else formatC(x, digits = 9, format = "g")
  cat(sprintf('{"package": "%s", "ms": %s, "reps": %d, "mu": %s, "omega": %s, "alpha": %s, "beta": %s, "se_mu": %s, "se_omega": %s, "se_alpha": %s, "se_beta": %s, "loglik": %s}\n',
              package, num(ms), reps, num(est[1]), num(est[2]), num(est[3]), num(est[4]),
              num(se[1]), num(se[2]), num(se[3]), num(se[4]), num(loglik)))
}

f <- timed(function() garchFit(~garch(1, 1), data = y, trace = FALSE))
json(sprintf("fGarch %s garchFit", packageVersion("fGarch")), f$ms, f$reps, unname(coef(f$value)),
     unname(f$value@fit$se.coef), -f$value@fit$value)

g <- timed(function() garch(y, order = c(1, 1), trace = FALSE))
est <- unname(coef(g$value)); se <- unname(sqrt(diag(g$value$vcov)))
json(sprintf("tseries %s garch (zero mean)", packageVersion("tseries")), g$ms, g$reps, c(NA, est), c(NA, se),
     as.numeric(logLik(g$value)))
