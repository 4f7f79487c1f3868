#include "run/work_file.h"

#include <cerrno>
#include <cstdio>

#include "run/messages.h"
#include "textio/console.h"

namespace {

constexpr int WORK_NAME_TRIES = 300;
constexpr const char* WORK_STEM_FORMAT = "___%05d";
constexpr std::string_view WORK_EXTENSION = "___";

}  // namespace

// On Windows the clean-up runs on a thread of its own: the run must not go on into the next
// state while the clean-up acts on the last one.
void WorkFile::set_state(OwnedFile& file, State to) {
    const HeldInterruptions held;
    file.state = to;
}

// A candidate that is the output, however spelled, is passed over: the run would replace its own
// work file.
WorkFile::Chosen WorkFile::create_first_free(OwnedFile& file, std::string_view folder,
                                             const char* output_name) {
    for (int k = 0; k < WORK_NAME_TRIES; ++k) {
        char stem[16];
        std::snprintf(stem, sizeof stem, WORK_STEM_FORMAT, k);
        if (!make_path(file.name, folder, stem, WORK_EXTENSION) ||
            std::string_view(file.name).size() >= NAME_SIZE) {
            failure_ = {0, &NAME_TOO_LONG};
            return Chosen::not_created;
        }
        // The file and the run's claim on it come into being together: an interruption in
        // between would leave it behind.
        const HeldInterruptions held;
        switch (create_new_file(file.name, file.handle)) {
            case Created::created:
                file.identity = file_identity(file.handle);
                // Owned at once: should the removal of a candidate that is the output wait on
                // another program (Windows), an interruption meanwhile removes it.
                file.state = OWNED;
                if (!same_file(output_name, file.name)) {
                    return Chosen::created;
                }
                remove(file);
                break;
            case Created::name_taken:
                break;
            case Created::failed:
                failure_ = {last_error()};
                return Chosen::not_created;
        }
    }
    failure_ = {0, &ALL_NAMES_TAKEN};
    return Chosen::all_taken;
}

WorkFile::Chosen WorkFile::choose_work_file(std::string_view folder, const char* output_name) {
    return create_first_free(work_, folder, output_name);
}

bool WorkFile::start_writing() {
    failure_ = {ENOMEM};
    if (!text_.open(work_.handle, TextFile::Mode::writing)) {
        return false;
    }
    text_.write_back_as_written();  // finish_writing flushes it
    return true;
}

// The work file is complete only once it is on the disk: a power cut after the rename must find
// the text there, not an empty file.
bool WorkFile::finish_writing() {
    const bool finished = text_.close() && flush_to_disk(work_.handle);
    failure_ = {last_error()};
    return finished;
}

void WorkFile::report_failed_publication(const char* output_name) {
    output_name_ = output_name;
    // An interruption from here on gives this report itself.
    set_state(work_, work_.state == NOTHING ? NOTHING : KEPT);
    show_message(OUTPUT_NOT_CREATED, output_name, {}, failure_);
    if (work_.state == KEPT) {
        show_message(WORK_FILE_KEPT, work_.name);
    }
    set_state(work_, NOTHING);
}

// Once removed, the name may be another run's at any moment: an interruption from here on must
// not remove it again. The handle goes only then: until the name is gone, no other file can take
// the file's identity.
void WorkFile::remove(OwnedFile& file) {
    {
        const HeldInterruptions held;
        if (file.state == OWNED) {
            (void)remove_if_same(file.name, file.identity);
        }
        file.state = NOTHING;
    }
    if (file.handle != NO_FILE) {
        (void)close_file(file.handle);
        file.handle = NO_FILE;
    }
}

void WorkFile::discard() {
    (void)text_.close();
    remove(copy_);
    remove(work_);
}

// The names and identities it uses are set before the state that needs them, and it removes only
// the run's own files: a name another hand has taken over since is left alone.
void WorkFile::clean_up_after_interruption() {
    for (const OwnedFile* file : {&copy_, &work_}) {
        if (file->state == OWNED) {
            (void)remove_if_same(file->name, file->identity);
        }
    }
    if (work_.state == KEPT) {
        show_message(OUTPUT_NOT_CREATED, output_name_);
        show_message(WORK_FILE_KEPT, work_.name);
    }
    flush_console();
}
