# Reference values for resample.do: the data (resample1.csv: 30
# observations in 10 clusters of 3) and ref_resample.do, `chk` lines with
# the leave-one-out and leave-one-cluster-out jackknife of a correlation and
# of regression coefficients computed here directly: standard error
# sqrt((n-1)/n sum (t_i - mean t)^2), bias (n-1)(mean t - t), n the number
# of units left out in turn. Run with Rscript from this folder.
set.seed(21)
n <- 30
q <- function(a) round(a * 256) / 256
x <- q(rnorm(n))
y <- q(0.5 * x + rnorm(n) * (1 + abs(x)))
cl <- rep(1:10, each = 3)
dat <- data.frame(y = y, x = x, c = cl, g = rep(1:2, 15))
write.csv(dat, "resample1.csv", row.names = FALSE, quote = FALSE)
jk <- function(stat, units) {
  u <- unique(units)
  t0 <- stat(dat)
  ti <- t(sapply(u, function(k) stat(dat[units != k, ])))
  if (length(t0) == 1) ti <- t(ti)
  m <- colMeans(ti)
  nn <- length(u)
  list(t0 = t0, se = sqrt((nn - 1) / nn * colSums(sweep(ti, 2, m)^2)), bias = (nn - 1) * (m - t0))
}
L <- c("* Written by gen_resample.R: jackknife reference values computed directly. Do not edit.")
emit <- function(tag, r, names) {
  L <<- c(L, paste0("program define ref_jk_", tag))
  for (j in seq_along(names)) {
    L <<- c(L, sprintf("\tchk el(e(b),1,%d) %.17g 1e-8", j, r$t0[j]),
            sprintf("\tchk el(e(se),1,%d) %.17g 1e-6", j, r$se[j]),
            sprintf("\tchk el(e(bias),1,%d) %.17g 1e-6", j, r$bias[j]))
  }
  L <<- c(L, "end")
}
emit("rho", jk(function(d) cor(d$y, d$x), seq_len(n)), "rho")
emit("rhocl", jk(function(d) cor(d$y, d$x), cl), "rho")
emit("b", jk(function(d) coef(lm(y ~ x, data = d))[c(2, 1)], seq_len(n)), c("x", "_cons"))
writeLines(L, "ref_resample.do")
