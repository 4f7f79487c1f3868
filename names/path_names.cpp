#include "names/path_names.h"

#include <cstring>

namespace {

constexpr std::size_t NONE = std::string_view::npos;

unsigned char byte_at(std::string_view text, std::size_t index) {
    return static_cast<unsigned char>(text[index]);
}

bool is_separator(char byte, const NameRules& rules) {
    return byte == '\\' || (rules.slash_separates_folders && byte == '/');
}

// Bytes taken by the character at index: a lead byte and its trail byte go together, except
// a lead byte at the very end, which stays alone.
std::size_t character_length(std::string_view text, std::size_t index) {
    return is_lead_byte(byte_at(text, index)) && index + 1 < text.size() ? 2 : 1;
}

struct PathMarks {
    std::size_t last_dot = NONE;  // forgotten at each separator
    std::size_t last_colon = NONE;
    std::size_t last_separator = NONE;
};

PathMarks scan_path(std::string_view path, const NameRules& rules) {
    PathMarks marks;
    for (std::size_t i = 0; i < path.size(); i += character_length(path, i)) {
        const char byte = path[i];
        if (is_lead_byte(byte_at(path, i))) {
            continue;
        }
        if (byte == '.') {
            marks.last_dot = i;
        } else if (byte == ':') {
            marks.last_colon = i;
        } else if (is_separator(byte, rules)) {
            marks.last_separator = i;
            marks.last_dot = NONE;
        }
    }
    return marks;
}

// True when the last byte of text is the second byte of a double-byte character.
bool ends_in_trail_byte(std::string_view text) {
    const std::size_t size = text.size();
    return size >= 2 && is_lead_byte(byte_at(text, size - 2)) &&
           byte_type(text, size - 1) != ByteType::single;
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
    explicit PathBuilder(char* output) : output_(output) {}

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
    bool ends_in_single(char byte) const {
        const bool trail = length_ >= 2 && is_lead_byte(static_cast<unsigned char>(before_last_)) &&
                           last_type_ != ByteType::single;
        return length_ > 0 && last_ == byte && !trail;
    }

private:
    char* output_;
    std::size_t length_ = 0;
    char last_ = '\0';
    char before_last_ = '\0';
    ByteType last_type_ = ByteType::single;
};

// The steps of make_path; returns the length of the name (written to output when given).
std::size_t build_path(char* output, const char* drive, const char* folder, const char* stem,
                       const char* extension, const NameRules& rules) {
    PathBuilder name(output);
    if (drive != nullptr) {
        const std::string_view piece(drive);
        name.append(piece);
        if (!piece.empty() && (piece.back() != ':' || ends_in_trail_byte(piece))) {
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
            if (!separator_byte || ends_in_trail_byte(piece)) {
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

bool is_lead_byte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

ByteType byte_type(std::string_view text, std::size_t index) {
    if (index > 0 && !is_lead_byte(byte_at(text, index - 1))) {
        return is_lead_byte(byte_at(text, index)) ? ByteType::lead : ByteType::single;
    }
    ByteType state = ByteType::single;
    for (std::size_t i = 0; i <= index; ++i) {
        if (state == ByteType::lead) {
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
    const std::size_t length = build_path(nullptr, drive, folder, stem, extension, rules);
    if (length >= path.size()) {
        return false;
    }
    build_path(path.data(), drive, folder, stem, extension, rules);
    path[length] = '\0';
    return true;
}

std::size_t extension_cut(std::string_view source, const NameRules& rules) {
    std::size_t dot = NONE;
    for (std::size_t i = 0; i < source.size(); i += character_length(source, i)) {
        if (is_lead_byte(byte_at(source, i))) {
            continue;
        }
        if (source[i] == '.') {
            dot = i;
        } else if (is_separator(source[i], rules)) {
            dot = NONE;
        }
    }
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
