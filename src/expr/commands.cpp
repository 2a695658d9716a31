// Binds this subsystem's built-in commands to their names in the command table.
#include "interp/cmdtab.h"

void expr_bindcommands() {}
