#include "textio/text_file.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#if (defined(__SSE2__) || defined(_M_X64)) && !defined(SRJOIN_PORTABLE_SCAN)
#include <emmintrin.h>
#define SRJOIN_SCAN_SSE2 1
#endif

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char CTRL_Z = '\x1a';

// The scans look for control bytes up to Ctrl-Z (0x00 to 0x1A): every byte that the translation
// treats apart (NUL, LF, CR, Ctrl-Z) is one of them, and text holds few others (TAB...), which
// the callers pass over.
constexpr unsigned char LAST_CONTROL = 0x1A;
constexpr std::size_t GROUP = 16;
static_assert(TEXT_BUFFER_PADDING >= GROUP - 1, "the last group of a scan stays in the buffer");

// The first control byte of bytes[0, size), or size when there is none. When copy is given, the
// bytes are copied there as they are scanned, in whole groups: copy[0, the result] holds them
// then, and up to GROUP - 1 bytes after that may be overwritten. Both scans may read up to
// GROUP - 1 bytes past bytes + size (the padding of a TextFile buffer).
template <bool Copy>
std::size_t scan_for_control(const char* bytes, std::size_t size, char* copy) {
#ifdef SRJOIN_SCAN_SSE2
    const __m128i last = _mm_set1_epi8(static_cast<char>(LAST_CONTROL));
    for (std::size_t at = 0; at < size; at += GROUP) {
        const __m128i group = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + at));
        if constexpr (Copy) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(copy + at), group);
        }
        // min(byte, 0x1A) == byte exactly for the bytes up to 0x1A.
        const auto controls = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(group, last), group)));
        if (controls != 0) {
            return std::min(size, at + static_cast<std::size_t>(std::countr_zero(controls)));
        }
    }
    return size;
#else
    // Eight bytes at a time: a word holds a byte below 0x1B exactly when this is not 0.
    constexpr std::uint64_t ONES = 0x0101010101010101U;
    constexpr std::uint64_t HIGH_BITS = 0x8080808080808080U;
    for (std::size_t at = 0; at < size; at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes + at, 8);
        if constexpr (Copy) {
            std::memcpy(copy + at, &word, 8);
        }
        if (((word - ONES * (LAST_CONTROL + 1U)) & ~word & HIGH_BITS) != 0) {
            const std::size_t end = std::min(size, at + 8);
            for (std::size_t byte = at; byte < end; ++byte) {
                if (static_cast<unsigned char>(bytes[byte]) <= LAST_CONTROL) {
                    return byte;
                }
            }
        }
    }
    return size;
#endif
}

// The size of text once each LF is written as CR LF.
std::size_t translated_size(std::string_view text) {
    std::size_t size = text.size();
    for (const char *p = text.data(), *end = p + text.size();
         (p = static_cast<const char*>(std::memchr(p, LF, static_cast<std::size_t>(end - p))));
         ++p) {
        ++size;
    }
    return size;
}

}  // namespace

void TextFileDeleter::operator()(TextFile* file) const {
    delete file;
}

TextFile::TextFile(FileHandle handle, Mode mode, std::unique_ptr<char[]> buffer,
                   std::size_t block_size, std::size_t full_block_size, bool owns_handle)
    : handle_(handle),
      mode_(mode),
      buffer_(std::move(buffer)),
      block_size_(block_size),
      full_block_size_(std::max(block_size, full_block_size)),
      owns_handle_(owns_handle) {}

TextFile::~TextFile() {
    if (handle_ != NO_FILE) {
        (void)close();
    }
}

// Reads the next block as it is; the translation is done as the text is delivered. False when
// nothing more can be delivered (the end of the data, a Ctrl-Z met before, or a read error).
bool TextFile::fill() {
    const bool last_block_whole = end_ == block_size_;
    start_ = 0;
    end_ = 0;
    if (ended_ || error_) {
        return false;
    }
    if (last_block_whole) {
        count_whole_block();
    }
    const std::ptrdiff_t count = read_some(handle_, buffer_.get(), block_size_);
    if (count < 0) {
        error_ = true;
        return false;
    }
    if (count == 0) {
        ended_ = true;
        return false;
    }
    end_ = static_cast<std::size_t>(count);
    // What the scans read past the end of the data is defined, whatever was there before.
    std::memset(buffer_.get() + end_, 0, TEXT_BUFFER_PADDING);
    return true;
}

