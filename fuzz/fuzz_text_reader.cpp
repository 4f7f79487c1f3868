// Fuzz target for textio/text_file.h. The input picks a block size (1 to 600, sometimes the
// default 65536) and either
//   reading: the bytes of a file, read back with read_line at read sizes the input picks call by
//     call, checked against the read translation (the data cut at its first Ctrl-Z, every CR
//     dropped); or
//   writing: a text whose NUL bytes cut it into the texts of successive write_text calls; the
//     file must then hold the text with every LF written as CR LF.
// The file is a memory file reached by name through /proc/self/fd. Every line buffer and every
// text written is a heap block of exactly its size, so AddressSanitizer reports any access past
// it.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "textio/text_file.h"

namespace {

[[noreturn]] void fail(const char* what, int line) {
    std::fprintf(stderr, "fuzz_text_reader.cpp:%d: property does not hold: %s\n", line, what);
    std::abort();
}

#define CHECK(condition) ((condition) ? (void)0 : fail(#condition, __LINE__))

class MemoryFile {
public:
    MemoryFile()
        : fd_(memfd_create("srjoin_fuzz", MFD_CLOEXEC)),
          name_("/proc/self/fd/" + std::to_string(fd_)) {
        CHECK(fd_ >= 0);
    }
    const char* name() const { return name_.c_str(); }
    void set_contents(std::string_view bytes) const {
        CHECK(ftruncate(fd_, 0) == 0);
        CHECK(pwrite(fd_, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
    }
    std::string contents() const {
        struct stat status {};
        CHECK(fstat(fd_, &status) == 0);
        std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
        CHECK(pread(fd_, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()));
        return bytes;
    }

private:
    int fd_;
    std::string name_;
};

std::size_t consume_block_size(FuzzedDataProvider& input) {
    return input.ConsumeIntegralInRange(0, 7) == 0
               ? TEXT_BLOCK_SIZE
               : input.ConsumeIntegralInRange<std::size_t>(1, 600);
}

// The size argument of the next read_line: small, around a block, or large. Once the input is
// used up, a fixed size (at least 2, so that every call makes progress or meets the end).
std::size_t consume_read_size(FuzzedDataProvider& input) {
    if (input.remaining_bytes() == 0) {
        return 4096;
    }
    switch (input.ConsumeIntegralInRange(0, 2)) {
        case 0:
            return input.ConsumeIntegralInRange<std::size_t>(1, 8);
        case 1:
            return input.ConsumeIntegralInRange<std::size_t>(1, 600);
        default:
            return input.ConsumeIntegralInRange<std::size_t>(1, 20000);
    }
}

void check_reading(FuzzedDataProvider& input, const MemoryFile& memory, std::size_t block_size) {
    const std::string data = input.ConsumeBytesAsString(
        input.ConsumeIntegralInRange<std::size_t>(0, input.remaining_bytes()));
    memory.set_contents(data);

    // The read translation: the data ends at the first Ctrl-Z; every CR is dropped.
    std::string text = data.substr(0, data.find('\x1a'));
    std::erase(text, '\r');

    TextFilePointer file = open_text(memory.name(), "r", block_size);
    CHECK(file != nullptr);
    std::size_t delivered = 0;  // text[0, delivered) came from read_line so far
    int ends = 0;
    while (ends < 3) {
        const std::size_t size = consume_read_size(input);
        const std::unique_ptr<char[]> line(new char[size]);
        const std::size_t count = read_line(line.get(), size, *file);
        CHECK(!text_failed(*file));
        CHECK(count <= size - 1);
        CHECK(line[count] == '\0');
        const std::string_view piece(line.get(), count);
        // The pieces, put together, are the text.
        CHECK(std::string_view(text).substr(delivered).starts_with(piece));
        delivered += count;
        // A piece holds an LF only as its last byte, and stops only after an LF, at size - 1
        // characters or at the end of the text.
        CHECK(piece.find('\n') == std::string_view::npos || piece.find('\n') == count - 1);
        CHECK(piece.ends_with('\n') || count == size - 1 || delivered == text.size());
        // 0 from a call that could store a character means the end, and stays so.
        if (count == 0 && size >= 2) {
            CHECK(delivered == text.size());
            ++ends;
        }
    }
    CHECK(close_text(file) == 0);
}

void check_writing(FuzzedDataProvider& input, const MemoryFile& memory, std::size_t block_size) {
    const std::string data = input.ConsumeRemainingBytesAsString();
    TextFilePointer file = open_text(memory.name(), "w", block_size);
    CHECK(file != nullptr);
    std::string expected;
    for (std::size_t start = 0; start <= data.size();) {
        const std::size_t end = std::min(data.find('\0', start), data.size());
        const std::string text = data.substr(start, end - start);
        // In a heap block of exactly its size and the NUL, for AddressSanitizer.
        const std::unique_ptr<char[]> exact(new char[text.size() + 1]);
        std::memcpy(exact.get(), text.c_str(), text.size() + 1);
        // The last byte of the text as an unsigned value, 0 for an empty text.
        CHECK(write_text(exact.get(), *file) ==
              (text.empty() ? 0 : static_cast<unsigned char>(text.back())));
        for (const char byte : text) {
            expected += byte == '\n' ? "\r\n" : std::string(1, byte);
        }
        start = end + 1;
    }
    CHECK(close_text(file) == 0);
    CHECK(memory.contents() == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const MemoryFile memory;
    FuzzedDataProvider input(data, size);
    const bool writing = input.ConsumeBool();
    const std::size_t block_size = consume_block_size(input);
    if (writing) {
        check_writing(input, memory, block_size);
    } else {
        check_reading(input, memory, block_size);
    }
    return 0;
}
