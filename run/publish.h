// Publication: the work file becomes the output.
#pragma once

#include "run/run_state.h"

// Renames the closed work file onto the output, which is replaced in one step; the run then no
// longer owns a work file. A read-only output is never replaced. Where the system refuses the
// rename (the output is a folder or a mount point), the old output is deleted (a failure to do
// so is ignored), created anew and filled with the work file's text; on any failure after it
// was created, the output begun is deleted again, and the work file is never touched.
//   0: done
//  -1: the output is read-only, or cannot be created
//  -2: the work file does not open for reading (the old output is untouched)
//  -3: writing the output (or closing it) failed
//  -4: reading the work file failed
//  -5: the work file's name no longer leads to the file the run wrote (another hand removed it
//      or put something else there): nothing is published, and the name is no longer the run's
int publish_output(RunState& run);
