// Path names in the Windows form (drive "C:", folders ending in "\", a stem, an extension after a
// ".") over byte strings in the Shift-JIS code page. Every scan steps over double-byte characters
// whole, so the second byte of one is never taken for ".", "\" or ":". Where the platform's names
// may be UTF-8 (NameRules::utf8_names), a name that is valid UTF-8 is scanned by UTF-8 characters
// instead. Pure functions; outputs are spans that give their capacity, and nothing is ever cut
// short: what does not fit is refused whole.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// How a platform writes its names.
struct NameRules {
    // POSIX: "/" separates folders as well as "\".
    bool slash_separates_folders;
    // POSIX: a name that is valid UTF-8 (no overlong form, no surrogate, nothing above U+10FFFF)
    // and holds a byte above 0x7F is scanned by UTF-8 characters; any other name, by the
    // Shift-JIS rules.
    bool utf8_names;
};

// Where the pieces of a path end, as views into it.
struct PathPieces {
    std::string_view drive;   // through the last ":"; empty when there is none
    std::string_view folder;  // after the drive, through the last separator; empty when none
    std::size_t dot;          // the "." that starts the extension: the last "." after the last
                              // separator (a ":" plays no part); the path's size when none
};
PathPieces split_path(std::string_view path, const NameRules& rules);

// The extension of path, without its "."; empty when there is none.
std::string_view extension_of(std::string_view path, const NameRules& rules);

// Writes folder, stem, "." and extension, joined, into path. False, writing nothing, when the
// name and its NUL do not fit.
bool make_path(std::span<char> path, std::string_view folder, std::string_view stem,
               std::string_view extension);

// Writes source with its extension replaced by extension (one leading "." of it passed over),
// added where source has none, or removed when extension is empty. False, writing nothing, when
// the result and its NUL do not fit.
bool replace_extension(std::span<char> destination, std::string_view source,
                       std::string_view extension, const NameRules& rules);
