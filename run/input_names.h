// The names on the command line: the "+"-joined input list and the output name, each given its
// default extension where it has none.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "names/path_names.h"
#include "os/os.h"

inline constexpr int MAX_INPUTS = 50;
inline constexpr std::size_t NAME_SIZE = 257;  // a name of up to 256 bytes and its NUL

// A name as given on the command line, with its default extension where it had none.
struct GivenName {
    bool fits = false;            // stored whole in its buffer
    std::string_view shown;       // the name to show in a message: shown, then shown_tail
    std::string_view shown_tail;  // the default extension added (".MOT"), or empty
};

struct InputSlot {
    char name[NAME_SIZE];  // NUL-terminated; empty when the name does not fit
    GivenName given;       // for the messages, also when the name did not fit
};

struct InputNames {
    InputSlot slots[MAX_INPUTS];
    int count;
};

// The platform's rules for the names the tool splits.
NameRules platform_name_rules();

// Stores name into destination, adding extension (".MOT" or ".mot") where the name has none. A
// name that does not fit with its extension is not stored: fits is false, destination is empty,
// and the result still shows the whole name.
GivenName give_default_extension(std::string_view name, std::string_view extension,
                                 std::span<char> destination, const NameRules& rules);

// Fills inputs from the "+"-joined list; an empty element becomes ".MOT". Returns the count of
// names, never below 1. A list of more than MAX_INPUTS names (empty ones count) is not stored,
// and gives MAX_INPUTS + 1.
int split_input_list(std::string_view list, InputNames& inputs);

// Opens the input of a slot for reading; NO_FILE when it does not open or its name did not fit.
// A name given the default extension is NAME.MOT; where names are case-sensitive and no entry of
// that name exists at all, it is NAME.mot, the name build tools write (as Windows finds it);
// *lower_case_opened, where given, tells which.
FileHandle open_input(const InputSlot& slot, bool* lower_case_opened = nullptr);
