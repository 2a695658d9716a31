// Every return code of the system, by name. A code is an int: 0 success, 1 a
// Break, any other value a failure whose standard message (if it has one) is
// in the table of src/output/messages.cpp, keyed by these names. Codes of 5000
// and above passed to error() are message variants that print a particular
// text and map to an underlying code. Several names may share a number when
// the same code is raised for different reasons; each site uses the name that
// says what went wrong there. Depends on nothing.
#pragma once

enum Rc : int {
  RC_OK = 0,
  RC_BREAK = 1,  // the user pressed Break

  // General (1 to 99).
  RC_TIMEOUT = 2,     // connection timed out
  RC_NODATA = 3,      // no dataset in use
  RC_DATALOST = 4,    // data in memory would be lost
  RC_NOTSORTED = 5,   // not sorted
  RC_REJECTED = 9,    // a consistency check refused the data (assert, reshape, update)
  RC_NOTEMPTY = 18,   // must start with an empty dataset

  // Syntax, names and types (100 to 199).
  RC_REQUIRED = 100,        // "%s required"
  RC_NOTALLOWED = 101,      // "%s not allowed"
  RC_TOOFEWVARS = 102,      // too few variables specified
  RC_TOOMANYVARS = 103,     // too many variables specified
  RC_NOINPUT = 104,         // nothing to input
  RC_WRONGTYPE = 106,       // variable of the wrong type
  RC_NUMERICVAR = 107,      // not possible with numeric variable
  RC_STRINGVAR = 108,       // not possible with string variable
  RC_TYPEMISMATCH = 109,    // type mismatch
  RC_DEFINED = 110,         // "%s already defined"
  RC_NOTFOUND = 111,        // a name not found
  RC_NOVARS = 111,          // no variables defined
  RC_OUTOFCONTEXT = 119,    // statement out of context
  RC_BADFORMAT = 120,       // invalid %format
  RC_NUMLIST = 121,         // invalid numlist or number
  RC_NUMLIST_TOOFEW = 122,  // numlist has too few elements (number required)
  RC_NUMLIST_TOOMANY = 123, // numlist has too many elements (single number required)
  RC_NUMLIST_ORDER = 124,   // numlist elements out of order
  RC_NUMLIST_RANGE = 125,   // outside of allowed range
  RC_NUMLIST_NONINT = 126,  // noninteger
  RC_NUMLIST_MISSING = 127, // missing values
  RC_EXPTOOLONG = 130,      // expression too long
  RC_NOTWITHTEST = 131,     // not possible with test
  RC_UNBALANCED = 132,      // quotes or parentheses unbalanced
  RC_UNKNOWNFN = 133,       // unknown function or c() name
  RC_TOOMANYVALUES = 134,   // too many values
  RC_WEIGHTED = 135,        // not possible with weighted data
  RC_TERM_REPEATCAT = 140,  // repeated categorical variable in term
  RC_TERM_REPEAT = 141,     // repeated term
  RC_TERM_EXTRA = 142,      // attempt to classify extraneous variable
  RC_TERM_UNCLASSED = 143,  // variable left unclassified
  RC_TERM_INCONSIST = 144,  // variable classified inconsistently
  RC_TERM_TOOBIG = 145,     // term contains more than 8 variables
  RC_MATSIZEVARS = 146,     // too many variables or values (matsize)
  RC_TERM_NOTINMODEL = 147, // term not in model
  RC_TOOFEWCATS = 148,      // too few categories
  RC_TOOMANYCATS = 149,     // too many categories
  RC_NOTRCLASS = 151,       // non r-class program may not set r()
  RC_NOTECLASS = 152,       // non e-class program may not set e()
  RC_NOTSCLASS = 153,       // non s-class program may not set s()
  RC_ADOOUTSIDE = 161,      // ado-file has commands outside of program define
  RC_ADONODEF = 162,        // ado-file does not define command
  RC_BADLABEL = 180,        // invalid attempt to modify label
  RC_LABELSTR = 181,        // may not label strings
  RC_NOTLABELED = 182,      // not labeled
  RC_NOTCOMBINED = 184,     // options may not be combined
  RC_NOBY = 190,            // request may not be combined with by
  RC_NOBYOPT = 191,         // request may not be combined with by() option
  RC_SORTLOST = 196,        // could not restore sort order
  RC_EXPSYNTAX = 197,       // invalid syntax (an expression or a template)
  RC_SYNTAX = 198,          // invalid syntax
  RC_UNRECOGNIZED = 199,    // unrecognized command

