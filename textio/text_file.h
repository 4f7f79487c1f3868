// Line-oriented text files with the tool's own translation, the same on every platform:
//   reading: every CR byte is dropped wherever it stands; the first Ctrl-Z ends the data;
//   writing: every LF is written as CR LF.
// Files are opened in binary mode; the translation is done here, so the bytes on disk are the
// same whatever the platform.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "textio/platform.h"

// Bytes read or written in one system call. Large blocks keep the number of calls down; the
// block size changes nothing else (tests run the same code with tiny blocks).
inline constexpr std::size_t TEXT_BLOCK_SIZE = 64 * 1024;

class TextFile;

struct TextFileDeleter {
    void operator()(TextFile* file) const;
};

// An open TextFile; empty when an open failed.
using TextFilePointer = std::unique_ptr<TextFile, TextFileDeleter>;

class TextFile {
public:
    enum class Mode { reading, writing };

    TextFile(FileHandle handle, Mode mode, std::unique_ptr<char[]> buffer, std::size_t block_size);
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile();

    std::size_t read_line(char* line, std::size_t size);
    int write_text(const char* text);
    int close();
    bool has_failed() const { return error_; }

private:
    bool fill();
    bool flush();
    void copy_translated(std::string_view text);
    bool write_directly(std::string_view text);

    FileHandle handle_;
    Mode mode_;
    std::unique_ptr<char[]> buffer_;
    std::size_t block_size_;
    std::size_t start_ = 0;  // reading: next translated byte to deliver; unused for writing
    std::size_t end_ = 0;    // reading: end of the translated data; writing: bytes buffered
    bool ended_ = false;     // reading: the end of the data was met (or a Ctrl-Z)
    bool error_ = false;     // a read, or the writing out of the buffer, failed
};

// mode "r" opens an existing file for reading; mode "w" creates the file, or empties it, for
// writing. Empty when the file does not open or the buffer cannot be had.
TextFilePointer open_text(const char* name, const char* mode,
                          std::size_t block_size = TEXT_BLOCK_SIZE);

// Stores at most size - 1 characters of the next line in line, stopping after the first LF,
// which is stored, then a NUL. Returns the count stored, or 0 ("nothing") when the data ended
// before any character was stored or when a read has failed (what this call stored is then
// lost). A line longer than size - 1 characters comes in pieces over successive calls.
std::size_t read_line(char* line, std::size_t size, TextFile& file);

// True when a read of the file, or a writing out of its buffer, has failed: "nothing" from
// read_line then means an error, not the end of the data.
bool text_failed(const TextFile& file);

// Writes text up to its NUL, each LF as CR LF. A text that fits in the space left in the buffer
// is copied there; one that does not first makes the buffer be written out, then is copied into
// it or, when larger than the whole buffer, written out directly. Negative on failure;
// otherwise the last byte of text as an unsigned value, or 0 for an empty text. A failed
// writing out of the buffer loses what it held and makes every later write_text fail at once
// (as on a file not open for writing); a failed direct write does not.
int write_text(const char* text, TextFile& file);

// Writes out what is buffered and closes the file, which is closed even when that fails.
// Negative when writing out or closing failed. The pointer is empty afterwards; an empty
// pointer is left alone and gives 0.
int close_text(TextFilePointer& file);
