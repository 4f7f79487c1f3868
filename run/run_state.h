// The state of one run: static storage for the whole process, so that finish_run can reach
// every open file and the work file from any point of failure.
#pragma once

#include <cstddef>
#include <string_view>

#include "names/path_names.h"
#include "textio/text_file.h"

inline constexpr int MAX_INPUTS = 50;
inline constexpr std::size_t NAME_SIZE = 257;  // a name of up to 256 bytes and its NUL
inline constexpr std::size_t MAX_NAME_LENGTH = NAME_SIZE - 1;
inline constexpr std::size_t MERGE_READ_SIZE = 9998;  // at most 9997 characters per read
// Holds any piece the merge pass can read, so a long (malformed) termination line is kept whole.
inline constexpr std::size_t HELD_RECORD_SIZE = MERGE_READ_SIZE;
inline constexpr std::size_t COPY_READ_SIZE = 1022;  // read into a 1024-byte buffer
inline constexpr int WORK_NAME_TRIES = 300;
// Room for the longest candidate an output name of 256 bytes can give: its drive and folder,
// a ":" and a separator that may be added, "___00000", "." and "___". A candidate longer than
// MAX_NAME_LENGTH is still refused, but it can be shown whole.
inline constexpr std::size_t WORK_NAME_SIZE = NAME_SIZE + 16;

// Default extensions, given with their dot so that a message can show "name" ".MOT" as one name.
inline constexpr std::string_view INPUT_DEFAULT_EXTENSION = ".MOT";
inline constexpr std::string_view OUTPUT_DEFAULT_EXTENSION = ".mot";
inline constexpr const char* WORK_STEM_FORMAT = "___%05d";
inline constexpr const char* WORK_EXTENSION = "___";
// S8 (24-bit start address FFDE40), written when no input held a termination record.
inline constexpr const char* FALLBACK_TERMINATION_RECORD = "S804FFDE40DE\n";

// A name as given on the command line, with its default extension where it had none.
struct GivenName {
    bool fits = false;            // the name was stored in its buffer
    std::string_view shown;       // the name to show in a message: shown then shown_tail
    std::string_view shown_tail;  // the default extension added (".MOT"), or empty
};

struct InputSlot {
    char name[NAME_SIZE];  // NUL-terminated; empty when the name is too long to be stored
    GivenName given;       // for the messages, also when the name did not fit
};

struct RunState {
    NameRules name_rules;
    InputSlot input_names[MAX_INPUTS + 1];
    int input_count;
    char output_name[NAME_SIZE];
    char work_name[WORK_NAME_SIZE];  // the work file, or the candidate last tried
    bool owns_work_file;             // the work file exists on disk and is the run's to delete
    // The work file, open for reading and writing from its creation to the end of the run:
    // while it is open, no other file can take its identity.
    FileHandle work_handle = NO_FILE;
    FileIdentity work_identity;    // the file the run created as its work file
    FileIdentity output_identity;  // the output a copy created or opened (publication)
    char held_record[HELD_RECORD_SIZE];
    char line_buffer[MERGE_READ_SIZE];
    TextFilePointer work_file;
    TextFilePointer input_file;
};

// The one run of this process.
extern RunState the_run;
