#include "names/path_names.h"

#include <algorithm>
#include <cstring>

#include "textio/utf8.h"

namespace {

constexpr std::size_t NONE = std::string_view::npos;

unsigned char byte_at(std::string_view text, std::size_t index) {
    return static_cast<unsigned char>(text[index]);
}

bool is_separator(char byte, const NameRules& rules) {
    return byte == '\\' || (rules.slash_separates_folders && byte == '/');
}

bool is_ascii(unsigned char byte) {
    return byte < 0x80;
}

// The Shift-JIS lead bytes, in fixed ranges (no code page is asked).
bool is_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// True when byte, after a lead byte, is its trail byte. Where "/" separates folders it is
// never one: no Shift-JIS character ends in 0x2F, so a lead byte before it stands alone (a name
// in another encoding, such as Latin-1, keeps its folders).
bool is_trail_after_lead(char byte, const NameRules& rules) {
    return !(rules.slash_separates_folders && byte == '/');
}

// True when name is read by UTF-8 characters: no byte of a UTF-8 multibyte character is ASCII,
// so each of its ".", "\", "/" and ":" bytes stands alone.
bool reads_as_utf8(std::string_view name, const NameRules& rules) {
    if (!rules.utf8_names || std::all_of(name.begin(), name.end(), [](char byte) {
            return is_ascii(static_cast<unsigned char>(byte));
        })) {
        return false;
    }
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = utf8_character_length(name.substr(i));
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// Bytes taken by the character at index. Shift-JIS: a lead byte and its trail byte go
// together, except a lead byte at the very end, which stays alone. UTF-8: the whole character.
std::size_t character_length(std::string_view text, std::size_t index, bool utf8,
                             const NameRules& rules) {
    if (utf8) {
        const std::size_t length = utf8_character_length(text.substr(index));
        return length == 0 ? 1 : length;  // 0 only for a name not checked as UTF-8
    }
    return is_lead_byte(byte_at(text, index)) && index + 1 < text.size() &&
                   is_trail_after_lead(text[index + 1], rules)
               ? 2
               : 1;
}

// Calls visit(index) for each byte of name that is a character by itself, in order: the only
// bytes that can be a ".", ":" or separator.
template <typename Visit>
void for_each_single_byte(std::string_view name, const NameRules& rules, Visit visit) {
    const bool utf8 = reads_as_utf8(name, rules);
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = character_length(name, i, utf8, rules);
        if (length == 1) {
            visit(i);
        }
        i += length;
    }
}

struct PathMarks {
    std::size_t last_dot = NONE;  // forgotten at each separator
    std::size_t last_colon = NONE;
    std::size_t last_separator = NONE;
};

PathMarks scan_path(std::string_view path, const NameRules& rules) {
    PathMarks marks;
    for_each_single_byte(path, rules, [&](std::size_t i) {
        const char byte = path[i];
        if (byte == '.') {
            marks.last_dot = i;
        } else if (byte == ':') {
            marks.last_colon = i;
        } else if (is_separator(byte, rules)) {
            marks.last_separator = i;
            marks.last_dot = NONE;
        }
    });
    return marks;
}

}  // namespace

PathPieces split_path(std::string_view path, const NameRules& rules) {
    const PathMarks marks = scan_path(path, rules);
    const std::size_t drive_end = marks.last_colon == NONE ? 0 : marks.last_colon + 1;
    // A separator before the last ":" lies inside the drive: the folder is then empty.
    const std::size_t folder_end = marks.last_separator != NONE && marks.last_separator >= drive_end
                                       ? marks.last_separator + 1
                                       : drive_end;
    return {path.substr(0, drive_end), path.substr(drive_end, folder_end - drive_end),
            marks.last_dot == NONE ? path.size() : marks.last_dot};
}

std::string_view extension_of(std::string_view path, const NameRules& rules) {
    const std::size_t dot = split_path(path, rules).dot;
    return dot == path.size() ? std::string_view{} : path.substr(dot + 1);
}

bool make_path(std::span<char> path, std::string_view folder, std::string_view stem,
               std::string_view extension) {
    const std::size_t length = folder.size() + stem.size() + 1 + extension.size();
    if (length >= path.size()) {
        return false;
    }
    char* out = path.data();
    for (const std::string_view piece : {folder, stem, std::string_view("."), extension}) {
        out = std::copy(piece.begin(), piece.end(), out);
    }
    *out = '\0';
    return true;
}

bool replace_extension(std::span<char> destination, std::string_view source,
                       std::string_view extension, const NameRules& rules) {
    if (extension.starts_with('.')) {
        extension.remove_prefix(1);
    }
    const std::size_t cut = split_path(source, rules).dot;
    if (cut + (extension.empty() ? 0 : 1 + extension.size()) >= destination.size()) {
        return false;
    }
    if (cut > 0) {
        std::memmove(destination.data(), source.data(), cut);  // source may lie in destination
    }
    std::size_t end = cut;
    if (!extension.empty()) {
        destination[end++] = '.';
        std::memcpy(destination.data() + end, extension.data(), extension.size());
        end += extension.size();
    }
    destination[end] = '\0';
    return true;
}
