// The reset-all: one call that runs every subsystem's reset routine in a
// fixed order. Each routine is declared beside the state it resets; this file
// only knows the order.
//
// Function-level statics that stay across a reset, and why: scratch buffers
// reused for their capacity (eval's string results, macexp's program, the
// selection blocks of generate and the data commands, the formatter's
// blanks); once-flags of process resources (the command table's binding, the
// atexit writer of the history file, the Vemo VM's tables, the series-set
// hook, the measuring surface of the fonts, the HMAC context of the kernel);
// the font search's cache, which only reflects the files installed; and
// counters that are back at 0 whenever no command runs (Vemo's statement
// nesting, the line loop's pool depths, the block depth of control.cpp).
#include "interp/cmd/resetall.h"

#include "data/by.h"
#include "data/cmd/datacmds.h"
#include "expr/funcs.h"
#include "files/files.h"
#include "graphics/graphics.h"
#include "interp/interp.h"
#include "interp/program.h"
#include "output/logs.h"
#include "output/output.h"
#include "platform/timers.h"
#include "platform/zassert.h"
#include "results/results.h"
#include "stats/stats.h"
#include "vemo/vemo.h"

void reset_all() {
  ZASSERT(interp.zelta_level == 0 && bys.depth == 0, "reset_all called while a command runs");
  vemo_reset();
  graphics_reset();
  stats_reset();
  files_reset();
  results_reset();
  interp_reset();
  expr_reset();
  data_reset();
  out_logs_reset();
  out_reset();
  plat_reset();
}
