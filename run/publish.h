// Publication: the work file becomes the output.
#pragma once

#include "run/run_state.h"

// Renames the complete work file onto the output, which is replaced in one step and flushed to
// the disk with its folder; the run then no longer owns a work file. The replaced output's
// permission bits, owner and group are carried over where the system allows. A read-only
// output and a special file (a FIFO, a device...) or a link to one are never replaced. Where
// the rename cannot be done but a copy can (the output is a mount point, or on another file
// system), the output is created anew, or the file mounted there emptied, filled from the
// run's own handle on the work file and flushed; on any failure after that, the output begun
// is removed again, and the work file is kept. Nothing is followed or read by name.
//   0: done
//  -1: the output is read-only or special, the rename was refused, or the copy's output cannot
//      be created or opened
//  -2: the work file cannot be read from its start (the copy)
//  -3: writing, flushing or closing the output failed (the copy)
//  -4: reading the work file failed (the copy)
//  -5: the work file's name no longer leads to the file the run wrote, before or after the
//      rename (another hand removed it or put something else there): it is not reported as
//      published, and the name is no longer the run's
int publish_output(RunState& run);
