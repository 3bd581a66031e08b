# Writes meta_reference.tsv: metafor's figures for meta-analyses of 2 x 2
# tables, for test_metaanalysis. Run from this folder:
#   Rscript meta_reference.R
# Data: metafor's dat.bcg as counts (the exposure layout), then 300
# synthetic genotype meta-analyses of 3 to 40 studies under the six genetic
# models (rare effect homozygotes in many: zero cells in the recessive and
# homozygote models), some with small negative studies left out as
# publication bias would.
# Iterative fits are made tight: REML with threshold 1e-13, the Q-profile
# and trim-and-fill's fits likewise; confint with tol 1e-13.
# A set's first line: "set", its name, K, then each study's counts (a b c d
# for the exposure layout; cases with 0, 1, 2 copies, then controls, for
# genotypes). Then a line per model: the model, the figures in the order of
# the header line (NA where metafor gives none), and for every tenth set
# each study's weights (MH, IV, DL, REML, in percent) and leave-one-out OR,
# low, high and I^2 (NA for a study left out). Nine significant digits.
suppressMessages(library(metafor))
set.seed(20260506)

keys <- c("mh_or", "mh_low", "mh_high", "cmh", "cmh_cc", "tarone", "p_tarone", "bd",
          "peto_or", "peto_low", "peto_high", "peto_p",
          "iv_or", "iv_low", "iv_high", "iv_z", "iv_p", "q", "q_p", "i2", "h2",
          "dl_tau2", "dl_or", "dl_low", "dl_high", "dl_z", "dl_p", "dl_pi_low", "dl_pi_high",
          "reml_tau2", "reml_or", "reml_low", "reml_high", "reml_z", "reml_p", "reml_pi_low", "reml_pi_high",
          "reml_i2", "reml_h2", "reml_tau2_low", "reml_tau2_high", "reml_i2_low", "reml_i2_high",
          "reml_h2_low", "reml_h2_high", "hksj_low", "hksj_high", "hksj_p",
          "egger_t", "egger_p", "begg_tau", "begg_p", "tf_k0", "tf_left", "tf_or", "tf_low", "tf_high")
tight <- list(threshold = 1e-13, maxiter = 10000, stepadj = 0.5)
try_or_na <- function(expr, n = 1) tryCatch(expr, error = function(e) rep(NA, n))

figures <- function(tabs) {
  ai <- tabs[, 1]; bi <- tabs[, 2]; ci <- tabs[, 3]; di <- tabs[, 4]
  k <- nrow(tabs)
  out <- setNames(rep(NA_real_, length(keys)), keys)
  m <- try_or_na(suppressWarnings(rma.mh(ai = ai, bi = bi, ci = ci, di = di, measure = "OR", correct = FALSE)))
  if (!identical(m, NA)) {
    out[c("mh_or", "mh_low", "mh_high")] <- exp(c(m$b, m$ci.lb, m$ci.ub))
    out["cmh"] <- m$MH
    out[c("tarone", "p_tarone", "bd")] <- c(if (is.null(m$TA)) NA else m$TA, if (is.null(m$TAp)) NA else m$TAp,
                                            if (is.null(m$BD)) NA else m$BD)
  }
  arr <- array(0, dim = c(2, 2, k))
  for (i in 1:k) arr[, , i] <- matrix(tabs[i, ], 2, 2, byrow = TRUE)
  out["cmh_cc"] <- try_or_na(mantelhaen.test(arr, correct = TRUE)$statistic)
  p <- try_or_na(suppressWarnings(rma.peto(ai = ai, bi = bi, ci = ci, di = di)))
  if (!identical(p, NA))
    out[c("peto_or", "peto_low", "peto_high", "peto_p")] <- c(exp(c(p$b, p$ci.lb, p$ci.ub)), p$pval)
  es <- suppressWarnings(escalc("OR", ai = ai, bi = bi, ci = ci, di = di, drop00 = TRUE))
  ok <- !is.na(es$yi)
  y <- es$yi[ok]; v <- es$vi[ok]
  n <- length(y)
  w <- matrix(NA_real_, k, 8)
  if (n >= 1) {
    fe <- rma(y, v, method = "FE")
    out[c("iv_or", "iv_low", "iv_high", "iv_z", "iv_p")] <- c(exp(c(fe$b, fe$ci.lb, fe$ci.ub)), fe$zval, fe$pval)
    w[ok, 2] <- weights(fe)
    if (!identical(m, NA)) { mw <- weights(m); w[ok, 1] <- mw[ok] / sum(mw[ok]) * 100 }
  }
  if (n >= 2) {
    out[c("q", "q_p", "i2", "h2")] <- c(fe$QE, fe$QEp, fe$I2, fe$H2)
    dl <- rma(y, v, method = "DL")
    pd <- predict(dl)
    out[c("dl_tau2", "dl_or", "dl_low", "dl_high", "dl_z", "dl_p", "dl_pi_low", "dl_pi_high")] <-
      c(dl$tau2, exp(c(dl$b, dl$ci.lb, dl$ci.ub)), dl$zval, dl$pval, exp(c(pd$pi.lb, pd$pi.ub)))
    w[ok, 3] <- weights(dl)
    re <- try_or_na(rma(y, v, method = "REML", control = tight))
    if (!identical(re, NA)) {
      pr <- predict(re)
      out[c("reml_tau2", "reml_or", "reml_low", "reml_high", "reml_z", "reml_p", "reml_pi_low", "reml_pi_high",
            "reml_i2", "reml_h2")] <- c(re$tau2, exp(c(re$b, re$ci.lb, re$ci.ub)), re$zval, re$pval,
                                        exp(c(pr$pi.lb, pr$pi.ub)), re$I2, re$H2)
      w[ok, 4] <- weights(re)
      ci <- try_or_na(suppressWarnings(confint(re, control = list(tol = 1e-13, tau2.max = 1e4))))
      if (!identical(ci, NA)) {
        r <- ci$random
        out[c("reml_tau2_low", "reml_tau2_high", "reml_i2_low", "reml_i2_high", "reml_h2_low", "reml_h2_high")] <-
          c(r["tau^2", 2:3], r["I^2(%)", 2:3], r["H^2", 2:3])
      }
      kn <- rma(y, v, method = "REML", test = "knha", control = tight)
      out[c("hksj_low", "hksj_high", "hksj_p")] <- c(exp(c(kn$ci.lb, kn$ci.ub)), kn$pval)
    }
    l1 <- leave1out(dl)
    w[ok, 5:8] <- cbind(exp(l1$estimate), exp(l1$ci.lb), exp(l1$ci.ub), l1$I2)
  }
  if (n >= 3) {
    eg <- regtest(dl, model = "lm")
    out[c("egger_t", "egger_p")] <- c(eg$zval, eg$pval)
    rk <- suppressWarnings(ranktest(dl))
    out[c("begg_tau", "begg_p")] <- c(rk$tau, rk$pval)
    tf <- try_or_na(trimfill(dl, control = tight))
    if (!identical(tf, NA))
      out[c("tf_k0", "tf_left", "tf_or", "tf_low", "tf_high")] <-
        c(tf$k0, tf$side == "left", exp(c(tf$b, tf$ci.lb, tf$ci.ub)))
  }
  list(out = out, study = as.vector(t(w)))
}

