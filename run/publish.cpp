#include "run/publish.h"

#include "run/interruption.h"
#include "textio/text_file.h"

namespace {

// The work file's text, read from the run's own handle, into output: flushed to the disk before
// it counts as written.
int copy_text_into(FileHandle work, FileHandle output) {
    TextFilePointer from = rewind_file(work) ? lend_text(work, "r") : nullptr;
    if (!from) {
        return -2;
    }
    TextFilePointer to = lend_text(output, "w");
    // The text in pieces of at most 1021 characters, written back to back.
    char buffer[COPY_READ_SIZE + 2];
    int result = to && copy_text(*from, *to, buffer, COPY_READ_SIZE) ? 0 : -3;
    if (result == 0 && text_failed(*from)) {
        result = -4;
    }
    if ((close_text(to) < 0 || !flush_to_disk(output)) && result == 0) {
        result = -3;
    }
    return result;
}

// Publication where the rename cannot be done but a copy can: the output is created anew, or,
// where it cannot be removed (a file mounted over it), the very file examined is emptied, and
// the work file's text is copied into it. No link is followed and nothing is read by name.
int copy_work_file(RunState& run, const ExistingEntry& old) {
    // Held, so that an interruption meets the old output untouched, or the one the copy made or
    // opened, which it then removes (Windows: the clean-up runs on a thread of its own).
    hold_interruptions();
    const bool removed =
        old.kind != ExistingEntry::Kind::none && remove_if_same(run.output_name, old.identity);
    FileHandle output = NO_FILE;
    const bool created = (old.kind == ExistingEntry::Kind::none || removed) &&
                         create_new_file(run.output_name, output) == CreateResult::created;
    if (!created && !removed) {
        output = open_examined_file(run.output_name, old);
    }
    if (output != NO_FILE) {
        run.output_identity = file_identity(output);
        set_run_phase(RunPhase::publishing);
    } else if (removed) {
        set_run_phase(RunPhase::work_file_kept);  // the merged text is now in the work file alone
    }
    allow_interruptions();
    if (output == NO_FILE) {
        return -1;
    }
    if (created) {
        carry_permissions(output, old);
    }
    int result = copy_text_into(run.work_handle, output);
    if (!close_file(output) && result == 0) {
        result = -3;
    }
    if (result == 0) {
        flush_folder_of(run.output_name);  // the new entry, before the work file goes
    }
    hold_interruptions();
    if (result == 0) {
        set_run_phase(RunPhase::work_file_owned);
    } else {
        // A file mounted over the output stays as the copy left it.
        if (created) {
            (void)remove_if_same(run.output_name, run.output_identity);
        }
        set_run_phase(RunPhase::work_file_kept);
    }
    allow_interruptions();
    return result;
}

}  // namespace

int publish_output(RunState& run) {
    const ExistingEntry old = examine_entry(run.output_name);
    if (old.read_only || old.kind == ExistingEntry::Kind::special) {
        return -1;
    }
    carry_permissions(run.work_handle, old);
    // The name stops being the run's with the rename, or when it no longer leads to the run's
    // file: it may be another's then, which neither finish_run nor an interruption may delete.
    hold_interruptions();
    const bool ours = name_identity(run.work_name) == run.work_identity;
    const RenameResult renamed =
        ours ? rename_over(run.work_name, run.output_name) : RenameResult::refused;
    if (!ours || renamed == RenameResult::renamed) {
        run.owns_work_file = false;
        set_run_phase(RunPhase::nothing_on_disk);
    }
    allow_interruptions();
    if (!ours) {
        return -5;
    }
    switch (renamed) {
        case RenameResult::renamed: {
            // A failure to flush the folder is no failure of the run: the rename is atomic and
            // the work file's text was on the disk before it, so a power cut leaves the old
            // output or the new one, whole, either way.
            flush_folder_of(run.output_name);
            // The rename goes by name: a file swapped in for the work file in the moment before
            // it is not what the run wrote, and is never reported as created. The handle is asked
            // again as well: on FAT a file's index follows its entry, which the rename moved.
            const FileIdentity output = name_identity(run.output_name);
            return output == run.work_identity || output == file_identity(run.work_handle) ? 0 : -5;
        }
        case RenameResult::copy_instead:
            return copy_work_file(run, old);
        case RenameResult::refused:
            break;
    }
    return -1;
}
