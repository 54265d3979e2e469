# The library's command-line host, to compare against: VEXAL_CLI, or the
# repository's build when the tests run from a checkout.
vexal_cli <- function() {
  cli <- Sys.getenv("VEXAL_CLI")
  if (!nzchar(cli)) cli <- file.path("..", "..", "..", "..", "build", "bin", "vexal")
  if (!file.exists(cli)) skip("no vexal CLI (set VEXAL_CLI)")
  cli
}

# Runs calls (each a character vector: name, arguments) in one process and
# returns the results as doubles.
run_cli <- function(calls) {
  words <- unlist(lapply(seq_along(calls), function(i) c(if (i > 1) "--", calls[[i]])))
  out <- system2(vexal_cli(), shQuote(words), stdout = TRUE)
  out <- tolower(trimws(out))
  ifelse(out == "nan", NaN, suppressWarnings(as.numeric(out)))
}

num <- function(x) sprintf("%.17g", x)
