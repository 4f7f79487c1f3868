#include "run/interruption.h"

#include "run/messages.h"
#include "run/run_state.h"
#include "textio/console.h"
#include "textio/platform.h"

namespace {

volatile std::sig_atomic_t run_phase = static_cast<std::sig_atomic_t>(RunPhase::nothing_on_disk);

// Runs in a signal handler: only async-signal-safe calls (unlink, lstat, write). The names and
// identities it uses are set before the phase that needs them. It removes only the run's own
// files: a name that another hand has taken over since is left alone.
void clean_up() {
    const RunState& run = the_run;
    switch (static_cast<RunPhase>(run_phase)) {
        case RunPhase::work_file_owned:
            (void)remove_if_same(run.work_name, run.work_identity);
            break;
        case RunPhase::publishing:
            (void)remove_if_same(run.output_name, run.output_identity);
            [[fallthrough]];
        case RunPhase::work_file_kept:
            show_message(OUTPUT_NOT_CREATED, run.output_name);
            show_message(WORK_FILE_KEPT, run.work_name);
            break;
        default:
            break;
    }
    flush_console();
}

}  // namespace

// Held, because on Windows the clean-up runs on a thread of its own: the run must not go on
// into the next phase while the clean-up acts on the last one.
void set_run_phase(RunPhase phase) {
    hold_interruptions();
    run_phase = static_cast<std::sig_atomic_t>(phase);
    allow_interruptions();
}

void clean_up_on_interruption() {
    catch_interruptions(clean_up);
}
