#include "run/publish.h"

#include "run/interruption.h"
#include "textio/text_file.h"

namespace {

// Publication where the system refuses the rename: the old output deleted, created anew and
// filled with the work file's text.
int copy_work_file(const char* work_name, const char* output_name) {
    TextFilePointer work = open_text(work_name, "r");
    if (!work) {
        return -2;
    }
    // Held, so that the clean-up after an interruption (on a thread of its own on Windows)
    // deletes the old output or the new one, not the old one before this creates the new.
    hold_interruptions();
    (void)remove_file(output_name);
    TextFilePointer output = open_text(output_name, "w");
    allow_interruptions();
    if (!output) {
        return -1;
    }
    // The work file's text in pieces of at most 1021 characters, written back to back.
    char buffer[COPY_READ_SIZE + 2];
    int result = copy_text(*work, *output, buffer, COPY_READ_SIZE) ? 0 : -3;
    if (result == 0 && text_failed(*work)) {
        result = -4;
    }
    (void)close_text(work);
    if (close_text(output) < 0 && result == 0) {
        result = -3;
    }
    if (result != 0) {
        (void)remove_file(output_name);
    }
    return result;
}

}  // namespace

int publish_output(RunState& run) {
    if (is_read_only_file(run.output_name)) {
        return -1;
    }
    // The name stops being the run's with the rename, or when it no longer leads to the run's
    // file: it may be another's then, which neither finish_run nor an interruption may delete.
    hold_interruptions();
    const bool renamed = name_identity(run.work_name) == run.work_identity &&
                         rename_over(run.work_name, run.output_name);
    const bool swapped = !renamed && name_identity(run.work_name) != run.work_identity;
    if (renamed || swapped) {
        run.owns_work_file = false;
        set_run_phase(RunPhase::nothing_on_disk);
    }
    allow_interruptions();
    if (swapped) {
        return -5;
    }
    if (renamed) {
        return 0;
    }
    set_run_phase(RunPhase::publishing);
    const int result = copy_work_file(run.work_name, run.output_name);
    if (result == 0) {
        set_run_phase(RunPhase::work_file_owned);
    }
    return result;
}
