# Remakes the reference values of the ordination tests (golden.txt) from R:
# stats cmdscale, ape pcoa and vegan mantel. Needs R with the ape and vegan
# packages (Debian: r-base-core, r-cran-ape, r-cran-vegan); the tests
# themselves do not. Run from this folder:  Rscript golden.R
# The two tables are made here too when they are missing.
write_table <- function(d, path) {
  lines <- vapply(seq_len(nrow(d)), function(i)
    paste(c(rownames(d)[i], sprintf("%.17g", d[i, ])), collapse = " "), "")
  writeLines(lines, path)
}
read_table <- function(path) {
  d <- as.matrix(read.table(path, row.names = 1))
  colnames(d) <- rownames(d)
  d
}

if (!file.exists("bands9.txt")) {
  # Dice distances of 9 strains on 16 bands: not Euclidean.
  set.seed(15)
  x <- matrix(runif(9 * 16) < 0.4, 9, 16)
  shared <- x %*% t(x)
  count <- rowSums(x)
  d <- 1 - 2 * shared / outer(count, count, "+")
  rownames(d) <- colnames(d) <- sprintf("S%d", 1:9)
  write_table(d, "bands9.txt")
  # Euclidean distances of points in the plane, the same strains in another order.
  p <- matrix(runif(9 * 2), 9, 2)
  g <- as.matrix(dist(p))
  names <- sprintf("S%d", c(4, 9, 1, 7, 2, 8, 5, 3, 6))
  rownames(g) <- colnames(g) <- names
  write_table(g, "plane9.txt")
}

bands <- read_table("bands9.txt")
plane <- read_table("plane9.txt")
n <- nrow(bands)
out <- character()
put <- function(key, values) out <<- c(out, paste(c(key, sprintf("%.17g", values)), collapse = " "))

for (case in list(list("bands", bands), list("plane", plane))) {
  d <- case[[2]]
  all <- cmdscale(d, k = n - 1, eig = TRUE)
  put(paste0(case[[1]], ".eigenvalues"), all$eig)
  two <- cmdscale(d, k = 2, eig = TRUE)
  put(paste0(case[[1]], ".points2"), t(two$points))  # row order
  put(paste0(case[[1]], ".gof2"), two$GOF[2])
}
for (correction in c("lingoes", "cailliez")) {
  p <- ape::pcoa(bands, correction = correction)
  put(paste0(correction, ".eigenvalues"), p$values$Corr_eig)
  put(paste0(correction, ".shares"), p$values$Rel_corr_eig)
  put(paste0(correction, ".axes"), ncol(p$vectors.cor))
  put(paste0(correction, ".coordinates"), t(p$vectors.cor))
}
# The correction constants, computed as ape's pcoa computes them.
centre <- function(m) { j <- diag(n) - 1 / n; j %*% m %*% j }
delta1 <- centre(-0.5 * bands^2)
put("lingoes.constant", -min(eigen(delta1, symmetric = TRUE)$values))
big <- rbind(cbind(matrix(0, n, n), 2 * delta1), cbind(-diag(n), -4 * centre(-0.5 * bands)))
put("cailliez.constant", max(Re(eigen(big, only.values = TRUE)$values)))
plane_in_bands_order <- plane[rownames(bands), rownames(bands)]
for (method in c("pearson", "spearman")) {
  m <- vegan::mantel(as.dist(bands), as.dist(plane_in_bands_order), method = method, permutations = 0)
  put(paste0("mantel.", method), m$statistic)
}
writeLines(out, "golden.txt")
