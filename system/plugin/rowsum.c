/* rowsum: an example plug-in. For each observation in the range that passes
   the `if` condition it stores in the last variable passed the sum of the
   others (missing values left out) times a factor, then posts the count as
   the scalar rowsum_n and the caller's local macro rowsum_n, and the column
   totals as the 1 x (k-1) matrix rowsum_tot. Options after the comma:
   "scale #" sets the factor; "fail" returns code 459 with a message.
   The global macro rowsum_title, when set, is shown first.

   Build: cc -shared -fPIC -I<system>/plugin rowsum.c -o rowsum.so */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zelta_plugin.h"

int zelta_plugin_version(void) { return ZELTA_PLUGIN_VERSION; }

int zelta_plugin_call(const zelta_api *z, int argc, char **argv) {
  double scale = 1;
  char title[200], buf[64];
  int i, k = z->nvars(), rc;
  long obs, n = 0;
  for (i = 0; i < argc; ++i) {
    if (!strcmp(argv[i], "scale") && i + 1 < argc) {
      char *end;
      scale = strtod(argv[++i], &end);
      if (*end) {
        z->errortext("rowsum: scale must be a number\n");
        return 198;
      }
    } else if (!strcmp(argv[i], "fail")) {
      z->errortext("rowsum: failing as asked\n");
      return 459;
    } else {
      z->errortext("rowsum: unknown option\n");
      return 198;
    }
  }
  if (k < 2) {
    z->errortext("rowsum: two or more variables required\n");
    return 102;
  }
  for (i = 1; i <= k; ++i)
    if (z->isstring(i)) {
      z->errortext("rowsum: numeric variables required\n");
      return 109;
    }
  if ((rc = z->getmacro("rowsum_title", title, sizeof title)) != 0) return rc;
  if (title[0]) {
    z->display(title);
    z->display("\n");
  }
  if ((rc = z->makematrix("rowsum_tot", 1, k - 1)) != 0) return rc;
  for (obs = z->in1(); obs <= z->in2(); ++obs) {
    double sum = 0, x;
    if (!z->selected(obs)) continue;
    for (i = 1; i < k; ++i) {
      double tot;
      if ((rc = z->getnum(i, obs, &x)) != 0) return rc;
      if (z->ismissing(x)) continue;
      sum += x;
      if ((rc = z->getmatel("rowsum_tot", 1, i, &tot)) != 0) return rc;
      if ((rc = z->putmatel("rowsum_tot", 1, i, tot + x)) != 0) return rc;
    }
    if ((rc = z->putnum(k, obs, sum * scale)) != 0) return rc;
    ++n;
    if (z->pollbreak()) return 1;
  }
  if ((rc = z->putscalar("rowsum_n", (double)n)) != 0) return rc;
  snprintf(buf, sizeof buf, "%ld", n);
  return z->putmacro("_rowsum_n", buf);
}
