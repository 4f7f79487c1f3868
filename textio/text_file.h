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

// Bytes read or written in one system call, at most. Large blocks keep the number of calls
// down: a merge of three 100 MiB files spends about a fifth less time in the kernel with 256 KiB
// than with 64 KiB blocks (1 MiB gains little more). But memory touched for the first time costs
// a page fault per page, which a merge of small files feels: a file starts with blocks of at
// most TEXT_FIRST_BLOCK_SIZE, and takes the full size only after TEXT_FIRST_BLOCKS whole blocks
// have been read, or its buffer written out that often. The block size changes nothing else
// (tests run the same code with tiny blocks).
inline constexpr std::size_t TEXT_BLOCK_SIZE = 256 * 1024;
inline constexpr std::size_t TEXT_FIRST_BLOCK_SIZE = 64 * 1024;
inline constexpr int TEXT_FIRST_BLOCKS = 8;

// Bytes after the block in every TextFile buffer. The text is scanned, and copied, 16 bytes at
// a time, and the last group of a scan may reach past the end of the block.
inline constexpr std::size_t TEXT_BUFFER_PADDING = 16;

// Decides about one piece before copy_text writes it: true keeps it out of the output. The
// piece is length characters at piece, not NUL-terminated, there only during the call. It must
// not use either file of the copy.
using PieceFilter = bool (*)(const char* piece, std::size_t length, void* context);

class TextFile;

struct TextFileDeleter {
    void operator()(TextFile* file) const;
};

// An open TextFile; empty when an open failed.
using TextFilePointer = std::unique_ptr<TextFile, TextFileDeleter>;

class TextFile {
public:
    enum class Mode { reading, writing };

    // buffer: block_size + TEXT_BUFFER_PADDING bytes. The block grows to full_block_size (when
    // larger) after TEXT_FIRST_BLOCKS whole blocks.
    // owns_handle: close() closes the handle; otherwise it stays open, the caller's.
    TextFile(FileHandle handle, Mode mode, std::unique_ptr<char[]> buffer, std::size_t block_size,
             std::size_t full_block_size = 0, bool owns_handle = true);
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;
    ~TextFile();

    std::size_t read_line(char* line, std::size_t size);
    int write_text(const char* text);
    bool copy_to(TextFile& to, char* line, std::size_t size, PieceFilter keep_out, void* context);
    int close();
    bool has_failed() const { return error_; }

private:
    bool fill();
    bool flush();
    void count_whole_block();
    bool copy_whole_pieces(TextFile& to, std::size_t size, PieceFilter keep_out, void* context);
    bool write_translated(std::string_view text);
    void copy_translated(std::string_view text);
    bool write_directly(std::string_view text);

    FileHandle handle_;
    Mode mode_;
    std::unique_ptr<char[]> buffer_;
    std::size_t block_size_;
    std::size_t full_block_size_;
    int whole_blocks_ = 0;   // blocks read whole, or times the buffer was written out
    std::size_t start_ = 0;  // reading: next byte of the block to deliver; unused for writing
    std::size_t end_ = 0;    // reading: end of the block as read; writing: bytes buffered
    bool ended_ = false;     // reading: the end of the data was met (or a Ctrl-Z)
    bool error_ = false;     // a read, or the writing out of the buffer, failed
    bool owns_handle_ = true;
};

// mode "r" opens an existing file for reading; mode "w" creates the file, or empties it, for
// writing. Empty when the file does not open or the buffer cannot be had. block_size is the
// largest block; the first ones are at most TEXT_FIRST_BLOCK_SIZE.
TextFilePointer open_text(const char* name, const char* mode,
                          std::size_t block_size = TEXT_BLOCK_SIZE);

// The same for a file already open (handle, open as mode says): the TextFile owns the handle
// from then on. Empty, the handle closed, when the buffer cannot be had.
TextFilePointer adopt_text(FileHandle handle, const char* mode,
                           std::size_t block_size = TEXT_BLOCK_SIZE);

// The same for a file already open whose handle stays the caller's: closing the TextFile writes
// out its buffer and leaves the handle open. Empty, the handle left open, when the buffer cannot
// be had.
TextFilePointer lend_text(FileHandle handle, const char* mode,
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

// Copies the rest of from into to as this loop would, line being a buffer of size bytes:
//     while ((length = read_line(line, size, from)) > 0)
//         if (!(keep_out && keep_out(line, length, context)) && write_text(line, to) < 0)
//             return false;
//     return true;
// The same pieces are handed to keep_out, the same bytes written (a NUL in a piece still ends
// what is written of it) and the same failures met; text_failed(from) afterwards tells a read
// error from the end. Only faster: a piece that lies whole in from's buffer is judged and
// copied where it is, scanned once; line holds the others (those that straddle two blocks, or
// hold a NUL, a Ctrl-Z or a CR that is not part of a CR LF).
bool copy_text(TextFile& from, TextFile& to, char* line, std::size_t size,
               PieceFilter keep_out = nullptr, void* context = nullptr);

// Writes out what is buffered and closes the file, which is closed even when that fails (a
// lent handle stays open). Negative when writing out or closing failed. The pointer is empty
// afterwards; an empty pointer is left alone and gives 0.
int close_text(TextFilePointer& file);
