/* A plug-in built against a later interface version (for the tests): the
   system must refuse to load it. */
#include "zelta_plugin.h"

int zelta_plugin_version(void) { return ZELTA_PLUGIN_VERSION + 1; }

int zelta_plugin_call(const zelta_api *z, int argc, char **argv) {
  (void)z;
  (void)argc;
  (void)argv;
  return 0;
}
