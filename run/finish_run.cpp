#include "run/finish_run.h"

#include "run/interruption.h"
#include "textio/console.h"

void finish_run(int exit_code, RunState& run) {
    (void)close_text(run.work_file);
    (void)close_text(run.input_file);
    // Once deleted, the name may be another run's at any moment: an interruption from here on
    // must not delete it again.
    hold_interruptions();
    if (run.owns_work_file) {
        (void)remove_if_same(run.work_name, run.work_identity);
        run.owns_work_file = false;
    }
    set_run_phase(RunPhase::nothing_on_disk);
    allow_interruptions();
    // Closed only now: until the name is gone, no other file can take the work file's identity.
    if (run.work_handle != NO_FILE) {
        (void)close_file(run.work_handle);
        run.work_handle = NO_FILE;
    }
    flush_console();
    end_process(exit_code);
}