// Runs of text are copied whole, up to the next LF, CR or Ctrl-Z; a CR is dropped, the first
// Ctrl-Z ends the data, other control bytes (NUL, TAB...) are text like any other.
std::size_t TextFile::read_line(char* line, std::size_t size) {
    if (mode_ != Mode::reading || error_ || size == 0) {
        return 0;
    }
    std::size_t stored = 0;
    while (stored + 1 < size) {
        if (start_ == end_ && !fill()) {
            break;
        }
        const char* from = buffer_.get() + start_;
        const std::size_t room = std::min(size - 1 - stored, end_ - start_);
        std::size_t run = 0;
        for (;;) {
            run += scan_for_control<false>(from + run, room - run, nullptr);
            if (run == room || from[run] == LF || from[run] == CR || from[run] == CTRL_Z) {
                break;
            }
            ++run;
        }
        std::memcpy(line + stored, from, run);
        stored += run;
        start_ += run;
        if (run == room) {
            continue;  // the line goes on in the next block, or size - 1 characters are stored
        }
        ++start_;
        if (from[run] == LF) {
            line[stored++] = LF;
            break;
        }
        if (from[run] == CTRL_Z) {
            ended_ = true;
            start_ = end_;  // nothing after it is ever delivered
        }
    }
    line[stored] = '\0';
    return error_ ? 0 : stored;
}

// Writes out the buffered (already translated) bytes. A failure loses them and marks the file.
bool TextFile::flush() {
    if (end_ > 0 && !write_all(handle_, buffer_.get(), end_)) {
        error_ = true;
    }
    end_ = 0;
    return !error_;
}

// Called when the buffer holds nothing to keep: after TEXT_FIRST_BLOCKS whole blocks the file
// is not a small one, and takes the full block size. Without the memory for it, it goes on with
// the block it has.
void TextFile::count_whole_block() {
    if (block_size_ < full_block_size_ && ++whole_blocks_ >= TEXT_FIRST_BLOCKS) {
        if (std::unique_ptr<char[]> larger{
                new (std::nothrow) char[full_block_size_ + TEXT_BUFFER_PADDING]}) {
            buffer_ = std::move(larger);
            block_size_ = full_block_size_;
        }
    }
}

// Copies text into the buffer from offset end_, each LF as CR LF; the caller has made sure
// that it fits (translated_size).
void TextFile::copy_translated(std::string_view text) {
    char* out = buffer_.get() + end_;
    while (!text.empty()) {
        const std::size_t lf = text.find(LF);
        const std::size_t run = lf == std::string_view::npos ? text.size() : lf;
        std::memcpy(out, text.data(), run);
        out += run;
        if (lf == std::string_view::npos) {
            break;
        }
        *out++ = CR;
        *out++ = LF;
        text.remove_prefix(lf + 1);
    }
    end_ = static_cast<std::size_t>(out - buffer_.get());
}

// Writes a text too large for the buffer straight to the file, translated a buffer at a time.
// A failure here loses nothing that was buffered, so it does not mark the file.
bool TextFile::write_directly(std::string_view text) {
    while (!text.empty()) {
        // Each LF doubles, so half a buffer of text always fits once translated.
        const std::string_view part = text.substr(0, block_size_ / 2 > 0 ? block_size_ / 2 : 1);
        if (translated_size(part) > block_size_) {
            // A one-byte buffer cannot hold CR LF: write that pair as it is.
            if (!write_all(handle_, "\r\n", 2)) {
                return false;
            }
        } else {
            end_ = 0;
            copy_translated(part);
            const bool written = write_all(handle_, buffer_.get(), end_);
            end_ = 0;
            if (!written) {
                return false;
            }
        }
        text.remove_prefix(part.size());
    }
    return true;
}

