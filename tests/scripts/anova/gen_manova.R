# Reference values for manova.do: the data (manova1.csv, values exact in
# binary) and ref_manova.do, `chk` lines from car::Anova (type III SSCP
# matrices with sum-to-zero contrasts), summary.manova (sequential) and the
# test statistics of R's stats namespace. Run with Rscript from this folder.
library(car)
options(contrasts = c("contr.sum", "contr.poly"))
set.seed(34)
n <- 60
q <- function(v) round(v * 64) / 64
a <- sample(1:3, n, replace = TRUE)
b <- sample(1:2, n, replace = TRUE, prob = c(0.55, 0.45))
x <- q(rnorm(n, 3, 1))
e1 <- rnorm(n); e2 <- 0.5 * e1 + rnorm(n); e3 <- rnorm(n)
y1 <- q(1 + 0.6 * (a == 2) + 0.3 * b + 0.2 * x + e1)
y2 <- q(2 - 0.4 * (a == 3) + 0.5 * (a == 3) * (b == 2) + e2)
y3 <- q(0.5 * x + 0.3 * (b == 2) + e3)
d <- data.frame(y1 = y1, y2 = y2, y3 = y3, a = a, b = b, x = x)
write.csv(d, "manova1.csv", row.names = FALSE, quote = FALSE)
out <- c("* Written by gen_manova.R: reference values from car and summary.manova. Do not edit.")
chk <- function(prog, lines) {
  out <<- c(out, paste0("program define ", prog), paste0("\tchk ", lines), "end")
}
L <- function(name, v, tol = "1e-6") sprintf("%s %.17g %s", name, v, tol)
# r() lines of the four tests of H against E.
tests <- function(H, E, dfh, dfe) {
  eig <- Re(eigen(solve(E) %*% H)$values)
  o <- c()
  for (t in list(c("wilks", "Wilks"), c("pillai", "Pillai"), c("lawley", "HL"), c("roy", "Roy"))) {
    v <- get(t[2], envir = asNamespace("stats"))(eig, dfh, dfe)
    o <- c(o, L(sprintf("r(%s)", t[1]), v[1]), L(sprintf("r(F_%s)", t[1]), v[2]),
           L(sprintf("r(df1_%s)", t[1]), v[3]), L(sprintf("r(df2_%s)", t[1]), v[4]),
           L(sprintf("r(p_%s)", t[1]), pf(v[2], v[3], v[4], lower.tail = FALSE)))
  }
  o
}
d$af <- factor(d$a); d$bf <- factor(d$b)
Y <- cbind(d$y1, d$y2, d$y3)
f <- lm(Y ~ af * bf, data = d)
av <- Anova(f, type = 3)
E <- av$SSPE
dfe <- av$error.df
Yc <- scale(Y, scale = FALSE)
Hm <- crossprod(Yc) - E
chk("ref_model", c(tests(Hm, E, f$rank - 1, dfe), L("e(df_r)", dfe), L("e(N)", n)))
chk("ref_a", tests(av$SSP[["af"]], E, av$df[["af"]], dfe))
chk("ref_b", tests(av$SSP[["bf"]], E, av$df[["bf"]], dfe))
chk("ref_ab", tests(av$SSP[["af:bf"]], E, av$df[["af:bf"]], dfe))
# with a covariate
f <- lm(Y ~ af + x, data = d)
av <- Anova(f, type = 3)
chk("ref_cov_a", tests(av$SSP[["af"]], av$SSPE, av$df[["af"]], av$error.df))
chk("ref_cov_x", tests(av$SSP[["x"]], av$SSPE, av$df[["x"]], av$error.df))
# sequential: summary.manova
m <- manova(Y ~ bf + af, data = d)
s <- summary(m, test = "Wilks")$stats
chk("ref_seq_b", c(L("r(wilks)", s["bf", "Wilks"]), L("r(F_wilks)", s["bf", "approx F"])))
s <- summary(m, test = "Pillai")$stats
chk("ref_seq_a", c(L("r(pillai)", s["af", "Pillai"]), L("r(F_pillai)", s["af", "approx F"])))
# contrasts L B = 0 (manovatest, test()): the design's columns a_1 a_2 b_1
# a_1*b_1 a_2*b_1 then _cons are R's coefficients 2..6 then 1
f <- lm(Y ~ af * bf, data = d)
toR <- function(L) L[, c(6, 1:5), drop = FALSE]
con <- function(prog, L) {
  h <- linearHypothesis(f, toR(L))
  chk(prog, c(tests(h$SSPH, h$SSPE, h$df, h$df.residual), L("r(df)", h$df)))
}
con("ref_con1", matrix(c(1, -1, 0, 0, 0, 0), nrow = 1))
con("ref_con2", rbind(c(1, -1, 0, 0, 0, 0), c(0, 0, 1, 0, 0, 0), c(0, 0, 0, 1, 1, 0), c(0, 0, 0, 0, 0, 1)))
writeLines(out, "ref_manova.do")
