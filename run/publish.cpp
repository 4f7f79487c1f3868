// Publication: the work file becomes the output.
#include "run/work_file.h"

namespace {

// The work file's text, read from the run's own handle, into output, as it is: the text was
// translated on its way into the work file. Flushed to the disk before it counts as written.
bool copy_raw(FileHandle work, FileHandle output) {
    static char buffer[64 * 1024];
    if (!rewind_file(work)) {
        return false;
    }
    for (;;) {
        const std::ptrdiff_t count = read_some(work, buffer, sizeof buffer);
        if (count == 0) {
            return flush_to_disk(output);
        }
        if (count < 0 || !write_all(output, buffer, static_cast<std::size_t>(count))) {
            return false;
        }
    }
}

}  // namespace

WorkFile::Published WorkFile::publish_output(const char* output_name) {
    output_name_ = output_name;
    const ExistingEntry old = examine_entry(output_name);
    if (old.read_only || old.kind == ExistingEntry::Kind::special) {
        return Published::refused;
    }
    carry_permissions(handle_, old);
    Renamed renamed = Renamed::refused;
    {
        // The name stops being the run's with the rename, or when it no longer leads to the
        // run's file: it may be another's then, which neither the end of the run nor an
        // interruption may remove.
        const HeldInterruptions held;
        if (!still_at_its_name()) {
            state_ = NOTHING;
            return Published::not_ours;
        }
        renamed = rename_over(name_, output_name);
        if (renamed == Renamed::renamed) {
            state_ = NOTHING;
        }
    }
    switch (renamed) {
        case Renamed::renamed: {
            // A failure to flush the folder is no failure of the run: the rename is atomic and
            // the text was on the disk before it, so a power cut leaves the old output or the
            // new one, whole, either way.
            flush_folder_of(output_name);
            // The rename goes by name: a file swapped in for the work file in the moment before
            // it is not what the run wrote, and is never reported as created. The handle is
            // asked again as well: on FAT a file's index follows its entry, which the rename
            // moved.
            const FileIdentity output = name_identity(output_name);
            return output == identity_ || output == file_identity(handle_) ? Published::published
                                                                           : Published::not_ours;
        }
        case Renamed::copy_instead:
            return copy_into_output(output_name, old);
        case Renamed::refused:
            break;
    }
    return Published::refused;
}

// Where the rename cannot be done but a copy can: the output is created anew, or, where it cannot
// be removed (a file mounted over it), the very file examined is emptied, and the work file's
// text is copied into it. No link is followed and nothing is read by name.
WorkFile::Published WorkFile::copy_into_output(const char* output_name, const ExistingEntry& old) {
    FileHandle output = NO_FILE;
    bool created = false;
    {
        // An interruption meets the old output untouched, or the one the copy made or opened,
        // which it then removes, keeping the work file.
        const HeldInterruptions held;
        const bool removed =
            old.kind != ExistingEntry::Kind::none && remove_if_same(output_name, old.identity);
        created = (old.kind == ExistingEntry::Kind::none || removed) &&
                  create_new_file(output_name, output) == Created::created;
        if (!created && !removed) {
            output = open_examined_file(output_name, old);
        }
        if (output != NO_FILE) {
            output_identity_ = file_identity(output);
            output_state_ = OWNED;
        }
        if (output != NO_FILE || removed) {
            state_ = KEPT;  // the merged text may now be in the work file alone
        }
    }
    if (output == NO_FILE) {
        return Published::refused;
    }
    if (created) {
        carry_permissions(output, old);
    }
    bool copied = copy_raw(handle_, output);
    copied = close_file(output) && copied;
    if (copied) {
        flush_folder_of(output_name);  // the new entry, before the work file goes
    }
    const HeldInterruptions held;
    if (!copied && created) {
        (void)remove_if_same(output_name, output_identity_);  // a mounted file stays as it is
    }
    output_state_ = NOTHING;
    state_ = copied ? OWNED : KEPT;
    return copied ? Published::published : Published::refused;
}
