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
// treats apart (LF, CR, Ctrl-Z) is one of them, and text holds few others (TAB, NUL...), which
// the callers pass over.
constexpr unsigned char LAST_CONTROL = 0x1A;
constexpr std::size_t GROUP = 16;
// Bytes after the block in every buffer: the last group of a scan may reach past the block.
constexpr std::size_t TEXT_BUFFER_PADDING = GROUP;

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

}  // namespace

bool TextFile::open(FileHandle handle, Mode mode, std::size_t block_size) {
    (void)close();
    // A block for writing holds at least a CR LF.
    const std::size_t least = mode == Mode::writing ? 2 : 1;
    if (block_size < least || block_size > SIZE_MAX - TEXT_BUFFER_PADDING) {
        return false;
    }
    const std::size_t first_block_size = std::min(block_size, TEXT_FIRST_BLOCK_SIZE);
    buffer_.reset(new (std::nothrow) char[first_block_size + TEXT_BUFFER_PADDING]);
    handle_ = handle;
    mode_ = mode;
    block_size_ = first_block_size;
    full_block_size_ = block_size;
    whole_blocks_ = 0;
    start_ = end_ = 0;
    ended_ = error_ = false;
    behind_.reset();
    return is_open();
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
    if (mode_ != Mode::reading || error_ || size == 0 || !is_open()) {
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
    } else if (end_ > 0 && behind_) {
        write_behind(handle_, *behind_, end_);
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

// Copies text into the buffer, each LF as CR LF, writing the buffer out whenever it is full.
bool TextFile::write_text(std::string_view text) {
    if (mode_ != Mode::writing || error_ || !is_open()) {
        return false;
    }
    while (!text.empty()) {
        if (block_size_ - end_ < 2) {  // no room for a CR LF
            if (!flush()) {
                return false;
            }
            count_whole_block();
        }
        char* const block = buffer_.get();
        while (!text.empty() && block_size_ - end_ >= 2) {
            const std::string_view part = text.substr(0, block_size_ - end_);
            const std::size_t lf = part.find(LF);
            const std::size_t run = lf == std::string_view::npos ? part.size() : lf;
            std::memcpy(block + end_, text.data(), run);
            end_ += run;
            text.remove_prefix(run);
            if (lf != std::string_view::npos && block_size_ - end_ >= 2) {
                block[end_++] = CR;
                block[end_++] = LF;
                text.remove_prefix(1);
            }
        }
    }
    return true;
}

// Pieces that lie whole in the block go the quick way; any other piece takes the loop's own way,
// through read_line and write_text, as do all of them when a file is not in order (then read_line
// or write_text tells how).
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
        const std::string_view piece(line, length);
        if (!(keep_out && keep_out(piece, context)) && !to.write_text(piece)) {
            return false;
        }
    }
}

// From start_ on, each piece that lies whole in the block, with no Ctrl-Z and no CR but one before
// its LF, is exactly what read_line would deliver: it is judged where it lies and,
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
            if (run == window || from[run] == LF || from[run] == CR || from[run] == CTRL_Z) {
                break;
            }
            ++run;  // TAB, NUL and the like: text
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
            break;  // a Ctrl-Z or a CR alone
        }
        start += taken;
        if (keep_out && keep_out({from, length}, context)) {
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
            if (!to.write_text({from, length})) {
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

bool TextFile::close() {
    if (is_open() && mode_ == Mode::writing) {
        (void)flush();
    }
    buffer_.reset();
    handle_ = NO_FILE;
    return !error_;
}
