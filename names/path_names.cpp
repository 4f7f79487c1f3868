#include "names/path_names.h"

#include <array>
#include <cstring>

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

// The length of the well-formed UTF-8 character at the start of text, or 0 when none starts
// there (a stray continuation byte, an overlong form, a surrogate, a code point above U+10FFFF,
// a character cut off at the end).
std::size_t utf8_character_length(std::string_view text) {
    const unsigned char first = byte_at(text, 0);
    if (is_ascii(first)) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;  // the range of the byte after the first one
    unsigned char high = 0xBF;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        low = first == 0xE0 ? 0xA0 : 0x80;
        high = first == 0xED ? 0x9F : 0xBF;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        low = first == 0xF0 ? 0x90 : 0x80;
        high = first == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char byte = byte_at(text, i);
        if (byte < low || byte > high) {
            return 0;
        }
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

// True when byte, after a lead byte, is its trail byte. Where "/" separates folders it is
// never one: no Shift-JIS character ends in 0x2F, so a lead byte before it stands alone (a name
// in another encoding, such as Latin-1, keeps its folders).
bool is_trail_after_lead(char byte, const NameRules& rules) {
    return !(rules.slash_separates_folders && byte == '/');
}

// Bytes taken by the character at index. Shift-JIS: a lead byte and its trail byte go
// together, except a lead byte at the very end, which stays alone. UTF-8 (a name found valid
// by name_encoding): the whole character.
std::size_t character_length(std::string_view text, std::size_t index, NameEncoding encoding,
                             const NameRules& rules) {
    if (encoding == NameEncoding::utf8) {
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
    const NameEncoding encoding = name_encoding(name, rules);
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = character_length(name, i, encoding, rules);
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

// True when the last byte of text belongs to a character of more than one byte: the second
// byte of a Shift-JIS double-byte character, or (UTF-8) any byte above 0x7F.
bool ends_inside_character(std::string_view text, NameEncoding encoding, const NameRules& rules) {
    const std::size_t size = text.size();
    if (encoding == NameEncoding::utf8) {
        return size > 0 && !is_ascii(byte_at(text, size - 1));
    }
    return size >= 2 && is_lead_byte(byte_at(text, size - 2)) &&
           byte_type(text, size - 1, rules) != ByteType::single;
}

bool fits(std::span<char> buffer, std::string_view piece) {
    return buffer.data() == nullptr || piece.size() < buffer.size();
}

void write_piece(std::span<char> buffer, std::string_view piece) {
    if (buffer.data() != nullptr) {
        if (!piece.empty()) {
            std::memmove(buffer.data(), piece.data(), piece.size());
        }
        buffer[piece.size()] = '\0';
    }
}

// Builds a name byte by byte, keeping track of the type of its last byte as byte_type would
// find it, so that "does the name end in a single '.'" needs no scan. With no output it only
// measures: make_path measures first, and writes only what fits.
class PathBuilder {
public:
    PathBuilder(char* output, NameEncoding encoding) : output_(output), encoding_(encoding) {}

    void append(std::string_view text) {
        for (const char byte : text) {
            if (output_ != nullptr) {
                output_[length_] = byte;
            }
            ++length_;
            before_last_ = last_;
            last_ = byte;
            last_type_ = last_type_ == ByteType::lead                     ? ByteType::trail
                         : is_lead_byte(static_cast<unsigned char>(byte)) ? ByteType::lead
                                                                          : ByteType::single;
        }
    }
    // Only ever the final step: the tracked last byte is not needed afterwards.
    void drop_last() { --length_; }
    std::size_t length() const { return length_; }
    // byte is ASCII: in UTF-8 such a byte always stands alone.
    bool ends_in_single(char byte) const {
        const bool trail = encoding_ == NameEncoding::shift_jis && length_ >= 2 &&
                           is_lead_byte(static_cast<unsigned char>(before_last_)) &&
                           last_type_ != ByteType::single;
        return length_ > 0 && last_ == byte && !trail;
    }

private:
    char* output_;
    NameEncoding encoding_;
    std::size_t length_ = 0;
    char last_ = '\0';
    char before_last_ = '\0';
    ByteType last_type_ = ByteType::single;
};

// The steps of make_path; returns the length of the name (written to output when given).
std::size_t build_path(char* output, const char* drive, const char* folder, const char* stem,
                       const char* extension, NameEncoding encoding, const NameRules& rules) {
    PathBuilder name(output, encoding);
    if (drive != nullptr) {
        const std::string_view piece(drive);
        name.append(piece);
        if (!piece.empty() &&
            (piece.back() != ':' || ends_inside_character(piece, encoding, rules))) {
            name.append(":");
        }
    }
    if (folder != nullptr) {
        const std::string_view piece(folder);
        name.append(piece);
        if (!piece.empty()) {
            const char last = piece.back();
            const bool separator_byte =
                is_separator(last, rules) || (last == ':' && drive == nullptr);
            if (!separator_byte || ends_inside_character(piece, encoding, rules)) {
                name.append(rules.slash_separates_folders ? "/" : "\\");
            }
        }
    }
    if (stem != nullptr) {
        name.append(stem);
    }
    if (extension != nullptr) {
        std::string_view piece(extension);
        if (!piece.empty() && piece.front() == '.') {
            piece.remove_prefix(1);
        }
        if (!name.ends_in_single('.')) {
            name.append(".");
        }
        name.append(piece);
    }
    if (name.ends_in_single('.')) {
        name.drop_last();
    }
    return name.length();
}

}  // namespace

NameEncoding name_encoding(std::span<const std::string_view> pieces, const NameRules& rules) {
    if (!rules.utf8_names) {
        return NameEncoding::shift_jis;
    }
    bool beyond_ascii = false;
    for (const std::string_view piece : pieces) {
        for (std::size_t i = 0; i < piece.size();) {
            const std::size_t length = utf8_character_length(piece.substr(i));
            if (length == 0) {
                return NameEncoding::shift_jis;
            }
            beyond_ascii = beyond_ascii || length > 1;
            i += length;
        }
    }
    return beyond_ascii ? NameEncoding::utf8 : NameEncoding::shift_jis;
}

NameEncoding name_encoding(std::string_view name, const NameRules& rules) {
    return name_encoding(std::span<const std::string_view>(&name, 1), rules);
}

bool is_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

ByteType byte_type(std::string_view text, std::size_t index, const NameRules& rules) {
    if (index > 0 && !is_lead_byte(byte_at(text, index - 1))) {
        return is_lead_byte(byte_at(text, index)) ? ByteType::lead : ByteType::single;
    }
    ByteType state = ByteType::single;
    for (std::size_t i = 0; i <= index; ++i) {
        if (state == ByteType::lead && is_trail_after_lead(text[i], rules)) {
            state = ByteType::trail;
        } else {
            state = is_lead_byte(byte_at(text, i)) ? ByteType::lead : ByteType::single;
        }
    }
    return state;
}

bool split_path(std::string_view path, std::span<char> drive, std::span<char> folder,
                std::span<char> stem, std::span<char> extension, const NameRules& rules) {
    const PathMarks marks = scan_path(path, rules);
    const std::size_t drive_end = marks.last_colon == NONE ? 0 : marks.last_colon + 1;
    // A separator before the last ":" lies inside the drive: the folder is then empty.
    const std::size_t folder_end = marks.last_separator != NONE && marks.last_separator >= drive_end
                                       ? marks.last_separator + 1
                                       : drive_end;
    const std::size_t dot = marks.last_dot == NONE ? path.size() : marks.last_dot;

    const std::string_view drive_piece = path.substr(0, drive_end);
    const std::string_view folder_piece = path.substr(drive_end, folder_end - drive_end);
    const std::string_view stem_piece =
        dot > folder_end ? path.substr(folder_end, dot - folder_end) : std::string_view{};
    const std::string_view extension_piece =
        marks.last_dot == NONE ? std::string_view{} : path.substr(marks.last_dot + 1);

    if (!fits(drive, drive_piece) || !fits(folder, folder_piece) || !fits(stem, stem_piece) ||
        !fits(extension, extension_piece)) {
        return false;
    }
    write_piece(drive, drive_piece);
    write_piece(folder, folder_piece);
    write_piece(stem, stem_piece);
    write_piece(extension, extension_piece);
    return true;
}

std::string_view extension_of(std::string_view path, const NameRules& rules) {
    const PathMarks marks = scan_path(path, rules);
    return marks.last_dot == NONE ? std::string_view{} : path.substr(marks.last_dot + 1);
}

bool make_path(std::span<char> path, const char* drive, const char* folder, const char* stem,
               const char* extension, const NameRules& rules) {
    std::array<std::string_view, 4> pieces{};
    std::size_t given = 0;
    for (const char* piece : {drive, folder, stem, extension}) {
        if (piece != nullptr) {
            pieces[given++] = piece;
        }
    }
    const NameEncoding encoding =
        name_encoding(std::span<const std::string_view>(pieces.data(), given), rules);
    const std::size_t length = build_path(nullptr, drive, folder, stem, extension, encoding, rules);
    if (length >= path.size()) {
        return false;
    }
    build_path(path.data(), drive, folder, stem, extension, encoding, rules);
    path[length] = '\0';
    return true;
}

std::size_t extension_cut(std::string_view source, const NameRules& rules) {
    std::size_t dot = NONE;
    for_each_single_byte(source, rules, [&](std::size_t i) {
        if (source[i] == '.') {
            dot = i;
        } else if (is_separator(source[i], rules)) {
            dot = NONE;
        }
    });
    return dot == NONE ? source.size() : dot;
}

namespace {

std::string_view without_leading_dot(std::string_view extension) {
    if (!extension.empty() && extension.front() == '.') {
        extension.remove_prefix(1);
    }
    return extension;
}

}  // namespace

std::size_t replaced_extension_length(std::string_view source, std::string_view extension,
                                      const NameRules& rules) {
    const std::string_view added = without_leading_dot(extension);
    return extension_cut(source, rules) + (added.empty() ? 0 : 1 + added.size());
}

bool replace_extension(std::span<char> destination, std::string_view source,
                       std::string_view extension, const NameRules& rules) {
    if (replaced_extension_length(source, extension, rules) >= destination.size()) {
        return false;
    }
    const std::string_view added = without_leading_dot(extension);
    const std::size_t cut = extension_cut(source, rules);
    if (cut > 0) {
        std::memmove(destination.data(), source.data(), cut);  // source may lie in destination
    }
    std::size_t end = cut;
    if (!added.empty()) {
        destination[end++] = '.';
        std::memcpy(destination.data() + end, added.data(), added.size());
        end += added.size();
    }
    destination[end] = '\0';
    return true;
}