lines <- c()
number <- function(x) ifelse(is.na(x), "NA", formatC(x, digits = 9, format = "g"))
set_line <- function(set, counts) lines <<- c(lines, paste(c("set", set, nrow(counts), as.vector(t(counts))), collapse = "\t"))
emit <- function(model, tabs, per_study) {
  r <- figures(tabs)
  lines <<- c(lines, paste(c(model, number(r$out), if (per_study) number(r$study)), collapse = "\t"))
}

bcg <- cbind(dat.bcg$tpos, dat.bcg$tneg, dat.bcg$cpos, dat.bcg$cneg)
set_line("bcg", bcg)
emit("exposure", bcg, TRUE)

models <- c("allelic", "dominant", "recessive", "overdominant", "heterozygote", "homozygote")
model_table <- function(model, cs, us) {
  switch(model,
    allelic = c(2 * cs[3] + cs[2], 2 * cs[1] + cs[2], 2 * us[3] + us[2], 2 * us[1] + us[2]),
    dominant = c(cs[2] + cs[3], cs[1], us[2] + us[3], us[1]),
    recessive = c(cs[3], cs[1] + cs[2], us[3], us[1] + us[2]),
    overdominant = c(cs[2], cs[1] + cs[3], us[2], us[1] + us[3]),
    heterozygote = c(cs[2], cs[1], us[2], us[1]),
    homozygote = c(cs[3], cs[1], us[3], us[1]))
}
genotypes <- function(n, p, f = 0) {
  probs <- c((1 - p)^2 + f * p * (1 - p), 2 * p * (1 - p) * (1 - f), p^2 + f * p * (1 - p))
  as.vector(rmultinom(1, n, probs))
}
for (s in 1:300) {
  K <- sample(3:40, 1)
  maf <- if (runif(1) < 0.5) runif(1, 0.02, 0.12) else runif(1, 0.12, 0.45)
  logor <- rnorm(1, 0.15, 0.25)
  tau <- sample(c(0, 0.1, 0.3, 0.6), 1)
  biased <- runif(1) < 0.3
  studies <- list()
  while (length(studies) < K) {
    nu <- round(exp(runif(1, log(25), log(1500))))
    nc <- max(5, round(nu * runif(1, 0.5, 1.5)))
    p <- min(0.9, maf * exp(rnorm(1, 0, 0.15)))
    f <- if (runif(1) < 0.1) runif(1, 0.05, 0.2) else 0
    or <- exp(logor + rnorm(1, 0, tau))
    pc <- p * or / (1 - p + p * or)
    us <- genotypes(nu, p, f); cs <- genotypes(nc, pc)
    if (biased && nu + nc < 300 && or < 1 && runif(1) < 0.7) next
    studies[[length(studies) + 1]] <- list(cs = cs, us = us)
  }
  set_line(paste0("g", s), t(sapply(studies, function(st) c(st$cs, st$us))))
  for (model in models) {
    tabs <- t(sapply(studies, function(st) model_table(model, st$cs, st$us)))
    emit(model, tabs, s %% 10 == 0)
  }
}
writeLines(c("# Generated by meta_reference.R; do not edit.", paste(c("#", keys), collapse = "\t"), lines),
           "meta_reference.tsv")
