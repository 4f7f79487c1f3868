// Line-oriented text files with the tool's own translation, the same on every platform:
//   reading: every CR byte is dropped wherever it stands; the first Ctrl-Z ends the data;
//   writing: every LF is written as CR LF.
// Text is bytes and goes by length: a NUL is a byte like any other.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "os/os.h"

// Bytes read or written in one system call, at most. A file starts with blocks of
// TEXT_FIRST_BLOCK_SIZE and takes TEXT_BLOCK_SIZE after TEXT_FIRST_BLOCKS whole blocks: large
// blocks save system calls, small ones save a small file the memory it never needs
// (bench/README.md has the figures).
inline constexpr std::size_t TEXT_BLOCK_SIZE = 256 * 1024;
inline constexpr std::size_t TEXT_FIRST_BLOCK_SIZE = 64 * 1024;
inline constexpr int TEXT_FIRST_BLOCKS = 8;

// Decides about a piece before copy_to writes it: true keeps it out of the output. The piece
// lies in a buffer of the copy only during the call.
using PieceFilter = bool (*)(std::string_view piece, void* context);

class TextFile {
public:
    enum class Mode { reading, writing };

    TextFile() = default;
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile() { (void)close(); }

    // Reads or writes through handle, which stays the caller's to close. block_size is the
    // largest block (tests take tiny ones; at least 2 for writing, room for a CR LF). False, and
    // not open, when the buffer cannot be had: a file is then neither read nor written at all.
    bool open(FileHandle handle, Mode mode, std::size_t block_size = TEXT_BLOCK_SIZE);
    bool is_open() const { return buffer_ != nullptr; }

    // For a file written to be flushed to the disk once complete: its write-back is started as it
    // is written (os.h: write_behind), from its start on. Until the next open.
    void write_back_as_written() { behind_ = WriteBehind{}; }

    // Stores at most size - 1 characters of the next line in line, stopping after the first LF,
    // which is stored. Returns the count stored, or 0 when the data ended before any character
    // was stored or a read has failed (what this call stored is then lost). A line longer than
    // size - 1 characters comes in pieces over successive calls.
    std::size_t read_line(char* line, std::size_t size);

    // Writes text, each LF as CR LF. False on failure: a failed writing out of the buffer loses
    // what it held and fails every later write.
    bool write_text(std::string_view text);

    // Copies the rest of this file into to, as this loop would, line being a buffer of size bytes:
    //     while ((length = read_line(line, size)) > 0)
    //         if (!(keep_out && keep_out({line, length}, context)) && !to.write_text({line,
    //         length}))
    //             return false;
    //     return true;
    // Only faster: a piece that lies whole in this file's buffer is judged and copied where it
    // lies, scanned once. failed() afterwards tells a read error from the end.
    bool copy_to(TextFile& to, char* line, std::size_t size, PieceFilter keep_out, void* context);

    // True when a read, or a writing out of the buffer, has failed.
    bool failed() const { return error_; }

    // Writes out what is buffered and lets the buffer go; the handle stays open. False when
    // writing out failed, now or before. A file not open gives true.
    bool close();

private:
    bool fill();
    bool flush();
    void count_whole_block();
    bool copy_whole_pieces(TextFile& to, std::size_t size, PieceFilter keep_out, void* context);

    FileHandle handle_ = NO_FILE;
    Mode mode_ = Mode::reading;
    std::unique_ptr<char[]> buffer_;
    std::size_t block_size_ = 0;
    std::size_t full_block_size_ = 0;
    int whole_blocks_ = 0;   // blocks read whole, or times the buffer was written out
    std::size_t start_ = 0;  // reading: next byte of the block to deliver
    std::size_t end_ = 0;    // reading: end of the block as read; writing: bytes buffered
    bool ended_ = false;     // reading: the end of the data was met (or a Ctrl-Z)
    bool error_ = false;
    std::optional<WriteBehind> behind_;  // writing: set by write_back_as_written
};