int TextFile::write_text(const char* text) {
    if (mode_ != Mode::writing || error_) {
        return -1;
    }
    const std::string_view whole(text);
    if (whole.empty()) {
        return 0;
    }
    return write_translated(whole) ? static_cast<unsigned char>(whole.back()) : -1;
}

// write_text of a text that is not empty and holds no NUL, on a file open for writing whose
// writing out has not failed.
bool TextFile::write_translated(std::string_view text) {
    const std::size_t size = translated_size(text);
    if (size > block_size_ - end_) {
        if (!flush()) {
            return false;
        }
        count_whole_block();
        if (size > block_size_) {
            return write_directly(text);
        }
    }
    copy_translated(text);
    return true;
}

// The loop of copy_text. Pieces that lie whole in the block go the quick way; any other piece
// takes the loop's own way, through read_line and write_text, as do all of them when a file is
// not in order (then read_line or write_text tells how).
bool TextFile::copy_to(TextFile& to, char* line, std::size_t size, PieceFilter keep_out,
                       void* context) {
    const bool apart = &to != this && size >= 2;
    for (;;) {
        if (apart && start_ < end_ && mode_ == Mode::reading && !error_ &&
            to.mode_ == Mode::writing && !to.error_ &&
            !copy_whole_pieces(to, size, keep_out, context)) {
            return false;
        }
        const std::size_t length = read_line(line, size);
        if (length == 0) {
            return true;
        }
        if (!(keep_out && keep_out(line, length, context)) && to.write_text(line) < 0) {
            return false;
        }
    }
}

// From start_ on, each piece that lies whole in the block, with no NUL, no Ctrl-Z and no CR but
// one before its LF, is exactly what read_line would deliver: it is judged where it lies and,
// when it fits in to's buffer with its CR LF, copied there by the scan that finds its end, so
// each byte is read once and written once. Stops before the first piece that is not so. False
// when writing failed.
bool TextFile::copy_whole_pieces(TextFile& to, std::size_t size, PieceFilter keep_out,
                                 void* context) {
    char* const block = buffer_.get();
    const std::size_t end = end_;
    std::size_t start = start_;
    char* out_block = to.buffer_.get();
    std::size_t out_size = to.block_size_;
    std::size_t out_end = to.end_;
    for (;;) {
        char* const from = block + start;
        char* const out = out_block + out_end;
        const std::size_t available = end - start;
        const std::size_t window = std::min(available, size - 1);
        const std::size_t space = out_size - out_end;
        // Copied as scanned while the piece and its CR LF surely fit; scanned only after that.
        const std::size_t copy_limit = space >= 2 ? std::min(window, space - 2) : 0;
        bool copied = true;
        std::size_t run = 0;
        for (;;) {
            if (copied) {
                run += scan_for_control<true>(from + run, copy_limit - run, out + run);
                if (run == copy_limit && copy_limit < window) {
                    copied = false;
                    continue;
                }
            } else {
                run += scan_for_control<false>(from + run, window - run, nullptr);
            }
            if (run == window || from[run] == LF || from[run] == CR || from[run] == '\0' ||
                from[run] == CTRL_Z) {
                break;
            }
            ++run;  // TAB and the like: text
        }
        std::size_t length = 0;  // the piece's characters, from from[0] on
        std::size_t taken = 0;   // bytes of the block it takes
        if (run == window) {
            if (window < size - 1) {
                break;  // the piece goes on in the next block, or the data ends
            }
            length = taken = window;
        } else if (from[run] == LF) {
            length = taken = run + 1;
        } else if (from[run] == CR && run + 1 < available && from[run + 1] == LF) {
            from[run] = LF;  // the piece as read_line delivers it, without the CR
            length = run + 1;
            taken = run + 2;
        } else {
            break;  // a NUL, a Ctrl-Z or a CR alone
        }
        start += taken;
        if (keep_out && keep_out(from, length, context)) {
            continue;
        }
        if (copied) {
            if (from[length - 1] == LF) {
                out[run] = CR;
                out[run + 1] = LF;
                out_end += run + 2;
            } else {
                out_end += length;
            }
        } else {
            start_ = start;
            to.end_ = out_end;
            if (!to.write_translated(std::string_view(from, length))) {
                return false;
            }
            out_block = to.buffer_.get();  // writing out may have grown the buffer
            out_size = to.block_size_;
            out_end = to.end_;
        }
    }
    start_ = start;
    to.end_ = out_end;
    return true;
}

