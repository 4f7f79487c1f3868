// The one way a run ends.
#pragma once

#include "run/run_state.h"

// Closes the run's open files, deletes the work file when the run owns it and its name still
// leads to it, writes out the console and ends the process with exit_code.
[[noreturn]] void finish_run(int exit_code, RunState& run = the_run);
