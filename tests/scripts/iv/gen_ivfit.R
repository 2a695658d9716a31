# Reference values for ivfit.do (ref_ivfit.do) on the data of mk_iv1
# (mkdata.do): `chk` lines from AER::ivreg (2SLS, its diagnostics),
# sandwich (HC0 and clustered sandwiches), lm (first stages, Durbin's test)
# and, for LIML and two-step GMM, their textbook matrix formulas in R.
# Weights: AER::ivreg with weights (analytic), the same data with each row
# repeated f times (frequency), and the weighted sandwiches by formula.
# Run with Rscript from this folder.
library(AER)
library(sandwich)
source("../zdata.R")
# The data: mk_iv1 of mkdata.do, made by zelta ($ZELTA or build/zelta).
d <- zelta_data("mk_iv1")
n <- nrow(d)
g <- d$g; z1 <- d$z1; z2 <- d$z2; z3 <- d$z3; w <- d$w; x1 <- d$x1; x2 <- d$x2; y <- d$y; wa <- d$wa; fw <- d$fw
out <- c("* Written by gen_ivfit.R: reference values from AER, sandwich, lm. Do not edit.")
f17 <- function(v) sprintf("%.17g", v)
chk <- function(prog, lines) out <<- c(out, paste0("program define ", prog), paste0("\tchk ", lines), "end")
nm <- c("x1", "x2", "w", "_cons")
ord <- c(2, 3, 4, 1)
coeflines <- function(b, V) {
  L <- c()
  for (j in 1:4) L <- c(L, sprintf("_b[%s] %s 1e-6", nm[j], f17(b[ord[j]])), sprintf("_se[%s] %s 1e-6", nm[j], f17(sqrt(V[ord[j], ord[j]]))))
  L
}
wald <- function(b, V) { s <- 2:4; as.numeric(t(b[s]) %*% solve(V[s, s]) %*% b[s]) }
N <- n; K <- 4; G <- length(unique(g))
iv <- ivreg(y ~ x1 + x2 + w | w + z1 + z2 + z3, data = d)
b <- coef(iv); e <- residuals(iv); rss <- sum(e^2)
V0 <- vcov(iv) * (N - K) / N
sm <- summary(iv, diagnostics = TRUE)$diagnostics
# first stages and Durbin's test
f1 <- function(v) { r <- lm(d[[v]] ~ w, data = d); u <- lm(d[[v]] ~ w + z1 + z2 + z3, data = d); anova(r, u)$F[2] }
v1 <- residuals(lm(x1 ~ w + z1 + z2 + z3, data = d)); v2 <- residuals(lm(x2 ~ w + z1 + z2 + z3, data = d))
rr <- sum(residuals(lm(y ~ x1 + x2 + w, data = d))^2); ru <- sum(residuals(lm(y ~ x1 + x2 + w + v1 + v2, data = d))^2)
durbin <- N * (rr - ru) / rr
chk("ref_2sls", c(coeflines(b, V0), sprintf("e(chi2) %s 1e-6", f17(wald(b, V0))),
  sprintf("e(r2) %s 1e-6", f17(1 - rss / sum((y - mean(y))^2))), sprintf("e(rmse) %s 1e-6", f17(sqrt(rss / N))),
  sprintf("e(sargan) %s 1e-6", f17(sm["Sargan", "statistic"])), sprintf("e(p_sargan) %s 1e-6", f17(sm["Sargan", "p-value"])),
  sprintf("e(endog) %s 1e-6", f17(durbin)), sprintf("e(p_endog) %s 1e-6", f17(pchisq(durbin, 2, lower.tail = FALSE))),
  sprintf("el(e(first),1,1) %s 1e-6", f17(f1("x1"))), sprintf("el(e(first),1,2) %s 1e-6", f17(f1("x2")))))
