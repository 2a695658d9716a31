// Placeholder for display formats and the display command.
#include "interp/cmdtab.h"

void display_bindcommands() {}
