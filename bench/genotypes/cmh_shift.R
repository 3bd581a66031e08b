# Gives the samples of a simulated PLINK 1 fileset four strata with
# different case shares, and shifts each stratum's allele frequencies by
# turning every A2 copy into A1 (or, for a random half of the SNPs, every A1
# copy into A2) with the stratum's own probability, so that stratum and
# phenotype are confounded and a pooled test misleads; a rare allele made
# rarer leaves some strata monomorphic.
#   Rscript cmh_shift.R PREFIX SEED
# Rewrites PREFIX.bed in place; writes PREFIX.strata (FID_IID stratum, for
# velmora-cli --strata), PREFIX.clst (FID IID stratum, for PLINK --within)
# and PREFIX.pheno (FID_IID phenotype, for the VCF).
args <- commandArgs(trailingOnly = TRUE)
prefix <- args[1]
set.seed(as.integer(args[2]))
names <- c("north", "south", "east", "west")
case_share <- c(0.10, 0.20, 0.30, 0.40)     # of the cases, per stratum
control_share <- c(0.40, 0.30, 0.20, 0.10)  # of the controls
shift <- c(0, 0.05, 0.10, 0.20)             # P(a copy changes allele)

fam <- read.table(paste0(prefix, ".fam"), colClasses = "character")
n <- nrow(fam)
case <- fam$V6 == "2"
stratum <- integer(n)
stratum[case] <- sample(4, sum(case), replace = TRUE, prob = case_share)
stratum[!case] <- sample(4, sum(!case), replace = TRUE, prob = control_share)
ids <- paste0(fam$V1, "_", fam$V2)
write.table(data.frame(ids, names[stratum]), paste0(prefix, ".strata"), quote = FALSE,
            row.names = FALSE, col.names = FALSE)
write.table(data.frame(fam$V1, fam$V2, names[stratum]), paste0(prefix, ".clst"), quote = FALSE,
            row.names = FALSE, col.names = FALSE)
write.table(data.frame(ids, fam$V6), paste0(prefix, ".pheno"), quote = FALSE,
            row.names = FALSE, col.names = FALSE)

snps <- length(readLines(paste0(prefix, ".bim")))
bytes <- ceiling(n / 4)
path <- paste0(prefix, ".bed")
bed <- readBin(path, "raw", 3 + bytes * snps)
body <- matrix(as.integer(bed[-(1:3)]), nrow = bytes)
# Codes: 0 hom A1, 1 missing, 2 het, 3 hom A2. A1 copies by code:
copies_of <- c(2L, NA, 1L, 0L)
code_of <- c(3L, 2L, 0L)
slot <- (seq_len(4 * bytes) - 1L) %% 4L
row_of <- (seq_len(4 * bytes) - 1L) %/% 4L + 1L
p <- c(shift[stratum], rep(0, 4 * bytes - n))
down <- runif(snps) < 0.5
for (from in seq(1, snps, by = 5000)) {
  cols <- from:min(snps, from + 4999)
  block <- body[row_of, cols, drop = FALSE]
  codes <- (block %/% (4L^slot)) %% 4L
  copies <- matrix(copies_of[codes + 1L], nrow = nrow(codes))
  called <- !is.na(copies)
  gain <- matrix(0L, nrow(copies), ncol(copies))
  towards <- matrix(rep(down[cols], each = nrow(copies)), nrow(copies))
  gain[called] <- rbinom(sum(called), ifelse(towards[called], copies[called], 2L - copies[called]),
                         rep(p, ncol(copies))[called])
  copies <- copies + ifelse(towards, -gain, gain)
  codes[called] <- code_of[copies[called] + 1L]
  codes[(seq_len(4 * bytes) > n), ] <- 0L
  packed <- rowsum(codes * (4L^slot), row_of)
  body[, cols] <- packed
}
writeBin(c(bed[1:3], as.raw(body)), path)
