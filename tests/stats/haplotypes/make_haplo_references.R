# The reference numbers of test_haplotypes: simulated candidate regions and
# what R's haplo.stats makes of them. Run from this folder with
#   Rscript make_haplo_references.R
# It writes data/haplo_region-N.txt (the genotypes) and data/haplo_references.txt.
# Made with haplo.stats 1.9.3; the test reads the stored files only.
suppressMessages(library(haplo.stats))

# Haplotypes of `loci` SNPs with LD: a few founders, copied with rare
# changes, drawn with unequal frequencies; cases carry founder 2 more often.
simulate <- function(seed, loci, cases, controls, founders, missing, effect) {
  set.seed(seed)
  base <- matrix(rbinom(founders * loci, 1, 0.5), founders, loci)
  freq <- rev(sort(rexp(founders)))
  freq <- freq / sum(freq)
  draw <- function(n, f) {
    h <- base[sample(founders, n, TRUE, f), , drop = FALSE]
    (h + matrix(rbinom(n * loci, 1, 0.004), n, loci)) %% 2
  }
  fcase <- freq
  fcase[2] <- fcase[2] * effect
  fcase <- fcase / sum(fcase)
  n <- cases + controls
  h1 <- rbind(draw(cases, fcase), draw(controls, freq))
  h2 <- rbind(draw(cases, fcase), draw(controls, freq))
  g <- h1 + h2
  g[matrix(runif(n * loci) < missing, n, loci)] <- NA
  list(g = g, y = c(rep(1, cases), rep(0, controls)))
}

regions <- list(
  list(seed = 11, loci = 5, cases = 200, controls = 200, founders = 6, missing = 0, effect = 2.0),
  list(seed = 12, loci = 7, cases = 250, controls = 250, founders = 8, missing = 0.03, effect = 1.6),
  list(seed = 13, loci = 10, cases = 300, controls = 300, founders = 10, missing = 0.02, effect = 1.8),
  list(seed = 14, loci = 8, cases = 150, controls = 250, founders = 9, missing = 0.01, effect = 1.0),
  list(seed = 15, loci = 6, cases = 120, controls = 180, founders = 12, missing = 0.05, effect = 1.4))

# haplo.em's allele columns: allele 1 and 2 per locus, 0 for missing.
alleleColumns <- function(g) {
  out <- matrix(0, nrow(g), 2 * ncol(g))
  for (j in seq_len(ncol(g))) {
    out[, 2 * j - 1] <- ifelse(is.na(g[, j]), 0, ifelse(g[, j] == 2, 2, 1))
    out[, 2 * j] <- ifelse(is.na(g[, j]), 0, ifelse(g[, j] >= 1, 2, 1))
  }
  out
}

# Two runs of haplo.em, 20 tries each and converged to 1e-12: "progressive"
# with its default insertion (batches of 6 loci, pairs below a posterior of
# 1e-9 trimmed), "full" with every locus at once and nothing trimmed.
controls <- function(loci) list(
  progressive = haplo.em.control(n.try = 20, tol = 1e-12, max.iter = 100000),
  full = haplo.em.control(n.try = 20, tol = 1e-12, max.iter = 100000, insert.batch.size = loci,
                          min.posterior = 0))
hapText <- function(e) apply(e$haplotype, 1, function(r) paste(r, collapse = ""))
out <- file("data/haplo_references.txt", "w")
for (r in seq_along(regions)) {
  s <- regions[[r]]
  sim <- simulate(s$seed, s$loci, s$cases, s$controls, s$founders, s$missing, s$effect)
  codes <- ifelse(is.na(sim$g), 9, sim$g)
  writeLines(paste(sim$y, apply(codes, 1, paste, collapse = "")), sprintf("data/haplo_region-%d.txt", r))
  geno <- alleleColumns(sim$g)
  cat(sprintf("region %d loci %d\n", r, s$loci), file = out)
  for (k in names(controls(s$loci))) {
    control <- controls(s$loci)[[k]]
    fits <- list(all = haplo.em(geno, control = control),
                 cases = haplo.em(geno[sim$y == 1, ], control = control),
                 controls = haplo.em(geno[sim$y == 0, ], control = control))
    cat(sprintf("fit %s lnlike %.10f %.10f %.10f\n", k, fits$all$lnlike, fits$cases$lnlike,
                fits$controls$lnlike), file = out)
    for (g in names(fits)) {
      e <- fits[[g]]
      keep <- e$hap.prob >= 1e-6
      cat(sprintf("freq %s %s %s %.10f\n", k, g, hapText(e)[keep], e$hap.prob[keep]), sep = "", file = out)
    }
  }
  sc <- haplo.score(sim$y, geno, trait.type = "binomial", skip.haplo = 0.01, min.count = 0,
                    em.control = controls(s$loci)$full)
  hs <- apply(sc$haplotype, 1, function(r) paste(r, collapse = ""))
  cat(sprintf("score %s %.8f\n", hs, sc$score.haplo), sep = "", file = out)
  cat(sprintf("global %.8f %d %.8f\n", sc$score.global, sc$df, sc$score.global.p), file = out)
}
close(out)
