// The names on the command line: the "+"-joined input list and the output name, each given its
// default extension.
#pragma once

#include <span>
#include <string_view>

#include "run/run_state.h"

// Stores name into destination, adding extension (".MOT" or ".mot") when the name has none. A name
// that does not fit (more than MAX_NAME_LENGTH bytes with the extension) is not stored: fits is
// false, destination is empty, and the result still shows the whole name.
GivenName give_default_extension(std::string_view name, std::string_view extension,
                                 std::span<char> destination, const NameRules& rules);

// Opens the input of a slot for reading; NO_FILE when it does not open or its name did not fit. A
// name given the default extension is NAME.MOT; where names are case-sensitive and no entry of
// that name exists at all, it is NAME.mot, the name build tools write (as Windows finds it).
FileHandle open_input(const InputSlot& slot);

// Fills run.input_names from the "+"-joined list; an empty element becomes ".MOT". Returns the
// count of names, which is never below 1. A list of more than MAX_INPUTS names (empty ones
// count) is not stored, and gives MAX_INPUTS + 1.
int split_input_list(std::string_view list, RunState& run);
