# Reference values for clogit.do on the data of mk_clogit1 (mkdata.do: 60 matched groups of
# 2 to 7 members with 1 to 3 cases each, plus groups without variation and
# single-member groups that the fit leaves out) and ref_clogit.do, `chk`
# lines against survival::clogit with the exact conditional likelihood.
# Run with Rscript from this folder.
library(survival)
source("../zdata.R")
# The data: mk_clogit1 of mkdata.do, made by zelta ($ZELTA or build/zelta).
dat <- zelta_data("mk_clogit1")
use <- dat$g <= 60
f <- clogit(y ~ x1 + x2 + strata(g), data = dat[use, ], method = "exact",
            control = coxph.control(eps = 1e-13, toler.chol = 1e-15, iter.max = 100))
b <- coef(f)
se <- sqrt(diag(vcov(f)))
L <- c()
for (j in 1:2) L <- c(L, sprintf("_b[%s] %.17g 1e-6", names(b)[j], b[j]), sprintf("_se[%s] %.17g 1e-6", names(b)[j], se[j]))
L <- c(L, sprintf("e(ll) %.17g 1e-8", f$loglik[2]), sprintf("e(ll_0) %.17g 1e-8", f$loglik[1]),
       sprintf("e(N) %d 0", sum(use)))
out <- c("* Written by gen_clogit.R: reference values from survival::clogit (exact). Do not edit.",
         "program define ref_clogit", paste0("\tchk ", L), "end")
writeLines(out, "ref_clogit.do")
