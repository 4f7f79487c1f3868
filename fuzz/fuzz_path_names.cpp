// Fuzz target for names/path_names.h. The input picks the name rules, names (raw bytes, or
// bytes drawn from the few values that matter: ".", ":", "\", "/", lead bytes...) and buffer
// capacities. Every name and piece given, and every output buffer, is a heap block of exactly its
// size (the NUL included for a C string, none after a std::string_view; a zero-sized block for
// capacity 0), so AddressSanitizer reports any read or write past it. The properties below are
// checked on top.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "names/path_names.h"

namespace {

[[noreturn]] void fail(const char* what, int line) {
    std::fprintf(stderr, "fuzz_path_names.cpp:%d: property does not hold: %s\n", line, what);
    std::abort();
}

#define CHECK(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

constexpr char MARKER = '\xA5';

// A buffer of exactly its capacity, filled with MARKER so that "nothing written" can be seen.
class Buffer {
public:
    explicit Buffer(std::size_t capacity, bool present = true)
        : capacity_(capacity), present_(present), bytes_(new char[capacity]) {
        std::memset(bytes_.get(), MARKER, capacity);
    }
    // An absent buffer is an empty span.
    std::span<char> span() {
        return present_ ? std::span<char>(bytes_.get(), capacity_) : std::span<char>();
    }
    char* data() { return bytes_.get(); }
    bool untouched() const {
        return std::all_of(bytes_.get(), bytes_.get() + capacity_,
                           [](char c) { return c == MARKER; });
    }
    // The NUL-terminated text written, which must end inside the buffer.
    std::string written() const {
        const void* nul = std::memchr(bytes_.get(), '\0', capacity_);
        CHECK(nul != nullptr);
        return std::string(bytes_.get(),
                           static_cast<std::size_t>(static_cast<const char*>(nul) - bytes_.get()));
    }

private:
    std::size_t capacity_;
    bool present_;
    std::unique_ptr<char[]> bytes_;
};

// A copy of text in a heap block of exactly its size, with a NUL after it for a C string.
class ExactText {
public:
    ExactText(std::string_view text, bool terminated)
        : size_(text.size()), bytes_(new char[text.size() + (terminated ? 1 : 0)]) {
        std::memcpy(bytes_.get(), text.data(), size_);
        if (terminated) {
            bytes_[size_] = '\0';
        }
    }
    std::string_view view() const { return {bytes_.get(), size_}; }
    const char* c_str() const { return bytes_.get(); }

private:
    std::size_t size_;
    std::unique_ptr<char[]> bytes_;
};

// Byte values that decide how a name splits, and neighbours of the lead-byte ranges.
constexpr unsigned char ALPHABET[] = {'a',  '.',  ':',  '\\', '/',  0x81, 0x95, 0x9F,
                                      0xE0, 0xFC, 0x80, 0xA0, 0xDF, 0xFD, 0x40, 'b'};

// A name without NUL bytes (the names are C strings): raw bytes, or with dense set, each byte
// mapped into ALPHABET.
std::string consume_name(FuzzedDataProvider& input, bool dense) {
    std::string name =
        input.ConsumeBytesAsString(input.ConsumeIntegralInRange<std::size_t>(0, 300));
    if (dense) {
        for (char& byte : name) {
            byte = static_cast<char>(ALPHABET[static_cast<unsigned char>(byte) % sizeof ALPHABET]);
        }
    }
    std::erase(name, '\0');
    return name;
}

// A capacity around the one needed (one short, exact, one more), or anything from 0 to 300.
std::size_t consume_capacity(FuzzedDataProvider& input, std::size_t needed) {
    switch (input.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return needed == 0 ? 0 : needed - 1;
        case 1:
            return needed;
        case 2:
            return needed + 1;
        default:
            return input.ConsumeIntegralInRange<std::size_t>(0, 300);
    }
}

// byte_type by its definition: read from byte 0; a lead byte (0x81-0x9F, 0xE0-0xFC) and the
// byte after it form one character, whatever that byte is, except a "/" where it separates
// folders.
bool in_lead_range(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

std::vector<ByteType> model_byte_types(std::string_view text, const NameRules& rules) {
    std::vector<ByteType> types;
    ByteType state = ByteType::single;
    for (const char c : text) {
        const bool slash_alone = rules.slash_separates_folders && c == '/';
        state = state == ByteType::lead && !slash_alone        ? ByteType::trail
                : in_lead_range(static_cast<unsigned char>(c)) ? ByteType::lead
                                                               : ByteType::single;
        types.push_back(state);
    }
    return types;
}

struct Name {
    std::string_view text;
    std::vector<ByteType> types;
    NameRules rules;

    // True when the byte at index is the character c on its own (not a trail byte).
    bool single(std::size_t index, char c) const {
        return text[index] == c && types[index] == ByteType::single;
    }
    bool separator(std::size_t index) const {
        return single(index, '\\') || (rules.slash_separates_folders && single(index, '/'));
    }
};

// byte_type and is_lead_byte agree with the model at every index.
void check_byte_types(const Name& name) {
    for (std::size_t i = 0; i < name.text.size(); ++i) {
        CHECK(byte_type(name.text, i, name.rules) == name.types[i]);
        CHECK(is_lead_byte(static_cast<unsigned char>(name.text[i])) ==
              in_lead_range(static_cast<unsigned char>(name.text[i])));
    }
}

// split_path and extension_cut against the definitions of the pieces, the fit rule, and
// make_path on the pieces.
void check_split(FuzzedDataProvider& input, const Name& name) {
    const std::string_view text = name.text;
    const std::size_t size = text.size();

    // Reference pieces: a piece is never longer than the name.
    Buffer drive_buffer(size + 1), folder_buffer(size + 1), stem_buffer(size + 1),
        extension_buffer(size + 1);
    CHECK(split_path(text, drive_buffer.span(), folder_buffer.span(), stem_buffer.span(),
                     extension_buffer.span(), name.rules));
    const std::string drive = drive_buffer.written();
    const std::string folder = folder_buffer.written();
    const std::string stem = stem_buffer.written();
    const std::string extension = extension_buffer.written();
    const std::size_t folder_start = drive.size();
    const std::size_t stem_start = drive.size() + folder.size();

    // The drive runs through the last ":" that is a character of its own; empty without one.
    CHECK(text.starts_with(drive));
    CHECK(drive.empty() || name.single(drive.size() - 1, ':'));
    for (std::size_t i = folder_start; i < size; ++i) {
        CHECK(!name.single(i, ':'));
    }
    // The folder follows the drive and runs through the last separator after it.
    CHECK(text.substr(folder_start).starts_with(folder));
    CHECK(folder.empty() || name.separator(stem_start - 1));
    for (std::size_t i = stem_start; i < size; ++i) {
        CHECK(!name.separator(i));
    }
    // extension_cut is the last "." after the last separator (":" plays no part), or the size.
    std::size_t after_separator = 0;
    std::size_t last_dot = size;
    for (std::size_t i = 0; i < size; ++i) {
        if (name.separator(i)) {
            after_separator = i + 1;
        }
        if (name.single(i, '.')) {
            last_dot = i;
        }
    }
    const std::size_t cut = extension_cut(text, name.rules);
    const bool has_dot = last_dot != size && last_dot >= after_separator;
    CHECK(cut == (has_dot ? last_dot : size));
    // The extension is what follows that ".", and extension_of is a view of it into the name.
    CHECK(extension == (has_dot ? text.substr(cut + 1) : std::string_view()));
    const std::string_view extension_view = extension_of(text, name.rules);
    CHECK(extension_view == extension);
    CHECK(extension_view.empty() ||
          (extension_view.data() >= text.data() &&
           extension_view.data() + extension_view.size() == text.data() + size));

    // Drive, folder and stem are a prefix of the name, in that order. When the "." lies before
    // the last ":" (as in "a.b:c"), the extension overlaps the drive and the stem is empty;
    // otherwise the pieces put together, with the "." when there is one, are the name (also
    // with a "\" before the ":", as in "a\b:c", whose drive is "a\b:"). A lone lead byte at the
    // end stays part of the name.
    CHECK(text.starts_with(drive + folder + stem));
    const bool dot_in_drive = has_dot && cut < drive.size();
    if (dot_in_drive) {
        CHECK(folder.empty() && stem.empty());
    } else {
        CHECK(drive + folder + stem + (has_dot ? "." + extension : "") == text);
    }

    // With random capacities (and absent pieces): true exactly when every piece asked for fits
    // with its NUL; then each piece asked for is the reference piece, else nothing is written.
    const std::string* pieces[] = {&drive, &folder, &stem, &extension};
    std::vector<Buffer> buffers;
    bool fits = true;
    for (const std::string* piece : pieces) {
        const bool present = input.ConsumeBool();
        buffers.emplace_back(consume_capacity(input, piece->size() + 1), present);
        fits = fits && (!present || piece->size() < buffers.back().span().size());
    }
    const bool split = split_path(text, buffers[0].span(), buffers[1].span(), buffers[2].span(),
                                  buffers[3].span(), name.rules);
    CHECK(split == fits);
    for (std::size_t i = 0; i < 4; ++i) {
        if (split && !buffers[i].span().empty()) {
            CHECK(buffers[i].written() == *pieces[i]);
        } else {
            CHECK(buffers[i].untouched());
        }
    }

    // make_path on the pieces. The extension is given when the name has a ".", otherwise absent
    // or empty as the input says.
    const bool empty_extension = input.ConsumeBool();
    Buffer rebuilt_buffer(drive.size() + folder.size() + stem.size() + extension.size() + 4);
    const ExactText pieces_given[] = {
        {drive, true}, {folder, true}, {stem, true}, {extension, true}};
    CHECK(make_path(rebuilt_buffer.span(), pieces_given[0].c_str(), pieces_given[1].c_str(),
                    pieces_given[2].c_str(),
                    has_dot           ? pieces_given[3].c_str()
                    : empty_extension ? ""
                                      : nullptr,
                    name.rules));
    const std::string rebuilt = rebuilt_buffer.written();
    const bool lone_lead_at_end = size > 0 && name.types[size - 1] == ByteType::lead;
    const bool stem_ends_in_dot = has_dot && cut > stem_start && name.single(cut - 1, '.');
    if (dot_in_drive) {
        // "a.b:c" has the drive "a.b:" and the extension "b:c".
        CHECK(rebuilt == drive + "." + extension);
    } else if (!has_dot && empty_extension && lone_lead_at_end) {
        // The "." added for the empty extension becomes the trail byte of the lone lead byte,
        // so the final "." is not dropped.
        CHECK(rebuilt == std::string(text) + ".");
    } else if (has_dot && (extension.empty() || stem_ends_in_dot)) {
        // "a." and "a.b." lose their final "."; "a..b" becomes "a.b" (no second "." is added
        // after a stem ending in one): a shorter name with the same drive and folder.
        CHECK(rebuilt.size() < size);
        CHECK(rebuilt.starts_with(drive + folder));
    } else {
        // Every other name comes back as it was (so it splits into the same pieces).
        CHECK(rebuilt == text);
    }
}

std::string replaced(std::string_view source, std::string_view extension, const NameRules& rules) {
    Buffer buffer(source.size() + extension.size() + 2);
    CHECK(replace_extension(buffer.span(), ExactText(source, false).view(),
                            ExactText(extension, false).view(), rules));
    return buffer.written();
}

void check_replace_extension(FuzzedDataProvider& input, const Name& name,
                             const std::string& extension) {
    const std::string_view text = name.text;
    const std::size_t cut = extension_cut(text, name.rules);  // checked in check_split
    const std::string_view added =
        extension.starts_with('.') ? std::string_view(extension).substr(1) : extension;
    const std::string result = replaced(text, extension, name.rules);

    // The name up to its extension's ".", then "." and the new extension unless it is empty.
    CHECK(result ==
          std::string(text.substr(0, cut)) + (added.empty() ? "" : "." + std::string(added)));
    CHECK(result.size() == replaced_extension_length(text, extension, name.rules));
    // One leading "." of the extension is passed over: "mot" and ".mot" are the same.
    if (!extension.starts_with('.')) {
        CHECK(replaced(text, "." + extension, name.rules) == result);
    }

    // True exactly when the result and its NUL fit; false writes nothing.
    Buffer buffer(consume_capacity(input, result.size() + 1));
    const bool fits = result.size() < buffer.span().size();
    CHECK(replace_extension(buffer.span(), text, ExactText(extension, false).view(), name.rules) ==
          fits);
    CHECK(fits ? buffer.written() == result : buffer.untouched());

    // In place (source in the destination buffer) the same; false leaves the source as it was.
    Buffer in_place(text.size() + input.ConsumeIntegralInRange<std::size_t>(0, 8));
    std::memcpy(in_place.data(), text.data(), text.size());
    const std::string before(in_place.data(), in_place.span().size());
    const bool in_place_fits = result.size() < in_place.span().size();
    CHECK(replace_extension(in_place.span(), std::string_view(in_place.data(), text.size()),
                            ExactText(extension, false).view(), name.rules) == in_place_fits);
    if (in_place_fits) {
        CHECK(in_place.written() == result);
    } else {
        CHECK(std::string(in_place.data(), in_place.span().size()) == before);
    }

    if (added.empty()) {
        return;
    }
    // For an extension without "." and separator bytes, the added "." starts the result's
    // extension; but after a name ending in a lone lead byte that "." becomes its trail byte,
    // and the result has no extension at all.
    const bool plain = added.find_first_of(name.rules.slash_separates_folders ? "./\\" : ".\\") ==
                       std::string_view::npos;
    if (plain && cut > 0 && name.types[cut - 1] == ByteType::lead) {
        CHECK(extension_of(result, name.rules).empty());
    } else if (plain) {
        CHECK(extension_cut(result, name.rules) == cut);
        CHECK(extension_of(result, name.rules) == added);
    }
    // Once the added "." starts the extension, replacing it again changes nothing.
    if (extension_cut(result, name.rules) == cut) {
        CHECK(replaced(result, extension, name.rules) == result);
    }
}

std::string made(const char* const pieces[4], const NameRules& rules, std::size_t room) {
    Buffer buffer(room);
    CHECK(make_path(buffer.span(), pieces[0], pieces[1], pieces[2], pieces[3], rules));
    return buffer.written();
}

// make_path on random pieces (absent ones included).
void check_make_path(FuzzedDataProvider& input, bool dense, const NameRules& rules) {
    std::vector<ExactText> texts;
    const char* pieces[4];
    std::size_t room = 4;  // at most ":", "\" and "." are added, and the NUL
    for (std::size_t i = 0; i < 4; ++i) {
        texts.emplace_back(consume_name(input, dense), true);
        pieces[i] = input.ConsumeBool() ? texts[i].c_str() : nullptr;
        room += texts[i].view().size();
    }
    const std::string result = made(pieces, rules, room);

    // True exactly when the result and its NUL fit; false writes nothing.
    Buffer buffer(consume_capacity(input, result.size() + 1));
    const bool fits = result.size() < buffer.span().size();
    CHECK(make_path(buffer.span(), pieces[0], pieces[1], pieces[2], pieces[3], rules) == fits);
    CHECK(fits ? buffer.written() == result : buffer.untouched());

    // An absent drive differs from an empty one in one thing only: a folder ending in ":"
    // ends the folder then, and with an empty drive it gets a separator after it.
    if (pieces[0] == nullptr) {
        const char* with_empty[4] = {"", pieces[1], pieces[2], pieces[3]};
        const std::string_view folder = pieces[1] == nullptr ? "" : pieces[1];
        const bool colon_ends_folder =
            folder.ends_with(':') && model_byte_types(folder, rules).back() == ByteType::single;
        CHECK(made(with_empty, rules, room) ==
              (colon_ends_folder
                   ? std::string(folder) + (rules.slash_separates_folders ? "/" : "\\") +
                         result.substr(folder.size())
                   : result));
    }
    // An absent folder or stem adds nothing, as an empty one.
    for (const std::size_t i : {std::size_t{1}, std::size_t{2}}) {
        if (pieces[i] == nullptr) {
            const char* with_empty[4] = {pieces[0], pieces[1], pieces[2], pieces[3]};
            with_empty[i] = "";
            CHECK(made(with_empty, rules, room) == result);
        }
    }
    // One leading "." of the extension is passed over.
    if (pieces[3] != nullptr && !texts[3].view().starts_with('.')) {
        const ExactText dotted("." + std::string(texts[3].view()), true);
        const char* with_dot[4] = {pieces[0], pieces[1], pieces[2], dotted.c_str()};
        CHECK(made(with_dot, rules, room) == result);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const NameRules rules{input.ConsumeBool()};
    const bool dense = input.ConsumeBool();
    const std::string text = consume_name(input, dense);
    const ExactText exact(text, false);
    const Name name{exact.view(), model_byte_types(text, rules), rules};

    check_byte_types(name);
    check_split(input, name);
    check_replace_extension(input, name, consume_name(input, dense));
    check_make_path(input, dense, rules);
    return 0;
}
