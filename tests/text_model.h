// The text translation as its rules state it, apart from the code that does it: the model the
// text fuzzer and the rows of random bytes and of inputs merged are held to. Header only.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "textio/text_file.h"

namespace text_model {

// The pieces read with room for size - 1 characters: the data ends at its first Ctrl-Z, every
// CR is dropped, and a piece ends after an LF or when it is full.
inline std::vector<std::string> pieces(std::string_view bytes, std::size_t size) {
    std::string text(bytes.substr(0, bytes.find('\x1a')));
    std::erase(text, '\r');
    std::vector<std::string> result;
    for (std::size_t at = 0, end; at < text.size() && size >= 2; at = end) {
        const std::size_t lf = text.find('\n', at);
        end =
            std::min({lf == std::string::npos ? text.size() : lf + 1, at + size - 1, text.size()});
        result.push_back(text.substr(at, end - at));
    }
    return result;
}

// What writing a piece puts in a file: its bytes, each LF as CR LF.
inline std::string written(std::string_view piece) {
    std::string result;
    for (const char byte : piece) {
        result += byte == '\n' ? "\r\n" : std::string(1, byte);
    }
    return result;
}

inline bool is_termination_record(std::string_view piece) {
    return piece.size() >= 2 && (piece[0] == 'S' || piece[0] == 's') && piece[1] >= '7' &&
           piece[1] <= '9';
}

// What a run writes for these inputs: the pieces (at most 9997 characters) but the termination
// records, then the last of those, or the fallback record. An input's last piece written, and
// the record, end with a line break: one is added where the piece has none.
inline std::string merged(const std::vector<std::string>& inputs) {
    std::string output, held = "S804FFDE40DE\n";
    for (const std::string& input : inputs) {
        std::string last = "\n";  // the last piece written
        for (const std::string& piece : pieces(input, 9998)) {
            if (is_termination_record(piece)) {
                held = piece;
            } else {
                output += written(piece);
                last = piece;
            }
        }
        output += last.ends_with('\n') ? "" : "\r\n";
    }
    return output + written(held) + (held.ends_with('\n') ? "" : "\r\n");
}

// Copies bytes with TextFile::copy_to from a file read in blocks of from_block to one written in
// blocks of to_block, pieces of at most size - 1 characters, termination records kept out as the
// merge keeps them. How the copy differs from the model; empty when it does not.
inline std::string copy_differs(std::string_view bytes, std::size_t size, std::size_t from_block,
                                std::size_t to_block) {
    const int in = memfd_create("in", MFD_CLOEXEC), out = memfd_create("out", MFD_CLOEXEC);
    (void)!write(in, bytes.data(), bytes.size());
    lseek(in, 0, SEEK_SET);
    TextFile from, to;
    (void)from.open(in, TextFile::Mode::reading, from_block);
    (void)to.open(out, TextFile::Mode::writing, to_block);
    auto keep_out = [](std::string_view piece, void*) { return is_termination_record(piece); };
    std::vector<char> line(size + 1, '#');
    const bool copied = from.copy_to(to, line.data(), size, keep_out, nullptr) && !from.failed();
    const bool closed = to.close();
    std::string expected, written_bytes(static_cast<std::size_t>(lseek(out, 0, SEEK_END)), '\0');
    (void)!pread(out, written_bytes.data(), written_bytes.size(), 0);
    close(in);
    close(out);
    for (const std::string& piece : pieces(bytes, size)) {
        expected += is_termination_record(piece) ? "" : written(piece);
    }
    return !copied || !closed          ? "the copy failed"
           : line[size] != '#'         ? "a piece was stored past its size"
           : written_bytes != expected ? "other bytes were written"
                                       : "";
}

}  // namespace text_model
