* A PDF export of a simple graph is a well-formed file of a sensible size:
* it starts with the PDF header, ends with the end-of-file marker, keeps its
* drawing operators in one deflated stream (no plain operators in the file),
* and 1,000 markers take well under the 35,000 bytes they would take
* uncompressed (about 8,600 bytes compressed here, and some 7,000 more for
* the subset of the font its text is set in, embedded as a TrueType file).
use people, example clear
scatter lnwage age, title("Log wage by age")
graph export g.pdf
vemo: fh = fopen("g.pdf", "r")
vemo: s = fread(fh, 1000000)
vemo: fclose(fh)
vemo: substr(s, 1, 8) == "%PDF-1.4"
vemo: substr(s, strlen(s) - 5, 6) == "%%EOF" + char(10)
vemo: strpos(s, "/Filter /FlateDecode") > 0
* the frame and the drawing operators stay out of sight
vemo: strpos(s, " re f") == 0 & strpos(s, "Log wage by age") == 0
vemo: strlen(s) > 3000 & strlen(s) < 25000
vemo: strpos(s, "/FontFile2") > 0 & strpos(s, "/Subtype /TrueType") > 0
* replace: the same graph again, the same size
graph export g.pdf, replace
vemo: fh = fopen("g.pdf", "r")
vemo: strlen(fread(fh, 1000000)) == strlen(s)
vemo: fclose(fh)
* errors: an existing file, a folder that does not exist
cap noi graph export g.pdf
display _rc
cap noi graph export nosuchdir/g.pdf
display _rc
