#!/usr/bin/env Rscript
# The R chain for support from replicate tables: read the reference and the
# replicate triangle tables, ape nj on each, prop.clades, phangorn consensus.
#   Rscript bench/ape-support.R TABLE REPLICATES
suppressPackageStartupMessages({ library(ape); library(phangorn) })
args <- commandArgs(trailingOnly = TRUE)
readtriangles <- function(path) {
  lines <- sub("\r$", "", readLines(path))
  tables <- list()
  at <- 1
  while (at <= length(lines)) {
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
ref <- nj(as.dist(readtriangles(args[1])[[1]]))
reps <- lapply(readtriangles(args[2]), function(m) nj(as.dist(m)))
class(reps) <- "multiPhylo"
ref$node.label <- prop.clades(ref, reps, rooted = FALSE)
write.tree(ref, "ape-support.nwk")
write.tree(consensus(reps, p = 0.5), "ape-consensus.nwk")
