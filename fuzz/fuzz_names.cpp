// Fuzz target: the names the tool makes of its arguments, under the Windows rules and the POSIX
// ones ("/" separates folders too, a UTF-8 name is read as UTF-8). For any name, split_path gives
// a drive and a folder that start it, and where its extension starts; the work file's name made
// of that drive and folder splits back into them. Every buffer is a heap block of exactly its size:
// AddressSanitizer sees any access past it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "names/path_names.h"

namespace {

// The bytes that decide how a name splits, Shift-JIS lead and trail bytes, Latin-1 and UTF-8.
constexpr const char* PARTS[] = {"a",    ".",    ":",    "\\",   "/", "\x81", "\x95", "\x5C",
                                 "\xE0", "\xFC", "\xA0", "\xE9", "ā", "テ",   "\xC4", "\x80"};

void check(bool holds) {
    if (!holds) {
        std::abort();  // the name is in the input libFuzzer keeps
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int rules_chosen = input.ConsumeIntegralInRange(0, 2);
    const NameRules rules{.slash_separates_folders = rules_chosen > 0,
                          .utf8_names = rules_chosen > 1};
    std::string text;
    for (int parts = input.ConsumeIntegralInRange(0, 40); parts > 0; --parts) {
        text += input.PickValueInArray(PARTS);
    }
    const std::unique_ptr<char[]> name(new char[text.size()]);
    std::copy(text.begin(), text.end(), name.get());
    const std::string_view path(name.get(), text.size());
    const PathPieces pieces = split_path(path, rules);
    const std::size_t folder_size = pieces.drive.size() + pieces.folder.size();
    check(pieces.drive.data() == path.data() &&
          pieces.folder.data() == path.data() + pieces.drive.size());
    check(pieces.dot == path.size() || path[pieces.dot] == '.');

    const std::size_t work_size = folder_size + 13;  // "___00000.___" and the NUL
    const std::unique_ptr<char[]> work(new char[work_size]);
    check(make_path({work.get(), work_size}, path.substr(0, folder_size), "___00000", "___"));
    check(!make_path({work.get(), work_size - 1}, path.substr(0, folder_size), "___00000", "___"));
    const std::string_view made(work.get(), work_size - 1);
    // The same bytes before the stem; a name read by other characters than its prefix (invalid
    // UTF-8 after a valid prefix) may draw the line between drive and folder elsewhere.
    const PathPieces again = split_path(made, rules);
    check(again.drive.size() + again.folder.size() == folder_size &&
          made.substr(again.dot) == ".___");
    return 0;
}
