// What an interruption (Ctrl-C, SIGTERM, a closed terminal) must clean up depends on how far the
// run has come: before publication the work file goes and the output stays as it was; during
// publication the partial output goes and the work file, which then holds the only copy of the
// merged text, is kept and named, as after a failed publication.
#pragma once

#include <csignal>

enum class RunPhase : std::sig_atomic_t {
    nothing_on_disk,  // no work file yet
    work_file_owned,  // the work file exists and is the run's
    publishing,       // the output is being replaced
    published,        // the output is complete
    work_file_kept,   // publication failed; the work file stays
};

void set_run_phase(RunPhase phase);

// Installs the clean-up for interruptions.
void clean_up_on_interruption();
