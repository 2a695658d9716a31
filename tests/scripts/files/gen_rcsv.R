# Writes cs_rna.csv the way R users export data: write.csv with its defaults
# except row names (NA for missing numbers and strings, strings quoted,
# numbers in R's 15-significant-digit form). Run: Rscript gen_rcsv.R
d <- data.frame(
  id = 1:6,
  price = c(26.88, NA, 4.5, 1234.5678, 0.1, NA),
  weight = c(2.5, 3.25, NA, 0.5, 1, 4),
  count = c(3L, NA, 7L, 120L, NA, 0L),
  name = c("alpha", NA, "NA", "delta", "e, f", "say \"hi\""),
  flag = c(TRUE, FALSE, NA, TRUE, TRUE, FALSE),
  stringsAsFactors = FALSE
)
write.csv(d, "cs_rna.csv", row.names = FALSE)
