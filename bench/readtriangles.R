# The tables of a triangle text file as R matrices: a count line, then per
# strain a 10-character name and the values after the diagonal, read by
# blanks. Sourced by the bench scripts.
readtriangles <- function(path) {
  lines <- sub("\r$", "", readLines(path))
  tables <- list()
  at <- 1
  while (at <= length(lines)) {
    if (!nzchar(trimws(lines[at]))) { at <- at + 1; next }
    n <- as.integer(lines[at])
    rows <- lines[(at + 1):(at + n)]
    names <- sub(" +$", "", substr(rows, 1, 10))
    m <- matrix(0, n, n, dimnames = list(names, names))
    for (i in seq_len(n - 1)) {
      v <- scan(text = substring(rows[i], 11), quiet = TRUE)
      m[i, (i + 1):n] <- v
      m[(i + 1):n, i] <- v
    }
    tables[[length(tables) + 1]] <- m
    at <- at + n + 1
  }
  tables
}
