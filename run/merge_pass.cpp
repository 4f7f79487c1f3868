#include "run/merge_pass.h"

#include <cerrno>
#include <cstring>

#include "run/messages.h"
#include "textio/console.h"

namespace {

// Lines are read in pieces of at most 9997 characters, and each piece of a longer line is judged
// by its own first two characters: the size is part of what the output holds.
constexpr std::size_t MERGE_READ_SIZE = 9998;
// S8 (24-bit start address FFDE40), written when no input held a termination record.
constexpr std::string_view FALLBACK_TERMINATION_RECORD = "S804FFDE40DE\n";

char line_buffer[MERGE_READ_SIZE];
// Holds any piece the merge reads, so a long (malformed) termination line is kept whole.
char held_record[MERGE_READ_SIZE];

// What the merge learns from the pieces as they go by.
struct MergeFilter {
    std::size_t held_length = 0;  // 0 while no termination record is held
    bool line_open = false;       // the last piece written ends without a line break
};

// A termination record is held back, replacing the one held before; any other piece is written,
// and whether it ends its line noted.
bool hold_termination_record(std::string_view piece, void* context) {
    auto& filter = *static_cast<MergeFilter*>(context);
    if (!is_termination_record(piece)) {
        filter.line_open = piece.back() != '\n';
        return false;
    }
    std::memcpy(held_record, piece.data(), piece.size());
    filter.held_length = piece.size();
    return true;
}

// Copies one input into the work file. Its last line gets the line break it lacks, so that the
// next input's first line does not continue it: a glued record is of no use to anyone. On a
// failure, error is why.
MergeResult merge_one_input(FileHandle input, TextFile& work, MergeFilter& filter, int& error) {
    TextFile text;
    if (!text.open(input, TextFile::Mode::reading)) {
        error = ENOMEM;
        return MergeResult::input_read_failed;  // no skip: the merge would lack its data
    }
    filter.line_open = false;
    MergeResult result = MergeResult::done;
    if (!text.copy_to(work, line_buffer, MERGE_READ_SIZE, hold_termination_record, &filter) ||
        (filter.line_open && !work.write_text("\n"))) {
        result = MergeResult::work_write_failed;
    } else if (text.failed()) {
        result = MergeResult::input_read_failed;
    }
    error = result == MergeResult::done ? 0 : last_error();
    return result;
}

}  // namespace

bool is_termination_record(std::string_view line) {
    return line.size() >= 2 && (line[0] == 'S' || line[0] == 's') &&
           (line[1] == '7' || line[1] == '8' || line[1] == '9');
}

MergeOutcome merge_inputs(const InputNames& inputs, TextFile& work,
                          const FileIdentity& work_identity) {
    MergeFilter filter;
    int opened = 0;
    for (int i = 0; i < inputs.count; ++i) {
        const InputSlot& slot = inputs.slots[i];
        FileHandle input = open_input(slot);
        Reason skipped = slot.given.fits ? Reason{last_error()} : Reason{0, &NAME_TOO_LONG};
        if (input != NO_FILE && file_identity(input) == work_identity) {
            (void)close_file(input);  // the run would read what it writes
            input = NO_FILE;
            skipped = {0, &IS_THE_WORK_FILE};
        }
        if (input == NO_FILE) {
            show_message(INPUT_SKIPPED, slot.given.shown, slot.given.shown_tail, skipped);
            continue;
        }
        int error = 0;
        const MergeResult result = merge_one_input(input, work, filter, error);
        (void)close_file(input);
        if (result != MergeResult::done) {
            return {result, i, {error}};
        }
        ++opened;
    }
    if (opened == 0) {
        return {MergeResult::no_input_opened};
    }
    const std::string_view held = filter.held_length == 0
                                      ? FALLBACK_TERMINATION_RECORD
                                      : std::string_view(held_record, filter.held_length);
    if (!work.write_text(held) || (!held.ends_with('\n') && !work.write_text("\n"))) {
        return {MergeResult::work_write_failed, -1, {last_error()}};
    }
    return {};
}
