# The MT19937 generator as an object: its state lives in the object, the
# library only draws from it. Two generators never share a stream.

mt_generator <- function(seed = NULL) {
  if (!is.null(seed) && (!is.numeric(seed) || length(seed) != 1L))
    stop("mt_generator: seed must be one number, or NULL for the library's initial state", call. = FALSE)
  g <- new.env(parent = emptyenv())
  g$state <- .Call(.C_vx_mt, NULL, 0L, 0, if (is.null(seed)) NULL else as.double(seed), 0, 0, 0, 0)[[2]]
  class(g) <- "vexal_mt"
  g
}

.vx_draw <- function(g, op, n = 0, seed = 0, S = 0, mu = 0, sigma = 0, dt = 0) {
  if (!inherits(g, "vexal_mt")) stop("not a generator from mt_generator()", call. = FALSE)
  if (!is.numeric(n) || length(n) != 1L || is.na(n) || n < 0) stop("n must be one count of draws", call. = FALSE)
  res <- .Call(.C_vx_mt, g$state, op, as.double(floor(n)), as.double(seed), S, mu, sigma, dt)
  g$state <- res[[2]]
  res[[1]]
}

RanMT1 <- function(g, n = 1) .vx_draw(g, 1L, n)

RanMT3 <- function(g, n = 1) .vx_draw(g, 2L, n)

gaussMT <- function(g, n = 1) .vx_draw(g, 3L, n)

RanMTInit <- function(g, seed) {
  if (!is.numeric(seed) || length(seed) != 1L) stop("RanMTInit: seed must be one number", call. = FALSE)
  .vx_draw(g, 5L, 0, seed)
  invisible(g)
}

F_NextPrice <- function(g, S, mu, sigma, dt) {
  args <- list(S = S, mu = mu, sigma = sigma, dt = dt)
  for (a in names(args)) args[[a]] <- .vx_double(args[[a]], "F_NextPrice", a)
  lens <- lengths(args)
  if (any(lens == 0L)) return(numeric(0))
  rows <- max(lens)
  args <- lapply(args, rep_len, rows)
  out <- .vx_draw(g, 4L, rows, 0, args$S, args$mu, args$sigma, args$dt)
  .vx_shape(out, list(S, mu, sigma, dt)[[which.max(lens)]])
}

print.vexal_mt <- function(x, ...) {
  cat("MT19937 generator, position", x$state[625], "of 624 in its block\n")
  invisible(x)
}
