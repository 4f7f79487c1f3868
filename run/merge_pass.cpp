#include "run/merge_pass.h"

#include <cstring>

#include "run/messages.h"
#include "textio/console.h"

bool is_termination_record(const char* line, std::size_t length) {
    return length >= 2 && (line[0] == 'S' || line[0] == 's') &&
           (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

namespace {

struct HeldRecord {
    char* text;          // HELD_RECORD_SIZE bytes
    std::size_t length;  // 0 while none is held
};

// The filter of the merge: a termination record is held back, replacing the one held before.
bool hold_termination_record(const char* piece, std::size_t length, void* context) {
    if (!is_termination_record(piece, length)) {
        return false;
    }
    auto& held = *static_cast<HeldRecord*>(context);
    std::memcpy(held.text, piece, length);
    held.text[length] = '\0';
    held.length = length;
    return true;
}

// Copies one opened input into the work file.
MergeResult merge_one_input(RunState& run, HeldRecord& held) {
    if (!copy_text(*run.input_file, *run.work_file, run.line_buffer, MERGE_READ_SIZE,
                   hold_termination_record, &held)) {
        return MergeResult::work_write_failed;
    }
    return text_failed(*run.input_file) ? MergeResult::input_read_failed : MergeResult::done;
}

}  // namespace

MergeOutcome merge_inputs(RunState& run) {
    static_assert(HELD_RECORD_SIZE >= MERGE_READ_SIZE, "a held piece is never cut");
    HeldRecord held{run.held_record, 0};
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
        const MergeResult result = merge_one_input(run, held);
        if (result != MergeResult::done) {
            return {result, i};
        }
        (void)close_text(run.input_file);
    }
    if (held.length == 0) {
        std::strcpy(run.held_record, FALLBACK_TERMINATION_RECORD);
    }
    // The work file is complete only once it is on the disk: a power cut after the rename must
    // find the text there, not an empty file.
    if (write_text(run.held_record, *run.work_file) < 0 || close_text(run.work_file) < 0 ||
        !flush_to_disk(run.work_handle)) {
        return {MergeResult::work_write_failed, -1};
    }
    return {};
}
