// The one way a run ends.
#pragma once

#include "run/work_file.h"

// The run's work file: what finish_run, and the clean-up after an interruption, must reach from
// any point of the run.
extern WorkFile the_work_file;

// Removes the work file unless it was published or kept, writes out the console and ends the
// process with exit_code.
[[noreturn]] void finish_run(int exit_code);
