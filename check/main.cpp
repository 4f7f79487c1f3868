// Srcheck: checks Motorola S-record files as Srjoin would merge them, before they are merged.
//   Srcheck file1+file2+...
//   Srcheck --help | --version
#include <algorithm>
#include <string>
#include <vector>

#include "check/checker.h"
#include "check/feed_lines.h"
#include "check/findings_text.h"
#include "check/messages.h"
#include "run/input_names.h"
#include "run/messages.h"
#include "textio/console.h"

namespace {

InputNames input_names;
// The names the lines show, by file: as given, with the default extension, or NAME.mot where
// that opened. Set before a file is read, as its findings are shown while it is.
std::vector<std::string> name_texts;
std::vector<std::string_view> names;
std::vector<bool> unreadable;

[[noreturn]] void finish(int exit_code) {
    flush_console();
    end_process(exit_code);
}

void show_usage() {
    for (const ToolText& line : CHECK_USAGE_LINES) {
        show_line(line);
    }
}

void show(const CheckLine& line) {
    show_named_line({line.japanese, line.english}, line.names);
}

// Shows each finding as it is made.
class ShownFindings final : public FindingSink {
public:
    void report(const Finding& finding) override { show(finding_line(finding, names)); }
};

// One pass over the list. A file that cannot be read is reported and left out from then on.
void check_files(Checker& checker) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (unreadable[i]) {
            continue;
        }
        const InputSlot& slot = input_names.slots[i];
        bool lower_case = false;
        const FileHandle file = open_input(slot, &lower_case);
        Reason failure = slot.given.fits ? Reason{last_error()} : Reason{0, &NAME_TOO_LONG};
        if (file != NO_FILE) {
            if (lower_case) {
                name_texts[i] = slot.name;
                name_texts[i].replace(name_texts[i].size() - 4, 4, ".mot");
                names[i] = name_texts[i];
            }
            checker.begin_file(i);
            int error = 0;
            const bool whole = feed_lines(file, checker, error);
            checker.end_file();
            (void)close_file(file);
            if (whole) {
                continue;
            }
            failure = {error};
        }
        unreadable[i] = true;
        show_message(FILE_NOT_READ, names[i], {}, failure);
    }
}

}  // namespace

int main(int argc, char** argv) {
    prepare_process();
    show_line(CHECK_BANNER);
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (argc == 2 && (first == "--help" || first == "--version")) {
        if (first == "--help") {
            show_usage();
        }
        finish(0);
    }
    // A list too long is refused whole, as Srjoin refuses it.
    if (argc != 2 || split_input_list(first, input_names) > MAX_INPUTS) {
        show_usage();
        finish(255);
    }
    for (int i = 0; i < input_names.count; ++i) {
        const GivenName& given = input_names.slots[i].given;
        name_texts.push_back(std::string(given.shown) + std::string(given.shown_tail));
    }
    names.assign(name_texts.begin(), name_texts.end());
    unreadable.assign(names.size(), false);

    ShownFindings shown;
    Checker checker(names.size(), shown);
    check_files(checker);
    if (checker.needs_second_pass()) {
        checker.begin_second_pass();
        check_files(checker);
    }
    for (const CheckLine& line : summary_lines(checker.summary(), names)) {
        show(line);
    }
    finish(std::ranges::find(unreadable, true) != unreadable.end() ? 2
           : checker.errors_found()                                ? 1
                                                                   : 0);
}
