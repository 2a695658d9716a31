# Reference values for anova.do: the data (anova1.csv, values exact in
# binary) and ref_anova.do, `chk` lines from lm, anova (sequential sums of
# squares), car::Anova (type III with sum-to-zero contrasts) and
# car::linearHypothesis. Run with Rscript from this folder.
library(car)
options(contrasts = c("contr.sum", "contr.poly"))
set.seed(33)
n <- 72
q <- function(v) round(v * 64) / 64
a <- sample(c(1, 2, 3), n, replace = TRUE, prob = c(0.5, 0.3, 0.2))
b <- sample(c(10, 20), n, replace = TRUE, prob = c(0.6, 0.4))
# c nested within b: 1, 2 in b = 10; 3, 4, 5 in b = 20
c <- ifelse(b == 10, sample(1:2, n, replace = TRUE), sample(3:5, n, replace = TRUE))
x <- q(rnorm(n, 5, 2))
w <- sample(1:3, n, replace = TRUE)
y <- q(2 + 0.5 * (a == 2) - 0.7 * (a == 3) + 0.4 * (b == 20) + 0.6 * (a == 3) * (b == 20) +
       0.3 * x + 0.2 * (c == 2) - 0.3 * (c == 4) + rnorm(n))
d <- data.frame(y = y, a = a, b = b, c = c, x = x, w = w)
write.csv(d, "anova1.csv", row.names = FALSE, quote = FALSE)
out <- c("* Written by gen_anova.R: reference values from lm, anova and car. Do not edit.")
chk <- function(prog, lines) {
  out <<- c(out, paste0("program define ", prog), paste0("\tchk ", lines), "end")
}
L <- function(name, v, tol = "1e-6") sprintf("%s %.17g %s", name, v, tol)
# The model lines: e() as regress posts it.
modlines <- function(f, N = length(residuals(f)), wts = NULL) {
  r <- if (is.null(wts)) residuals(f) else sqrt(wts) * residuals(f)
  yy <- model.response(model.frame(f))
  ww <- if (is.null(wts)) rep(1, length(yy)) else wts
  rss <- sum(r^2)
  tss <- sum(ww * (yy - sum(ww * yy) / sum(ww))^2)
  dfm <- f$rank - 1
  dfr <- N - f$rank
  c(L("e(N)", N), L("e(rss)", rss), L("e(mss)", tss - rss), L("e(df_m)", dfm), L("e(df_r)", dfr),
    L("e(r2)", 1 - rss / tss), L("e(r2_a)", 1 - (rss / dfr) / (tss / (N - 1))),
    L("e(F)", ((tss - rss) / dfm) / (rss / dfr)), L("e(rmse)", sqrt(rss / dfr)))
}
termlines <- function(tab, rows, ks) {
  o <- c()
  for (i in seq_along(rows)) {
    o <- c(o, L(sprintf("e(ss_%d)", ks[i]), tab[rows[i], "Sum Sq"]), L(sprintf("e(df_%d)", ks[i]), tab[rows[i], "Df"]),
           L(sprintf("e(F_%d)", ks[i]), tab[rows[i], "F value"]))
  }
  o
}
d$af <- factor(d$a); d$bf <- factor(d$b); d$cf <- factor(d$c)
# two-way, partial (type III) and sequential
f <- lm(y ~ af * bf, data = d)
t3 <- Anova(f, type = 3)
chk("ref_twoway", c(modlines(f), termlines(t3, c("af", "bf", "af:bf"), 1:3),
                    L("_b[_cons]", coef(f)[["(Intercept)"]]), L("_b[a_1]", coef(f)[["af1"]]),
                    L("_se[a_2*b_10]", sqrt(vcov(f)["af2:bf1", "af2:bf1"]))))
t1 <- anova(f)
chk("ref_twoway_seq", termlines(t1, c("af", "bf", "af:bf"), 1:3))
# the sequential order b a b*a
f2 <- lm(y ~ bf + af + bf:af, data = d)
chk("ref_twoway_seq2", termlines(anova(f2), c("bf", "af"), 1:2))
# test of a term and of two terms jointly
h <- linearHypothesis(f, c("af1 = 0", "af2 = 0"))
chk("ref_test_a", c(L("r(F)", h$F[2]), L("r(df)", h$Df[2]), L("r(df_r)", h$Res.Df[2]), L("r(p)", h[["Pr(>F)"]][2])))
h <- linearHypothesis(f, c("bf1 = 0", "af1:bf1 = 0", "af2:bf1 = 0"))
chk("ref_test_b_ab", c(L("r(F)", h$F[2]), L("r(df)", h$Df[2]), L("r(p)", h[["Pr(>F)"]][2])))
# analysis of covariance: x continuous, its slope differing by a
f <- lm(y ~ af * x, data = d)
chk("ref_ancova", c(modlines(f), termlines(Anova(f, type = 3), c("af", "x", "af:x"), 1:3)))
# frequency weights: the replicated data
e <- d[rep(seq_len(n), d$w), ]
f <- lm(y ~ af * bf, data = e)
chk("ref_fweight", c(modlines(f), termlines(Anova(f, type = 3), c("af", "bf", "af:bf"), 1:3)))
# analytic weights, scaled to sum to the observations
ws <- d$w * n / sum(d$w)
f <- lm(y ~ af * bf, data = d, weights = ws)
chk("ref_aweight", c(modlines(f, wts = ws), termlines(Anova(f, type = 3), c("af", "bf", "af:bf"), 1:3)))
# nested: c within b. Sequential b then c within b; b's partial test is the
# hypothesis that the unweighted means of b's c cells are equal (cell means model).
f <- lm(y ~ bf + bf:cf, data = d)
t1 <- anova(f)
d$cell <- factor(d$c)
g <- lm(y ~ 0 + cell, data = d)
hb <- linearHypothesis(g, matrix(c(1/2, 1/2, -1/3, -1/3, -1/3), nrow = 1), 0)
chk("ref_nested", c(modlines(f), L("e(ss_2)", t1["bf:cf", "Sum Sq"]), L("e(df_2)", t1["bf:cf", "Df"]),
                    L("e(F_2)", t1["bf:cf", "F value"]), L("e(F_1)", hb$F[2]), L("e(df_1)", hb$Df[2]),
                    L("e(ss_1)", hb[["Sum of Sq"]][2])))
chk("ref_nested_seq", c(L("e(ss_1)", t1["bf", "Sum Sq"]), L("e(F_1)", t1["bf", "F value"])))
# a cell without observations: a = 3 with b = 20. The collinear interaction
# column is left out; each term's partial test compares the design without
# its remaining columns.
e <- d[!(d$a == 3 & d$b == 20), ]
f <- lm(y ~ af * bf, data = e)
X <- model.matrix(f)
X <- X[, !is.na(coef(f))]
asg <- attr(model.matrix(f), "assign")[!is.na(coef(f))]
full <- lm(e$y ~ 0 + X)
rssf <- sum(residuals(full)^2)
dfr <- nrow(e) - ncol(X)
o <- modlines(f)
for (k in 1:3) {
  Xr <- X[, asg != k, drop = FALSE]
  rr <- sum(residuals(lm(e$y ~ 0 + Xr))^2)
  dk <- sum(asg == k)
  o <- c(o, L(sprintf("e(ss_%d)", k), rr - rssf), L(sprintf("e(df_%d)", k), dk),
         L(sprintf("e(F_%d)", k), ((rr - rssf) / dk) / (rssf / dfr)))
}
chk("ref_empty", o)
writeLines(out, "ref_anova.do")
