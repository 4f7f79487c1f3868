// The run's work file, the one owner of its life: created next to the output under a free name,
// written, flushed to the disk, then published as the output (renamed onto it, or copied where
// the rename cannot be done), or kept and named when publication fails. On every other path, an
// interruption included, it is removed. Its state is the one the clean-up after an
// interruption reads.
#pragma once

#include <csignal>
#include <cstddef>
#include <string_view>

#include "os/os.h"
#include "run/input_names.h"
#include "textio/console.h"
#include "textio/text_file.h"

// Room for the longest work-file name an output name of 256 bytes can give: its drive and folder,
// then "___00000.___". One longer than 256 bytes is refused, but shown whole.
inline constexpr std::size_t WORK_NAME_SIZE = NAME_SIZE + 16;

class WorkFile {
public:
    enum class Chosen {
        created,      // the run now owns the file at name()
        all_taken,    // every candidate name exists; name() is the last one tried
        not_created,  // the first free candidate cannot be created (a missing folder, no
                      // permission, a name over 256 bytes); name() is it
    };
    // Tries "___00000.___" to "___00299.___" in folder (the output's drive and folder) and
    // creates the first free one exclusively, so that runs started at once each get their own.
    // A name taken by anything, a folder included, is passed over, and so is the output,
    // however spelled.
    Chosen choose_work_file(std::string_view folder, const char* output_name);

    const char* name() const { return work_.name; }
    // Why the last step that failed did.
    const Reason& failure() const { return failure_; }
    // The file as the run created it: an input that is this file is no input.
    const FileIdentity& identity() const { return work_.identity; }

    // The merged text goes through text(), which start_writing sets up; false when its buffer
    // cannot be had. finish_writing writes it out and flushes the file to the disk; false when
    // that fails.
    bool start_writing();
    TextFile& text() { return text_; }
    bool finish_writing();

    enum class Published {
        published,  // the output is the merged text, on the disk
        refused,    // the output is read-only or special, the rename was refused, or the copy
                    // failed
        not_ours,   // the work file's name no longer leads to the file the run wrote (another
                    // hand removed it or put something else there), before or after the rename
    };
    // Replaces the output with the merged text in one step; only then gives it the replaced
    // output's permission bits, owner and group where the system allows (until that moment the
    // text is the runner's alone), and flushes the rename to the disk. A read-only output, a
    // folder, and a special file or a link to one are never replaced, nor is anything put at the
    // output after its examination, where the system can tell. Where the rename cannot be done
    // across file systems, the text is copied into a file of the run's own in the output's folder
    // (as the system reads the name), which is renamed in the same way; only a mount point is
    // written into where it is. The old output stays until the new text is whole on the disk.
    // Nothing is followed or read by name.
    Published publish_output(const char* output_name);

    // After a failed publication: shows that output_name was not created, and why, and, while
    // the merged text is still the run's at name(), that it is kept there.
    void report_failed_publication(const char* output_name);

    // Removes the file unless it was published or kept, and lets its handle go.
    void discard();

    // Runs in the clean-up after an interruption: async-signal-safe calls only.
    void clean_up_after_interruption();

private:
    // What the clean-up after an interruption does for a file of the run.
    enum State : std::sig_atomic_t {
        NOTHING,  // none on disk that is the run's
        OWNED,    // the run's, to be removed
        KEPT,     // holds the only merged text: stays, and is reported
    };
    // A file the run created: its name, its handle from the creation to the end (no other file
    // can take its identity meanwhile), and its state.
    struct OwnedFile {
        char name[WORK_NAME_SIZE] = {};
        FileHandle handle = NO_FILE;
        FileIdentity identity;
        volatile std::sig_atomic_t state = NOTHING;
    };
    static void set_state(OwnedFile& file, State to);
    Chosen create_first_free(OwnedFile& file, std::string_view folder, const char* output_name);
    Published refused(Reason why);
    static void remove(OwnedFile& file);
    Published settle(const OwnedFile& file, const char* output_name, const ExistingEntry& old);
    Published copy_beside(const char* output_name, const ExistingEntry& old);
    Published copy_into_mount_point(const char* output_name, const ExistingEntry& old);

    OwnedFile work_;
    OwnedFile copy_;  // the copy's own file, beside an output on another file system
    TextFile text_;
    const char* output_name_ = nullptr;  // for the report of the clean-up
    Reason failure_;
};
