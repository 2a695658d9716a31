# The data of a reference generator, made by the built zelta itself: the
# generator names a program of its folder's mkdata.do (the test runs the same
# program), zelta runs it and writes the data to a temporary CSV, and the
# generator reads it back. The zelta binary is $ZELTA, or build/zelta of
# this checkout (run from tests/scripts/<folder>).
zelta_data <- function(prog, mkdata = "mkdata.do") {
  zelta <- Sys.getenv("ZELTA", normalizePath("../../../build/zelta"))
  mk <- normalizePath(mkdata)
  tmp <- tempfile("zdata")
  dir.create(tmp)
  on.exit(unlink(tmp, recursive = TRUE))
  writeLines(c(sprintf('run "%s"', mk), prog, "outsheet using z.csv, comma replace"),
             file.path(tmp, "z.do"))
  old <- setwd(tmp)
  on.exit(setwd(old), add = TRUE, after = FALSE)
  system2(zelta, c("-q", "-b", "do", "z.do"), stdout = FALSE)
  if (!file.exists("z.csv")) stop(paste(readLines("z.log"), collapse = "\n"))
  read.csv("z.csv")
}
