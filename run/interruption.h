// What an interruption (Ctrl-C, SIGTERM, a closed terminal) must clean up depends on how far the
// run has come: before publication the work file goes and the output stays as it was; once the
// work file is renamed onto the output there is nothing to clean up. Only where the output is
// published by copying does a partial output exist: it goes, and the work file, which then
// holds the only copy of the merged text, is kept and named, as after a failed publication.
#pragma once

#include <csignal>

enum class RunPhase : std::sig_atomic_t {
    nothing_on_disk,  // no work file yet, or no more: it has become the output, or is kept and
                      // reported as kept
    work_file_owned,  // the work file exists and is the run's
    publishing,       // the output is being replaced by a copy of the work file
    work_file_kept,   // publication failed; the work file stays, to be reported as kept
};

void set_run_phase(RunPhase phase);

// Installs the clean-up for interruptions.
void clean_up_on_interruption();
