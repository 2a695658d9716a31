// The reset-all: puts every subsystem's session state back as it was when
// the system had just started, for a unit test between cases, a fuzz target
// between inputs and the notebook kernel's restart. It lives above every
// layer because it calls each subsystem's own reset routine.
#pragma once

// Resets every subsystem, the uppermost first so that what a layer closes
// (Vemo's views on the data, open posting files, logs) still finds the layers
// below it intact: Vemo, graphics, statistics, files, saved results, the
// interpreter, expressions, data, output, platform. What the front end set
// up is kept: the system directory, the console and capture destinations,
// batch and embedded use, the fuzzing limits, the installed hooks. Start-up
// options (-k, -m, -d, -v) are not applied again. Call it with no command
// running.
void reset_all();
