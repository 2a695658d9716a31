# Reference values for tobit.do: the data (tobit1.csv, values exact in single
# precision) and ref_tobit.do, `chk` lines against survival::survreg with a
# gaussian distribution (censoring as interval data). survreg estimates
# log(scale): sigma's standard error is sigma times that of log(scale).
# Run with Rscript from this folder.
library(survival)
set.seed(5)
n <- 300
q <- function(a) round(a * 64) / 64
x1 <- q(rnorm(n))
x2 <- as.numeric(runif(n) < 0.5)
g <- sample(1:20, n, replace = TRUE)
ystar <- 1 + 0.8 * x1 - 0.6 * x2 + rnorm(n, sd = 1.3)
ystar <- q(ystar)
y <- pmin(pmax(ystar, 0), 3)          # tobit: ll(0) ul(3)
cens <- ifelse(y <= 0, -1, ifelse(y >= 3, 1, 0))
# cnreg data: censoring at each observation's own point
cpt <- q(runif(n, 0.5, 2.5))
yc <- ifelse(ystar > cpt + 0.5, cpt + 0.5, ystar)
cc <- ifelse(ystar > cpt + 0.5, 1, 0)
low <- ystar < -0.5
yc[low] <- -0.5
cc[low] <- -1
write.csv(data.frame(y = y, x1 = x1, x2 = x2, g = g, yc = yc, cc = cc), "tobit1.csv", row.names = FALSE, quote = FALSE)
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
