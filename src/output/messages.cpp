// The message pool and the table of standard messages that error() prints for
// a return code, with the codes of 5000 and above that print a variant and
// return the underlying code, and the long explanations that follow the
// resource-shortage messages.
#include <cstdio>
#include <cstring>
#include <string>

#include "data/store.h"
#include "interp/cmdtab.h"
#include "output/errors.h"
#include "output/output.h"

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

const MsgRow msgtab[] = {
    {2, "connection timed out -- see help {help r(2)} for troubleshooting", true},
    {3, "no dataset in use", false},
    {4, "no; data in memory would be lost", false},
    {5, "not sorted", false},
    {18, "you must start with an empty dataset", false},
    {102, "too few variables specified", false},
    {103, "too many variables specified", false},
    {104, "nothing to input", false},
    {107, "not possible with numeric variable", false},
    {108, "not possible with string variable", false},
    {109, "type mismatch", false},
    {111, "no variables defined", false},
    {119, "statement out of context", false},
    {120, "invalid %format", false},
    {121, "invalid numlist", false},
    {122, "invalid numlist has too few elements", false},
    {123, "invalid numlist has too many elements", false},
    {124, "invalid numlist has elements out of order", false},
    {125, "invalid numlist has elements outside of allowed range", false},
    {126, "invalid numlist has noninteger elements", false},
    {127, "invalid numlist has missing values", false},
    {130, "expression too long", false},
    {131, "not possible with test", false},
    {134, "too many values", false},
    {135, "not possible with weighted data", false},
    {140, "repeated categorical variable in term", false},
    {141, "repeated term", false},
    {142, "attempt to classify extraneous variable", false},
    {143, "variable left unclassified", false},
    {144, "variable classified inconsistently", false},
    {145, "term contains more than 8 variables", false},
    {147, "term not in model", false},
    {148, "too few categories", false},
    {149, "too many categories", false},
    {151, "non r-class program may not set r()", false},
    {152, "non e-class program may not set e()", false},
    {153, "non s-class program may not set s()", false},
    {161, "ado-file has commands outside of program define ... end", false},
    {162, "ado-file does not define command", false},
    {181, "may not label strings", false},
    {184, "may not be combined", false},
    {190, "request may not be combined with by", false},
    {191, "request may not be combined with by() option", false},
    {196, "could not restore sort order because variables were dropped", false},
    {197, "invalid syntax", false},
    {198, "invalid syntax", false},
    {199, "unrecognized command", false},
    {301, "last estimates not found", false},
    {302, "last test not found", false},
    {304, "ml model not found", false},
    {305, "ml model not found", false},
    {310, "not possible because object(s) in use", false},
    {321, "requested action not valid after most recent estimation command", false},
    {322, "something that should be true of your estimation results is not", false},
    {401, "may not use noninteger frequency weights", false},
    {402, "negative weights encountered", false},
    {403, "may not specify norobust with pweights", false},
    {404, "not possible with pweighted data", false},
    {406, "not possible with analytic weights", false},
    {407, "weights must be the same for all observations in a group", false},
    {411, "nonpositive values encountered", false},
    {412, "redundant or inconsistent constraints", false},
    {421, "could not determine between-subject error term; use bse() option", false},
    {422, "could not determine between-subject basic unit; use bseunit() option", false},
    {430, "convergence not achieved", false},
    {450, "0/1 variable required", false},
    {451, "invalid values for time variable", false},
    {459, "something that should be true of your data is not", false},
    {460, "fpc must be >= 0", false},
    {461, "fpc for all observations within a stratum must be the same", false},
    {462, "fpc must be <= 1 if a rate, or >= no. sampled units per stratum if unit totals",
     false},
    {463, "sum of weights equals zero", false},
    {464, "poststratum weights must be constant within poststrata", false},
    {465, "poststratum weights must be >= 0", false},
    {466, "standardization weights must be constant within standard strata", false},
    {467, "standardization weights must be >= 0", false},
    {471, "esample() invalid", false},
    {481, "equation/system not identified", false},
    {501, "matrix operation not found", false},
    {503, "conformability error", false},
    {504, "matrix has missing values", false},
    {505, "matrix not symmetric", false},
    {506, "matrix not positive definite", false},
    {507, "name conflict", false},
    {508, "matrix has zero values on diagonal", false},
    {509, "matrix operators that return matrices not allowed in this context", false},
    {604, "log file already open", false},
    {606, "no log file open", false},
    {607, "no cmdlog file open", false},
    {611, "record too long", false},
    {612, "unexpected end of file", false},
    {613, "file does not contain dictionary", false},
    {614, "dictionary invalid", false},
    {615, "cannot determine separator -- use tab or comma option", false},
    {616, "wrong number of values in checksum file", false},
    {621, "already preserved", false},
    {622, "nothing to restore", false},
    {631, "host not found", false},
    {632, "web filename not supported in this context", false},
    {633, "may not write files over Internet", false},
    {639, "file transmission error (checksums do not match)", false},
    {640, "package file too long", false},
    {641, "package file invalid", false},
    {651, "may not seek past end of file", false},
    {660, "proxy host not found", false},
    {662, "proxy server refused request to send", false},
    {663, "remote connection to proxy failed -- see help {help r(663)} for troubleshooting",
     true},
    {665, "could not set socket nonblocking", false},
    {667, "wrong version winsock.dll", false},
    {668, "could not find a valid astsys0.lib library", false},
    {669, "invalid URL", false},
    {670, "invalid network port number", false},
    {671, "unknown network protocol", false},
    {672, "server refused to send file", false},
    {673, "authorization required by server", false},
    {674, "unexpected response from server", false},
    {675, "server reported server error", false},
    {676, "server refused request to send", false},
    {677, "remote connection failed -- see help {help r(677)} for troubleshooting", true},
    {678, "could not open local network socket", false},
    {681, "too many open files", false},
    {682, "could not connect to odbc dsn", false},
    {683, "could not fetch variable in odbc table", false},
    {691, "I/O error", false},
    {694, "could not rename file", false},
    {695, "could not copy file", false},
    {702, "op. sys. refused to start new process", false},
    {703, "op. sys. refused to open pipe", false},
    {909, "op. sys. refuses to provide memory", false},
    {910, "value too small", false},
    {912, "value too large", false},
    {913, "op. sys. refuses to provide sufficient memory;\n"
          "    op. sys. provided base request, but then refused to provide\n"
          "    sufficient memory for matsize", false},
    {914, "op. sys. refused to allow Zelta to open temporary file", false},
    {920, "too many macros", false},
    {1000, "system limit exceeded - see manual", false},
    {1001, "too many values", false},
    {1002, "too many by variables", false},
    {1003, "too many options", false},
    {1004, "command too long", false},
    {1400, "numerical overflow", false},
    {3000, "Vemo compile-time error", false},
    {4000, "class system limit exceeded", false},
    {4001, "class-system reference out of range", false},
    {4002, "class-system reference not defined", false},
    {4003, "invalid class-system reference", false},
    {4005, "invalid type usage", false},
    {4006, "invalid attribute type", false},
    {4007, "no current class context", false},
    {4008, "too many class keys", false},
    {4009, "invalid class reference or reference found where not expected", false},
    {4010, "class key not found", false},
    {4011, "name too long", false},
    {4012, "name not found", false},
    {4013, "not a class type", false},
    {4014, "not a class", false},
    {4015, "class types are not the same", false},
    {4017, "name already declared in current class", false},
    {4018, "class type not found", false},
    {4019, "source and target types are not compatible", false},
    {4020, "not an array", false},
    {4022, "no active class", false},
    {4023, "class member function not found", false},
    {4024, "creators new, clone, clone1, copy, and reference may not be combined with super",
     false},
    {4025, "clone creator may only be used with classes", false},
    {4026, "rvalue invalid", false},
    {4027, "incompatible types", false},
    {4028, "target of assigment no longer available", false},
    {4029, "invalid array reference", false},
    {4030, "invalid array intializer", false},
    {4031, "already exists", false},
    {4050, "class system failure", false},
    {4051, "class context out of range", false},
    {4052, "class element too large to store", false},
    {4099, "system failure in .class files", false},
};
constexpr int NMSG = sizeof msgtab / sizeof msgtab[0];

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

