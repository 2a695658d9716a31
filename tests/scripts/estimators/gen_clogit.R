# Reference values for clogit.do: the data (clogit1.csv: 60 matched groups of
# 2 to 7 members with 1 to 3 cases each, plus groups without variation and
# single-member groups that the fit leaves out) and ref_clogit.do, `chk`
# lines against survival::clogit with the exact conditional likelihood.
# Run with Rscript from this folder.
library(survival)
set.seed(3)
q <- function(a) round(a * 64) / 64
rows <- list()
for (g in 1:60) {
  m <- sample(2:7, 1)
  x1 <- q(rnorm(m))
  x2 <- as.numeric(runif(m) < 0.5)
  d <- min(m - 1, sample(1:3, 1))
  w <- exp(0.9 * x1 - 0.7 * x2)
  case <- sample(1:m, d, prob = w / sum(w))
  y <- as.numeric(1:m %in% case)
  rows[[g]] <- data.frame(g = g, y = y, x1 = x1, x2 = x2, c = (g - 1) %/% 4)
}
# groups that carry no information: all negative, all positive, size one
rows[[61]] <- data.frame(g = 61, y = c(0, 0, 0), x1 = c(0.5, 1, -1), x2 = c(1, 0, 1), c = 15)
rows[[62]] <- data.frame(g = 62, y = c(1, 1), x1 = c(0.25, 2), x2 = c(0, 0), c = 15)
rows[[63]] <- data.frame(g = 63, y = 1, x1 = 0.75, x2 = 1, c = 15)
dat <- do.call(rbind, rows)
write.csv(dat, "clogit1.csv", row.names = FALSE, quote = FALSE)
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
