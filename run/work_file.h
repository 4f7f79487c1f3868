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
#include "textio/text_file.h"

// Room for the longest work-file name an output name of 256 bytes can give: its drive and folder,
// then "___00000.___". One longer than 256 bytes is refused, but shown whole.
inline constexpr std::size_t WORK_NAME_SIZE = NAME_SIZE + 16;

class WorkFile {
public:
    enum class Chosen {
        created,      // the run now owns the file at name()
        all_taken,    // every candidate name exists; name() is the last one tried
        not_created,  // the first free candidate cannot be created (a folder of that name, a
                      // missing folder, no permission, a name over 256 bytes); name() is it
    };
    // Tries "___00000.___" to "___00299.___" in folder (the output's drive and folder) and
    // creates the first free one exclusively, so that runs started at once each get their own. A
    // candidate that is one of the run's inputs or its output, however spelled, is passed over.
    Chosen choose_work_file(std::string_view folder, const InputNames& inputs,
                            const char* output_name);

    const char* name() const { return name_; }

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
    // Replaces the output with the merged text in one step, flushed to the disk with its
    // folder; the replaced output's permission bits, owner and group are carried over where the
    // system allows. A read-only output, and a special file or a link to one, are never replaced.
    // Where the rename cannot be done but a copy can (a mount point, another file system), the
    // output is created anew, or the file mounted there emptied, filled from the run's own handle
    // and flushed. Nothing is followed or read by name.
    Published publish_output(const char* output_name);

    // After a failed publication: shows that output_name was not created and, while the merged
    // text is still the run's at name(), that it is kept there.
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
    void set_state(volatile std::sig_atomic_t& state, State to);
    bool still_at_its_name() const;
    Published copy_into_output(const char* output_name, const ExistingEntry& old);

    char name_[WORK_NAME_SIZE] = {};
    FileHandle handle_ = NO_FILE;  // open from the creation to the end: no other file can take
                                   // the file's identity meanwhile
    FileIdentity identity_;
    volatile std::sig_atomic_t state_ = NOTHING;
    TextFile text_;
    // The output while a copy fills it: removed when the copy does not end.
    const char* output_name_ = nullptr;
    FileIdentity output_identity_;
    volatile std::sig_atomic_t output_state_ = NOTHING;
};
