# Writes modelsreference.h: reference figures of the genetic models from R,
# for test_models. Run from this folder:  Rscript models_reference.R
#
# The conditional MLE odds ratio and its exact interval are the roots that
# fisher.test defines (the noncentral hypergeometric mean equal to the
# observed count, and each tail equal to (1 - L) / 2), found here by
# uniroot with tol = 1e-14 in log psi over the whole support; fisher.test
# itself stops at about 1e-4. The log-additive model is glm(binomial) with
# epsilon = 1e-14. Fisher P-values and mid-p come from the whole
# distribution, a table counting when its probability is at most the
# observed one's times 1 + 1e-9 and tying when also at least its times
# 1 - 1e-9. NaN marks a figure that the model does not give.

set.seed(20240523)
tol_tie <- 1e-9

effect_order <- function(cases, controls) {
  first <- 2 * (cases[1] + controls[1]) + cases[2] + controls[2]
  second <- 2 * (cases[3] + controls[3]) + cases[2] + controls[2]
  if (first < second) 3:1 else 1:3
}

exact_p <- function(logp, observed) {
  p <- exp(logp - max(logp)); p <- p / sum(p)
  ratio <- exp(logp - observed)
  counting <- ratio <= 1 + tol_tie
  ties <- counting & ratio >= 1 - tol_tie
  c(sum(p[counting]), sum(p[counting]) - sum(p[ties]) / 2)
}

fisher_2x2 <- function(a, b, c, d) {
  m <- a + c; n <- b + d; k <- a + b
  s <- max(0, k - n):min(k, m)
  exact_p(dhyper(s, m, n, k, log = TRUE), dhyper(a, m, n, k, log = TRUE))
}

lchoose_row <- function(x, tot) sum(lchoose(tot, x))

fisher_2x3 <- function(x, y) {
  tot <- x + y; r <- sum(x); logp <- c()
  for (i in 0:min(tot[1], r)) for (j in 0:min(tot[2], r - i)) {
    l <- r - i - j
    if (l <= tot[3]) logp <- c(logp, lchoose_row(c(i, j, l), tot))
  }
  exact_p(logp, lchoose_row(x, tot))
}

hwe <- function(aa, ab, bb) {
  n <- aa + ab + bb; na <- 2 * aa + ab
  hets <- seq(na %% 2, min(na, 2 * n - na), by = 2)
  logp <- sapply(hets, function(h) {
    a <- (na - h) / 2; b <- n - h - a
    lfactorial(n) - lfactorial(a) - lfactorial(h) - lfactorial(b) + h * log(2)
  })
  a <- (na - ab) / 2
  exact_p(logp, lfactorial(n) - lfactorial(aa) - lfactorial(ab) - lfactorial(bb) + ab * log(2))
}

cmle <- function(a, b, c, d, conf) {
  m <- a + c; n <- b + d; k <- a + b; x <- a
  lo <- max(0, k - n); hi <- min(k, m); s <- lo:hi
  ld <- dhyper(s, m, n, k, log = TRUE)
  dens <- function(t) { v <- ld + t * s; v <- exp(v - max(v)); v / sum(v) }
  alpha <- (1 - conf) / 2
  solve <- function(f) exp(uniroot(f, c(-30, 30), tol = 1e-14, extendInt = "upX", maxiter = 10000)$root)
  c(if (x == lo) 0 else if (x == hi) Inf else solve(function(t) sum(s * dens(t)) - x),
    if (x == lo) 0 else solve(function(t) sum(dens(t)[s >= x]) - alpha),
    if (x == hi) Inf else solve(function(t) alpha - sum(dens(t)[s <= x])))
}

woolf <- function(a, b, c, d, conf) {
  h <- if (min(a, b, c, d) == 0) 0.5 else 0
  a <- a + h; b <- b + h; c <- c + h; d <- d + h
  l <- log(a * d / (b * c)); se <- sqrt(1 / a + 1 / b + 1 / c + 1 / d); z <- qnorm(1 - (1 - conf) / 2)
  exp(c(l, l - z * se, l + z * se))
}

