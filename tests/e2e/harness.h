// Runs the built Srjoin the way a user does: in a fresh temporary folder holding exactly the
// files a test wrote, with its output captured byte for byte, its exit code, and the state of
// the folder afterwards.
//
// The executable is the one CMake built unless SRJOIN_EXE names another; SRJOIN_RUNNER, when
// set, is put in front of it ("wine" for a Windows build: scripts/test-windows.sh). Cases that
// only make sense on a POSIX build skip themselves under a runner, and Windows cases without one.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// True when SRJOIN_RUNNER is set: the tool under test is not a POSIX build.
bool runner_is_set();

// Skips the current test where the tool is not a POSIX build.
#define SKIP_UNLESS_POSIX_BUILD()                              \
    do {                                                       \
        if (runner_is_set()) {                                 \
            GTEST_SKIP() << "needs a POSIX build of the tool"; \
        }                                                      \
    } while (false)

// Skips the current test where the tool is not a Windows build run through Wine.
#define SKIP_UNLESS_WINDOWS_BUILD()                                         \
    do {                                                                    \
        if (!runner_is_set()) {                                             \
            GTEST_SKIP() << "needs a Windows build of the tool under Wine"; \
        }                                                                   \
    } while (false)

// Marks a table row as meaningful only for a POSIX build of the tool.
template <typename Case>
Case posix_only(Case row) {
    row.posix_only = true;
    return row;
}

// name as the tool's platform writes it: "/" becomes "\" under a runner.
std::string native(std::string_view name);

// An absolute path of this machine as a Windows program under Wine names it: on drive Z:, which
// Wine maps to the root, with "\" between folders.
std::string wine_path(std::string_view path);

// What a run printed and how it ended.
struct RunResult {
    int exit_code = -1;  // the exit status, or minus the signal that ended the process
    std::string output;  // every byte written to standard output
};

// Holds runs back until it is opened, so that they start as nearly together as can be.
class StartGate {
public:
    StartGate();
    StartGate(const StartGate&) = delete;
    StartGate& operator=(const StartGate&) = delete;
    ~StartGate();

    void open();
    // In a child: waits until the gate is open.
    void pass() const;

private:
    int read_fd_;
    int write_fd_;
};

struct RunOptions {
    std::optional<rlim_t> file_size_limit;  // RLIMIT_FSIZE in the child, with SIGXFSZ ignored
    const StartGate* gate = nullptr;        // when given, the run waits for it before it starts
    bool output_to_file = false;            // standard output is a file of its own, not a pipe
};

// A run started and not yet collected, so that several runs can go at once.
class Running {
public:
    // output_fd is the read end of the pipe, or the file, that the child writes to.
    Running(pid_t pid, int output_fd, bool output_is_file)
        : pid_(pid), output_fd_(output_fd), output_is_file_(output_is_file) {}
    Running(Running&& other) noexcept;
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    Running& operator=(Running&&) = delete;
    ~Running();

    // Reads standard output to its end and waits for the process.
    RunResult finish();

private:
    pid_t pid_;
    int output_fd_;
    bool output_is_file_;
};

Running start_tool(const std::string& folder, const std::vector<std::string>& args,
                   const RunOptions& options = {});

// A folder entry to make before a run.
struct Entry {
    enum class Kind { file, folder, link };
    std::string path;   // relative, "/"-separated
    std::string bytes;  // a file's content, or a link's target
    Kind kind = Kind::file;
};

Entry folder_entry(std::string path);
Entry link_entry(std::string path, std::string target);

// Every entry under a folder: relative path -> "file:" + bytes, "folder" or "link:" + target.
using Snapshot = std::map<std::string, std::string>;

// Lists the differences between two snapshots, one line each; empty when they agree.
std::string differences(const Snapshot& expected, const Snapshot& actual);

// Compares bytes exactly; on a mismatch tells where they first differ instead of printing both.
testing::AssertionResult same_bytes(const char* actual_expr, const char* expected_expr,
                                    const std::string& actual, const std::string& expected);
#define EXPECT_BYTES(actual, expected) EXPECT_PRED_FORMAT2(same_bytes, actual, expected)

std::string read_file(const std::string& path);

// A fresh temporary folder for each test, removed with everything in it afterwards.
class E2eTest : public testing::Test {
protected:
    E2eTest();
    ~E2eTest() override;

    std::string at(std::string_view path) const { return folder_ + "/" + std::string(path); }
    void make(const std::vector<Entry>& entries) const;
    void put(std::string_view path, std::string_view bytes) const;
    std::string get(std::string_view path) const { return read_file(at(path)); }
    Snapshot snapshot() const;

    RunResult run(const std::vector<std::string>& args, const RunOptions& options = {}) const {
        return start(args, options).finish();
    }
    Running start(const std::vector<std::string>& args, const RunOptions& options = {}) const {
        return start_tool(folder_, args, options);
    }

private:
    std::string folder_;
};
