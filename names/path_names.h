// Path names in the Windows form (drive "C:", folders ending in "\", stem, extension after a
// ".") over byte strings in the Shift-JIS code page. Every scan steps over double-byte
// characters whole, so the second byte of one is never taken for ".", "\" or ":". Where the
// platform's names are UTF-8 (NameRules::utf8_names), a name that is UTF-8 is scanned by UTF-8
// characters instead; name_encoding makes that choice, once per name, for every scan.
//
// Pure functions. A name is a std::string_view that ends where the name ends (as a C string
// ends at its NUL). Every output is a std::span<char> giving the buffer and its capacity; an
// empty span (no data) is an absent piece. Outputs are written NUL-terminated, and a function
// that reports "does not fit" leaves every output untouched: nothing is ever cut short.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

// How a platform writes its names.
struct NameRules {
    // POSIX: "/" separates folders as well as "\".
    bool slash_separates_folders = false;
    // POSIX: names may be UTF-8. A name that is valid UTF-8 and holds a byte above 0x7F is then
    // scanned by UTF-8 characters; any other name keeps the Shift-JIS rules.
    bool utf8_names = false;
};

// The Windows form exactly: only "\" separates folders, every name is Shift-JIS.
inline constexpr NameRules WINDOWS_NAME_RULES{};

// The characters a name is scanned by.
enum class NameEncoding { shift_jis, utf8 };

// The one choice of scan. With rules.utf8_names, a name that is valid UTF-8 (no overlong form,
// no surrogate, nothing above U+10FFFF) and holds a byte above 0x7F is read as UTF-8: no byte of
// its multibyte characters is ever ASCII, so each of its ".", "\", "/" and ":" bytes stands
// alone. Every other name (ASCII alone, raw Shift-JIS bytes, anything else) is read as
// Shift-JIS. A name given in pieces (make_path) is read as one: UTF-8 when each piece is valid
// UTF-8 by itself and one of them holds a byte above 0x7F.
NameEncoding name_encoding(std::span<const std::string_view> pieces, const NameRules& rules);
NameEncoding name_encoding(std::string_view name, const NameRules& rules);

enum class ByteType { single, lead, trail };

// True for the Shift-JIS lead bytes 0x81 to 0x9F and 0xE0 to 0xFC (fixed ranges; no code page
// query).
bool is_lead_byte(unsigned char byte);

// The type of the byte at index, as found by reading text from its start. Where "/" separates
// folders (rules), a "/" is never a trail byte.
ByteType byte_type(std::string_view text, std::size_t index,
                   const NameRules& rules = WINDOWS_NAME_RULES);

// Writes the pieces of path: drive (through the last ":"), folder (after the drive, through the
// last separator), stem and extension (after the last "." that follows the last separator,
// without the "."). Any piece may be absent. Returns false, writing nothing, when a piece that
// was asked for does not fit its buffer.
bool split_path(std::string_view path, std::span<char> drive, std::span<char> folder,
                std::span<char> stem, std::span<char> extension,
                const NameRules& rules = WINDOWS_NAME_RULES);

// The extension split_path would give for path (a view into path; empty when it has none).
std::string_view extension_of(std::string_view path, const NameRules& rules = WINDOWS_NAME_RULES);

// Joins drive, folder, stem and extension (NUL-terminated; nullptr for an absent piece) into
// path, adding ":", "\" and "." where they are missing and dropping a final "." (one that is
// not the second byte of a double-byte character). The pieces are read in the encoding that
// name_encoding gives for them together. An absent drive differs from an empty one, and an
// empty extension from an absent one. Returns false, writing nothing, when the result does not
// fit.
bool make_path(std::span<char> path, const char* drive, const char* folder, const char* stem,
               const char* extension, const NameRules& rules = WINDOWS_NAME_RULES);

// The position of the "." that starts source's extension (the last "." after the last
// separator; a ":" plays no part), or source.size() when there is none.
std::size_t extension_cut(std::string_view source, const NameRules& rules = WINDOWS_NAME_RULES);

// Writes source with its extension replaced by extension (one leading "." of it is passed
// over), added where source has none, or removed when extension is empty. destination may hold
// source itself. Returns false, writing nothing, when the result does not fit.
bool replace_extension(std::span<char> destination, std::string_view source,
                       std::string_view extension, const NameRules& rules = WINDOWS_NAME_RULES);

// The length of the name replace_extension would write (without the NUL).
std::size_t replaced_extension_length(std::string_view source, std::string_view extension,
                                      const NameRules& rules = WINDOWS_NAME_RULES);