two_by_two <- function(a, b, c, d, conf, with_p) {
  if (a + c == 0 || b + d == 0) return(rep(NaN, if (with_p) 9 else 3))
  cm <- cmle(a, b, c, d, conf)
  if (!with_p) return(cm)
  chi <- suppressWarnings(chisq.test(matrix(c(a, c, b, d), 2), correct = FALSE)$p.value)
  c(chi, fisher_2x2(a, b, c, d), woolf(a, b, c, d, conf), cm)
}

log_additive <- function(cs, us, conf) {
  g <- 0:2; keep <- cs + us > 0
  if (sum(keep) < 2) return(rep(NaN, 4))
  fit <- suppressWarnings(glm(cbind(cs, us)[keep, , drop = FALSE] ~ g[keep], family = binomial,
                              control = glm.control(epsilon = 1e-14, maxit = 1000)))
  p <- pchisq(fit$null.deviance - fit$deviance, 1, lower.tail = FALSE)
  case_g <- g[cs > 0]; control_g <- g[us > 0]
  if (min(case_g) >= max(control_g)) return(c(Inf, NaN, NaN, p))
  if (max(case_g) <= min(control_g)) return(c(0, NaN, NaN, p))
  b <- coef(fit)[2]; se <- sqrt(vcov(fit)[2, 2]); z <- qnorm(1 - (1 - conf) / 2)
  c(exp(b), exp(b - z * se), exp(b + z * se), p)
}

figures <- function(block_cases, block_controls, conf, with_p) {
  o <- effect_order(block_cases, block_controls)
  cs <- block_cases[o]; us <- block_controls[o]
  models <- list(c(2 * cs[3] + cs[2], 2 * cs[1] + cs[2], 2 * us[3] + us[2], 2 * us[1] + us[2]),
                 c(cs[2] + cs[3], cs[1], us[2] + us[3], us[1]),
                 c(cs[3], cs[1] + cs[2], us[3], us[1] + us[2]),
                 c(cs[2], cs[1] + cs[3], us[2], us[1] + us[3]))
  out <- c()
  for (t in models) out <- c(out, two_by_two(t[1], t[2], t[3], t[4], conf, with_p))
  out <- c(out, log_additive(cs, us, conf))
  if (!with_p) return(out)
  # An empty genotype column: the 2 x 2 of the other two (chisq.test takes
  # its df from the columns kept; the 2 x 3 sum runs over the empty one).
  keep <- cs + us > 0
  geno <- if (sum(keep) < 2) rep(NaN, 3) else
    c(suppressWarnings(chisq.test(rbind(cs, us)[, keep], correct = FALSE)$p.value), fisher_2x3(cs, us))
  trend <- if (sum(cs + us > 0) < 2) NaN else
    suppressWarnings(prop.trend.test(cs, cs + us, score = 0:2)$p.value)
  codom <- c()
  for (j in 2:3) codom <- c(codom, if (cs[j] + us[j] == 0 || cs[1] + us[1] == 0) rep(NaN, 3) else
    woolf(cs[j], cs[1], us[j], us[1], conf))
  c(out, geno, trend, codom, hwe(us[1], us[2], us[3]))
}

valid <- function(cs, us) {
  sum(cs) > 0 && sum(us) > 0 && 2 * (cs[1] + us[1]) + cs[2] + us[2] > 0 &&
    2 * (cs[3] + us[3]) + cs[2] + us[2] > 0
}

