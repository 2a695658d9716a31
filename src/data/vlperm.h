// The permission the variable-list parser asks of the command being parsed:
// whether its lists may hold time-series operators. The shared parser owns
// the answer and installs it where it defines the parse state (null: not
// allowed).
#pragma once

extern bool (*vl_tsallowed)();
