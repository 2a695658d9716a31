// Programs and ado-files: the program store, running a program, autoloading
// from the ado-path, `version`.
#pragma once
#include <string>

// Runs `cmd` as a stored program, or autoloads it from the ado-path and runs
// it; the tokenizer is positioned after the command word. Prints
// "unrecognized command:  name" and returns 199 when there is none.
[[nodiscard]] int prog_dispatch(const std::string& cmd);
