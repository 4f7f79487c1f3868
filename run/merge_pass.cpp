#include "run/merge_pass.h"

#include <cstring>

#include "run/input_names.h"
#include "run/messages.h"
#include "textio/console.h"

bool is_termination_record(const char* line, std::size_t length) {
    return length >= 2 && (line[0] == 'S' || line[0] == 's') &&
           (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

namespace {

// What the merge learns from the pieces as they go by.
struct MergeFilter {
    char* held;               // HELD_RECORD_SIZE bytes: the last termination record read
    std::size_t held_length;  // 0 while none is held
    bool line_open;           // the last piece written ends without a line break
};

// The filter of the merge: a termination record is held back, replacing the one held before;
// any other piece is written, and whether it ends its line noted.
bool hold_termination_record(const char* piece, std::size_t length, void* context) {
    auto& filter = *static_cast<MergeFilter*>(context);
    if (!is_termination_record(piece, length)) {
        filter.line_open = piece[length - 1] != '\n';
        return false;
    }
    std::memcpy(filter.held, piece, length);
    filter.held[length] = '\0';
    filter.held_length = length;
    return true;
}

// Copies one opened input into the work file. Its last line gets the line break it lacks, so
// that the next input's first line does not continue it: a glued record is of no use to anyone.
MergeResult merge_one_input(RunState& run, MergeFilter& filter) {
    filter.line_open = false;
    if (!copy_text(*run.input_file, *run.work_file, run.line_buffer, MERGE_READ_SIZE,
                   hold_termination_record, &filter)) {
        return MergeResult::work_write_failed;
    }
    if (text_failed(*run.input_file)) {
        return MergeResult::input_read_failed;
    }
    return filter.line_open && write_text("\n", *run.work_file) < 0 ? MergeResult::work_write_failed
                                                                    : MergeResult::done;
}

}  // namespace

MergeOutcome merge_inputs(RunState& run) {
    static_assert(HELD_RECORD_SIZE >= MERGE_READ_SIZE, "a held piece is never cut");
    MergeFilter filter{run.held_record, 0, false};
    run.held_record[0] = '\0';
    int opened = 0;
    for (int i = 0; i < run.input_count; ++i) {
        const InputSlot& slot = run.input_names[i];
        const FileHandle input = open_input(slot);
        if (input == NO_FILE) {
            show_message(INPUT_SKIPPED, slot.given.shown, slot.given.shown_tail);
            continue;
        }
        // An input that opens but cannot be read (no memory for its buffer) is no skip: the
        // merge would lack its data.
        run.input_file = adopt_text(input, "r");
        const MergeResult result =
            run.input_file ? merge_one_input(run, filter) : MergeResult::input_read_failed;
        if (result != MergeResult::done) {
            return {result, i};
        }
        (void)close_text(run.input_file);
        ++opened;
    }
    if (opened == 0) {
        return {MergeResult::no_input_opened, -1};
    }
    const bool record_ends_line =
        filter.held_length == 0 || run.held_record[filter.held_length - 1] == '\n';
    if (filter.held_length == 0) {
        std::strcpy(run.held_record, FALLBACK_TERMINATION_RECORD);
    }
    // The work file is complete only once it is on the disk: a power cut after the rename must
    // find the text there, not an empty file.
    if (write_text(run.held_record, *run.work_file) < 0 ||
        (!record_ends_line && write_text("\n", *run.work_file) < 0) ||
        close_text(run.work_file) < 0 || !flush_to_disk(run.work_handle)) {
        return {MergeResult::work_write_failed, -1};
    }
    return {};
}
