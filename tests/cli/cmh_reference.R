# Writes cmhreference.h: reference figures of the stratified tests, for
# test_cmh. Run from this folder:
#   Rscript cmh_reference.R DIR
# DIR holds the files of bench/genotypes/make_cmh_data.sh and, for 300 of
# its SNPs (those in pick.txt), their genotypes as PLINK 1.9 recodes them
# (plink1.9 --bfile sim --extract pick.txt --recode A --out pick: copies of
# PLINK's A1) and PLINK 1.9's own figures (plink1.9 --bfile sim --bd
# --within sim.clst --ci 0.95 --out pbd). Besides those, 200 sparse
# tables, K = 2 to 10 strata of 2 to 40 each with many zero cells, at
# levels 0.9, 0.95 and 0.99.
#
# Figures: mantelhaen.test(correct = FALSE) (CMH chi-squared and P, the
# Mantel-Haenszel OR and its Robins-Breslow-Greenland interval) and
# (correct = TRUE); metafor's rma.mh for Breslow-Day and Tarone; the exact
# P of mantelhaen.test(exact = TRUE). The conditional MLE and its exact
# interval are the roots that mantelhaen.test(exact = TRUE) defines (the
# mean of the sum of the first cells equal to the observed sum; each tail
# equal to (1 - L) / 2), found by uniroot with tol = 1e-14 in log psi on the
# whole distribution, since R's own roots stop near 1e-4. Only the strata
# with cases, controls and both sides go to R: the others add nothing.
suppressMessages(library(metafor))
args <- commandArgs(trailingOnly = TRUE)
dir <- args[1]
set.seed(20261209)

informative <- function(t) t[, 1] + t[, 2] > 0 & t[, 3] + t[, 4] > 0 & t[, 1] + t[, 3] > 0 & t[, 2] + t[, 4] > 0

# The distribution of the sum of the first cells, as log weights on its support.
sum_distribution <- function(t) {
  logw <- 0; lo <- 0
  for (i in seq_len(nrow(t))) {
    m <- t[i, 1] + t[i, 2]; n <- t[i, 3] + t[i, 4]; k <- t[i, 1] + t[i, 3]
    s <- max(0, k - n):min(k, m)
    ld <- dhyper(s, m, n, k, log = TRUE)
    top <- max(logw) + max(ld)
    a <- exp(logw - max(logw)); b <- exp(ld - max(ld))
    out <- rep(0, length(a) + length(b) - 1)
    for (j in seq_along(b)) {
      idx <- j:(j + length(a) - 1)
      out[idx] <- out[idx] + a * b[j]
    }
    logw <- log(out) + top
    lo <- lo + min(s)
  }
  list(support = lo + seq_along(logw) - 1, logw = logw)
}

exact_figures <- function(t, conf) {
  d <- sum_distribution(t)
  s <- d$support; x <- sum(t[, 1])
  w0 <- exp(d$logw - max(d$logw)); w0 <- w0 / sum(w0)
  p <- sum(w0[w0 <= w0[s == x] * (1 + 1e-7)])
  dens <- function(theta) { v <- d$logw + theta * s; v <- exp(v - max(v)); v / sum(v) }
  alpha <- (1 - conf) / 2
  solve <- function(f) exp(uniroot(f, c(-40, 40), tol = 1e-14, extendInt = "upX", maxiter = 10000)$root)
  lo <- min(s); hi <- max(s)
  c(if (x == lo) 0 else if (x == hi) Inf else solve(function(th) sum(s * dens(th)) - x),
    if (x == lo) 0 else solve(function(th) sum(dens(th)[s >= x]) - alpha),
    if (x == hi) Inf else solve(function(th) alpha - sum(dens(th)[s <= x])),
    min(1, p))
}

figures <- function(t, conf) {
  u <- t[informative(t), , drop = FALSE]
  x <- array(t(u)[c(1, 3, 2, 4), ], dim = c(2, 2, nrow(u)))
  plain <- mantelhaen.test(x, correct = FALSE, conf.level = conf)
  yates <- mantelhaen.test(x, correct = TRUE)
  exact <- mantelhaen.test(x, exact = TRUE)
  mine <- exact_figures(u, conf)
  if (abs(mine[4] - exact$p.value) > 1e-9 * max(exact$p.value, 1e-300))
    stop("exact P: ", mine[4], " against mantelhaen.test's ", exact$p.value)
  mh <- rma.mh(ai = u[, 1], bi = u[, 2], ci = u[, 3], di = u[, 4], level = 100 * conf)
  c(plain$statistic, plain$p.value, yates$statistic, yates$p.value, plain$estimate, plain$conf.int,
    mh$BD, mh$BDp, mh$TA, mh$TAp, nrow(u) - 1, mine[1:3], exact$p.value)
}

