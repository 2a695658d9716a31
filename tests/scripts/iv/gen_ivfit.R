# Reference values for ivfit.do: the data (iv1.csv, values exact in binary)
# and ref_ivfit.do, `chk` lines from AER::ivreg (2SLS, its diagnostics),
# sandwich (HC0 and clustered sandwiches), lm (first stages, Durbin's test)
# and, for LIML and two-step GMM, their textbook matrix formulas in R.
# Run with Rscript from this folder.
library(AER)
library(sandwich)
set.seed(7)
q <- function(a) round(a * 64) / 64
n <- 400
g <- sample(1:25, n, replace = TRUE)
z1 <- q(rnorm(n)); z2 <- q(rnorm(n)); z3 <- q(runif(n))
w <- q(rnorm(n))
u <- rnorm(n)
x1 <- q(0.8 * z1 + 0.4 * z2 + 0.3 * w + 0.6 * u + rnorm(n))
x2 <- q(0.5 * z2 - 0.7 * z3 + 0.5 * u + rnorm(n))
y <- q(1 + 1.5 * x1 - 0.8 * x2 + 0.5 * w + u * (1 + 0.5 * abs(z1)))
d <- data.frame(y = y, w = w, x1 = x1, x2 = x2, z1 = z1, z2 = z2, z3 = z3, g = g)
write.csv(d, "iv1.csv", row.names = FALSE, quote = FALSE)
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
chk("ref_gmm", c(coeflines(bg, solve(Q)), sprintf("e(j) %s 1e-6", f17(J)), sprintf("e(p_j) %s 1e-6", f17(pchisq(J, 1, lower.tail = FALSE)))))
# cluster weight matrix
Sc <- crossprod(rowsum(Z * as.numeric(e), d$g))
Wc <- solve(Sc)
Qc <- t(X) %*% Z %*% Wc %*% t(Z) %*% X
bc <- as.numeric(solve(Qc, t(X) %*% Z %*% Wc %*% t(Z) %*% Y))
chk("ref_gmm_clu", coeflines(bc, solve(Qc)))
writeLines(out, "ref_ivfit.do")
