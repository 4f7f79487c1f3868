// Publication: the work file becomes the output.
#include <cerrno>

#include "run/messages.h"
#include "run/work_file.h"

namespace {

// The work file's text, read from the run's own handle, into output, as it is: the text was
// translated on its way into the work file. Flushed to the disk before it counts as written.
bool copy_raw(FileHandle work, FileHandle output) {
    static char buffer[64 * 1024];
    if (!rewind_file(work)) {
        return false;
    }
    WriteBehind behind;
    for (;;) {
        const std::ptrdiff_t count = read_some(work, buffer, sizeof buffer);
        if (count == 0) {
            return flush_to_disk(output);
        }
        if (count < 0 || !write_all(output, buffer, static_cast<std::size_t>(count))) {
            return false;
        }
        write_behind(output, behind, static_cast<std::size_t>(count));
    }
}

}  // namespace

WorkFile::Published WorkFile::refused(Reason why) {
    failure_ = why;
    return Published::refused;
}

WorkFile::Published WorkFile::publish_output(const char* output_name) {
    output_name_ = output_name;
    const ExistingEntry old = examine_entry(output_name);
    if (old.read_only) {
        return refused({0, &READ_ONLY});
    }
    if (old.kind == ExistingEntry::Kind::special) {
        return refused({0, &NOT_A_FILE});
    }
    if (old.kind == ExistingEntry::Kind::folder) {
        return refused({EISDIR});
    }
    // The rename goes by name: a name that no longer leads to the run's file is another's,
    // which neither the end of the run nor an interruption may remove.
    failure_ = {0, &CHANGED_BY_ANOTHER};
    if (name_identity(work_.name) != work_.identity) {
        set_state(work_, NOTHING);
        return Published::not_ours;
    }
    switch (rename_over(work_.name, output_name, old)) {
        case Renamed::renamed:
            set_state(work_, NOTHING);
            return settle(work_, output_name, old);
        case Renamed::other_file_system:
            return copy_beside(output_name, old);
        case Renamed::mount_point:
            return copy_into_mount_point(output_name, old);
        case Renamed::swapped_for_another:
            set_state(work_, NOTHING);
            failure_ = {EEXIST};
            return Published::not_ours;
        case Renamed::refused:
            break;
    }
    return refused({last_error()});
}

// The file now at the output's name: given the old output's mode, owner and group only now that
// the run's own text is in place, and flushed with its folder. A failure to flush the folder is no
// failure of the run: the rename is atomic and the text was on the disk before it, so a power cut
// leaves the old output or the new one, whole. The rename went by name: a file swapped in for the
// run's in the moment before it is not what the run wrote, and is never reported as created. The
// handle is asked again as well: on FAT a file's index follows its entry, which the rename moved.
WorkFile::Published WorkFile::settle(const OwnedFile& file, const char* output_name,
                                     const ExistingEntry& old) {
    carry_permissions(file.handle, old);
    flush_folder_of(output_name, file.handle);
    const FileIdentity output = name_identity(output_name);
    if (output == file.identity || output == file_identity(file.handle)) {
        return Published::published;
    }
    failure_ = {0, &CHANGED_BY_ANOTHER};
    return Published::not_ours;
}

// An output on another file system than the work file: the text is copied into a file of the
// run's own beside the output, flushed, and renamed onto it. Until then the old output stays.
WorkFile::Published WorkFile::copy_beside(const char* output_name, const ExistingEntry& old) {
    const std::string_view folder(output_name, system_folder_length(output_name));
    if (create_first_free(copy_, folder, output_name) != Chosen::created) {
        return Published::refused;  // failure_ says why
    }
    const Renamed renamed = copy_raw(work_.handle, copy_.handle)
                                ? rename_over(copy_.name, output_name, old)
                                : Renamed::refused;
    failure_ = {last_error()};
    if (renamed == Renamed::renamed) {
        set_state(copy_, NOTHING);
        return settle(copy_, output_name, old);
    }
    if (renamed == Renamed::swapped_for_another) {
        set_state(copy_, NOTHING);  // its name holds another's entry now
    }
    remove(copy_);
    return Published::refused;  // failure_ says why
}

// A mount point cannot be renamed over: the very file examined is emptied and written where it
// is. From then on an interruption or a failure leaves it partial, and the merged text is in the
// work file alone, which is kept.
WorkFile::Published WorkFile::copy_into_mount_point(const char* output_name,
                                                    const ExistingEntry& old) {
    const FileHandle output = open_examined_file(output_name, old);
    if (output == NO_FILE) {
        return refused({last_error()});
    }
    set_state(work_, KEPT);
    bool copied = copy_raw(work_.handle, output);
    copied = close_file(output) && copied;
    failure_ = {last_error()};
    set_state(work_, copied ? OWNED : KEPT);
    return copied ? Published::published : Published::refused;
}