  // Estimation (300 to 399).
  RC_NOESTIMATES = 301,     // last estimates not found
  RC_NOTEST = 302,          // last test not found
  RC_NOEQUATION = 303,      // equation not found
  RC_NOMLMODEL = 304,       // ml model not found
  RC_NOMLMODEL2 = 305,      // ml model not found
  RC_INUSE = 310,           // object(s) in use
  RC_BADAFTEREST = 321,     // not valid after most recent estimation command
  RC_ESTINVALID = 322,      // something should be true of the estimation results

  // Statistical problems (400 to 499).
  RC_NONINTFW = 401,        // noninteger frequency weights
  RC_NEGWEIGHT = 402,       // negative weights encountered
  RC_NOROBUSTPW = 403,      // norobust with pweights
  RC_PWEIGHTED = 404,       // not possible with pweighted data
  RC_AWEIGHTED = 406,       // not possible with analytic weights
  RC_WEIGHTGROUP = 407,     // weights differ within a group
  RC_NONPOSITIVE = 411,     // nonpositive values encountered
  RC_CONSTRAINTS = 412,     // redundant or inconsistent constraints
  RC_GROUPCOUNT = 420,      // wrong number of groups
  RC_BSE = 421,             // between-subject error term
  RC_BSEUNIT = 422,         // between-subject basic unit
  RC_NOCONVERGE = 430,      // convergence not achieved
  RC_NOTBINARY = 450,       // 0/1 variable required
  RC_BADTIMEVAR = 451,      // invalid values for time variable
  RC_BADDATA = 459,         // something should be true of the data
  RC_FPC_NEG = 460,
  RC_FPC_STRATUM = 461,
  RC_FPC_RANGE = 462,
  RC_ZEROWEIGHTS = 463,
  RC_POSTSTRAT_CONST = 464,
  RC_POSTSTRAT_NEG = 465,
  RC_STDWEIGHT_CONST = 466,
  RC_STDWEIGHT_NEG = 467,
  RC_ESAMPLE = 471,         // esample() invalid
  RC_NOTIDENTIFIED = 481,   // equation/system not identified

  // Matrices (500 to 599).
  RC_MATOPNOTFOUND = 501,   // matrix operation not found
  RC_CONFORM = 503,         // conformability error
  RC_MATMISSING = 504,      // matrix has missing values
  RC_NOTSYMMETRIC = 505,    // matrix not symmetric
  RC_NOTPOSDEF = 506,       // matrix not positive definite
  RC_NAMECONFLICT = 507,    // name conflict
  RC_ZERODIAG = 508,        // matrix has zero values on diagonal
  RC_MATCONTEXT = 509,      // matrix operators not allowed in this context

