// The message pool and the table of standard messages that error() prints for
// a return code, with the codes of 5000 and above that print a variant and
// return the underlying code, and the long explanations that follow the
// resource-shortage messages.
#include <cstdio>
#include <cstring>
#include <string>

#include "data/value.h"
#include "output/errors.h"
#include "output/outhost.h"
#include "output/output.h"
#include "output/rc.h"

ErrorState errst;

namespace {

// The message pool, in its fixed order; whole-line entries get their line end
// where they are printed.
const char* const msgpool[72] = {
    "not possible on xp data", "requires xp data", "no; data in memory would be lost",
    "no dataset in use", "syntax", "expression too long", "%format",
    "request may not be combined with by", "you must start with an empty dataset",
    "last estimates", "not possible with test", "last test", "too few ", "too many ",
    "variables specified", "values", "log file already open", "not sorted",
    "system limit exceeded - see manual", "no room to add more ", "variables", "observations",
    "no fullscreen hardware", "no observations", "unidentifiable error", "%s not allowed",
    "%s required", "", "", "", "", "", "", "", "", "", "", "", "", "", "name",
    "no variables defined", "%s already defined", "%s ambiguous abbreviation",
    "multiple by's not allowed", "", "unrecognized command", "", "", "file specification",
    "record too long", "unexpected end of file", "file does not contain dictionary",
    "dictionary invalid", "", "no log file open", "", "repeated categorical variable in term",
    "repeated term", "attempt to classify extraneous variable", "variable left unclassified",
    "variable classified inconsistently", "term contains more than 8 variables",
    "too many variables or values", "term not in model", "'%s' found where %s expected",
    "xp (%d) - see manual", "obs was %d, now %d", "", "not possible with weighted data",
    "may not use noninteger frequency weights", "number"};

// Pool entries that are whole lines (printed with a line end by errors()).
bool wholeline(int n) {
  switch (n) {
    case 0: case 1: case 2: case 3: case 5: case 7: case 8: case 10: case 16: case 17:
    case 18: case 22: case 23: case 24: case 41: case 44: case 46: case 50: case 51:
    case 52: case 53: case 55: case 57: case 58: case 59: case 60: case 61: case 62:
    case 63: case 64: case 69: case 70:
      return true;
    default:
      return false;
  }
}

// One row of the standard-message table.
struct MsgRow {
  int code;
  const char* text;
  bool zmcl;  // the text is markup
};

// Keyed by code, in ascending order (findmsg searches it by halves).
constexpr MsgRow msgtab[] = {
    {RC_TIMEOUT, "connection timed out -- see help {help r(2)} for troubleshooting", true},
    {RC_NODATA, "no dataset in use", false},
    {RC_DATALOST, "no; data in memory would be lost", false},
    {RC_NOTSORTED, "not sorted", false},
    {RC_NOTEMPTY, "you must start with an empty dataset", false},
    {RC_TOOFEWVARS, "too few variables specified", false},
    {RC_TOOMANYVARS, "too many variables specified", false},
    {RC_NOINPUT, "nothing to input", false},
    {RC_NUMERICVAR, "not possible with numeric variable", false},
    {RC_STRINGVAR, "not possible with string variable", false},
    {RC_TYPEMISMATCH, "type mismatch", false},
    {RC_NOTFOUND, "no variables defined", false},
    {RC_OUTOFCONTEXT, "statement out of context", false},
    {RC_BADFORMAT, "invalid %format", false},
    {RC_NUMLIST, "invalid numlist", false},
    {RC_NUMLIST_TOOFEW, "invalid numlist has too few elements", false},
    {RC_NUMLIST_TOOMANY, "invalid numlist has too many elements", false},
    {RC_NUMLIST_ORDER, "invalid numlist has elements out of order", false},
    {RC_NUMLIST_RANGE, "invalid numlist has elements outside of allowed range", false},
    {RC_NUMLIST_NONINT, "invalid numlist has noninteger elements", false},
    {RC_NUMLIST_MISSING, "invalid numlist has missing values", false},
    {RC_EXPTOOLONG, "expression too long", false},
    {RC_NOTWITHTEST, "not possible with test", false},
    {RC_TOOMANYVALUES, "too many values", false},
    {RC_WEIGHTED, "not possible with weighted data", false},
    {RC_TERM_REPEATCAT, "repeated categorical variable in term", false},
    {RC_TERM_REPEAT, "repeated term", false},
    {RC_TERM_EXTRA, "attempt to classify extraneous variable", false},
    {RC_TERM_UNCLASSED, "variable left unclassified", false},
    {RC_TERM_INCONSIST, "variable classified inconsistently", false},
    {RC_TERM_TOOBIG, "term contains more than 8 variables", false},
    {RC_TERM_NOTINMODEL, "term not in model", false},
    {RC_TOOFEWCATS, "too few categories", false},
    {RC_TOOMANYCATS, "too many categories", false},
    {RC_NOTRCLASS, "non r-class program may not set r()", false},
    {RC_NOTECLASS, "non e-class program may not set e()", false},
    {RC_NOTSCLASS, "non s-class program may not set s()", false},
    {RC_ADOOUTSIDE, "ado-file has commands outside of program define ... end", false},
    {RC_ADONODEF, "ado-file does not define command", false},
    {RC_LABELSTR, "may not label strings", false},
    {RC_NOTCOMBINED, "may not be combined", false},
    {RC_NOBY, "request may not be combined with by", false},
    {RC_NOBYOPT, "request may not be combined with by() option", false},
    {RC_SORTLOST, "could not restore sort order because variables were dropped", false},
    {RC_EXPSYNTAX, "invalid syntax", false},
    {RC_SYNTAX, "invalid syntax", false},
    {RC_UNRECOGNIZED, "unrecognized command", false},
    {RC_NOESTIMATES, "last estimates not found", false},
    {RC_NOTEST, "last test not found", false},
    {RC_NOMLMODEL, "ml model not found", false},
    {RC_NOMLMODEL2, "ml model not found", false},
    {RC_INUSE, "not possible because object(s) in use", false},
    {RC_BADAFTEREST, "requested action not valid after most recent estimation command", false},
    {RC_ESTINVALID, "something that should be true of your estimation results is not", false},
    {RC_NONINTFW, "may not use noninteger frequency weights", false},
    {RC_NEGWEIGHT, "negative weights encountered", false},
    {RC_NOROBUSTPW, "may not specify norobust with pweights", false},
    {RC_PWEIGHTED, "not possible with pweighted data", false},
    {RC_AWEIGHTED, "not possible with analytic weights", false},
    {RC_WEIGHTGROUP, "weights must be the same for all observations in a group", false},
    {RC_NONPOSITIVE, "nonpositive values encountered", false},
    {RC_CONSTRAINTS, "redundant or inconsistent constraints", false},
    {RC_BSE, "could not determine between-subject error term; use bse() option", false},
    {RC_BSEUNIT, "could not determine between-subject basic unit; use bseunit() option", false},
    {RC_NOCONVERGE, "convergence not achieved", false},
    {RC_NOTBINARY, "0/1 variable required", false},
    {RC_BADTIMEVAR, "invalid values for time variable", false},
    {RC_BADDATA, "something that should be true of your data is not", false},
    {RC_FPC_NEG, "fpc must be >= 0", false},
    {RC_FPC_STRATUM, "fpc for all observations within a stratum must be the same", false},
    {RC_FPC_RANGE, "fpc must be <= 1 if a rate, or >= no. sampled units per stratum if unit totals",
     false},
    {RC_ZEROWEIGHTS, "sum of weights equals zero", false},
    {RC_POSTSTRAT_CONST, "poststratum weights must be constant within poststrata", false},
    {RC_POSTSTRAT_NEG, "poststratum weights must be >= 0", false},
    {RC_STDWEIGHT_CONST, "standardization weights must be constant within standard strata", false},
    {RC_STDWEIGHT_NEG, "standardization weights must be >= 0", false},
    {RC_ESAMPLE, "esample() invalid", false},
    {RC_NOTIDENTIFIED, "equation/system not identified", false},
    {RC_MATOPNOTFOUND, "matrix operation not found", false},
    {RC_CONFORM, "conformability error", false},
    {RC_MATMISSING, "matrix has missing values", false},
    {RC_NOTSYMMETRIC, "matrix not symmetric", false},
    {RC_NOTPOSDEF, "matrix not positive definite", false},
    {RC_NAMECONFLICT, "name conflict", false},
    {RC_ZERODIAG, "matrix has zero values on diagonal", false},
    {RC_MATCONTEXT, "matrix operators that return matrices not allowed in this context", false},
    {RC_LOGOPEN, "log file already open", false},
    {RC_NOLOG, "no log file open", false},
    {RC_NOCMDLOG, "no cmdlog file open", false},
    {RC_RECTOOLONG, "record too long", false},
    {RC_EOF, "unexpected end of file", false},
    {RC_NODICT, "file does not contain dictionary", false},
    {RC_BADDICT, "dictionary invalid", false},
    {RC_NOSEPARATOR, "cannot determine separator -- use tab or comma option", false},
    {RC_CHECKSUMCOUNT, "wrong number of values in checksum file", false},
    {RC_PRESERVED, "already preserved", false},
    {RC_NORESTORE, "nothing to restore", false},
    {RC_HOSTNOTFOUND, "host not found", false},
    {RC_WEBCONTEXT, "web filename not supported in this context", false},
    {RC_WEBWRITE, "may not write files over Internet", false},
    {RC_CHECKSUM, "file transmission error (checksums do not match)", false},
    {RC_PKGTOOLONG, "package file too long", false},
    {RC_PKGINVALID, "package file invalid", false},
    {RC_SEEKPASTEND, "may not seek past end of file", false},
    {RC_PROXYHOST, "proxy host not found", false},
    {RC_PROXYREFUSED, "proxy server refused request to send", false},
    {RC_PROXYCONNECT,
     "remote connection to proxy failed -- see help {help r(663)} for troubleshooting", true},
    {RC_NONBLOCKING, "could not set socket nonblocking", false},
    {RC_SOCKLIBVERSION, "wrong version winsock.dll", false},
    {RC_SOCKLIB, "could not find a valid astsys0.lib library", false},
    {RC_BADURL, "invalid URL", false},
    {RC_BADPORT, "invalid network port number", false},
    {RC_BADPROTOCOL, "unknown network protocol", false},
    {RC_SERVERNOFILE, "server refused to send file", false},
    {RC_AUTHREQUIRED, "authorization required by server", false},
    {RC_BADRESPONSE, "unexpected response from server", false},
    {RC_SERVERERROR, "server reported server error", false},
    {RC_SERVERREFUSED, "server refused request to send", false},
    {RC_CONNECTFAIL, "remote connection failed -- see help {help r(677)} for troubleshooting",
     true},
    {RC_SOCKET, "could not open local network socket", false},
    {RC_TOOMANYFILES, "too many open files", false},
    {RC_ODBCCONNECT, "could not connect to odbc dsn", false},
    {RC_ODBCFETCH, "could not fetch variable in odbc table", false},
    {RC_IO, "I/O error", false},
    {RC_RENAME, "could not rename file", false},
    {RC_COPY, "could not copy file", false},
    {RC_SPAWN, "op. sys. refused to start new process", false},
    {RC_PIPE, "op. sys. refused to open pipe", false},
    {RC_NOMEM, "op. sys. refuses to provide memory", false},
    {RC_TOOSMALL, "value too small", false},
    {RC_TOOLARGE, "value too large", false},
    {RC_NOMEMMATSIZE, "op. sys. refuses to provide sufficient memory;\n"
          "    op. sys. provided base request, but then refused to provide\n"
          "    sufficient memory for matsize", false},
    {RC_TEMPFILE, "op. sys. refused to allow Zelta to open temporary file", false},
    {RC_TOOMANYMACROS, "too many macros", false},
    {RC_LIMIT, "system limit exceeded - see manual", false},
    {RC_LIMITVALUES, "too many values", false},
    {RC_TOOMANYBY, "too many by variables", false},
    {RC_TOOMANYOPTS, "too many options", false},
    {RC_CMDTOOLONG, "command too long", false},
    {RC_OVERFLOW, "numerical overflow", false},
    {RC_VEMO_COMPILE, "Vemo compile-time error", false},
    {RC_CLS_LIMIT, "class system limit exceeded", false},
    {RC_CLS_REFRANGE, "class-system reference out of range", false},
    {RC_CLS_REFUNDEF, "class-system reference not defined", false},
    {RC_CLS_REFINVALID, "invalid class-system reference", false},
    {RC_CLS_TYPEUSAGE, "invalid type usage", false},
    {RC_CLS_ATTRTYPE, "invalid attribute type", false},
    {RC_CLS_NOCONTEXT, "no current class context", false},
    {RC_CLS_TOOMANYKEYS, "too many class keys", false},
    {RC_CLS_BADREF, "invalid class reference or reference found where not expected", false},
    {RC_CLS_KEYNOTFOUND, "class key not found", false},
    {RC_CLS_NAMETOOLONG, "name too long", false},
    {RC_CLS_NAMENOTFOUND, "name not found", false},
    {RC_CLS_NOTTYPE, "not a class type", false},
    {RC_CLS_NOTCLASS, "not a class", false},
    {RC_CLS_TYPESDIFFER, "class types are not the same", false},
    {RC_CLS_DECLARED, "name already declared in current class", false},
    {RC_CLS_TYPENOTFOUND, "class type not found", false},
    {RC_CLS_INCOMPATIBLE, "source and target types are not compatible", false},
    {RC_CLS_NOTARRAY, "not an array", false},
    {RC_CLS_NOACTIVE, "no active class", false},
    {RC_CLS_NOMEMBERFN, "class member function not found", false},
    {RC_CLS_SUPER,
     "creators new, clone, clone1, copy, and reference may not be combined with super", false},
    {RC_CLS_CLONE, "clone creator may only be used with classes", false},
    {RC_CLS_RVALUE, "rvalue invalid", false},
    {RC_CLS_INCOMPATTYPES, "incompatible types", false},
    {RC_CLS_TARGETGONE, "target of assigment no longer available", false},
    {RC_CLS_ARRAYREF, "invalid array reference", false},
    {RC_CLS_ARRAYINIT, "invalid array intializer", false},
    {RC_CLS_EXISTS, "already exists", false},
    {RC_CLS_FAILURE, "class system failure", false},
    {RC_CLS_CONTEXTRANGE, "class context out of range", false},
    {RC_CLS_TOOLARGE, "class element too large to store", false},
    {RC_CLS_FILES, "system failure in .class files", false},
};
constexpr int NMSG = sizeof msgtab / sizeof msgtab[0];

constexpr bool insorted() {
  for (int i = 1; i < NMSG; ++i)
    if (msgtab[i - 1].code >= msgtab[i].code) return false;
  return true;
}
static_assert(insorted(), "the message table must be in ascending code order");

// The row of a code (the table is in code order).
const MsgRow* findmsg(int rc) {
  int lo = 0, hi = NMSG - 1;
  while (lo <= hi) {
    int mid = (lo + hi) / 2;
    if (msgtab[mid].code == rc) return &msgtab[mid];
    if (msgtab[mid].code < rc) lo = mid + 1;
    else hi = mid - 1;
  }
  return nullptr;
}

// A whole line of plain text at the current level.
void line(const char* text) {
  spout21(text);
  spout21("\n");
}

int matsize() { return errst.matsize ? errst.matsize() : 400; }

const char* const thinkof =
    "(Think of Zelta's data area as the area of a rectangle;\n"
    "Zelta can trade off width and length.)\n";

// Numbered item paragraph of an explanation.
void item(const std::string& text) {
  spoutsml("\n{p 5 9}\n");
  spoutsml(text.c_str());
  spoutsml("{p_end}\n");
}

// Explanation after 901.
void explain_obs() {
  spoutsml("{p 4 4}\nAn attempt was made to increase the number of\n"
           "observations beyond what is currently possible.\n"
           "You have the following alternatives:\n{p_end}\n");
  item(std::string("1.  Store your variables more efficiently;\nsee help {help compress}.\n") +
       thinkof);
  item("2.  Drop some variables or observations;\nsee help {help drop}.\n");
  item("3.  Increase the amount of memory allocated to the\n"
       "data area using the {cmd:set memory} command;\nsee help {help memory}.\n");
}

// Explanation after 902 and 903.
void explain_width() {
  spoutsml("{p 4 4}\nAn attempt was made to add a variable that would have increased\n"
           "the memory required to store an observation beyond\n"
           "what is currently possible.\n"
           "You have the following alternatives:\n{p_end}\n");
  item("1.  Store existing variables more efficiently;\nsee help {help compress}.\n");
  item(std::string("2.  Drop some variables or observations;\nsee help {help drop}.\n") +
       thinkof);
  item("3.  Increase the amount of memory allocated to the\n"
       "data area using the {cmd:set memory} command;\nsee help {help memory}.\n");
}

// The store's limit on variables, or its default before the store answers.
static int hostmaxvar() { return outhost.maxvar ? outhost.maxvar() : MAXVAR_DEFAULT; }

// Explanation after 900, with the maxvar setting.
void explain_maxvar() {
  int n = hostmaxvar();
  spoutsmlf("{p 4 4}\nAn attempt was made to add a variable that would have\n"
            "resulted in more than\n%d\nor\n%d\n"
            "variables (Zelta reserves one variable for its own use).\n"
            "You have the following alternatives:\n{p_end}\n",
            n, n - 1);
  item("1.  Drop some variables; see help {help drop}.\n");
  item("2.  If you are using Zelta/XL, increase maxvar;\nsee help {help maxvar}.\n");
}

// Explanation after 908, with the matsize setting.
void explain_matsize() {
  int m = matsize();
  spoutsmlf("{p 4 4}\nYou have attempted to create a matrix with more than\n%d\n"
            "rows or columns or to fit a model with more than\n%d\n"
            "variables plus ancillary parameters.\n"
            "You need to increase matsize using the\n"
            "{cmd:set matsize} command; see help {help matsize}.\n{p_end}\n",
            m, m);
}

// Explanation after 1010, with the maximum record width.
void explain_maxwidth() {
  spoutsmlf("{p 4 4}\nAn attempt was made to add a variable that would have increased\n"
            " the memory required to store an observation beyond\n%d\n"
            " bytes, the maximum width allowed.\n"
            "You have the following alternatives:\n{p_end}\n",
            12 * hostmaxvar());
  item("1.  Store existing variables more efficiently;\nsee help {help compress}.\n");
  item("2.  Drop some variables; see help {help drop}.\n");
  item("3.  If you are using Zelta/XL, increase the maximum width\n"
       "by increasing maxvar;\nsee help {help maxvar}.\n"
       "The maximum width is set to 12*maxvar.\n");
}

// Prints the message of rc at the current level; returns the code to return.
int printmsg(int rc) {
  switch (rc) {
    case RC_MATSIZEVARS:
      spout21("too many variables or values");
      if (matsize() <= 10999) {
        spout21(" (matsize too small)\n");
        spoutsml("{p 4 4}\nYou can increase matsize using the\n"
                 "{cmd:set matsize} command; see help {help matsize}.\n{p_end}\n");
      } else {
        spout21("\n");
      }
      return rc;
    case RC_NOROOMVARS: line("no room to add more variables"); explain_maxvar(); return rc;
    case RC_NOROOMOBS: line("no room to add more observations"); explain_obs(); return rc;
    case RC_NOROOMWIDTH:
      line("no room to add more variables due to width");
      explain_width();
      return rc;
    case RC_NOROOMPROMOTE:
      line("no room to promote variable (e.g., change int to float) due to width");
      explain_width();
      return rc;
    case RC_MATSIZE: line("matsize too small"); explain_matsize(); return rc;
    case RC_MAXWIDTH:
      line("system limit exceeded -- width shortage");
      explain_maxwidth();
      return rc;
    case RC_NOOBS:
    case RC_FEWOBS:
      // Notes rather than errors while a by-group loop runs.
      if (outhost.underby && outhost.underby()) setoutlev(OUT_NOTE);
      line(rc == RC_NOOBS ? "no observations" : "insufficient observations");
      return rc == RC_NOOBS ? RC_OK : RC_FEWOBS;
    case RC_MSG_IWROBUST: line("iweights not allowed with robust"); return RC_NOTALLOWED;
    case RC_MSG_TSOPS: line("time-series operators not allowed"); return RC_NOTALLOWED;
    case RC_MSG_LABEL: line("invalid attempt to modify label"); return RC_BADLABEL;
    case RC_MSG_FILESPEC: line("invalid file specification"); return RC_SYNTAX;
    case RC_MSG_MULTIBY: line("multiple by's not allowed"); return RC_SYNTAX;
    case RC_NOTE_MAC:
    case RC_NOTE_BATCH:
      setoutlev(OUT_NOTE);
      line(rc == RC_NOTE_MAC ? "irrelevant under Macintosh" : "request ignored due to batch mode");
      return RC_OK;
    default: break;
  }
  if (rc >= RC_VM_NARGS && rc <= RC_VM_LAST) {
    line("Vemo run-time error");
    return rc;
  }
  const MsgRow* m = findmsg(rc);
  if (!m) return rc;
  if (m->zmcl) {
    spout_setcoloroflev();
    spoutsml(m->text);
    spoutsml("\n");
  } else {
    line(m->text);
  }
  return rc;
}

}  // namespace

const char* loadmsg(int n) { return n >= 0 && n < 72 ? msgpool[n] : ""; }

// Prints the standard message of rc; returns rc or the code it maps to.
int error(int rc) {
  if (rc == RC_OK) return RC_OK;
  int prev = out.c_outlev;
  if (errst.newerror) {
    out.c_outlev = OUT_ERROR;
    spoutsetzmclweak();
  }
  int ret = printmsg(rc);
  out.c_outlev = prev;
  return ret;
}

// Pool message n at the error level (the level is left there).
int errors(int n) {
  setoutlev(OUT_ERROR);
  spout21(loadmsg(n));
  if (wholeline(n)) return spout21("\n");
  return spoutflush();
}

// Pool message n used as a format for name; returns rc.
int error2s(const char* name, int n, int rc) {
  setoutlev(OUT_ERROR);
  std::string t = loadmsg(n);
  size_t at = t.find("%s");
  if (at != std::string::npos) t.replace(at, 2, name ? name : "");
  t += '\n';
  spout21(t.c_str());
  return rc;
}
