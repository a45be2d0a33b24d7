#!/usr/bin/env Rscript
# Times ape's nj (or phangorn's upgma) on a triangle text table and compares
# the tree with a Newick file: same splits, largest edge length difference.
#   Rscript bench/ape-check.R TABLE NEWICK nj|upgma
suppressPackageStartupMessages({ library(ape); library(phangorn) })
args <- commandArgs(trailingOnly = TRUE)
t0 <- proc.time()[["elapsed"]]
source(file.path(dirname(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE))), "readtriangles.R"))
m <- readtriangles(args[1])[[1]]
d <- as.dist(m)
t1 <- proc.time()[["elapsed"]]
ref <- if (args[3] == "nj") nj(d) else upgma(d)
t2 <- proc.time()[["elapsed"]]
ours <- read.tree(args[2])
# The two edges at a UPGMA root make one split: compared as one edge.
if (args[3] != "nj") {
  ref <- unroot(ref)
  ours <- unroot(ours)
}
# Splits with their edge lengths, keyed by the sorted tip names of the side
# without the pivot tip.
keyed <- function(tree, pivot) {
  s <- as.splits(tree)
  labels <- attr(s, "labels")
  w <- attr(s, "weights")
  keys <- vapply(seq_along(s), function(k) {
    side <- labels[s[[k]]]
    if (pivot %in% side) side <- setdiff(labels, side)
    paste(sort(side), collapse = ",")
  }, "")
  keep <- nzchar(keys)
  setNames(w[keep], keys[keep])
}
pivot <- sort(ref$tip.label)[1]
a <- keyed(ref, pivot)
b <- keyed(ours, pivot)
same <- length(setdiff(names(a), names(b))) == 0 && length(setdiff(names(b), names(a))) == 0
diff <- if (same) max(abs(a - b[names(a)])) else NA
cat(sprintf("read %.2f s, %s %.2f s, same splits %s, largest length difference %.3g\n",
            t1 - t0, args[3], t2 - t1, same, diff))
