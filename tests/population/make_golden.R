# Golden files of the population analyses, made once with ade4 (Debian's
# r-cran-ade4) and committed: Rscript tests/population/make_golden.R
#
# Simulated band data of two shapes: that of a published AFLP study (2
# regions, 18 populations, 187 strains, 56 bands, clones within populations,
# strongly structured) and an unbalanced one (3 regions of 2, 3 and 4
# populations of 2 to 12 strains, 40 bands, weakly structured). For each:
# the band file (fixed layout) and its groups file; ade4's amova of the two
# levels, of the populations alone, and (published shape) after clone
# correction by population; randtest.amova's p-values with 999 permutations;
# and (unbalanced) the one-level amova of every pair of populations (PhiPT).
suppressMessages(library(ade4))
args <- commandArgs(trailingOnly = TRUE)
out <- if (length(args) > 0) args[1] else "tests/population/golden"
set.seed(20260522)

# Strains of populations `sizes` in regions `regions` (one per population);
# region and population band frequencies drawn around each other by `spread`.
simulate <- function(sizes, regions, bands, spread, cloned) {
  base <- runif(bands, 0.2, 0.8)
  rows <- list(); pop <- c(); reg <- c()
  for (r in unique(regions)) {
    rf <- pmin(pmax(base + rnorm(bands, 0, spread[1]), 0.02), 0.98)
    for (p in which(regions == r)) {
      pf <- pmin(pmax(rf + rnorm(bands, 0, spread[2]), 0.02), 0.98)
      distinct <- max(1, round(sizes[p] * (1 - cloned)))
      g <- matrix(rbinom(distinct * bands, 1, rep(pf, each = distinct)), distinct)
      pick <- c(seq_len(distinct), sample(distinct, sizes[p] - distinct, replace = TRUE))
      rows[[length(rows) + 1]] <- g[sample(pick), , drop = FALSE]
      pop <- c(pop, rep(sprintf("P%02d", p), sizes[p]))
      reg <- c(reg, rep(sprintf("R%d", r), sizes[p]))
    }
  }
  x <- do.call(rbind, rows)
  rownames(x) <- sprintf("S%03d", seq_len(nrow(x)))
  list(x = x, pop = pop, reg = reg)
}

writedata <- function(d, name) {
  lines <- c(sprintf("%d %d", nrow(d$x), ncol(d$x)),
             sprintf("%-10s%s", rownames(d$x), apply(d$x, 1, paste, collapse = "")))
  writeLines(lines, file.path(out, paste0(name, ".txt")))
  write.table(data.frame(name = rownames(d$x), Region = d$reg, Pop = d$pop),
              file.path(out, paste0(name, ".groups.csv")), sep = ",", quote = FALSE, row.names = FALSE)
}

# ade4's amova of strains (rows of x) in populations (and regions).
analyse <- function(x, pop, reg, levels) {
  pops <- unique(pop)
  samples <- as.data.frame(sapply(pops, function(p) as.integer(pop == p)))
  rownames(samples) <- rownames(x)
  if (levels == 2) {
    structures <- data.frame(Region = factor(reg[match(pops, pop)]))
    amova(samples, dist(x), structures)
  } else {
    amova(samples, dist(x))
  }
}

# Rows from the top level down, then the total: df, SS, MS, sigma2, percent, phi.
table <- function(a, levels) {
  res <- a$results; comp <- a$componentsofcovariance; phi <- a$statphi$Phi
  rowphi <- if (levels == 2) c(phi[3], phi[2], phi[1], NA) else c(phi[1], NA, NA)
  data.frame(df = res$Df, SS = res$`Sum Sq`, MS = res$`Mean Sq`, sigma2 = comp$Sigma, percent = comp$`%`,
             phi = rowphi)
}

writetable <- function(t, name) {
  f <- function(v) ifelse(is.na(v), "", sprintf("%.15g", v))
  lines <- c("df,SS,MS,sigma2,percent,phi",
             apply(t, 1, function(r) paste(c(sprintf("%d", as.integer(r[1])), f(r[2:6])), collapse = ",")))
  writeLines(lines, file.path(out, paste0(name, ".amova.csv")))
}

# p-values from the top level down (ade4 lists them from within samples up).
pvalues <- function(a, levels) {
  t <- randtest(a, nrepet = 999)
  if (levels == 2) rev(t$pvalue) else t$pvalue
}

published <- simulate(c(rep(11, 7), rep(10, 11)), rep(1:2, each = 9), 56, c(0.25, 0.12), 0.25)
unbalanced <- simulate(c(4, 9, 6, 3, 12, 5, 8, 2, 7), c(1, 1, 2, 2, 2, 3, 3, 3, 3), 40, c(0.05, 0.05), 0)
writedata(published, "published")
writedata(unbalanced, "unbalanced")

ps <- c()
for (case in list(list(published, "published"), list(unbalanced, "unbalanced"))) {
  d <- case[[1]]; name <- case[[2]]
  for (levels in 2:1) {
    a <- analyse(d$x, d$pop, d$reg, levels)
    writetable(table(a, levels), paste0(name, "-", levels))
    ps <- c(ps, sprintf("%s-%d,%s", name, levels, paste(sprintf("%.15g", pvalues(a, levels)), collapse = ",")))
  }
}
writeLines(ps, file.path(out, "ade4-pvalues.csv"))

# Clone correction by population: the first strain of each band pattern in each population.
d <- published
keep <- !duplicated(paste(d$pop, apply(d$x, 1, paste, collapse = "")))
writetable(table(analyse(d$x[keep, ], d$pop[keep], d$reg[keep], 2), 2), "published-clonecorrected")

# PhiPT of every pair of populations of the unbalanced data, as a square CSV.
d <- unbalanced
pops <- unique(d$pop)
phi <- matrix(0, length(pops), length(pops), dimnames = list(pops, pops))
for (i in seq_along(pops)) for (j in seq_along(pops)) if (i < j) {
  s <- d$pop %in% pops[c(i, j)]
  phi[i, j] <- phi[j, i] <- analyse(d$x[s, ], d$pop[s], d$reg[s], 1)$statphi$Phi[1]
}
write.csv(format(phi, digits = 15), file.path(out, "unbalanced-phipt.csv"), quote = FALSE)
