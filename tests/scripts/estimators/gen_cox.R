# Reference values for cox.do: the data (cox1.csv: 160 subjects with tied
# integer times, censoring, three covariates, two strata, 20 clusters and
# frequency weights) and ref_cox.do, `chk` lines against survival::coxph.
# The per-subject references (martingale residuals, baseline cumulative
# hazard at covariates zero, Schoenfeld residuals) are columns of cox1.csv.
# Robust and cluster variances are scaled by N/(N-1) and G/(G-1), the
# factor the shared sandwich applies. Run with Rscript from this folder.
library(survival)
set.seed(11)
n <- 160
q <- function(a) round(a * 64) / 64
x1 <- q(rnorm(n))
x2 <- as.numeric(runif(n) < 0.4)
x3 <- q(runif(n, 1, 3))
s <- as.numeric(runif(n) < 0.5)
cl <- rep(1:20, each = 8)
fw <- sample(1:3, n, replace = TRUE)
rate <- exp(0.6 * x1 - 0.8 * x2 + 0.3 * x3 + 0.4 * s) / 10
tt <- rexp(n, rate)
cen <- rexp(n, 1 / 15)
time <- pmax(1, ceiling(pmin(tt, cen)))
dead <- as.numeric(tt <= cen)
dat <- data.frame(id = 1:n, time = time, dead = dead, x1 = x1, x2 = x2, x3 = x3, s = s, cl = cl, fw = fw)
ctl <- coxph.control(eps = 1e-12, toler.chol = 1e-15, iter.max = 100)
fb <- coxph(Surv(time, dead) ~ x1 + x2 + x3, data = dat, ties = "breslow", control = ctl)
fe <- coxph(Surv(time, dead) ~ x1 + x2 + x3, data = dat, ties = "efron", control = ctl)
fs <- coxph(Surv(time, dead) ~ x1 + x2 + x3 + strata(s), data = dat, ties = "efron", control = ctl)
fr <- coxph(Surv(time, dead) ~ x1 + x2 + x3, data = dat, ties = "breslow", robust = TRUE, control = ctl)
fc <- coxph(Surv(time, dead) ~ x1 + x2 + x3 + cluster(cl), data = dat, ties = "efron", control = ctl)
fw1 <- coxph(Surv(time, dead) ~ x1 + x2 + x3, data = dat, ties = "breslow", weights = fw, control = ctl)
L <- c()
co <- function(f, tag, vscale = 1) {
  b <- coef(f); se <- sqrt(diag(vcov(f)) * vscale)
  for (j in seq_along(b)) L <<- c(L, sprintf("_b[%s] %.17g 1e-6 %s", names(b)[j], b[j], tag),
                                   sprintf("_se[%s] %.17g 1e-6 %s", names(b)[j], se[j], tag))
}
ll <- function(f, tag) L <<- c(L, sprintf("e(ll) %.17g 1e-8 %s", f$loglik[2], tag),
                                sprintf("e(ll_0) %.17g 1e-8 %s", f$loglik[1], tag))
co(fb, "breslow"); ll(fb, "breslow")
co(fe, "efron"); ll(fe, "efron")
co(fs, "strata"); ll(fs, "strata")
co(fr, "robust", n / (n - 1))
co(fc, "cluster", 20 / 19)
co(fw1, "fweight"); ll(fw1, "fweight")
# Per-subject references.
dat$mg_b <- residuals(fb, type = "martingale")
dat$mg_e <- residuals(fe, type = "martingale")
dat$mg_s <- residuals(fs, type = "martingale")
bh <- function(f, strat = NULL) {
  h <- basehaz(f, centered = FALSE)
  if (is.null(strat)) return(sapply(dat$time, function(t) max(c(0, h$hazard[h$time <= t]))))
  sapply(seq_len(n), function(i) {
    hs <- h[h$strata == paste0("s=", dat$s[i]), ]
    max(c(0, hs$hazard[hs$time <= dat$time[i]]))
  })
}
dat$h0_b <- bh(fb)
dat$h0_e <- bh(fe)
dat$h0_s <- bh(fs, TRUE)
sc <- residuals(fe, type = "schoenfeld")
dat$sc1_e <- NA; dat$sc3_e <- NA
dat$sc1_e[dat$dead == 1] <- sc[, 1][order(order(dat$time[dat$dead == 1]))]
# Schoenfeld residuals come in time order; put them back by subject.
o <- order(dat$time[dat$dead == 1], decreasing = FALSE)
tmp <- rep(NA, sum(dat$dead)); tmp[o] <- sc[, 1]; dat$sc1_e[dat$dead == 1] <- tmp
tmp <- rep(NA, sum(dat$dead)); tmp[o] <- sc[, 3]; dat$sc3_e[dat$dead == 1] <- tmp
# The test of proportional hazards (identity and log time) from the
# Schoenfeld residuals and the model variance.
ph <- function(f, g) {
  r <- residuals(f, type = "schoenfeld"); V <- f$var; D <- nrow(r)
  gt <- g(as.numeric(rownames(r))); gt <- gt - mean(gt)
  u <- colSums(gt * r); Vu <- V %*% u
  list(glob = D * sum(u * Vu) / sum(gt^2), each = D * Vu^2 / (diag(V) * sum(gt^2)))
}
for (tr in c("identity", "log")) {
  p <- ph(fe, if (tr == "log") log else identity)
  L <- c(L, sprintf("r(chi2) %.17g 1e-6 ph_%s", p$glob, tr))
  for (j in 1:3) L <- c(L, sprintf("el(r(phtest),%d,2) %.17g 1e-6 ph_%s", j, p$each[j], tr))
}
write.csv(dat, "cox1.csv", row.names = FALSE, quote = FALSE, na = "")
# One program per fit: ref_cox TAG checks the lines of that tag.
tags <- unique(sapply(strsplit(L, " "), function(a) a[4]))
out <- c("* Written by gen_cox.R: reference values from survival::coxph. Do not edit.")
for (tg in tags) {
  li <- L[sapply(strsplit(L, " "), function(a) a[4]) == tg]
  out <- c(out, paste0("program define ref_cox_", tg), paste0("\tchk ", sub(" [^ ]+$", "", li)), "end")
}
writeLines(out, "ref_cox.do")
