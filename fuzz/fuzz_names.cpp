// Fuzz target: the names the tool makes of its arguments, under the Windows rules and the POSIX
// ones ("/" separates folders too, a UTF-8 name is read as UTF-8). For any name, split_path
// gives pieces that fit buffers of the name's size, the drive and folder first; and the work
// file's name made of them splits back into that drive and folder. Every name and buffer is a
// heap block of exactly its size: AddressSanitizer sees any access past it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "names/path_names.h"

namespace {

// A heap block of size bytes holding text, and a NUL where it fits.
std::unique_ptr<char[]> block(std::string_view text, std::size_t size) {
    std::unique_ptr<char[]> bytes(new char[size]);
    std::memcpy(bytes.get(), text.data(), std::min(text.size(), size));
    if (text.size() < size) {
        bytes[text.size()] = '\0';
    }
    return bytes;
}

// The drive, folder, stem and extension of name, each split into a block of its size and a NUL.
std::vector<std::string> pieces_of(std::string_view name, const NameRules& rules) {
    const std::size_t size = name.size() + 1;
    std::unique_ptr<char[]> pieces[4] = {block("", size), block("", size), block("", size),
                                         block("", size)};
    if (!split_path(name, {pieces[0].get(), size}, {pieces[1].get(), size}, {pieces[2].get(), size},
                    {pieces[3].get(), size}, rules)) {
        std::abort();
    }
    return {pieces[0].get(), pieces[1].get(), pieces[2].get(), pieces[3].get()};
}

// The bytes that decide how a name splits, Shift-JIS lead and trail bytes, Latin-1 and UTF-8.
constexpr const char* PARTS[] = {"a",    ".",    ":",    "\\",   "/", "\x81", "\x95", "\x5C",
                                 "\xE0", "\xFC", "\xA0", "\xE9", "ā", "テ",   "\xC4", "\x80"};

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
    const std::unique_ptr<char[]> name = block(text, text.size());
    const std::vector<std::string> pieces = pieces_of({name.get(), text.size()}, rules);
    const std::string folder = pieces[0] + pieces[1];
    const std::size_t work_size = folder.size() + std::strlen("___00000.___") + 1;
    const std::unique_ptr<char[]> work = block("", work_size);
    const std::vector<std::string> work_pieces =
        make_path({work.get(), work_size}, block(pieces[0], pieces[0].size() + 1).get(),
                  block(pieces[1], pieces[1].size() + 1).get(), "___00000", "___", rules)
            ? pieces_of(work.get(), rules)
            : std::vector<std::string>(4);
    if (!text.starts_with(folder) || work_pieces[0] + work_pieces[1] != folder ||
        work_pieces[2] != "___00000" || work_pieces[3] != "___") {
        std::abort();  // the name and its pieces are in the input libFuzzer keeps
    }
    return 0;
}