Vs <- vcov(iv)
chk("ref_2sls_small", c(coeflines(b, Vs), sprintf("e(F) %s 1e-6", f17(wald(b, Vs) / 3)), sprintf("e(df_r) %d 0", N - K)))
Vr <- vcovHC(iv, type = "HC0") * N / (N - 1)
chk("ref_2sls_rob", coeflines(b, Vr))
chk("ref_2sls_rob_small", coeflines(b, vcovHC(iv, type = "HC0") * N / (N - K)))
Vc <- vcovCL(iv, cluster = d$g, type = "HC0", cadjust = TRUE)
chk("ref_2sls_clu", c(coeflines(b, Vc), sprintf("e(N_clust) %d 0", G)))
# LIML and GMM by their formulas
X <- cbind(1, d$x1, d$x2, d$w); Z <- cbind(1, d$w, d$z1, d$z2, d$z3); Y <- d$y
W <- cbind(d$y, d$x1, d$x2); Z1 <- cbind(1, d$w)
Mz <- diag(N) - Z %*% solve(crossprod(Z)) %*% t(Z)
M1 <- diag(N) - Z1 %*% solve(crossprod(Z1)) %*% t(Z1)
kap <- min(Re(eigen(solve(t(W) %*% Mz %*% W) %*% (t(W) %*% M1 %*% W))$values))
Ak <- diag(N) - kap * Mz
H <- t(X) %*% Ak %*% X
bl <- as.numeric(solve(H, t(X) %*% Ak %*% Y))
el <- as.numeric(Y - X %*% bl)
Vl <- sum(el^2) / N * solve(H)
Xt <- Ak %*% X
Vlr <- solve(H) %*% crossprod(Xt * el) %*% solve(H) * N / (N - 1)
P <- Z %*% solve(crossprod(Z)) %*% t(Z)
sl <- as.numeric(t(el) %*% P %*% el) / (sum(el^2) / N)
chk("ref_liml", c(coeflines(bl, Vl), sprintf("e(kappa) %s 1e-6", f17(kap)), sprintf("e(sargan) %s 1e-6", f17(sl))))
chk("ref_liml_rob", coeflines(bl, Vlr))
S <- crossprod(Z * as.numeric(e))
Wm <- solve(S)
Q <- t(X) %*% Z %*% Wm %*% t(Z) %*% X
bg <- as.numeric(solve(Q, t(X) %*% Z %*% Wm %*% t(Z) %*% Y))
eg <- as.numeric(Y - X %*% bg)
gz <- t(Z) %*% eg
J <- as.numeric(t(gz) %*% Wm %*% gz)
chk("ref_gmm", c(coeflines(bg, solve(Q) * N / (N - 1)), sprintf("e(j) %s 1e-6", f17(J)), sprintf("e(p_j) %s 1e-6", f17(pchisq(J, 1, lower.tail = FALSE)))))
# cluster weight matrix
Sc <- crossprod(rowsum(Z * as.numeric(e), d$g))
Wc <- solve(Sc)
Qc <- t(X) %*% Z %*% Wc %*% t(Z) %*% X
bc <- as.numeric(solve(Qc, t(X) %*% Z %*% Wc %*% t(Z) %*% Y))
chk("ref_gmm_clu", coeflines(bc, solve(Qc) * G / (G - 1)))
# Analytic weights: ivreg with weights; its variance divides by N - K.
ivw <- ivreg(y ~ x1 + x2 + w | w + z1 + z2 + z3, data = d, weights = wa)
bw <- coef(ivw); ew <- residuals(ivw)
Xh <- cbind(1, fitted(lm(cbind(x1, x2) ~ w + z1 + z2 + z3, data = d, weights = wa)), d$w)
Hw <- crossprod(Xh * sqrt(wa))
chk("ref_aw", c(coeflines(bw, vcov(ivw) * (N - K) / N), sprintf("e(N) %d 0", N)))
Mw <- crossprod(Xh * (wa * ew))
chk("ref_aw_rob", coeflines(bw, solve(Hw) %*% Mw %*% solve(Hw) * N / (N - 1)))
Mc <- crossprod(rowsum(Xh * (wa * ew), d$g))
chk("ref_aw_clu", coeflines(bw, solve(Hw) %*% Mc %*% solve(Hw) * G / (G - 1)))
# two-step GMM with analytic weights, by formula
Sw <- crossprod(Z * (wa * ew)); Ww <- solve(Sw)
ZWX <- t(Z * wa) %*% X; ZWy <- t(Z * wa) %*% Y
Qw <- t(ZWX) %*% Ww %*% ZWX
bgw <- as.numeric(solve(Qw, t(ZWX) %*% Ww %*% ZWy))
gw <- t(Z * wa) %*% as.numeric(Y - X %*% bgw)
chk("ref_aw_gmm", c(coeflines(bgw, solve(Qw) * N / (N - 1)), sprintf("e(j) %s 1e-6", f17(as.numeric(t(gw) %*% Ww %*% gw)))))
# Frequency weights: every row repeated f times, unweighted.
de <- d[rep(seq_len(n), fw), ]
Ne <- nrow(de)
ive <- ivreg(y ~ x1 + x2 + w | w + z1 + z2 + z3, data = de)
be <- coef(ive)
sme <- summary(ive, diagnostics = TRUE)$diagnostics
v1 <- residuals(lm(x1 ~ w + z1 + z2 + z3, data = de)); v2 <- residuals(lm(x2 ~ w + z1 + z2 + z3, data = de))
rr <- sum(residuals(lm(y ~ x1 + x2 + w, data = de))^2); ru <- sum(residuals(lm(y ~ x1 + x2 + w + v1 + v2, data = de))^2)
fe1 <- anova(lm(x1 ~ w, data = de), lm(x1 ~ w + z1 + z2 + z3, data = de))$F[2]
chk("ref_fw", c(coeflines(be, vcov(ive) * (Ne - K) / Ne), sprintf("e(N) %d 0", Ne),
  sprintf("e(sargan) %s 1e-6", f17(sme["Sargan", "statistic"])), sprintf("e(endog) %s 1e-6", f17(Ne * (rr - ru) / rr)),
  sprintf("el(e(first),1,1) %s 1e-6", f17(fe1))))
chk("ref_fw_rob", coeflines(be, vcovHC(ive, type = "HC0") * Ne / (Ne - 1)))
chk("ref_fw_clu", coeflines(be, vcovCL(ive, cluster = de$g, type = "HC0", cadjust = TRUE)))
writeLines(out, "ref_ivfit.do")
