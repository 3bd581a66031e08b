# R's Monte Carlo P-values on the tables that bench_montecarlo (BM_BesideR)
# and cli_speed.sh time velmora-cli on: one thread, B = 1,000,000. R has no
# exact-sampler Hardy-Weinberg test, so only the chi-squared and Fisher
# tables. Prints the elapsed seconds and R's P-value of each.
#
# usage: Rscript bench/montecarlo/r_speed.R [TABLES_DIR]
args <- commandArgs(trailingOnly = TRUE)
dir <- if (length(args) > 0) args[1] else file.path("bench", "montecarlo", "tables")
chi <- as.matrix(read.table(file.path(dir, "chi2-10x10.tsv")))
fisher <- as.matrix(read.table(file.path(dir, "fisher-2x30.tsv")))
set.seed(20240601)
t <- system.time(r <- chisq.test(chi, simulate.p.value = TRUE, B = 1e6))
cat(sprintf("%6.2f s  R chisq.test 10 x 10, n = %d: P = %.6g\n", t[["elapsed"]], sum(chi), r$p.value))
t <- system.time(r <- fisher.test(fisher, simulate.p.value = TRUE, B = 1e6))
cat(sprintf("%6.2f s  R fisher.test 2 x 30, n = %d: P = %.6g\n", t[["elapsed"]], sum(fisher), r$p.value))
