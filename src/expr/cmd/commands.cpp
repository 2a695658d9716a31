// Binds this subsystem's built-in commands to their names in the command
// table: the commands that write variables from expressions (their
// handlers live with the dataset engine in src/data/).
#include "expr/funcs.h"
#include "interp/cmdtab.h"
#include "output/creg.h"

int cmd_generate(int mode);
int cmd_replace(int mode);
int cmd_compress(int mode);
int cmd_mark(int mode);
int cmd_markout(int mode);
int cmd_marksample(int mode);
int cmd_markin(int mode);

// The c() value the function library owns: the generator's state.
static void registercvals() {
  creg_add("seed", [](CValue& v) {
    std::string s;
    geturnseed(s);
    cval_str(v, s);
  });
}

void expr_bindcommands() {
  registercvals();
  cmdbind("generate", cmd_generate);
  cmdbind("replace", cmd_replace);
  cmdbind("compress", cmd_compress);
  cmdbind("mark", cmd_mark);
  cmdbind("markout", cmd_markout);
  cmdbind("marksample", cmd_marksample);
  cmdbind("markin", cmd_markin);
  fn_bindset();
}
