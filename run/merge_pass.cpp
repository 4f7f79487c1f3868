#include "run/merge_pass.h"

#include <cstring>

#include "run/messages.h"
#include "textio/console.h"

bool is_termination_record(const char* line, std::size_t length) {
    return length >= 2 && (line[0] == 'S' || line[0] == 's') &&
           (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

namespace {

// Copies one opened input into the work file.
MergeResult merge_one_input(RunState& run, std::size_t& held_length) {
    TextFile& input = *run.input_file;
    TextFile& work = *run.work_file;
    while (const std::size_t length = read_line(run.line_buffer, MERGE_READ_SIZE, input)) {
        if (is_termination_record(run.line_buffer, length)) {
            std::memcpy(run.held_record, run.line_buffer, length + 1);
            held_length = length;
        } else if (write_text(run.line_buffer, work) < 0) {
            return MergeResult::work_write_failed;
        }
    }
    return text_failed(input) ? MergeResult::input_read_failed : MergeResult::done;
}

}  // namespace

MergeOutcome merge_inputs(RunState& run) {
    static_assert(HELD_RECORD_SIZE >= MERGE_READ_SIZE, "a held piece is never cut");
    std::size_t held_length = 0;
    run.held_record[0] = '\0';
    for (int i = 0; i < run.input_count; ++i) {
        const InputSlot& slot = run.input_names[i];
        if (slot.given.fits) {
            run.input_file = open_text(slot.name, "r");
        }
        if (!run.input_file) {
            show_message(INPUT_SKIPPED, slot.given.shown, slot.given.shown_tail);
            continue;
        }
        const MergeResult result = merge_one_input(run, held_length);
        if (result != MergeResult::done) {
            return {result, i};
        }
        (void)close_text(run.input_file);
    }
    if (held_length == 0) {
        std::strcpy(run.held_record, FALLBACK_TERMINATION_RECORD);
    }
    if (write_text(run.held_record, *run.work_file) < 0 || close_text(run.work_file) < 0) {
        return {MergeResult::work_write_failed, -1};
    }
    return {};
}
