# Reference values for qreg.do on the data of mk_qreg1 (mkdata.do: 200 observations with
# skewed, heteroscedastic errors and a few gross outliers) and ref_qreg.do,
# `chk` lines against quantreg::rq (the exact simplex solution) and
# MASS::rlm. The standard errors of qreg are the kernel (sparsity) ones:
# an Epanechnikov density of the residuals at zero with the Hall-Sheather
# bandwidth (alpha .05) scaled by min(sd(y), IQR(e)/1.34), sd with divisor n
# and the IQR from linearly interpolated percentiles; computed here from
# rq's residuals. huberreg is rlm with Huber's psi from least squares, then
# the biweight from the Huber coefficients, with MAD scale, both to full
# convergence; its standard errors are summary.rlm's.
library(quantreg)
library(MASS)
source("../zdata.R")
# The data: mk_qreg1 of mkdata.do, made by zelta ($ZELTA or build/zelta).
dat <- zelta_data("mk_qreg1")
n <- nrow(dat); x1 <- dat$x1; x2 <- dat$x2; y <- dat$y
X <- cbind(x1, x2, 1)
L <- c("* Written by gen_qreg.R: reference values from quantreg::rq and MASS::rlm. Do not edit.")
hs <- function(n, tau) {
  z <- qnorm(tau)
  n^(-1/3) * qnorm(0.975)^(2/3) * (1.5 * dnorm(z)^2 / (2 * z^2 + 1))^(1/3)
}
for (tau in c(0.5, 0.25, 0.9)) {
  f <- rq(y ~ x1 + x2, tau = tau, data = dat, method = "br")
  b <- coef(f); e <- resid(f)
  h <- hs(n, tau)
  pc <- function(v, p) quantile(v, p, type = 7, names = FALSE)
  bw <- min(sqrt(mean((y - mean(y))^2)), (pc(e, .75) - pc(e, .25)) / 1.34) * (qnorm(tau + h) - qnorm(tau - h))
  u <- e / bw
  fh <- sum(ifelse(abs(u) <= 1, 0.75 * (1 - u^2), 0)) / (n * bw)
  V <- (1 / fh)^2 * tau * (1 - tau) * solve(t(X) %*% X)
  se <- sqrt(diag(V))
  tag <- sub("\\.", "", sprintf("%g", tau))
  L <- c(L, paste0("program define ref_qreg_", tag))
  nm <- c("x1", "x2", "_cons")
  bb <- b[c(2, 3, 1)]
  for (j in 1:3) L <- c(L, sprintf("\tchk _b[%s] %.17g 1e-6", nm[j], bb[j]), sprintf("\tchk _se[%s] %.17g 1e-6", nm[j], se[j]))
  L <- c(L, sprintf("\tchk e(sum_adev) %.17g 1e-8", sum(ifelse(e >= 0, tau * e, (tau - 1) * e))), "end")
}
ctl <- 1e-13
fh <- rlm(y ~ x1 + x2, data = dat, psi = psi.huber, maxit = 1000, acc = ctl)
fb <- rlm(y ~ x1 + x2, data = dat, psi = psi.bisquare, init = coef(fh), maxit = 1000, acc = ctl)
sm <- summary(fb)$coefficients
L <- c(L, "program define ref_huber")
nm <- c("x1", "x2", "_cons"); ix <- c(2, 3, 1)
for (j in 1:3) L <- c(L, sprintf("\tchk _b[%s] %.17g 1e-6", nm[j], sm[ix[j], 1]), sprintf("\tchk _se[%s] %.17g 1e-6", nm[j], sm[ix[j], 2]))
L <- c(L, sprintf("\tchk e(scale) %.17g 1e-6", fb$s), "end")
writeLines(L, "ref_qreg.do")
