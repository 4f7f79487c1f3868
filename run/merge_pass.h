// The merge pass: every line of every input, in list order, into the work file; termination
// records (S7, S8, S9) held back, and only the last one read written, at the very end.
#pragma once

#include <string_view>

#include "run/input_names.h"
#include "textio/console.h"
#include "textio/text_file.h"

enum class MergeResult {
    done,               // every input that opened is in the work file, the termination record last
    work_write_failed,  // writing the work file failed
    input_read_failed,  // reading an input failed part way, or its buffer could not be had
    no_input_opened,    // every input was skipped: there is nothing to publish
};

struct MergeOutcome {
    MergeResult result = MergeResult::done;
    int failed_input = -1;  // the slot whose reading failed
    Reason reason = {};     // why writing or reading failed
};

// True for a line whose first two characters are "S" or "s" and "7", "8" or "9".
bool is_termination_record(std::string_view line);

// Merges the inputs into work, which is open for writing; an input that does not open, or that is
// the work file itself (work_identity), however it is named, is skipped with its message. Every
// input's last line, and the termination record, end with a line break.
MergeOutcome merge_inputs(const InputNames& inputs, TextFile& work,
                          const FileIdentity& work_identity);
