# Generates the peer files of the transport tests (run from this folder):
# 1. peer_haven.xpt, written by haven::write_xpt(version = 5), and
#    peer_haven.do, asserts of the values it was given;
# 2. ours_foreign.do: the values foreign::read.xport reads from ours.xpt
#    (written by xpt_make.do; copy ours_new.xpt to ours.xpt first).
library(haven)
library(foreign)
num <- function(v) if (is.na(v)) "missing(%s[%d])" else paste0("%s[%d] == ", sprintf("%.17g", v))
str <- function(v) paste0("%s[%d] == `\"", ifelse(is.na(v), "", v), "\"'")
asserts <- function(df, file, header) {
  out <- header
  for (n in names(df)) for (i in seq_len(nrow(df))) {
    v <- df[[n]][i]
    f <- if (is.character(v)) str(v) else num(v)
    out <- c(out, paste("assert", sprintf(f, n, i)))
  }
  writeLines(out, file)
}
df <- data.frame(id = 1:7,
                 x = c(0.1, -1/3, -2.5e-70, 1e70, NA, 123456789.123, 2^52 + 0.5),
                 s = c("alpha", "", "a b c", "zz", NA, "last", "with \"quote\""),
                 stringsAsFactors = FALSE)
df$m <- c(1.5, tagged_na("A"), tagged_na("Z"), NA, -7, 5e-75, 0)
attr(df$x, "label") <- "An x variable"
write_xpt(df, "peer_haven.xpt", version = 5, name = "PEER")
plain <- df
plain$m <- as.numeric(plain$m)
asserts(plain, "peer_haven.do", "* The values haven::write_xpt was given (gen_xport.R).")
r <- read.xport("ours.xpt", as.is = TRUE)
names(r) <- tolower(names(r))
asserts(r, "ours_foreign.do", "* ours.xpt as foreign::read.xport reads it (gen_xport.R).")