  // Files and the network (600 to 699).
  RC_FILENOTFOUND = 601,    // file not found
  RC_FILEEXISTS = 602,      // file already exists
  RC_FILEOPEN = 603,        // file could not be opened
  RC_LOGOPEN = 604,         // log file already open
  RC_NOLOG = 606,           // no log file open
  RC_NOCMDLOG = 607,        // no cmdlog file open
  RC_READONLY = 608,        // file is read-only
  RC_XPFORMAT = 609,        // file in xp format
  RC_FILEFORMAT = 610,      // not Zelta format (or a newer version)
  RC_RECTOOLONG = 611,      // record too long
  RC_EOF = 612,             // unexpected end of file
  RC_NODICT = 613,          // file does not contain dictionary
  RC_BADDICT = 614,         // dictionary invalid
  RC_NOSEPARATOR = 615,     // cannot determine separator
  RC_CHECKSUMCOUNT = 616,   // wrong number of values in checksum file
  RC_PRESERVED = 621,       // already preserved
  RC_NORESTORE = 622,       // nothing to restore
  RC_WEBFILE = 630,         // web file not supported
  RC_HOSTNOTFOUND = 631,    // host not found
  RC_WEBCONTEXT = 632,      // web filename not supported in this context
  RC_WEBWRITE = 633,        // may not write files over Internet
  RC_CHECKSUM = 639,        // file transmission error
  RC_PKGTOOLONG = 640,      // package file too long
  RC_PKGINVALID = 641,      // package file invalid
  RC_SEEKPASTEND = 651,     // may not seek past end of file
  RC_PROXYHOST = 660,       // proxy host not found
  RC_HOSTORFILE = 661,      // host or file not found
  RC_PROXYREFUSED = 662,    // proxy server refused request to send
  RC_PROXYCONNECT = 663,    // remote connection to proxy failed
  RC_NONBLOCKING = 665,     // could not set socket nonblocking
  RC_SOCKLIBVERSION = 667,  // wrong version of the socket library
  RC_SOCKLIB = 668,         // socket library not found
  RC_BADURL = 669,          // invalid URL
  RC_BADPORT = 670,         // invalid network port number
  RC_BADPROTOCOL = 671,     // unknown network protocol
  RC_SERVERNOFILE = 672,    // server refused to send file
  RC_AUTHREQUIRED = 673,    // authorization required by server
  RC_BADRESPONSE = 674,     // unexpected response from server
  RC_SERVERERROR = 675,     // server reported server error
  RC_SERVERREFUSED = 676,   // server refused request to send
  RC_CONNECTFAIL = 677,     // remote connection failed
  RC_SOCKET = 678,          // could not open local network socket
  RC_WEBERROR = 679,        // unexpected web error
  RC_TOOMANYFILES = 681,    // too many open files
  RC_ODBCCONNECT = 682,     // could not connect to odbc dsn
  RC_ODBCFETCH = 683,       // could not fetch variable in odbc table
  RC_CORRUPT = 688,         // file is corrupt
  RC_IO = 691,              // I/O error
  RC_READ = 692,            // I/O error on read
  RC_WRITE = 693,           // I/O error on write
  RC_RENAME = 694,          // could not rename file
  RC_COPY = 695,            // could not copy file
  RC_FILESAVED = 697,       // note: file saved
  RC_FILENOTE = 698,        // note: file not found
  RC_DISKFULL = 699,        // insufficient disk space

  // The operating system (700 to 799).
  RC_SPAWN = 702,           // refused to start new process
  RC_PIPE = 703,            // refused to open pipe

  // Memory and system limits (900 to 1999).
  RC_NOROOMVARS = 900,      // no room to add more variables (maxvar)
  RC_NOROOMOBS = 901,       // no room to add more observations
  RC_NOROOMWIDTH = 902,     // no room to add more variables due to width
  RC_NOROOMPROMOTE = 903,   // no room to promote variable due to width
  RC_MATSIZE = 908,         // matsize too small
  RC_NOMEM = 909,           // op. sys. refuses to provide memory
  RC_TOOSMALL = 910,        // value too small
  RC_TOOLARGE = 912,        // value too large
  RC_NOMEMMATSIZE = 913,    // memory for matsize refused
  RC_TEMPFILE = 914,        // could not open temporary file
  RC_TOOMANYMACROS = 920,   // too many macros
  RC_INSUFMEM = 950,        // insufficient memory
  RC_LIMIT = 1000,          // system limit exceeded
  RC_LIMITVALUES = 1001,    // too many values
  RC_TOOMANYBY = 1002,      // too many by variables
  RC_TOOMANYOPTS = 1003,    // too many options
  RC_CMDTOOLONG = 1004,     // command too long
  RC_MAXWIDTH = 1010,       // width shortage
  RC_OVERFLOW = 1400,       // numerical overflow