# Tables: hand-picked edges, then tiny ones full of zeros, then case/control
# samples of 20 to 6,000 individuals with some association.
random_table <- function(i) {
  repeat {
    if (i %% 3 == 0) {
      top <- sample(c(1, 3, 6, 12), 1)
      cs <- sample(0:top, 3, replace = TRUE); us <- sample(0:top, 3, replace = TRUE)
      zero <- sample(1:6, sample(0:2, 1)); v <- c(cs, us); v[zero] <- 0; cs <- v[1:3]; us <- v[4:6]
    } else {
      n <- sample(c(10, 40, 150, 600, 3000), 1)
      q <- runif(1, 0.01, 0.6); shift <- runif(1, -0.1, 0.1)
      qc <- min(max(q + shift, 0.005), 0.99)
      cs <- as.vector(rmultinom(1, n, c(qc^2, 2 * qc * (1 - qc), (1 - qc)^2)))
      us <- as.vector(rmultinom(1, n + sample(-5:5, 1) * n %/% 10, c(q^2, 2 * q * (1 - q), (1 - q)^2)))
      if (runif(1) < 0.5) { cs <- rev(cs); us <- rev(us) }
    }
    if (valid(cs, us)) return(c(cs, us))
  }
}

edges <- list(c(51, 43, 0, 22, 92, 0), c(10, 10, 0, 10, 10, 0), c(0, 10, 5, 7, 3, 0),
              c(5, 0, 0, 0, 0, 5), c(0, 4, 0, 0, 6, 0), c(3, 0, 4, 2, 0, 5), c(0, 0, 9, 4, 2, 0),
              c(106, 429, 465, 104, 443, 453), c(0, 47, 953, 1, 70, 929), c(1, 1, 1, 1, 1, 1),
              c(0, 2, 3, 3, 2, 0), c(2, 0, 0, 0, 1, 1), c(1, 0, 0, 0, 0, 1), c(40, 1, 0, 0, 1, 40))

write_table <- function(name, tables, with_p) {
  cat(sprintf("inline const ModelsReference %s[] = {\n", name))
  for (t in tables) {
    conf <- t$conf
    v <- figures(t$counts[1:3], t$counts[4:6], conf, with_p)
    num <- ifelse(is.nan(v), "kNone", ifelse(is.infinite(v), "kInf", sprintf("%.10g", v)))
    cat(sprintf("    {{%s}, %s, {%s}},\n", paste(t$counts, collapse = ", "), conf, paste(num, collapse = ", ")))
  }
  cat("};\n\n")
}

main_tables <- c(lapply(edges, function(x) list(counts = x, conf = 0.95)),
                 lapply(1:226, function(i) list(counts = random_table(i),
                                                conf = c(0.95, 0.95, 0.9, 0.99)[i %% 4 + 1])))
p_tables <- c(lapply(edges, function(x) list(counts = x, conf = 0.95)),
              lapply(1:46, function(i) list(counts = random_table(i * 7), conf = 0.95)))
# The 2 x 3 enumeration of the exact P grows with n^2: keep those tables small.
p_tables <- Filter(function(t) sum(t$counts) <= 2500, p_tables)

sink("modelsreference.h")
cat("// Generated by models_reference.R (R ", R.version$major, ".", R.version$minor,
    "); do not edit.\n", sep = "")
cat("// Block counts (cases then controls), level, then the figures (see the script).\n")
cat("#pragma once\n\n#include <limits>\n\nstruct ModelsReference\n{\n    int counts[6];\n    double conf;\n",
    "    double values[52];\n};\n\n", sep = "")
cat("constexpr double kNone = std::numeric_limits<double>::quiet_NaN();\n")
cat("constexpr double kInf = std::numeric_limits<double>::infinity();\n\n")
cat("// values: the conditional MLE, low, high of the allelic, dominant, recessive and overdominant\n")
cat("// models, then the log-additive OR, low, high, P (16 values).\n")
write_table("kOddsRatioReferences", main_tables, FALSE)
cat("// values: per 2 x 2 model (as above) P chi2, P exact, mid-p, Woolf OR, low, high, conditional\n")
cat("// MLE, low, high (36); log-additive OR, low, high, P; genotypic P chi2, P exact, mid-p; trend P;\n")
cat("// codominant 1 vs 0 and 2 vs 0, each Woolf OR, low, high; Hardy-Weinberg P, mid-p in controls.\n")
write_table("kPValueReferences", p_tables, TRUE)
sink()
