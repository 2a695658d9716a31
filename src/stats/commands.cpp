// Binds the commands of the statistics subsystem.
#include "interp/cmdtab.h"
#include "stats/stats.h"

void stats_bindcommands() { stats_bindsummarize();
  stats_bindregress();
  stats_bindpredict();
  stats_bindtest();
  stats_bindtabulate();
  stats_bindcorrelate();
  stats_bindgrpstat();
  stats_bindcollapse();
  stats_bindttest();
  stats_bindoneway();
}
