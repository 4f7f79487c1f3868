#include "harness.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::vector<std::string> runner_words() {
    std::vector<std::string> words;
    const char* runner = std::getenv("SRJOIN_RUNNER");
    std::istringstream stream(runner != nullptr ? runner : "");
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

std::string tool_path() {
    const char* chosen = std::getenv("SRJOIN_EXE");
    const fs::path path = chosen != nullptr && *chosen != '\0' ? chosen : SRJOIN_EXE_DEFAULT;
    // The child runs in the test's folder, so a relative name must be resolved here.
    return fs::absolute(path).string();
}

std::string temporary_base() {
    const char* base = std::getenv("TMPDIR");
    return base != nullptr && *base != '\0' ? base : "/tmp";
}

}  // namespace

bool runner_is_set() {
    return !runner_words().empty();
}

std::string native(std::string_view name) {
    std::string result(name);
    if (runner_is_set()) {
        for (char& byte : result) {
            if (byte == '/') {
                byte = '\\';
            }
        }
    }
    return result;
}

std::string wine_path(std::string_view path) {
    std::string result = "Z:";
    for (const char byte : path) {
        result += byte == '/' ? '\\' : byte;
    }
    return result;
}

Running::Running(Running&& other) noexcept
    : pid_(other.pid_), output_fd_(other.output_fd_), output_is_file_(other.output_is_file_) {
    other.pid_ = -1;
    other.output_fd_ = -1;
}

Running::~Running() {
    if (pid_ > 0) {
        finish();
    }
}

RunResult Running::finish() {
    RunResult result;
    int status = 0;
    auto wait = [&] {
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    };
    // A pipe is read to its end before the wait, so that a full pipe cannot stall the child; a
    // file is complete only when the child has ended, and is read from its start.
    if (output_is_file_) {
        wait();
        if (lseek(output_fd_, 0, SEEK_SET) != 0) {
            fail("lseek");
        }
    }
    char block[4096];
    for (;;) {
        const ssize_t count = read(output_fd_, block, sizeof block);
        if (count > 0) {
            result.output.append(block, static_cast<std::size_t>(count));
        } else if (count == 0 || errno != EINTR) {
            break;
        }
    }
    close(output_fd_);
    if (!output_is_file_) {
        wait();
    }
    pid_ = -1;
    output_fd_ = -1;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    return result;
}

StartGate::StartGate() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    read_fd_ = fds[0];
    write_fd_ = fds[1];
}

StartGate::~StartGate() {
    open();
    close(read_fd_);
}

void StartGate::open() {
    if (write_fd_ >= 0) {
        close(write_fd_);
        write_fd_ = -1;
    }
}

void StartGate::pass() const {
    // The gate opens when no process holds its write end any more: read then sees the end.
    close(write_fd_);
    char byte;
    while (read(read_fd_, &byte, 1) < 0 && errno == EINTR) {
    }
}

Running start_tool(const std::string& folder, const std::vector<std::string>& args,
                   const RunOptions& options) {
    std::vector<std::string> words = runner_words();
    words.push_back(tool_path());
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    // Close-on-exec, so that runs started together do not hold each other's pipes open. For
    // output to a file, both ends are one file of no name outside the test's folder.
    int pipe_fds[2];
    if (options.output_to_file) {
        std::string name = temporary_base() + "/srjoin-e2e-output-XXXXXX";
        pipe_fds[0] = mkostemp(name.data(), O_CLOEXEC);
        if (pipe_fds[0] < 0 || unlink(name.c_str()) != 0) {
            fail("cannot make " + name);
        }
        pipe_fds[1] = fcntl(pipe_fds[0], F_DUPFD_CLOEXEC, 0);
        if (pipe_fds[1] < 0) {
            fail("fcntl F_DUPFD_CLOEXEC");
        }
    } else if (pipe2(pipe_fds, O_CLOEXEC) != 0) {
        fail("pipe2");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        const int no_input = open("/dev/null", O_RDONLY);
        if (no_input < 0 || dup2(no_input, STDIN_FILENO) < 0 ||
            dup2(pipe_fds[1], STDOUT_FILENO) < 0 || chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        if (no_input != STDIN_FILENO) {
            close(no_input);
        }
        if (options.file_size_limit) {
            const rlimit limit{*options.file_size_limit, *options.file_size_limit};
            // An ignored SIGXFSZ turns the over-limit write into an error the tool must report.
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
                _exit(126);
            }
        }
        if (options.gate != nullptr) {
            options.gate->pass();
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipe_fds[1]);
    if (pid < 0) {
        close(pipe_fds[0]);
        fail("fork");
    }
    return Running(pid, pipe_fds[0], options.output_to_file);
}

Entry folder_entry(std::string path) {
    return {std::move(path), "", Entry::Kind::folder};
}

Entry link_entry(std::string path, std::string target) {
    return {std::move(path), std::move(target), Entry::Kind::link};
}

std::string differences(const Snapshot& expected, const Snapshot& actual) {
    auto shown = [](const std::string& value) {
        return value.size() <= 60
                   ? value
                   : value.substr(0, 60) + "... (" + std::to_string(value.size()) + " bytes)";
    };
    std::string report;
    for (const auto& [path, value] : expected) {
        const auto found = actual.find(path);
        if (found == actual.end()) {
            report += "missing: " + path + "\n";
        } else if (found->second != value) {
            report += "changed: " + path + " is " + shown(found->second) + "\n";
        }
    }
    for (const auto& [path, value] : actual) {
        if (expected.count(path) == 0) {
            report += "unexpected: " + path + " (" + shown(value) + ")\n";
        }
    }
    return report;
}

testing::AssertionResult same_bytes(const char* actual_expr, const char* expected_expr,
                                    const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return testing::AssertionSuccess();
    }
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    const std::size_t from = at < 20 ? 0 : at - 20;
    return testing::AssertionFailure()
           << actual_expr << " (" << actual.size() << " bytes) differs from " << expected_expr
           << " (" << expected.size() << " bytes) at byte " << at
           << ":\n  actual:   " << testing::PrintToString(actual.substr(from, 60))
           << "\n  expected: " << testing::PrintToString(expected.substr(from, 60));
}

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        fail("cannot read " + path);
    }
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

E2eTest::E2eTest() {
    std::string name = temporary_base() + "/srjoin-e2e-XXXXXX";
    if (mkdtemp(name.data()) == nullptr) {
        fail("mkdtemp");
    }
    folder_ = name;
}

E2eTest::~E2eTest() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

void E2eTest::make(const std::vector<Entry>& entries) const {
    for (const Entry& entry : entries) {
        const fs::path path = at(entry.path);
        fs::create_directories(path.parent_path());
        switch (entry.kind) {
            case Entry::Kind::file:
                put(entry.path, entry.bytes);
                break;
            case Entry::Kind::folder:
                fs::create_directories(path);
                break;
            case Entry::Kind::link:
                fs::create_symlink(entry.bytes, path);
                break;
        }
    }
}

void E2eTest::put(std::string_view path, std::string_view bytes) const {
    std::ofstream file(at(path), std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        fail("cannot write " + at(path));
    }
}

Snapshot E2eTest::snapshot() const {
    Snapshot result;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_)) {
        const std::string path = entry.path().lexically_relative(folder_).string();
        if (entry.is_symlink()) {
            result[path] = "link:" + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            result[path] = "folder";
        } else {
            result[path] = "file:" + read_file(entry.path().string());
        }
    }
    return result;
}
