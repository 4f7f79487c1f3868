#include "fault_support.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t BLOCK = 1 << 20;

// Sets environment variables for the children started while it lives, then restores them.
class ChildEnvironment {
public:
    ChildEnvironment() = default;
    ChildEnvironment(const ChildEnvironment&) = delete;
    ChildEnvironment& operator=(const ChildEnvironment&) = delete;
    ~ChildEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }
    void set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

std::string folder_of(const std::string& path_with_slash) {
    return fs::path(path_with_slash).parent_path().string();
}

bool within_20_seconds(const std::function<bool()>& done) {
    for (int i = 0; i < 2000; ++i) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

struct ProcessState {
    char state;
    long parent;
};

std::optional<ProcessState> state_of(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(file, stat);
    // "pid (command) state ppid ...": the command may hold blanks and parentheses.
    const std::size_t after_command = stat.rfind(')');
    ProcessState process{};
    if (pid <= 0 || after_command == std::string::npos ||
        std::sscanf(stat.c_str() + after_command + 1, " %c %ld", &process.state, &process.parent) !=
            2) {
        return std::nullopt;
    }
    return process;
}

}  // namespace

std::string crlf(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (const char byte : text) {
        if (byte == '\n') {
            result += '\r';
        }
        result += byte;
    }
    return result;
}

std::string numbered_lines(const std::string& tag, std::size_t bytes) {
    std::string text;
    for (std::size_t i = 0; text.size() < bytes; ++i) {
        text += "S1" + tag + std::to_string(i) + std::string(i % 61, 'x') + "\n";
    }
    return text;
}

int open_fifo_writer(const std::string& path) {
    int fd = -1;
    // Without a reader, a non-blocking open for writing fails (ENXIO) instead of waiting.
    if (within_20_seconds(
            [&] { return (fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0; })) {
        (void)fcntl(fd, F_SETFL, 0);
    }
    return fd;
}

bool shim_reaches_the_tool() {
    const char* chosen = std::getenv("SRJOIN_EXE");
    return chosen == nullptr || *chosen == '\0';
}

FaultTest::~FaultTest() {
    for (const std::string& path : mounted_) {
        (void)umount2(path.c_str(), MNT_DETACH);
    }
    std::error_code ignored;
    fs::remove(marker(), ignored);
}

bool FaultTest::mount_small_disk(const std::string& path, std::size_t bytes, std::string& reason) {
    fs::create_directories(path);
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (mount("srjoin-faults", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        reason = "cannot mount a tmpfs (" + std::string(std::strerror(errno)) +
                 "): needs root or CAP_SYS_ADMIN";
        return false;
    }
    mounted_.push_back(path);
    return true;
}

bool FaultTest::bind_mount(const std::string& source, const std::string& target,
                           std::string& reason) {
    if (mount(source.c_str(), target.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        reason = "cannot bind-mount a file (" + std::string(std::strerror(errno)) +
                 "): needs root or CAP_SYS_ADMIN";
        return false;
    }
    mounted_.push_back(target);
    return true;
}

Running FaultTest::start_with_faults(const std::vector<std::string>& args,
                                     const ShimFaults& faults) {
    ChildEnvironment environment;
    environment.set("LD_PRELOAD", SRJOIN_FAULT_SHIM);
    // A sanitizer build wants its runtime loaded first; the shim comes before it.
    const char* asan = std::getenv("ASAN_OPTIONS");
    environment.set("ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0");
    environment.set("SRJOIN_FAULT_READ_EIO", faults.read_eio);
    environment.set("SRJOIN_FAULT_READ_EIO_AFTER", std::to_string(faults.read_eio_after));
    environment.set("SRJOIN_FAULT_STALL_WRITE", faults.stall_write);
    environment.set("SRJOIN_FAULT_STOP_AT_CREATE", faults.stop_at_create);
    environment.set("SRJOIN_FAULT_RENAME", faults.rename);
    environment.set("SRJOIN_FAULT_MARKER", marker());
    return start(args);
}

std::string FaultTest::marker() const {
    return folder_of(at("")) + ".stalled";
}

std::vector<pid_t> FaultTest::running_tools() const {
    std::vector<pid_t> pids;
    const fs::path folder = fs::canonical(folder_of(at("")));
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        const pid_t pid = static_cast<pid_t>(std::atol(entry.path().filename().c_str()));
        const std::optional<ProcessState> process = state_of(pid);
        std::error_code error;
        if (process && process->parent == getpid() && process->state != 'Z' &&
            fs::read_symlink(entry.path() / "cwd", error) == folder) {
            pids.push_back(pid);
        }
    }
    return pids;
}

KillLeftoverRuns::~KillLeftoverRuns() {
    for (const pid_t pid : test_.running_tools()) {
        kill(pid, SIGKILL);
    }
}

pid_t FaultTest::next_stop() const {
    long pid = -1;
    (void)within_20_seconds([&] {
        std::ifstream file(marker());
        return file >> pid && fs::remove(marker());
    });
    return static_cast<pid_t>(pid);
}

bool FaultTest::is_stopped(pid_t pid) {
    return within_20_seconds([pid] {
        const std::optional<ProcessState> process = state_of(pid);
        return process && process->state == 'T';
    });
}

std::vector<std::string> FaultTest::names() const {
    const std::string folder = folder_of(at(""));
    std::vector<std::string> result;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        result.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(result.begin(), result.end());
    return result;
}

std::string ByteStream::next(std::size_t size) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        // splitmix64: the same stream on every platform.
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15U);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9U;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBU;
        z ^= z >> 31;
        byte = alphabet_[z % alphabet_.size()];
    }
    return bytes;
}

void write_stream(const std::string& path, std::size_t size, ByteStream stream) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    for (std::size_t done = 0; done < size; done += BLOCK) {
        const std::string block = stream.next(std::min(BLOCK, size - done));
        file.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (!file.flush()) {
        throw std::runtime_error("cannot write " + path);
    }
}

testing::AssertionResult file_is_stream(const std::string& path, std::size_t size,
                                        ByteStream stream, const std::string& tail) {
    std::ifstream file(path, std::ios::binary);
    auto next_is = [&file, &path](const std::string& expected, std::size_t at) {
        std::string actual(expected.size(), '\0');
        file.read(actual.data(), static_cast<std::streamsize>(actual.size()));
        actual.resize(static_cast<std::size_t>(file.gcount()));
        return actual == expected ? testing::AssertionSuccess()
                                  : same_bytes(path.c_str(), "the expected bytes", actual, expected)
                                        << "\n  in the block from byte " << at;
    };
    for (std::size_t done = 0; done < size; done += BLOCK) {
        if (auto same = next_is(stream.next(std::min(BLOCK, size - done)), done); !same) {
            return same;
        }
    }
    if (auto same = next_is(tail, size); !same) {
        return same;
    }
    return file.peek() == std::char_traits<char>::eof()
               ? testing::AssertionSuccess()
               : testing::AssertionFailure() << path << " goes on after the expected bytes";
}