  // Observation counts (2000 to 2999).
  RC_NOOBS = 2000,          // no observations
  RC_FEWOBS = 2001,         // insufficient observations

  // The matrix language (3000 to 3999): compile-time, then run-time codes.
  RC_VEMO_COMPILE = 3000,
  RC_VM_NARGS = 3001,       // incorrect number of arguments
  RC_VM_IDENTICAL = 3002,   // identical arguments not allowed
  RC_VM_NULLPTR = 3010,     // attempt to dereference NULL pointer
  RC_VM_LVAL = 3011,        // invalid lval
  RC_VM_PTROP = 3012,       // undefined operation on pointer
  RC_VM_NOTFCN = 3101,      // matrix found where function required
  RC_VM_FCN = 3102,         // function found where matrix required
  RC_VM_VIEW = 3103,        // view found where array required
  RC_VM_NOTVIEW = 3104,     // array found where view required
  RC_VM_CONFORM = 3200,     // conformability error
  RC_VM_VECTOR = 3201,      // vector required
  RC_VM_ROWVEC = 3202,      // rowvector required
  RC_VM_COLVEC = 3203,      // colvector required
  RC_VM_SCALAR = 3204,      // matrix found where scalar required
  RC_VM_SQUARE = 3205,      // square matrix required
  RC_VM_TYPE = 3250,        // type mismatch
  RC_VM_NUMERIC = 3251,     // nonnumeric found where numeric required
  RC_VM_COMPLEX = 3252,     // noncomplex found where complex required
  RC_VM_REAL = 3253,        // nonreal found where real required
  RC_VM_STRING = 3254,      // nonstring found where string required
  RC_VM_REALSTR = 3255,     // real or string required
  RC_VM_NUMSTR = 3256,      // numeric or string required
  RC_VM_POINTER = 3257,     // nonpointer found where pointer required
  RC_VM_VOID = 3258,        // nonvoid found where void required
  RC_VM_STRUCT = 3259,      // nonstruct found where struct required
  RC_VM_RANGE = 3300,       // argument out of range
  RC_VM_SUBSCRIPT = 3301,   // subscript invalid
  RC_VM_FORMAT = 3302,      // invalid %fmt
  RC_VM_PERMUTATION = 3303, // invalid permutation vector
  RC_VM_NESTING = 3304,     // struct nested too deeply
  RC_VM_MISSING = 3351,     // argument has missing values
  RC_VM_SINGULAR = 3352,    // singular matrix
  RC_VM_NOTPOSDEF = 3353,   // matrix not positive definite
  RC_VM_NOCONVERGE = 3360,  // failure to converge
  RC_VM_STRTOOLONG = 3492,  // resulting string too long
  RC_VM_NOTFOUND = 3499,    // not found (custom message)
  RC_VM_VARNAME = 3500,     // invalid Zelta variable name
  RC_VM_HOSTERROR = 3598,   // Zelta returned error
  RC_VM_FHANDLE = 3601,     // invalid file handle
  RC_VM_FNAME = 3602,       // invalid filename
  RC_VM_FMODE = 3603,       // invalid file mode
  RC_VM_TOOMANYFILES = 3611,// too many open files
  RC_VM_READONLY = 3621,    // attempt to write read-only file
  RC_VM_WRITEONLY = 3622,   // attempt to read write-only file
  RC_VM_APPENDONLY = 3623,  // attempt to seek append-only file
  RC_VM_SEEK = 3698,        // file seek error
  RC_VM_NOMEM = 3900,       // out of memory
  RC_VM_MACROMEM = 3901,    // macro memory in use
  RC_VM_LAPACK = 3930,      // error in a linear-algebra routine
  RC_VM_UNALLOCATED = 3995, // unallocated function
  RC_VM_BUILTIN = 3996,     // built-in unallocated
  RC_VM_OPCODE = 3997,      // unimplemented opcode
  RC_VM_STACK = 3998,       // stack overflow
  RC_VM_LAST = 3999,        // end of the run-time range (also: matrix file unreadable)

