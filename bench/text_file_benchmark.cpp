// The text reader and writer, and the merge pass built on them, over data that never touches a
// disk: inputs lie in memory (/dev/shm, or the temporary folder where there is none) and output
// goes to /dev/null, so what is measured is the user-space cost of the translation and the system
// calls, not the storage.
//
//   srjoin_text_file_benchmark [--benchmark_filter=...] [other Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/srecords.h"
#include "run/merge_pass.h"
#include "textio/text_file.h"

namespace {

constexpr std::uint64_t INPUT_SIZE = 8 * 1024 * 1024;

std::string memory_folder() {
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0) {
        return "/dev/shm";
    }
    return std::filesystem::temp_directory_path().string();
}

// A generated S-record file in memory, deleted when the process ends.
class MemoryFile {
public:
    explicit MemoryFile(bool crlf) {
        name_ = memory_folder() + "/srjoin-bench-XXXXXX";
        const int fd = mkstemp(name_.data());
        if (fd < 0) {
            std::perror(name_.c_str());
            std::exit(1);
        }
        srecords::Options options;
        options.crlf = crlf;
        options.size = INPUT_SIZE;
        srecords::make(options, [&](std::string_view line) { text_.append(line); });
        for (std::size_t done = 0; done < text_.size();) {
            const ssize_t count = write(fd, text_.data() + done, text_.size() - done);
            if (count <= 0) {
                std::perror(name_.c_str());
                std::exit(1);
            }
            done += static_cast<std::size_t>(count);
        }
        close(fd);
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    ~MemoryFile() { std::remove(name_.c_str()); }

    const char* name() const { return name_.c_str(); }
    const std::string& text() const { return text_; }

private:
    std::string name_;
    std::string text_;
};

const MemoryFile& input(bool crlf) {
    static const MemoryFile lf(false);
    static const MemoryFile cr_lf(true);
    return crlf ? cr_lf : lf;
}

void count_bytes(benchmark::State& state, std::size_t bytes_per_iteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes_per_iteration));
}

// An open file, closed at the end of the scope.
struct Opened {
    explicit Opened(const char* name, int flags) : fd(open(name, flags)) {}
    ~Opened() { close(fd); }
    int fd;
};

// read_line over a whole file: args are CR LF (0 or 1) and the size handed to read_line.
void read_line_whole_file(benchmark::State& state) {
    const MemoryFile& file = input(state.range(0) != 0);
    const auto size = static_cast<std::size_t>(state.range(1));
    std::vector<char> line(size);
    std::size_t lines = 0;
    for (auto _ : state) {
        const Opened in(file.name(), O_RDONLY);
        TextFile text;
        if (!text.open(in.fd, TextFile::Mode::reading)) {
            state.SkipWithError("no buffer");
            break;
        }
        while (text.read_line(line.data(), size) > 0) {
            ++lines;
        }
        benchmark::DoNotOptimize(line.data());
    }
    count_bytes(state, file.text().size());
    state.counters["lines"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsRate);
}
BENCHMARK(read_line_whole_file)
    ->ArgNames({"crlf", "size"})
    ->Args({0, 9998})
    ->Args({1, 9998})
    ->Args({1, 80})
    ->Unit(benchmark::kMillisecond);

// write_text of every line of the LF file, one call each, to /dev/null.
void write_text_lines(benchmark::State& state) {
    const std::string& text = input(false).text();
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t lf = text.find('\n', at);
        const std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
        lines.emplace_back(text.data() + at, end - at);
        at = end;
    }
    for (auto _ : state) {
        const Opened out("/dev/null", O_WRONLY);
        TextFile writer;
        if (!writer.open(out.fd, TextFile::Mode::writing)) {
            state.SkipWithError("no buffer");
            break;
        }
        for (const std::string_view line : lines) {
            if (!writer.write_text(line)) {
                state.SkipWithError("write_text failed");
                break;
            }
        }
    }
    count_bytes(state, text.size());
}
BENCHMARK(write_text_lines)->Unit(benchmark::kMillisecond);

// The merge pass of the run: three inputs (the same file three times) into /dev/null.
void merge_three_inputs(benchmark::State& state) {
    const MemoryFile& file = input(state.range(0) != 0);
    static InputNames inputs;  // large: static, as in the tool
    inputs.count = 3;
    for (int i = 0; i < inputs.count; ++i) {
        InputSlot& slot = inputs.slots[i];
        std::snprintf(slot.name, sizeof slot.name, "%s", file.name());
        slot.given.fits = true;
        slot.given.shown = slot.name;
    }
    for (auto _ : state) {
        const Opened out("/dev/null", O_WRONLY);
        TextFile work;
        if (!work.open(out.fd, TextFile::Mode::writing) ||
            merge_inputs(inputs, work, FileIdentity{}).result != MergeResult::done) {
            state.SkipWithError("the merge pass failed");
            break;
        }
    }
    count_bytes(state, 3 * file.text().size());
}
BENCHMARK(merge_three_inputs)->ArgName("crlf")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
