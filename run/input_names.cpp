#include "run/input_names.h"

#include <algorithm>
#include <cstring>

namespace {

// Given with its dot, so that a message can show "name" ".MOT" as one name.
constexpr std::string_view INPUT_DEFAULT_EXTENSION = ".MOT";
// The default input extension as build tools write it.
constexpr std::string_view LOWER_CASE_INPUT_EXTENSION = ".mot";
static_assert(LOWER_CASE_INPUT_EXTENSION.size() == INPUT_DEFAULT_EXTENSION.size());

}  // namespace

NameRules platform_name_rules() {
    const PlatformNames names = platform_names();
    return {.slash_separates_folders = names.slash_separates_folders,
            .utf8_names = names.may_be_utf8};
}

GivenName give_default_extension(std::string_view name, std::string_view extension,
                                 std::span<char> destination, const NameRules& rules) {
    GivenName given;
    destination[0] = '\0';
    if (!extension_of(name, rules).empty()) {
        given.shown = name;
        given.fits = name.size() < destination.size();
        if (given.fits) {
            std::memcpy(destination.data(), name.data(), name.size());
            destination[name.size()] = '\0';
        }
        return given;
    }
    given.shown = name.substr(0, split_path(name, rules).dot);
    given.shown_tail = extension;
    given.fits = replace_extension(destination, name, extension, rules);
    return given;
}

int split_input_list(std::string_view list, InputNames& inputs) {
    if (std::count(list.begin(), list.end(), '+') >= MAX_INPUTS) {
        return MAX_INPUTS + 1;
    }
    int count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t plus = list.find('+', start);
        const std::string_view element = list.substr(start, plus - start);
        InputSlot& slot = inputs.slots[count];
        slot.given = give_default_extension(element, INPUT_DEFAULT_EXTENSION, slot.name,
                                            platform_name_rules());
        ++count;
        if (plus == std::string_view::npos) {
            break;
        }
        start = plus + 1;
    }
    inputs.count = count;
    return count;
}

FileHandle open_input(const InputSlot& slot, bool* lower_case_opened) {
    if (lower_case_opened != nullptr) {
        *lower_case_opened = false;
    }
    if (!slot.given.fits) {
        return NO_FILE;
    }
    const FileHandle file = open_for_reading(slot.name);
    // A NAME.MOT that exists in any form (a folder, a link, a file that does not open) is the
    // only one tried, as on Windows, where it would hide NAME.mot.
    if (file != NO_FILE || slot.given.shown_tail.empty() || !platform_names().case_sensitive ||
        name_identity(slot.name).known) {
        return file;
    }
    char lower_case[NAME_SIZE];
    std::memcpy(lower_case, slot.name, sizeof lower_case);
    const std::size_t cut = std::strlen(lower_case) - LOWER_CASE_INPUT_EXTENSION.size();
    LOWER_CASE_INPUT_EXTENSION.copy(lower_case + cut, LOWER_CASE_INPUT_EXTENSION.size());
    const FileHandle lower_case_file = open_for_reading(lower_case);
    if (lower_case_opened != nullptr) {
        *lower_case_opened = lower_case_file != NO_FILE;
    }
    return lower_case_file;
}
