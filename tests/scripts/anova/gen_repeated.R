# Reference values for repeated.do (ref_repeated.do) on the data of
# mk_repeated1 (mkdata.do, long form, one row per subject and occasion):
# `chk` lines from car::Anova on the wide (multivariate) form with idata and
# idesign: the univariate tests and the Greenhouse-Geisser epsilons and
# p-values. car's Huynh-Feldt is the corrected formula; the original one,
# (N p e - 2) / (p (N - g - p e)) capped at 1, is computed here from the
# pooled covariance and checked against car's where the two agree (one group).
# Run with Rscript from this folder.
library(car)
options(contrasts = c("contr.sum", "contr.poly"))
source("../zdata.R")
ns <- 15; na <- 3; nb <- 4; nc <- 2
# The data: mk_repeated1 of mkdata.do, made by zelta ($ZELTA or build/zelta).
d <- zelta_data("mk_repeated1")
a <- d$a[match(1:ns, d$subj)]  # the group of each subject
out <- c("* Written by gen_repeated.R: reference values from car::Anova. Do not edit.")
chk <- function(prog, lines) {
  out <<- c(out, paste0("program define ", prog), paste0("\tchk ", lines), "end")
}
L <- function(name, v, tol = "1e-6") sprintf("%s %.17g %s", name, v, tol)
# The wide form: one row per subject, columns in the order (b, c) with c fastest.
wide <- function(dd, cs) {
  Y <- matrix(NA, ns, nb * length(cs))
  for (i in seq_len(nrow(dd))) {
    r <- dd[i, ]
    Y[r$subj, (r$b - 1) * length(cs) + match(r$c, cs)] <- r$y
  }
  Y
}
# The original Huynh-Feldt epsilon from the pooled covariance S of the
# cells, P the term's orthonormal contrasts, N units, g groups.
eps <- function(S, P, N, g) {
  M <- t(P) %*% S %*% P
  p <- ncol(P)
  gg <- sum(diag(M))^2 / (p * sum(M^2))
  hf <- min(1, (N * p * gg - 2) / (p * (N - g - p * gg)))
  c(gg = gg, hf = hf, box = 1 / p)
}
orth <- function(k) { m <- contr.helmert(k); sweep(m, 2, sqrt(colSums(m^2)), "/") }
pooled <- function(Y, grp) {
  R <- Y - apply(Y, 2, function(col) ave(col, grp))
  crossprod(R) / (nrow(Y) - length(unique(grp)))
}
# 1. Split plot: a between, b within (c = 1 only).
Y <- wide(d[d$c == 1, ], 1)
af <- factor(a)
m <- lm(Y ~ af)
idata <- data.frame(b = factor(1:nb))
av <- Anova(m, idata = idata, idesign = ~b, type = 3)
s <- summary(av, multivariate = FALSE)
ut <- s$univariate.tests
pa <- s$pval.adjustments
S <- pooled(Y, a)
e <- eps(S, orth(nb), ns, na)
Fa <- ut["af", "F value"]; Fb <- ut["b", "F value"]; Fab <- ut["af:b", "F value"]
dfe <- ut["b", "den Df"]
pe <- function(F, df1, ee) pf(F, ee * df1, ee * dfe, lower.tail = FALSE)
chk("ref_split", c(L("e(F_1)", Fa), L("e(df_2)", ut["af", "den Df"]), L("e(ss_2)", ut["af", "Error SS"]),
                   L("e(F_3)", Fb), L("e(F_4)", Fab), L("e(df_r)", dfe), L("e(rss)", ut["b", "Error SS"]),
                   L("e(gg_3)", pa["b", "GG eps"]), L("e(gg_4)", pa["af:b", "GG eps"]),
                   L("e(hf_3)", e[["hf"]]), L("e(box_3)", 1 / 3), L("e(N_bse)", ns), L("e(N_groups)", na),
                   L("r_p_gg_b", pa["b", "Pr(>F[GG])"]), L("r_p_gg_ab", pa["af:b", "Pr(>F[GG])"]),
                   L("r_p_hf_b", pe(Fb, 3, e[["hf"]])), L("r_p_box_ab", pe(Fab, 6, 1 / 3))))
stopifnot(abs(e[["gg"]] - pa["b", "GG eps"]) < 1e-10)
# 2. One group: subjects and b (c = 1 only); here car's Huynh-Feldt is the original one.
m1 <- lm(Y ~ 1)
s1 <- summary(Anova(m1, idata = idata, idesign = ~b, type = 3), multivariate = FALSE)
e1 <- eps(pooled(Y, rep(1, ns)), orth(nb), ns, 1)
stopifnot(abs(e1[["hf"]] - min(1, s1$pval.adjustments["b", "HF eps"])) < 1e-10)
chk("ref_onegroup", c(L("e(F_2)", s1$univariate.tests["b", "F value"]), L("e(gg_2)", s1$pval.adjustments["b", "GG eps"]),
                      L("e(hf_2)", e1[["hf"]]), L("e(N_groups)", 1)))
# 3. Two repeated variables b and c, one group: the epsilons of b, c and b*c.
Y2 <- wide(d, 1:nc)
idata2 <- expand.grid(c = factor(1:nc), b = factor(1:nb))
s2 <- summary(Anova(lm(Y2 ~ 1), idata = idata2, idesign = ~b * c, type = 3), multivariate = FALSE)
S2 <- pooled(Y2, rep(1, ns))
Pb <- kronecker(orth(nb), matrix(1 / sqrt(nc), nc, 1))
Pbc <- kronecker(orth(nb), orth(nc))
e2b <- eps(S2, Pb, ns, 1); e2bc <- eps(S2, Pbc, ns, 1)
stopifnot(abs(e2b[["gg"]] - s2$pval.adjustments["b", "GG eps"]) < 1e-10)
chk("ref_two", c(L("e(gg_2)", s2$pval.adjustments["b", "GG eps"]), L("e(hf_2)", e2b[["hf"]]),
                 L("e(box_2)", 1 / 3), L("e(gg_4)", s2$pval.adjustments["b:c", "GG eps"]),
                 L("e(hf_4)", e2bc[["hf"]]), L("e(box_3)", 1)))
writeLines(out, "ref_repeated.do")
