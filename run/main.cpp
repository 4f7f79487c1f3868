// Srjoin: merges Motorola S-record files into one.
//   Srjoin file1+file2+... out_file
// Exit codes: 0 published; 1 no work file could be created; 2 the work file does not open;
// 3 writing the work file or reading an input failed; 4 no input opened, or the output could not
// be published; 255 too few arguments, too few or too many input names.
#include <span>

#include "run/finish_run.h"
#include "run/input_names.h"
#include "run/interruption.h"
#include "run/merge_pass.h"
#include "run/messages.h"
#include "run/publish.h"
#include "run/run_state.h"
#include "run/work_file.h"
#include "textio/console.h"

namespace {

void show_usage() {
    for (const ToolText& line : USAGE_LINES) {
        show_line(line);
    }
}

}  // namespace

int main(int argc, char** argv) {
    prepare_process();
    clean_up_on_interruption();
    RunState& run = the_run;
    run.name_rules = NameRules{.slash_separates_folders = slash_separates_folders(),
                               .utf8_names = names_may_be_utf8()};

    show_line(BANNER);
    if (argc < 3) {
        show_usage();
        finish_run(255);
    }
    // A list too long is refused whole: a merge without some of its inputs is no image.
    const int input_count = split_input_list(argv[1], run);
    if (input_count > MAX_INPUTS) {
        show_usage();
        finish_run(255);
    }
    if (input_count < 2) {
        show_line(TOO_FEW_INPUTS);
        finish_run(255);
    }

    const GivenName output =
        give_default_extension(argv[2], OUTPUT_DEFAULT_EXTENSION, run.output_name, run.name_rules);
    if (!output.fits) {
        show_message(OUTPUT_NOT_CREATED, output.shown, output.shown_tail);
        finish_run(4);
    }
    char drive[NAME_SIZE];
    char folder[NAME_SIZE];
    (void)split_path(run.output_name, drive, folder, {}, {}, run.name_rules);

    // The work file and the run's claim on it come into being together: an interruption in
    // between would leave it behind.
    hold_interruptions();
    const int chosen = choose_work_file(drive, folder, run, run.work_handle);
    if (chosen == 0) {
        run.owns_work_file = true;
        run.work_identity = file_identity(run.work_handle);
        set_run_phase(RunPhase::work_file_owned);
    }
    allow_interruptions();
    if (chosen != 0) {
        show_message(WORK_FILE_NOT_CREATED, run.work_name);
        finish_run(1);
    }
    // The file created is the one written and read: its name is never opened again.
    run.work_file = lend_text(run.work_handle, "w");
    if (!run.work_file) {
        show_message(WORK_FILE_NOT_CREATED, run.work_name);
        finish_run(2);
    }

    const MergeOutcome merged = merge_inputs(run);
    if (merged.result == MergeResult::work_write_failed) {
        show_message(WORK_FILE_NOT_WRITTEN, run.work_name);
        finish_run(3);
    }
    if (merged.result == MergeResult::input_read_failed) {
        show_message(INPUT_NOT_READ, run.input_names[merged.failed_input].name);
        finish_run(3);
    }
    // Nothing to merge: the old output stays, rather than become the fallback record alone.
    if (merged.result == MergeResult::no_input_opened) {
        show_message(OUTPUT_NOT_CREATED, run.output_name);
        finish_run(4);
    }

    if (publish_output(run) != 0) {
        // The old output may be gone: the merged text then lives only in the work file, kept
        // unless its name is no longer the run's. An interruption before this report is out
        // gives the report itself.
        const bool kept = run.owns_work_file;
        run.owns_work_file = false;
        set_run_phase(kept ? RunPhase::work_file_kept : RunPhase::nothing_on_disk);
        show_message(OUTPUT_NOT_CREATED, run.output_name);
        if (kept) {
            show_message(WORK_FILE_KEPT, run.work_name);
        }
        set_run_phase(RunPhase::nothing_on_disk);
        finish_run(4);
    }
    show_message(OUTPUT_CREATED, run.output_name);
    finish_run(0);
}
