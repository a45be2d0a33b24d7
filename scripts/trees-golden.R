#!/usr/bin/env Rscript
# Remakes the golden trees of tests/data/trees from the tables there, with
# ape and phangorn (Debian: r-cran-ape, r-cran-phangorn). Run from the
# repository's top folder:  Rscript scripts/trees-golden.R
#
# For each TABLE.matD (a triangle text table, with TABLE.matD.reps holding
# replicate tables when present) it writes
#   TABLE.nj.nwk      ape nj, support of the replicates' nj trees from
#                     prop.clades(rooted = FALSE) as percentages
#   TABLE.upgma.nwk   phangorn upgma, support of the replicates' upgma
#                     trees from prop.clades(rooted = TRUE)
suppressPackageStartupMessages({ library(ape); library(phangorn) })

# The tables of a triangle text file: count line, then per strain a
# 10-character name and the values after the diagonal, read by blanks.
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
    for (i in seq_len(n)) {
      rest <- trimws(substring(rows[i], 11))
      if (i < n && nzchar(rest)) {
        v <- as.numeric(strsplit(rest, " +")[[1]])
        m[i, (i + 1):n] <- v
        m[(i + 1):n, i] <- v
      }
    }
    tables[[length(tables) + 1]] <- m
    at <- at + n + 1
  }
  tables
}

percent <- function(count, total) {
  p <- sprintf("%.1f", 100 * count / total)
  sub("\\.0$", "", p)
}

label <- function(tree, reps, rooted) {
  if (length(reps) == 0) return(tree)
  counts <- prop.clades(tree, reps, rooted = rooted)
  counts[is.na(counts)] <- 0
  labels <- percent(counts, length(reps))
  labels[1] <- ""  # the root's edge does not exist
  tree$node.label <- labels
  tree
}

for (path in Sys.glob("tests/data/trees/*.matD")) {
  ref <- readtriangles(path)[[1]]
  repfile <- paste0(path, ".reps")
  reps <- if (file.exists(repfile)) readtriangles(repfile) else list()
  nj_reps <- lapply(reps, function(m) nj(as.dist(m)))
  class(nj_reps) <- "multiPhylo"
  up_reps <- lapply(reps, function(m) upgma(as.dist(m)))
  class(up_reps) <- "multiPhylo"
  write.tree(label(nj(as.dist(ref)), nj_reps, FALSE), paste0(path, ".nj.nwk"), digits = 10)
  write.tree(label(upgma(as.dist(ref)), up_reps, TRUE), paste0(path, ".upgma.nwk"), digits = 10)
}

# Names as the Newick writer quotes them: ape must read back the names.
quoted <- "('A B':1,'it''s':2,'x_y':3,'a,b(c):[d];':4);"
writeLines(read.tree(text = quoted)$tip.label, "tests/data/trees/quoted-labels.txt")
