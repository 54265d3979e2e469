# The calls every generated function makes: arguments checked and laid out
# as columns here, the rows evaluated by vexal_map in the library.

.vx <- new.env(parent = emptyenv())
.vx$threads <- 0L

.onLoad <- function(libname, pkgname) {
  .vx$threads <- .vx_env_threads()
}

.vx_env_threads <- function() {
  env <- Sys.getenv("VEXAL_THREADS")
  n <- suppressWarnings(as.integer(env))
  if (nzchar(env) && !is.na(n) && n >= 0L) n else 0L
}

vexal_threads <- function(n) {
  old <- if (.vx$threads > 0L) .vx$threads else .Call(.C_vx_default_threads)
  if (missing(n)) return(old)
  if (is.null(n)) n <- .vx_env_threads()
  if (!is.numeric(n) || length(n) != 1L || is.na(n) || n < 0 || n != floor(n) || n > 1024)
    stop("vexal_threads: n must be a whole number from 0 (all cores) to 1024")
  .vx$threads <- as.integer(n)
  invisible(old)
}

.vx_double <- function(x, fn, arg) {
  if (!(is.numeric(x) || is.logical(x)) || is.factor(x))
    stop(sprintf("%s: argument %s must be numeric", fn, arg), call. = FALSE)
  as.double(x)
}

# Number arguments recycled to the longest; arrays (positions `arrays`) the
# same for every row, each at least as long as the count asks.
.vx_rows <- function(fn, args, arrays = integer(), count = NA_integer_) {
  given <- args
  for (j in seq_along(args)) args[[j]] <- .vx_double(args[[j]], fn, names(args)[j])
  nums <- setdiff(seq_along(args), arrays)
  lens <- lengths(args[nums])
  if (any(lens == 0L)) return(numeric(0))
  rows <- max(lens)
  if (any(rows %% lens != 0L))
    warning(sprintf("%s: longer argument not a multiple of length of shorter", fn), call. = FALSE)
  strides <- numeric(length(args))
  for (j in nums) {
    len <- length(args[[j]])
    if (len > 1L) {
      if (len < rows) args[[j]] <- rep_len(args[[j]], rows)
      strides[j] <- 1
    }
  }
  if (length(arrays)) {
    n <- args[[count]]
    for (j in arrays) {
      if (length(args[[j]]) == 0L) stop(sprintf("%s: %s is empty", fn, names(args)[j]), call. = FALSE)
      if (any(n >= length(args[[j]]) + 0.5, na.rm = TRUE))
        stop(sprintf("%s: %s asks for more elements than %s holds", fn, names(args)[count], names(args)[j]),
             call. = FALSE)
    }
  }
  out <- .Call(.C_vx_map, fn, args, strides, rows, .vx$threads)
  .vx_shape(.vx_na(out, args[nums]), given[nums][[which.max(lens)]])
}

# R's missing value in, R's missing value out: where an argument is NA (not
# NaN) and the library gave NaN, the result is NA.
.vx_na <- function(out, nums) {
  for (a in nums) {
    na <- is.na(a) & !is.nan(a)
    if (any(na)) out[rep_len(na, length(out)) & is.nan(out)] <- NA_real_
  }
  out
}

# The names or dimensions of the longest argument, where R users expect them.
.vx_shape <- function(out, like) {
  if (!is.null(dim(like)) && length(like) == length(out)) {
    dim(out) <- dim(like)
    dimnames(out) <- dimnames(like)
  } else if (!is.null(names(like))) {
    names(out) <- names(like)
  }
  out
}

# A vector, matrix, data frame or xts/zoo object as a double matrix, one
# series per column.
.vx_matrix <- function(x, fn, arg) {
  if (is.data.frame(x)) x <- as.matrix(x)
  if (inherits(x, "zoo")) x <- zoo::coredata(x)
  m <- if (is.null(dim(x))) matrix(.vx_double(x, fn, arg), ncol = 1L) else x
  if (length(dim(m)) != 2L) stop(sprintf("%s: %s must be a vector or a matrix", fn, arg), call. = FALSE)
  if (!(is.numeric(m) || is.logical(m))) stop(sprintf("%s: argument %s must be numeric", fn, arg), call. = FALSE)
  storage.mode(m) <- "double"
  m
}

# The matrices with each column's NA padding (before its first number and
# after its last, in any of them) moved out: the columns start at row 1 and
# `lengths` says how many rows each keeps. A column of NAs alone is kept
# whole, and gives NA or NaN by the library's rule.
.vx_unpad <- function(mats) {
  nr <- nrow(mats[[1]])
  have <- Reduce(`|`, lapply(mats, function(m) !is.na(m)))
  ends <- apply(have, 2L, function(h) {
    w <- which(h)
    if (length(w)) c(w[1L], w[length(w)]) else c(1L, nr)  # no numbers: the NaN rule's
  })
  lengths <- ends[2L, ] - ends[1L, ] + 1L
  if (all(ends[1L, ] == 1L)) return(list(mats = mats, lengths = lengths))
  mats <- lapply(mats, function(m) {
    for (j in seq_len(ncol(m))) {
      if (ends[1L, j] > 1L && lengths[j] > 0L) {
        keep <- m[ends[1L, j]:ends[2L, j], j]
        m[, j] <- NA_real_
        m[seq_along(keep), j] <- keep
      }
    }
    m
  })
  list(mats = mats, lengths = lengths)
}

# One row per column of the series; the number arguments one per column or
# one for all.
.vx_series <- function(fn, args, arrays, count) {
  first <- args[[arrays[1]]]
  for (j in arrays) args[[j]] <- .vx_matrix(args[[j]], fn, names(args)[j])
  d <- dim(args[[arrays[1]]])
  for (j in arrays)
    if (!identical(dim(args[[j]]), d))
      stop(sprintf("%s: %s and %s differ in shape", fn, names(args)[arrays[1]], names(args)[j]), call. = FALSE)
  if (d[1] == 0L) stop(sprintf("%s: %s is empty", fn, names(args)[arrays[1]]), call. = FALSE)
  cols <- d[2]
  if (cols == 0L) return(numeric(0))
  # NAs before a series' first number and after its last are padding, in
  # every case; without n each series is taken whole.
  u <- .vx_unpad(args[arrays])
  args[arrays] <- u$mats
  if (is.null(args[[count]])) args[[count]] <- as.double(u$lengths)
  strides <- numeric(length(args))
  strides[arrays] <- d[1]
  for (j in setdiff(seq_along(args), arrays)) {
    args[[j]] <- .vx_double(args[[j]], fn, names(args)[j])
    len <- length(args[[j]])
    if (len == cols && len > 1L) strides[j] <- 1
    else if (len != 1L)
      stop(sprintf("%s: %s must have one value, or one per series (%d)", fn, names(args)[j], cols), call. = FALSE)
  }
  out <- .vx_na(.Call(.C_vx_map, fn, args, strides, cols, .vx$threads), args[setdiff(seq_along(args), arrays)])
  if (!is.null(dim(first)) || inherits(first, "zoo")) names(out) <- colnames(args[[arrays[1]]])
  out
}

vexal_functions <- function() .vx_table

# The engine with no R-side work: columns already laid out (for bench/r_bench.R).
.vx_call_map <- function(fn, cols, strides, rows, threads) .Call(.C_vx_map, fn, cols, strides, rows, threads)
