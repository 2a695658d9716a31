// Binds this subsystem's built-in commands to their names in the command
// table: the commands that write variables from expressions (their
// handlers live with the dataset engine in src/data/).
#include "expr/funcs.h"
#include "interp/cmdtab.h"

int cmd_generate(int mode);
int cmd_replace(int mode);
int cmd_compress(int mode);
int cmd_mark(int mode);
int cmd_markout(int mode);
int cmd_marksample(int mode);
int cmd_markin(int mode);

void expr_bindcommands() {
  cmdbind("generate", cmd_generate);
  cmdbind("replace", cmd_replace);
  cmdbind("compress", cmd_compress);
  cmdbind("mark", cmd_mark);
  cmdbind("markout", cmd_markout);
  cmdbind("marksample", cmd_marksample);
  cmdbind("markin", cmd_markin);
  fn_bindset();
}
