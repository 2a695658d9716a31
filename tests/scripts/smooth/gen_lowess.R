# Reference values for lowess.do: lowess1.csv holds the sample (x with ties,
# y) and the smooths: stats::lowess with no robustness iterations and no
# interpolation (delta 0), its span f = k/N for the k = ceil(bwidth N)
# nearest observations, mapped back to the observations' order; and the
# running weighted mean and the unweighted local line, computed here
# directly. Run with Rscript from this folder.
set.seed(36)
n <- 120
x <- round(runif(n, 0, 20) * 2) / 2
y <- round((sin(x / 3) + 0.05 * x + rnorm(n, sd = 0.3)) * 64) / 64
low <- function(bw) {
  k <- ceiling(bw * n)
  o <- order(x)
  f <- numeric(n)
  f[o] <- lowess(x, y, f = k / n, iter = 0, delta = 0)$y
  f
}
# The fit at each x_i from the observations within the distance d of the
# k-th nearest: tricube weights (or 1), a line or the weighted mean.
direct <- function(bw, mean, noweight) {
  k <- ceiling(bw * n)
  sapply(seq_len(n), function(i) {
    dist <- abs(x - x[i])
    d <- sort(dist)[k]
    if (noweight) {
      u <- dist <= d
      wt <- as.numeric(u)
    } else {
      r <- if (d > 0) dist / d else 0 * dist
      wt <- ifelse(r < 1, (1 - r^3)^3, 0)
    }
    if (mean) return(sum(wt * y) / sum(wt))
    m <- lm(y ~ x, weights = wt, subset = wt > 0)
    unname(predict(m, data.frame(x = x[i])))
  })
}
d <- data.frame(x = x, y = y, r_def = low(0.8), r_3 = low(0.3), r_mean = direct(0.3, TRUE, FALSE),
                r_now = direct(0.3, FALSE, TRUE), r_nowm = direct(0.5, TRUE, TRUE))
stopifnot(max(abs(direct(0.3, FALSE, FALSE) - d$r_3)) < 1e-6)
write.csv(format(d, digits = 17), "lowess1.csv", row.names = FALSE, quote = FALSE)