int TextFile::close() {
    bool ok = true;
    if (mode_ == Mode::writing) {
        ok = flush();
    }
    ok = (!owns_handle_ || close_file(handle_)) && ok;
    handle_ = NO_FILE;
    return ok ? 0 : -1;
}

namespace {

bool is_text_mode(const char* mode, bool& writing) {
    writing = std::string_view(mode) == "w";
    return writing || std::string_view(mode) == "r";
}

// The first block's buffer; empty for a block size that cannot be.
std::unique_ptr<char[]> first_buffer(std::size_t block_size) {
    if (block_size == 0 || block_size > SIZE_MAX - TEXT_BUFFER_PADDING) {
        return nullptr;
    }
    const std::size_t first_block_size = std::min(block_size, TEXT_FIRST_BLOCK_SIZE);
    return std::unique_ptr<char[]>(new (std::nothrow) char[first_block_size + TEXT_BUFFER_PADDING]);
}

TextFilePointer make_text_file(FileHandle handle, bool writing, std::unique_ptr<char[]> buffer,
                               std::size_t block_size, bool owns_handle = true) {
    TextFilePointer file(new (std::nothrow) TextFile(
        handle, writing ? TextFile::Mode::writing : TextFile::Mode::reading, std::move(buffer),
        std::min(block_size, TEXT_FIRST_BLOCK_SIZE), block_size, owns_handle));
    if (!file && owns_handle) {
        (void)close_file(handle);
    }
    return file;
}

}  // namespace

// The buffer comes first, so that a file is never created, nor emptied, for nothing.
TextFilePointer open_text(const char* name, const char* mode, std::size_t block_size) {
    bool writing = false;
    if (!is_text_mode(mode, writing)) {
        return nullptr;
    }
    std::unique_ptr<char[]> buffer = first_buffer(block_size);
    if (!buffer) {
        return nullptr;
    }
    const FileHandle handle = writing ? open_for_writing(name) : open_for_reading(name);
    if (handle == NO_FILE) {
        return nullptr;
    }
    return make_text_file(handle, writing, std::move(buffer), block_size);
}

namespace {

TextFilePointer text_over(FileHandle handle, const char* mode, std::size_t block_size,
                          bool owns_handle) {
    bool writing = false;
    std::unique_ptr<char[]> buffer;
    if (handle != NO_FILE && is_text_mode(mode, writing)) {
        buffer = first_buffer(block_size);
    }
    if (!buffer) {
        if (handle != NO_FILE && owns_handle) {
            (void)close_file(handle);
        }
        return nullptr;
    }
    return make_text_file(handle, writing, std::move(buffer), block_size, owns_handle);
}

}  // namespace

TextFilePointer adopt_text(FileHandle handle, const char* mode, std::size_t block_size) {
    return text_over(handle, mode, block_size, true);
}

TextFilePointer lend_text(FileHandle handle, const char* mode, std::size_t block_size) {
    return text_over(handle, mode, block_size, false);
}

std::size_t read_line(char* line, std::size_t size, TextFile& file) {
    return file.read_line(line, size);
}

bool text_failed(const TextFile& file) {
    return file.has_failed();
}

int write_text(const char* text, TextFile& file) {
    return file.write_text(text);
}

bool copy_text(TextFile& from, TextFile& to, char* line, std::size_t size, PieceFilter keep_out,
               void* context) {
    return from.copy_to(to, line, size, keep_out, context);
}

int close_text(TextFilePointer& file) {
    if (!file) {
        return 0;
    }
    const int result = file->close();
    file.reset();
    return result;
}