num <- function(v) ifelse(is.na(v), "kNone", ifelse(is.infinite(v), "kInf", formatC(v, digits = 12, format = "g")))

rows <- c()
add <- function(name, t, conf, plink = NULL) {
  f <- figures(t, conf)
  cells <- paste0("{", apply(t, 1, paste, collapse = ", "), "}", collapse = ", ")
  peer <- if (is.null(plink)) "{}" else paste0("{", paste0("\"", plink, "\"", collapse = ", "), "}")
  rows <<- c(rows, sprintf("    {\"%s\", %g, %d, {%s}, {%s}, %s},", name, conf, nrow(t), cells,
                           paste(num(f), collapse = ", "), peer))
}

# The simulated SNPs: per stratum (in the order of sim.strata), cases then
# controls, copies of PLINK's A1 and of A2.
strata <- read.table(file.path(dir, "sim.strata"), colClasses = "character")
order <- unique(strata$V2)
raw <- read.table(file.path(dir, "pick.raw"), header = TRUE, colClasses = "character", check.names = FALSE)
cmh <- read.table(file.path(dir, "pbd.cmh"), header = TRUE, colClasses = "character")
stratum <- match(strata$V2[match(paste0(raw$FID, "_", raw$IID), strata$V1)], order)
for (column in 7:ncol(raw)) {
  snp <- sub("_[^_]*$", "", names(raw)[column])
  a1 <- sub("^.*_", "", names(raw)[column])
  peer <- cmh[cmh$SNP == snp, ]
  if (peer$A1 != a1) stop("A1 of ", snp)
  g <- suppressWarnings(as.integer(raw[[column]]))
  t <- matrix(0L, length(order), 4)
  for (k in seq_along(order)) {
    for (side in 0:1) {
      calls <- g[stratum == k & raw$PHENOTYPE == c("2", "1")[side + 1] & !is.na(g)]
      t[k, 2 * side + 1] <- sum(calls); t[k, 2 * side + 2] <- 2L * length(calls) - sum(calls)
    }
  }
  add(snp, t, 0.95, c(peer$CHISQ, peer$P, peer$OR, peer$L95, peer$U95, peer$CHISQ_BD, peer$P_BD))
}

# Sparse tables: small strata, rare exposure, some strata without cases,
# controls or the tested side; at least two strata inform.
made <- 0
while (made < 200) {
  K <- sample(2:10, 1)
  size <- sample(2:40, K, replace = TRUE)
  cases <- rbinom(K, size, runif(K, 0.2, 0.8))
  rate <- runif(1, 0.01, 0.3)
  odds <- exp(rnorm(1, 0, 1))
  pc <- rate * odds / (1 - rate + rate * odds)
  a <- rbinom(K, cases, pc); c <- rbinom(K, size - cases, rate)
  t <- cbind(a, cases - a, c, size - cases - c)
  if (sum(informative(t)) < 2) next
  made <- made + 1
  add(sprintf("sparse %d", made), t, c(0.95, 0.9, 0.99)[made %% 3 + 1])
}

header <- c(
  sprintf("// Generated by cmh_reference.R (%s, metafor %s); do not edit.", R.version.string, packageVersion("metafor")),
  "// Name, level, strata, the tables (a, b, c, d per stratum), then: CMH chi2, P, chi2 and P",
  "// with R's continuity correction, MH OR, low, high, Breslow-Day chi2, P, Tarone chi2, P, df,",
  "// the conditional MLE, low, high, exact P; and PLINK 1.9's CHISQ, P, OR, L95, U95, CHISQ_BD,",
  "// P_BD as printed (none for the sparse tables).",
  "#pragma once", "", "#include <limits>", "",
  "struct CmhReference", "{", "    const char *name;", "    double conf;", "    int strata;",
  "    int tables[10][4];", "    double values[16];", "    const char *plink[7];", "};", "",
  "constexpr double kNone = std::numeric_limits<double>::quiet_NaN();",
  "constexpr double kInf = std::numeric_limits<double>::infinity();", "",
  "inline const CmhReference kCmhReferences[] = {")
writeLines(c(header, rows, "};"), "cmhreference.h")
