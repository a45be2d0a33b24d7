#!/usr/bin/env Rscript
# The R chain for support from replicate tables: read the reference and the
# replicate triangle tables, ape nj on each, prop.clades, phangorn consensus.
#   Rscript bench/ape-support.R TABLE REPLICATES
suppressPackageStartupMessages({ library(ape); library(phangorn) })
args <- commandArgs(trailingOnly = TRUE)
source(file.path(dirname(sub("^--file=", "", grep("^--file=", commandArgs(), value = TRUE))), "readtriangles.R"))
ref <- nj(as.dist(readtriangles(args[1])[[1]]))
reps <- lapply(readtriangles(args[2]), function(m) nj(as.dist(m)))
class(reps) <- "multiPhylo"
ref$node.label <- prop.clades(ref, reps, rooted = FALSE)
write.tree(ref, "ape-support.nwk")
write.tree(consensus(reps, p = 0.5), "ape-consensus.nwk")
