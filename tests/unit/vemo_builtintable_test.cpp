// The built-in table as the compiler and the VM see it: every name in table
// order, and the declared result type and argument counts of the rows whose
// declarations matter to callers. A family file that declares a row
// differently makes this test fail, so the table cannot drift.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vemo/cc.h"
#include "vemo/vm.h"

namespace {

const char* const tablenames[] = {
    "abs", "cols", "exit", "exp", "ginvr", "isreal", "isstring", "ispointer", "log", "ln",
    "errprintf", "printf", "sprintf", "rowshape", "colshape", "rows", "sizeof", "sqrt", "uniform",
    "I", "J", "_error", "error", "_svd_2", "factorial", "sin", "cos", "tan", "asinr", "acosr",
    "atanr", "atan2", "lngamma", "trunc", "round", "lnfactorial", "chebyeval", "order", "_collate",
    "eltype", "orgtype", "rowminmax", "colminmax", "minmax", "rowsum", "colsum", "sum",
    "quadrowsum", "quadcolsum", "quadsum", "floor", "ceil", "valofexternal", "more", "Re", "Im",
    "C", "issymmetriconly", "issymmetric", "conj", "arg", "iscomplex", "epsilon", "_fft", "_invfft",
    "all", "any", "allof", "anyof", "rowmissing", "rownonmissing", "colmissing", "colnonmissing",
    "missing", "nonmissing", "_chdir", "_rmdir", "pwd", "length", "st_nvar", "st_nobs", "_st_data",
    "st_data", "_st_sdata", "st_sdata", "displayas", "strlen", "substr", "ascii", "char", "strpos",
    "indexnot", "strlower", "strupper", "stritrim", "strltrim", "strrtrim", "strtrim", "regexm",
    "regexr", "regexs", "strmatch", "strproper", "strreverse", "bufsub", "st_rclear", "st_eclear",
    "st_sclear", "st_local", "st_global", "st_numscalar", "st_matrix", "st_matrixrowstripe",
    "st_matrixcolstripe", "st_replacematrix", "reldif", "mreldif", "mreldifsym", "mreldifre",
    "uniformseed", "st_varindex", "_st_varindex", "_st_store", "_st_sstore", "st_store",
    "st_sstore", "J2", "st_view", "st_sview", "st_subview", "vemo_representation", "_invsym",
    "invsym", "cross", "crossdev", "quadcross", "quadcrossdev", "st_viewvars", "st_viewobs",
    "st_varname", "tokens", "st_tsrevar", "zelta", "_zelta", "st_macroexpand", "_st_macroexpand",
    "findexternal", "crexternal", "rmexternal", "direxternal", "display", "displayflush", "fopen",
    "_fopen", "fclose", "_fclose", "fgetnl", "_fgetnl", "fget", "_fget", "fread", "_fread",
    "fstatus", "fwrite", "_fwrite", "fput", "_fput", "fseek", "_fseek", "ftruncate", "_ftruncate",
    "tmpfilename", "unlink", "_unlink", "fputmatrix", "_fputmatrix", "fgetmatrix", "_fgetmatrix",
    "betaden", "Binomial", "binormal", "chi2", "chi2tail", "dgammapda", "dgammapdx", "dgammapdada",
    "dgammapdadx", "dgammapdxdx", "F", "Fden", "Ftail", "gammaden", "gammap", "ibeta",
    "invbinomial", "invchi2", "invchi2tail", "invF", "invFtail", "invgammap", "invibeta",
    "invnchi2", "invnFtail", "invnibeta", "invnormal", "invttail", "lnnormal", "lnnormalden",
    "nbetaden", "nchi2", "nFden", "nFtail", "nibeta", "normal", "normalden", "npnchi2", "tden",
    "ttail", "mod", "comb", "digamma", "trigamma", "_makesymmetric", "_lud2_la", "_luinv_la",
    "_lusolve_la", "_hqrdp_la", "_hqrdmult", "callersversion", "args", "_hqrdq1", "swap",
    "setbreakintr", "querybreakintr", "breakkey", "breakkeyreset", "_transpose", "_transposeonly",
    "_conj", "mindouble", "maxdouble", "smallestdouble", "dir", "isview", "st_addobs", "_st_addobs",
    "st_addvar", "_st_addvar", "st_tempname", "st_tempfilename", "st_dropvar", "st_keepvar",
    "st_dropobsin", "st_dropobsif", "st_keepobsin", "st_keepobsif", "st_updata", "st_strscalar",
    "st_dir", "st_vartype", "st_isnumvar", "st_isstrvar", "st_varrename", "st_varformat",
    "st_isfmt", "st_isnumfmt", "st_isstrfmt", "st_isname", "st_varlabel", "st_varvaluelabel",
    "st_vlexists", "st_vldrop", "st_vlmap", "st_vlsearch", "st_vlload", "st_vlmodify", "opcount",
    "c", "pathisurl", "pathisabs", "pathasciisuffix", "pathzeltasuffix", "pathsuffix",
    "pathrmsuffix", "adosubdir", "pathbasename", "pathjoin", "direxists", "_svd_la", "_testflopin",
    "_testflopout", "rowmaxabs", "colmaxabs", "_editmissing", "_editvalue", "isfleeting",
    "_cholesky", "_mkdir", "missingof", "_eigen_la", "_symeigen_la", "isrealvalues", "_ghk",
    "favorspeed", "_fillmissing", "sys_linkcount", "diagonal", "subinstr", "subinword", "strofreal",
    "byteorder", "zeltaversion", "zeltasetversion", "_strtoreal", "bufput", "bufget", "bufbfmtlen",
    "bufbfmtisnum", "_svy", "_robust", "ghalton", "sys_memory", "date", "yearly", "halfyearly",
    "quarterly", "monthly", "weekly", "month", "day", "year", "yofd", "dow", "dofy", "dofh", "dofq",
    "dofm", "dofw", "dofd", "hofd", "qofd", "mofd", "wofd", "halfyear", "quarter", "week", "doy",
    "yw", "ym", "yq", "yh", "mdy", "select", "st_select", "timer_clear", "timer_on", "timer_off",
    "timer_value", "minindex", "trace_AVBV", "_diag", "trace_ABBAV",
};

struct Row {
  const char* name;
  int el, org, minargs, maxargs;
};

// Rows whose result type is other than transmorphic matrix, or whose
// argument counts are fixed.
const Row declared[] = {
    {"printf", E_TRANS, O_MATRIX, 1, 200},
    {"errprintf", E_TRANS, O_MATRIX, 1, 200},
    {"sprintf", E_STR, O_SCALAR, 1, 200},
    {"J", E_TRANS, O_MATRIX, 3, 3},
    {"I", E_TRANS, O_MATRIX, 1, 2},
    {"uniform", E_REAL, O_MATRIX, 2, 2},
    {"cross", E_REAL, O_MATRIX, 2, 5},
    {"quadcross", E_REAL, O_MATRIX, 2, 5},
    {"sum", E_NUM, O_SCALAR, 1, 1},
    {"quadsum", E_NUM, O_SCALAR, 1, 1},
    {"rowsum", E_NUM, O_COLVEC, 1, 1},
    {"colsum", E_NUM, O_ROWVEC, 1, 1},
    {"error", E_REAL, O_SCALAR, 1, 1},
    {"_error", E_TRANS, O_MATRIX, 1, 2},
    {"exit", E_TRANS, O_MATRIX, 0, 1},
    {"eltype", E_STR, O_SCALAR, 1, 1},
    {"orgtype", E_STR, O_SCALAR, 1, 1},
    {"st_nvar", E_REAL, O_SCALAR, 0, 0},
    {"st_nobs", E_REAL, O_SCALAR, 0, 0},
    {"st_data", E_REAL, O_MATRIX, 2, 3},
    {"st_sdata", E_STR, O_MATRIX, 2, 3},
    {"_st_data", E_REAL, O_SCALAR, 2, 2},
    {"st_store", E_TRANS, O_MATRIX, 3, 4},
    {"st_sstore", E_TRANS, O_MATRIX, 3, 4},
    {"_st_store", E_TRANS, O_MATRIX, 3, 3},
    {"st_view", E_TRANS, O_MATRIX, 3, 4},
    {"st_sview", E_TRANS, O_MATRIX, 3, 4},
    {"st_subview", E_TRANS, O_MATRIX, 4, 4},
    {"st_local", E_TRANS, O_MATRIX, 1, 2},
    {"st_global", E_TRANS, O_MATRIX, 1, 2},
    {"st_numscalar", E_TRANS, O_MATRIX, 1, 2},
    {"st_strscalar", E_TRANS, O_MATRIX, 1, 2},
    {"st_matrix", E_TRANS, O_MATRIX, 1, 2},
    {"st_varindex", E_REAL, O_ROWVEC, 1, 2},
    {"st_varname", E_STR, O_ROWVEC, 1, 2},
    {"st_addvar", E_REAL, O_ROWVEC, 2, 3},
    {"st_addobs", E_TRANS, O_MATRIX, 1, 2},
    {"zelta", E_TRANS, O_MATRIX, 1, 3},
    {"_zelta", E_REAL, O_SCALAR, 1, 3},
    {"findexternal", E_PTR, O_SCALAR, 1, 1},
    {"crexternal", E_PTR, O_SCALAR, 1, 1},
    {"fopen", E_REAL, O_SCALAR, 2, 3},
    {"fputmatrix", E_TRANS, O_MATRIX, 2, 2},
    {"fgetmatrix", E_TRANS, O_MATRIX, 1, 1},
    {"minindex", E_TRANS, O_MATRIX, 4, 4},
    {"callersversion", E_REAL, O_SCALAR, 0, 0},
    {"args", E_REAL, O_SCALAR, 0, 0},
};

TEST(VemoBuiltinTable, NamesInTableOrder) {
  const std::vector<Builtin>& t = builtins();
  ASSERT_EQ(t.size(), sizeof tablenames / sizeof tablenames[0]);
  ASSERT_EQ(t.size(), 362u);
  for (size_t i = 0; i < t.size(); ++i) {
    EXPECT_STREQ(t[i].name, tablenames[i]) << "row " << i;
    EXPECT_EQ(builtin_find(tablenames[i]), static_cast<int>(i)) << tablenames[i];
  }
}

TEST(VemoBuiltinTable, EveryRowImplementedWithSaneCounts) {
  for (const Builtin& b : builtins()) {
    EXPECT_NE(b.fn, nullptr) << b.name;
    EXPECT_LE(b.minargs, b.maxargs) << b.name;
    EXPECT_GE(b.minargs, 0) << b.name;
    EXPECT_NE(b.el, E_STRUCT) << b.name;
  }
}

TEST(VemoBuiltinTable, DeclaredTypesAndArgumentCounts) {
  for (const Row& r : declared) {
    const int k = builtin_find(r.name);
    ASSERT_GE(k, 0) << r.name;
    const Builtin& b = builtins()[static_cast<size_t>(k)];
    EXPECT_EQ(b.el, r.el) << r.name << "(): element type";
    EXPECT_EQ(b.org, r.org) << r.name << "(): organization";
    EXPECT_EQ(b.minargs, r.minargs) << r.name << "(): fewest arguments";
    EXPECT_EQ(b.maxargs, r.maxargs) << r.name << "(): most arguments";
  }
}

}  // namespace
