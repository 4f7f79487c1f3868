// The merge pass: every line of every input, in list order, into the work file; termination
// records (S7, S8, S9) held back, and only the last one read written, at the very end.
#pragma once

#include "run/run_state.h"

enum class MergeResult {
    done,               // the work file is complete and closed
    work_write_failed,  // writing, closing or flushing the work file failed
    input_read_failed,  // reading an input failed part way, or it could not be set up
    no_input_opened,    // every input was skipped: there is nothing to publish
};

struct MergeOutcome {
    MergeResult result = MergeResult::done;
    int failed_input = -1;  // the slot whose read failed
};

// True for a line whose first two characters are "S" or "s" and "7", "8" or "9".
bool is_termination_record(const char* line, std::size_t length);

// Merges run.input_names into run.work_file, which must be open for writing; closes it and
// flushes run.work_handle to the disk when done. An input that does not open is skipped with
// its message. Every input's last line, and the termination record, end with a line break in
// the work file.
MergeOutcome merge_inputs(RunState& run);
