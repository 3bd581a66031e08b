# Writes the many-allele fixtures of exact_limit.sh into data/ (run from this
# folder once: Rscript many_alleles_data.R; then bgzip the first two):
# the microsatellite loci of adegenet's microbov (704 cattle, 30 loci of 5
# to 22 alleles) and nancycats (237 cats, 9 loci of 8 to 18) as VCF 4.2,
# allele k of a locus written as a distinct base string, a missing genotype
# as ./.; and alleles28.vcf, five variants of 28 alleles among 20 samples
# (12 alleles of two copies, 16 of one, paired at random).
suppressMessages(library(adegenet))
code <- function(k) {  # 0-based index -> distinct base string
  bases <- c("A", "C", "G", "T"); s <- ""; len <- 1; first <- 0
  while (k >= first + 4^len) { first <- first + 4^len; len <- len + 1 }
  k <- k - first
  for (i in seq_len(len)) { s <- paste0(bases[(k %% 4) + 1], s); k <- k %/% 4 }
  s
}
header <- function(con, chrom, samples) {
  cat("##fileformat=VCFv4.2\n", sprintf("##contig=<ID=%s>\n", chrom),
      "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n", sep = "", file = con)
  cat(paste(c("#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO", "FORMAT", samples), collapse = "\t"),
      "\n", sep = "", file = con)
}
record <- function(con, chrom, pos, id, k, gts) {
  alleles <- sapply(0:(k - 1), code)
  cat(paste(c(chrom, pos, id, alleles[1], paste(alleles[-1], collapse = ","), ".", "PASS", ".", "GT", gts),
            collapse = "\t"), "\n", sep = "", file = con)
}
write_genind <- function(x, file, chrom) {
  con <- file(file, "w"); header(con, chrom, indNames(x))
  tab <- tab(x); fac <- locFac(x)
  for (li in seq_len(nLoc(x))) {
    cols <- which(fac == locNames(x)[li])
    gts <- apply(tab[, cols, drop = FALSE], 1, function(r) {
      if (any(is.na(r))) return("./.")
      idx <- which(r > 0) - 1
      if (length(idx) == 1) paste0(idx, "/", idx) else paste0(idx[1], "/", idx[2])
    })
    record(con, chrom, li * 1000, locNames(x)[li], length(cols), gts)
  }
  close(con)
}
data(microbov); data(nancycats)
write_genind(microbov, "data/microbov.vcf", "bov")
write_genind(nancycats, "data/nancycats.vcf", "cat")
con <- file("data/alleles28.vcf", "w"); header(con, "1", paste0("S", 1:20))
for (v in 1:5) {
  set.seed(v)
  copies <- sample(c(rep(0:11, each = 2), 12:27))
  record(con, "1", v * 100, paste0("v", v), 28, paste0(copies[c(TRUE, FALSE)], "/", copies[c(FALSE, TRUE)]))
}
close(con)
