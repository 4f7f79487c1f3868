#include "textio/text_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char CTRL_Z = '\x1a';

// Removes every CR from bytes[0, size) by moving the runs between them; returns the new size.
std::size_t drop_carriage_returns(char* bytes, std::size_t size) {
    char* const end = bytes + size;
    char* cr = static_cast<char*>(std::memchr(bytes, CR, size));
    if (cr == nullptr) {
        return size;
    }
    char* out = cr;
    const char* in = cr + 1;
    while (in < end) {
        const char* next_cr =
            static_cast<const char*>(std::memchr(in, CR, static_cast<std::size_t>(end - in)));
        const char* run_end = next_cr != nullptr ? next_cr : end;
        const auto run = static_cast<std::size_t>(run_end - in);
        std::memmove(out, in, run);
        out += run;
        in = run_end + 1;
    }
    return static_cast<std::size_t>(out - bytes);
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
                   std::size_t block_size)
    : handle_(handle), mode_(mode), buffer_(std::move(buffer)), block_size_(block_size) {}

TextFile::~TextFile() {
    if (handle_ != NO_FILE) {
        (void)close();
    }
}

// Reads the next block and translates it in place: cut at the first Ctrl-Z, CRs removed.
// False when nothing more can be delivered (the end of the data or a read error).
bool TextFile::fill() {
    start_ = 0;
    end_ = 0;
    while (end_ == 0) {
        if (ended_ || error_) {
            return false;
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
        auto size = static_cast<std::size_t>(count);
        if (const void* ctrl_z = std::memchr(buffer_.get(), CTRL_Z, size)) {
            size = static_cast<std::size_t>(static_cast<const char*>(ctrl_z) - buffer_.get());
            ended_ = true;
        }
        end_ = drop_carriage_returns(buffer_.get(), size);
    }
    return true;
}

std::size_t TextFile::read_line(char* line, std::size_t size) {
    if (mode_ != Mode::reading || error_ || size == 0) {
        return 0;
    }
    std::size_t stored = 0;
    while (stored + 1 < size) {
        if (start_ == end_ && !fill()) {
            break;
        }
        const std::size_t wanted = std::min(size - 1 - stored, end_ - start_);
        const char* from = buffer_.get() + start_;
        const void* lf = std::memchr(from, LF, wanted);
        const std::size_t taken =
            lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - from) + 1
                          : wanted;
        std::memcpy(line + stored, from, taken);
        stored += taken;
        start_ += taken;
        if (lf != nullptr) {
            break;
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
    const std::size_t size = translated_size(whole);
    if (size > block_size_ - end_) {
        if (!flush()) {
            return -1;
        }
        if (size > block_size_) {
            return write_directly(whole) ? static_cast<unsigned char>(whole.back()) : -1;
        }
    }
    copy_translated(whole);
    return static_cast<unsigned char>(whole.back());
}

int TextFile::close() {
    bool ok = true;
    if (mode_ == Mode::writing) {
        ok = flush();
    }
    ok = close_file(handle_) && ok;
    handle_ = NO_FILE;
    return ok ? 0 : -1;
}

TextFilePointer open_text(const char* name, const char* mode, std::size_t block_size) {
    const bool writing = std::string_view(mode) == "w";
    if (!writing && std::string_view(mode) != "r") {
        return nullptr;
    }
    if (block_size == 0) {
        return nullptr;
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[block_size]);
    if (!buffer) {
        return nullptr;
    }
    const FileHandle handle = writing ? open_for_writing(name) : open_for_reading(name);
    if (handle == NO_FILE) {
        return nullptr;
    }
    TextFilePointer file(new (std::nothrow) TextFile(
        handle, writing ? TextFile::Mode::writing : TextFile::Mode::reading, std::move(buffer),
        block_size));
    if (!file) {
        (void)close_file(handle);
    }
    return file;
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

int close_text(TextFilePointer& file) {
    if (!file) {
        return 0;
    }
    const int result = file->close();
    file.reset();
    return result;
}