// Explanation after 900, with the maxvar setting.
void explain_maxvar() {
  int n = ds.maxmaxvar;
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
            12 * ds.maxmaxvar);
  item("1.  Store existing variables more efficiently;\nsee help {help compress}.\n");
  item("2.  Drop some variables; see help {help drop}.\n");
  item("3.  If you are using Zelta/XL, increase the maximum width\n"
       "by increasing maxvar;\nsee help {help maxvar}.\n"
       "The maximum width is set to 12*maxvar.\n");
}

// Prints the message of rc at the current level; returns the code to return.
int printmsg(int rc) {
  switch (rc) {
    case 146:
      spout21("too many variables or values");
      if (matsize() <= 10999) {
        spout21(" (matsize too small)\n");
        spoutsml("{p 4 4}\nYou can increase matsize using the\n"
                 "{cmd:set matsize} command; see help {help matsize}.\n{p_end}\n");
      } else {
        spout21("\n");
      }
      return rc;
    case 900: line("no room to add more variables"); explain_maxvar(); return rc;
    case 901: line("no room to add more observations"); explain_obs(); return rc;
    case 902: line("no room to add more variables due to width"); explain_width(); return rc;
    case 903:
      line("no room to promote variable (e.g., change int to float) due to width");
      explain_width();
      return rc;
    case 908: line("matsize too small"); explain_matsize(); return rc;
    case 1010:
      line("system limit exceeded -- width shortage");
      explain_maxwidth();
      return rc;
    case 2000:
    case 2001:
      // Notes rather than errors while a by-group loop runs.
      if (ps.bylevel) setoutlev(OUT_NOTE);
      line(rc == 2000 ? "no observations" : "insufficient observations");
      return rc == 2000 ? 0 : 2001;
    case 5101: line("iweights not allowed with robust"); return 101;
    case 6101: line("time-series operators not allowed"); return 101;
    case 7196: line("invalid attempt to modify label"); return 180;
    case 7197: line("invalid file specification"); return 198;
    case 7198: line("multiple by's not allowed"); return 198;
    case 8001:
    case 8002:
      setoutlev(OUT_NOTE);
      line(rc == 8001 ? "irrelevant under Macintosh" : "request ignored due to batch mode");
      return 0;
    default: break;
  }
  if (rc >= 3001 && rc <= 3999) {
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
  if (rc == 0) return 0;
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