  // The class system (4000 to 4099).
  RC_CLS_LIMIT = 4000,
  RC_CLS_REFRANGE = 4001,
  RC_CLS_REFUNDEF = 4002,
  RC_CLS_REFINVALID = 4003,
  RC_CLS_TYPEUSAGE = 4005,
  RC_CLS_ATTRTYPE = 4006,
  RC_CLS_NOCONTEXT = 4007,
  RC_CLS_TOOMANYKEYS = 4008,
  RC_CLS_BADREF = 4009,
  RC_CLS_KEYNOTFOUND = 4010,
  RC_CLS_NAMETOOLONG = 4011,
  RC_CLS_NAMENOTFOUND = 4012,
  RC_CLS_NOTTYPE = 4013,
  RC_CLS_NOTCLASS = 4014,
  RC_CLS_TYPESDIFFER = 4015,
  RC_CLS_DECLARED = 4017,
  RC_CLS_TYPENOTFOUND = 4018,
  RC_CLS_INCOMPATIBLE = 4019,
  RC_CLS_NOTARRAY = 4020,
  RC_CLS_NOACTIVE = 4022,
  RC_CLS_NOMEMBERFN = 4023,
  RC_CLS_SUPER = 4024,
  RC_CLS_CLONE = 4025,
  RC_CLS_RVALUE = 4026,
  RC_CLS_INCOMPATTYPES = 4027,
  RC_CLS_TARGETGONE = 4028,
  RC_CLS_ARRAYREF = 4029,
  RC_CLS_ARRAYINIT = 4030,
  RC_CLS_EXISTS = 4031,
  RC_CLS_FAILURE = 4050,
  RC_CLS_CONTEXTRANGE = 4051,
  RC_CLS_TOOLARGE = 4052,
  RC_CLS_FILES = 4099,

  // Message variants for error(): each prints its own text and maps to the
  // code in its comment (or to 0 for the notes).
  RC_MSG_IWROBUST = 5101,   // iweights not allowed with robust -> 101
  RC_GPH_NOTGPH = 6000,     // graph file: not gph format
  RC_GPH_OLD = 6001,        // graph file: old gph format
  RC_GPH_UPDATED = 6002,    // graph file: from an updated version
  RC_GPH_NEWER = 6003,      // graph file: from a newer release
  RC_GPH_ASIS = 6004,       // graph file: an as-is file
  RC_GPH_NOTASIS = 6005,    // graph file: not an as-is file
  RC_MSG_TSOPS = 6101,      // time-series operators not allowed -> 101
  RC_MSG_LABEL = 7196,      // invalid attempt to modify label -> 180
  RC_MSG_FILESPEC = 7197,   // invalid file specification -> 198
  RC_MSG_MULTIBY = 7198,    // multiple by's not allowed -> 198
  RC_NOTE_MAC = 8001,       // irrelevant on this platform -> 0
  RC_NOTE_BATCH = 8002,     // request ignored due to batch mode -> 0

  // Internal codes: program errors and private signals, no standard message.
  RC_BADKIND = 9202,        // a wrong kind passed to a message routine
  RC_VEMO_LIBNOMEM = 9710,  // library member allocation failed
  RC_VEMO_CONVERT = 9711,   // compiled-object conversion failed
  RC_VEMO_EMPTYFN = 9777,   // function with no code
  RC_MACTOOLONG = 9802,     // a value too long for a macro
};
