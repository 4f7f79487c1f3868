// Srjoin: merges Motorola S-record files into one.
//   Srjoin file1+file2+... out_file
//   Srjoin --help | --version
#include "run/finish_run.h"
#include "run/input_names.h"
#include "run/merge_pass.h"
#include "run/messages.h"
#include "textio/console.h"

namespace {

// Given with its dot, so that a message can show "name" ".mot" as one name.
constexpr std::string_view OUTPUT_DEFAULT_EXTENSION = ".mot";

InputNames input_names;
char output_name[NAME_SIZE];

void show_usage() {
    for (const ToolText& line : USAGE_LINES) {
        show_line(line);
    }
}

}  // namespace

int main(int argc, char** argv) {
    prepare_process();
    prepare_console_texts({&OUTPUT_NOT_CREATED, &WORK_FILE_KEPT});
    catch_interruptions([] { the_work_file.clean_up_after_interruption(); });

    show_line(BANNER);
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "--version")) {
        if (first == "--help") {
            show_usage();
        }
        finish_run(0);
    }
    // Anything after the output name is a mistake (a stray space, a wildcard that matched more
    // than one file): the run would otherwise pick another output than the one meant.
    if (argc != 3) {
        show_usage();
        finish_run(255);
    }
    // A list too long is refused whole: a merge without some of its inputs is no image.
    const int input_count = split_input_list(argv[1], input_names);
    if (input_count > MAX_INPUTS) {
        show_usage();
        finish_run(255);
    }
    if (input_count < 2) {
        show_line(TOO_FEW_INPUTS);
        finish_run(255);
    }

    const NameRules rules = platform_name_rules();
    const GivenName output =
        give_default_extension(argv[2], OUTPUT_DEFAULT_EXTENSION, output_name, rules);
    if (!output.fits) {
        show_message(OUTPUT_NOT_CREATED, output.shown, output.shown_tail, {0, &NAME_TOO_LONG});
        finish_run(4);
    }
    const PathPieces pieces = split_path(output_name, rules);
    const std::string_view folder(output_name, pieces.drive.size() + pieces.folder.size());

    if (the_work_file.choose_work_file(folder, output_name) != WorkFile::Chosen::created) {
        show_message(WORK_FILE_NOT_CREATED, the_work_file.name(), {}, the_work_file.failure());
        finish_run(1);
    }
    if (!the_work_file.start_writing()) {
        show_message(WORK_FILE_NOT_CREATED, the_work_file.name(), {}, the_work_file.failure());
        finish_run(2);
    }

    const MergeOutcome merged =
        merge_inputs(input_names, the_work_file.text(), the_work_file.identity());
    switch (merged.result) {
        case MergeResult::done:
            break;
        case MergeResult::work_write_failed:
            show_message(WORK_FILE_NOT_WRITTEN, the_work_file.name(), {}, merged.reason);
            finish_run(3);
        case MergeResult::input_read_failed:
            show_message(INPUT_NOT_READ, input_names.slots[merged.failed_input].name, {},
                         merged.reason);
            finish_run(3);
        case MergeResult::no_input_opened:
            // Nothing to merge: the old output stays, rather than become the fallback record.
            show_message(OUTPUT_NOT_CREATED, output_name, {}, {0, &NO_INPUT_OPENED});
            finish_run(4);
    }
    if (!the_work_file.finish_writing()) {
        show_message(WORK_FILE_NOT_WRITTEN, the_work_file.name(), {}, the_work_file.failure());
        finish_run(3);
    }

    if (the_work_file.publish_output(output_name) != WorkFile::Published::published) {
        the_work_file.report_failed_publication(output_name);
        finish_run(4);
    }
    show_message(OUTPUT_CREATED, output_name);
    finish_run(0);
}
