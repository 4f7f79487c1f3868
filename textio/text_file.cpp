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

int TextFile::write_text(const char* text) {
    if (mode_ != Mode::writing || error_) {
        return -1;
    }
    const std::string_view rest_of_text(text);
    std::string_view rest = rest_of_text;
    while (!rest.empty()) {
        // Copy up to the next LF, then CR LF for it; write out whenever the block is full.
        const std::size_t lf = rest.find(LF);
        const std::string_view run = rest.substr(0, lf);
        std::size_t copied = 0;
        while (copied < run.size()) {
            if (end_ == block_size_ && !flush()) {
                return -1;
            }
            const std::size_t count = std::min(run.size() - copied, block_size_ - end_);
            std::memcpy(buffer_.get() + end_, run.data() + copied, count);
            end_ += count;
            copied += count;
        }
        if (lf == std::string_view::npos) {
            break;
        }
        for (const char byte : {CR, LF}) {
            if (end_ == block_size_ && !flush()) {
                return -1;
            }
            buffer_[end_++] = byte;
        }
        rest.remove_prefix(lf + 1);
    }
    return rest_of_text.empty() ? 0 : static_cast<unsigned char>(rest_of_text.back());
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
