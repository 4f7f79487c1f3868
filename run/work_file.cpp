#include "run/work_file.h"

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
void WorkFile::set_state(volatile std::sig_atomic_t& state, State to) {
    const HeldInterruptions held;
    state = to;
}

bool WorkFile::still_at_its_name() const {
    return name_identity(name_) == identity_;
}

WorkFile::Chosen WorkFile::choose_work_file(std::string_view folder, const InputNames& inputs,
                                            const char* output_name) {
    // A candidate that is also an input or the output: the run would read or replace its own
    // work file.
    auto is_input_or_output = [&] {
        for (int i = 0; i < inputs.count; ++i) {
            const char* input = inputs.slots[i].name;
            if (input[0] != '\0' && same_file(input, name_)) {
                return true;
            }
        }
        return same_file(output_name, name_);
    };
    for (int k = 0; k < WORK_NAME_TRIES; ++k) {
        char stem[16];
        std::snprintf(stem, sizeof stem, WORK_STEM_FORMAT, k);
        if (!make_path(name_, folder, stem, WORK_EXTENSION) ||
            std::string_view(name_).size() >= NAME_SIZE) {
            return Chosen::not_created;
        }
        // The file and the run's claim on it come into being together: an interruption in
        // between would leave it behind.
        const HeldInterruptions held;
        switch (create_new_file(name_, handle_)) {
            case Created::created:
                identity_ = file_identity(handle_);
                if (!is_input_or_output()) {
                    state_ = OWNED;
                    return Chosen::created;
                }
                (void)remove_if_same(name_, identity_);
                (void)close_file(handle_);
                handle_ = NO_FILE;
                break;
            case Created::name_taken:
                break;
            case Created::failed:
                return Chosen::not_created;
        }
    }
    return Chosen::all_taken;
}

bool WorkFile::start_writing() {
    return text_.open(handle_, TextFile::Mode::writing);
}

// The work file is complete only once it is on the disk: a power cut after the rename must find
// the text there, not an empty file.
bool WorkFile::finish_writing() {
    return text_.close() && flush_to_disk(handle_);
}

void WorkFile::report_failed_publication(const char* output_name) {
    output_name_ = output_name;
    // An interruption from here on gives this report itself.
    set_state(state_, state_ == NOTHING ? NOTHING : KEPT);
    show_message(OUTPUT_NOT_CREATED, output_name);
    if (state_ == KEPT) {
        show_message(WORK_FILE_KEPT, name_);
    }
    set_state(state_, NOTHING);
}

void WorkFile::discard() {
    (void)text_.close();
    {
        // Once removed, the name may be another run's at any moment: an interruption from here
        // on must not remove it again.
        const HeldInterruptions held;
        if (state_ == OWNED) {
            (void)remove_if_same(name_, identity_);
        }
        state_ = NOTHING;
    }
    // Closed only now: until the name is gone, no other file can take the file's identity.
    if (handle_ != NO_FILE) {
        (void)close_file(handle_);
        handle_ = NO_FILE;
    }
}

// The names and identities it uses are set before the state that needs them, and it removes only
// the run's own files: a name another hand has taken over since is left alone.
void WorkFile::clean_up_after_interruption() {
    if (output_state_ == OWNED) {
        (void)remove_if_same(output_name_, output_identity_);
    }
    if (state_ == OWNED) {
        (void)remove_if_same(name_, identity_);
    } else if (state_ == KEPT) {
        show_message(OUTPUT_NOT_CREATED, output_name_);
        show_message(WORK_FILE_KEPT, name_);
    }
    flush_console();
}
