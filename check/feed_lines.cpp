#include "check/feed_lines.h"

#include <cerrno>

#include "textio/text_file.h"

namespace {

// A line of MAX_CHECKED_LINE characters and its LF, and read_line's NUL: a piece that fills it
// without an LF is of a longer line.
char piece[MAX_CHECKED_LINE + 2];

}  // namespace

bool feed_lines(FileHandle file, Checker& checker, int& error) {
    TextFile text;
    if (!text.open(file, TextFile::Mode::reading)) {
        error = ENOMEM;
        return false;
    }
    std::uint64_t number = 0;
    for (std::size_t length; (length = text.read_line(piece, sizeof piece)) > 0;) {
        const bool ended = piece[length - 1] == '\n';
        const bool too_long = !ended && length == sizeof piece - 1;
        const std::size_t kept = ended ? length - 1 : too_long ? MAX_CHECKED_LINE : length;
        checker.check_line({piece, kept}, ++number, too_long);
        if (too_long) {
            while ((length = text.read_line(piece, sizeof piece)) > 0 &&
                   piece[length - 1] != '\n') {
            }
        }
    }
    error = text.failed() ? last_error() : 0;
    return !text.failed();
}
