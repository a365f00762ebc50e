#pragma once

#include "driver/run_state.h"

// One run of the program with its arguments (argv[0] is the program's
// name).  Returns the exit status.  `run` must be fresh, with its platform
// and console streams set.
int run_klangbau(RunState& run, int argc, char** argv);
