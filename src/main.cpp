// The zelta executable: a thin console front end around the interpreter.
#include "interp/interp.h"

int main(int argc, char** argv) { return zelta_main(argc, argv); }
