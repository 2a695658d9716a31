# Reference values for the time-varying coefficients and the exact partial
# likelihood in cox.do: `chk` programs in ref_coxtv.do from survival::coxph
# on the data of cox1.csv (made by gen_cox.R), tt() for the covariates
# whose coefficient varies with time (covariate times g(t) at each failure
# time), ties = "exact" for the exact partial likelihood. Run with Rscript
# from this folder.
library(survival)
dat <- read.csv("cox1.csv")
ctl <- coxph.control(eps = 1e-12, toler.chol = 1e-15, iter.max = 100)
out <- c("* Written by gen_coxtv.R: reference values from survival::coxph. Do not edit.")
chk <- function(prog, f, names) {
  b <- coef(f); se <- sqrt(diag(vcov(f)))
  l <- c()
  for (j in seq_along(b)) l <- c(l, sprintf("_b[%s] %.17g 1e-6", names[j], b[j]), sprintf("_se[%s] %.17g 1e-6", names[j], se[j]))
  l <- c(l, sprintf("e(ll) %.17g 1e-8", f$loglik[2]), sprintf("e(ll_0) %.17g 1e-8", f$loglik[1]),
         sprintf("e(chi2) %.17g 1e-6", 2 * diff(f$loglik)))
  out <<- c(out, paste0("program define ", prog), paste0("\tchk ", l), "end")
}
# x1's coefficient linear in time (Breslow ties)
f1 <- coxph(Surv(time, dead) ~ x1 + x2 + x3 + tt(x1), data = dat, ties = "breslow",
            tt = function(x, t, ...) x * t, control = ctl)
chk("ref_tvc_t", f1, c("main:x1", "main:x2", "main:x3", "tvc:x1"))
# x2's and x3's in log time, Efron ties, strata
f2 <- coxph(Surv(time, dead) ~ x1 + x2 + x3 + tt(x2) + tt(x3) + strata(s), data = dat, ties = "efron",
            tt = function(x, t, ...) x * log(t), control = ctl)
chk("ref_tvc_log", f2, c("main:x1", "main:x2", "main:x3", "tvc:x2", "tvc:x3"))
# the exact partial likelihood, with and without strata
f3 <- coxph(Surv(time, dead) ~ x1 + x2 + x3, data = dat, ties = "exact", control = ctl)
chk("ref_exact", f3, c("x1", "x2", "x3"))
f4 <- coxph(Surv(time, dead) ~ x1 + x2 + strata(s), data = dat, ties = "exact", control = ctl)
chk("ref_exact_strata", f4, c("x1", "x2"))
writeLines(out, "ref_coxtv.do")
