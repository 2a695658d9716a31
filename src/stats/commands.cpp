// Binds the commands of the statistics subsystem.
#include "interp/cmdtab.h"
#include "interp/program.h"
#include "results/results.h"
#include "stats/etable.h"
#include "stats/stats.h"

void stats_bindcommands() {
  stats_bindsummarize();
  stats_bindregress();
  stats_bindpredict();
  stats_bindtest();
  stats_bindtabulate();
  stats_bindcorrelate();
  stats_bindgrpstat();
  stats_bindcollapse();
  stats_bindttest();
  stats_bindoneway();
  stats_bindquantile();
  stats_bindreshape();
  stats_bindinspect();
  stats_bindtabdisp();
  stats_bindlogit();
  stats_bindcount();
  stats_bindordered();
  stats_bindtobit();
  stats_bindclogit();
  stats_bindml();
  stats_bindpanelreg();
  stats_bindpanelbin();
  stats_bindhausman();
  stats_bindivfit();
  stats_bindanova();
  stats_bindmanova();
  stats_bindsmooth();
  stats_bindmlvocab();
  stats_bindrobust();
  stats_bindcox();
  stats_bindqreg();
  stats_bindresample();
  res_set_edisplay(ct_ereturn_display);
  adoabbrev("regress", 3);
}
