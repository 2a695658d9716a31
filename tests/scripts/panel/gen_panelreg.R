# Reference values for panelreg.do (ref_panelreg.do) on the data of
# mk_panel1 (mkdata.do): `chk` lines from plm (within, random with
# Swamy-Arora components, between), pFtest, plmtest and the cluster sandwich
# (vcovHC arellano HC0 and sandwich::vcovCL, both times G/(G-1)); weighted
# fe and be fits by lm with weights and plm on repeated rows.
# Run with Rscript from this folder.
library(plm)
library(sandwich)
source("../zdata.R")
# The data: mk_panel1 of mkdata.do, made by zelta ($ZELTA or build/zelta).
full <- zelta_data("mk_panel1")

out <- c("* Written by gen_panelreg.R: reference values from plm, sandwich. Do not edit.")
f17 <- function(v) sprintf("%.17g", v)
chk <- function(prog, lines) out <<- c(out, paste0("program define ", prog), paste0("\tchk ", lines), "end")
coeflines <- function(b, V, names, tol = "1e-6") {
  L <- c()
  for (j in seq_along(names)) {
    L <- c(L, sprintf("_b[%s] %s %s", names[j], f17(b[j]), tol), sprintf("_se[%s] %s %s", names[j], f17(sqrt(V[j, j])), tol))
  }
  L
}
r2 <- function(a, b) cor(a, b)^2
# The three R-squared values of slopes b on data d (columns vars).
r2s <- function(d, vars, b) {
  xb <- as.matrix(d[, vars, drop = FALSE]) %*% b
  ym <- ave(d$y, d$id); xm <- ave(xb[, 1], d$id)
  c(w = r2(d$y - ym, xb - xm), b = r2(tapply(d$y, d$id, mean), tapply(xb[, 1], d$id, mean)), o = r2(d$y, xb))
}
fits <- function(d, tag) {
  pd <- pdata.frame(d, index = c("id", "t"))
  Gn <- length(unique(d$id))
  N <- nrow(d)
  # within
  fe <- plm(y ~ x1 + x2 + z, data = pd, model = "within")
  b <- coef(fe); V <- vcov(fe)
  wi <- within_intercept(fe)
  fx <- fixef(fe)
  pool <- plm(y ~ x1 + x2 + z, data = pd, model = "pooling")
  ft <- pFtest(fe, pool)
  R <- r2s(d, c("x1", "x2"), b)
  L <- c(coeflines(b, V, c("x1", "x2")),
         sprintf("_b[_cons] %s 1e-6", f17(wi[1])), sprintf("_se[_cons] %s 1e-6", f17(attr(wi, "se"))),
         sprintf("e(sigma_e) %s 1e-6", f17(sqrt(deviance(fe) / df.residual(fe)))),
         sprintf("e(sigma_u) %s 1e-6", f17(sd(fx))),
         sprintf("e(r2_w) %s 1e-6", f17(R["w"])), sprintf("e(r2_b) %s 1e-6", f17(R["b"])),
         sprintf("e(r2_o) %s 1e-6", f17(R["o"])),
         sprintf("e(F_f) %s 1e-6", f17(ft$statistic)), sprintf("e(df_a) %s 0", f17(ft$parameter[1])),
         sprintf("e(df_f) %s 0", f17(ft$parameter[2])), sprintf("e(N) %d 0", N), sprintf("e(N_g) %d 0", Gn))
  chk(paste0("ref_fe_", tag), L)
  Vc <- vcovHC(fe, method = "arellano", type = "HC0", cluster = "group") * Gn / (Gn - 1)
  chk(paste0("ref_fe_rob_", tag), coeflines(b, Vc, c("x1", "x2")))
  # cluster by region: the within-transformed data, vcovCL (HC0, G/(G-1))
  wd <- data.frame(yw = d$y - ave(d$y, d$id), x1w = d$x1 - ave(d$x1, d$id), x2w = d$x2 - ave(d$x2, d$id))
  lw <- lm(yw ~ x1w + x2w - 1, data = wd)
  Vr <- vcovCL(lw, cluster = d$region, type = "HC0", cadjust = TRUE)
  chk(paste0("ref_fe_clu_", tag), coeflines(coef(lw), Vr, c("x1", "x2")))
  # random effects, Swamy-Arora
  re <- plm(y ~ x1 + x2 + z, data = pd, model = "random", random.method = "swar")
  b <- coef(re); V <- vcov(re)
  ec <- ercomp(re)
  th <- if (is.list(ec$theta)) ec$theta$id else ec$theta
  thp <- if (length(th) == 1) th else tapply(th, d$id, function(v) v[1])
  R <- r2s(d, c("x1", "x2", "z"), b[-1])
  su2 <- ec$sigma2[["id"]]; se2 <- ec$sigma2[["idios"]]
  lm1 <- plmtest(pool, type = "bp")
  Wd <- as.numeric(t(b[-1]) %*% solve(V[-1, -1]) %*% b[-1])
  L <- c(coeflines(b[c(2, 3, 4, 1)], V[c(2, 3, 4, 1), c(2, 3, 4, 1)], c("x1", "x2", "z", "_cons")),
         sprintf("e(sigma_u) %s 1e-6", f17(sqrt(su2))), sprintf("e(sigma_e) %s 1e-6", f17(sqrt(se2))),
         sprintf("e(rho) %s 1e-6", f17(su2 / (su2 + se2))),
         sprintf("e(theta) %s 1e-6", f17(median(thp))),
         sprintf("e(chi2) %s 1e-6", f17(Wd)),
         sprintf("e(r2_w) %s 1e-6", f17(R["w"])), sprintf("e(r2_b) %s 1e-6", f17(R["b"])),
         sprintf("e(r2_o) %s 1e-6", f17(R["o"])),
         sprintf("e(bp) %s 1e-6", f17(lm1$statistic)), sprintf("e(p_bp) %s 1e-6", f17(lm1$p.value)))
  chk(paste0("ref_re_", tag), L)
  Vc <- vcovHC(re, method = "arellano", type = "HC0", cluster = "group") * Gn / (Gn - 1)
  chk(paste0("ref_re_rob_", tag), coeflines(b[c(2, 3, 4, 1)], Vc[c(2, 3, 4, 1), c(2, 3, 4, 1)], c("x1", "x2", "z", "_cons")))
  # Hausman test, fe against re
  h <- phtest(fe, re)
  chk(paste0("ref_hausman_", tag), c(sprintf("r(chi2) %s 1e-6", f17(h$statistic)), sprintf("r(df) %s 0", f17(h$parameter)),
      sprintf("r(p) %s 1e-6", f17(h$p.value))))
  # between
  be <- plm(y ~ x1 + x2 + z, data = pd, model = "between")
  b <- coef(be); V <- vcov(be)
  chk(paste0("ref_be_", tag), c(coeflines(b[c(2, 3, 4, 1)], V[c(2, 3, 4, 1), c(2, 3, 4, 1)], c("x1", "x2", "z", "_cons")),
      sprintf("e(r2_b) %s 1e-6", f17(summary(be)$r.squared[1])), sprintf("e(df_r) %d 0", df.residual(be))))
}
# Weighted fits (weights constant within panels) on the unbalanced rows:
# fe by lm with panel dummies and analytic weights, its cluster sandwich on
# the within data (vcovCL, HC0, G/(G-1)); frequency weights by repeating
# rows for plm; be by lm on the panel means with the panel weights.
wfits <- function(d) {
  Gn <- length(unique(d$id)); N <- nrow(d)
  lw <- lm(y ~ x1 + x2 + z + factor(id), data = d, weights = wp)
  b <- coef(lw)[c("x1", "x2")]; V <- vcov(lw)[c("x1", "x2"), c("x1", "x2")]
  pl <- lm(y ~ x1 + x2 + z, data = d, weights = wp)
  ft <- anova(pl, lw)
  # sigma_e of the weights scaled to sum to N
  chk("ref_fe_aw", c(coeflines(b, V, c("x1", "x2")), sprintf("e(sigma_e) %s 1e-6", f17(summary(lw)$sigma * sqrt(N / sum(d$wp)))),
      sprintf("e(F_f) %s 1e-6", f17(ft$F[2])), sprintf("e(N) %d 0", N)))
  wd <- data.frame(yw = d$y - ave(d$y, d$id), x1w = d$x1 - ave(d$x1, d$id), x2w = d$x2 - ave(d$x2, d$id))
  lww <- lm(yw ~ x1w + x2w - 1, data = wd, weights = d$wp)
  chk("ref_fe_aw_rob", coeflines(coef(lww), vcovCL(lww, cluster = d$id, type = "HC0", cadjust = TRUE), c("x1", "x2")))
  chk("ref_fe_aw_clu", coeflines(coef(lww), vcovCL(lww, cluster = d$region, type = "HC0", cadjust = TRUE), c("x1", "x2")))
  de <- d[rep(seq_len(N), d$fp), ]
  de$t <- ave(de$t, de$id, FUN = seq_along)
  pe <- pdata.frame(de, index = c("id", "t"))
  fe <- plm(y ~ x1 + x2 + z, data = pe, model = "within")
  wi <- within_intercept(fe)
  ft <- pFtest(fe, plm(y ~ x1 + x2 + z, data = pe, model = "pooling"))
  chk("ref_fe_fw", c(coeflines(coef(fe), vcov(fe), c("x1", "x2")),
      sprintf("_b[_cons] %s 1e-6", f17(wi[1])), sprintf("_se[_cons] %s 1e-6", f17(attr(wi, "se"))),
      sprintf("e(sigma_e) %s 1e-6", f17(sqrt(deviance(fe) / df.residual(fe)))),
      sprintf("e(F_f) %s 1e-6", f17(ft$statistic)), sprintf("e(N) %d 0", nrow(de))))
  m <- aggregate(cbind(y, x1, x2, z, wp) ~ id, data = d, FUN = mean)
  lb <- lm(y ~ x1 + x2 + z, data = m, weights = wp)
  b <- coef(lb)[c(2, 3, 4, 1)]; V <- vcov(lb)[c(2, 3, 4, 1), c(2, 3, 4, 1)]
  chk("ref_be_aw", c(coeflines(b, V, c("x1", "x2", "z", "_cons")), sprintf("e(df_r) %d 0", df.residual(lb))))
}
fits(full, "bal")
fits(full[full$bal == 1, ], "unb")
wfits(full[full$bal == 1, ])
writeLines(out, "ref_panelreg.do")
