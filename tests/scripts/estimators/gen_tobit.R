# Reference values for tobit.do from the data that zelta makes
# (mk_tobit1 of mkdata.do; $ZELTA or build/zelta): ref_tobit.do, `chk` lines against survival::survreg with a
# gaussian distribution (censoring as interval data). survreg estimates
# log(scale): sigma's standard error is sigma times that of log(scale).
# Run with Rscript from this folder.
library(survival)
source("../zdata.R")
# The data: mk_tobit1 of mkdata.do, made by zelta.
d <- zelta_data("mk_tobit1")
y <- d$y; x1 <- d$x1; x2 <- d$x2; g <- d$g; yc <- d$yc; cc <- d$cc
cens <- ifelse(y <= 0, -1, ifelse(y >= 3, 1, 0))
out <- c("* Written by gen_tobit.R: reference values from survival::survreg. Do not edit.")
chk <- function(prog, lines) {
  out <<- c(out, paste0("program define ", prog), paste0("\tchk ", lines), "end")
}
fitlines <- function(f, names) {
  b <- coef(f)
  V <- vcov(f)
  k <- length(b)
  se <- sqrt(diag(V))[1:k]
  sig <- f$scale
  L <- c()
  for (j in 1:k) {
    L <- c(L, sprintf("_b[%s] %.17g 1e-6", names[j], b[j]), sprintf("_se[%s] %.17g 1e-6", names[j], se[j]))
  }
  L <- c(L, sprintf("_b[sigma:_cons] %.17g 1e-6", sig),
         sprintf("_se[sigma:_cons] %.17g 1e-6", sig * sqrt(V[k + 1, k + 1])),
         sprintf("e(ll) %.17g 1e-8", f$loglik[2]), sprintf("e(ll_0) %.17g 1e-8", f$loglik[1]))
  L
}
surv_of <- function(y, c) {
  lo <- ifelse(c == -1, NA, y)
  hi <- ifelse(c == 1, NA, y)
  Surv(lo, hi, type = "interval2")
}
ctl <- survreg.control(rel.tolerance = 1e-13, maxiter = 200)
f <- survreg(surv_of(y, cens) ~ x1 + x2, dist = "gaussian", control = ctl)
chk("ref_tobit", fitlines(f, c("_cons", "x1", "x2")))
f <- survreg(surv_of(yc, cc) ~ x1 + x2, dist = "gaussian", control = ctl)
chk("ref_cnreg", fitlines(f, c("_cons", "x1", "x2")))
f <- survreg(surv_of(y, cens) ~ x1 + x2, dist = "gaussian", control = ctl, robust = TRUE, cluster = g)
# survreg's robust variance has no G/(G-1) factor: apply it here
G <- length(unique(g))
V <- vcov(f) * G / (G - 1)
b <- coef(f)
nm <- c("_cons", "x1", "x2")
L <- c()
for (j in 1:3) L <- c(L, sprintf("_se[%s] %.17g 1e-6", nm[j], sqrt(V[j, j])))
chk("ref_tobit_cl", L)
writeLines(out, "ref_tobit.do")
