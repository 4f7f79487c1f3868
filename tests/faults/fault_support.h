// What the fault tests add to the end-to-end harness: a small file system of the test's own that
// can fill up, faults injected into the tool through the shim (fault_shim.cpp), the process of a
// run that is to be interrupted, and large files written and compared a block at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "harness.h"

inline const std::string FALLBACK = "S804FFDE40DE\r\n";

// text with each LF as CR LF, as the tool writes it.
std::string crlf(std::string_view text);

// Data records "S1<tag><number>..." of varying length, each ending in LF, about bytes in all.
std::string numbered_lines(const std::string& tag, std::size_t bytes);

// Opens the FIFO at path for writing once a reader has it open; -1 after 20 seconds without.
int open_fifo_writer(const std::string& path);

// What the shim does to a run; an empty suffix injects nothing.
struct ShimFaults {
    std::string read_eio = {};        // reads of the file whose name ends so fail with EIO...
    std::size_t read_eio_after = 0;   // ...once this many bytes have been read from it
    std::string stall_write = {};     // the first write to the file whose name ends so stalls
    std::string stop_at_create = {};  // the first exclusive creation of such a file stops
    std::string rename = {};          // "fail": every rename fails; "stop": the first one stops
};

// Skips the current test where the shim cannot reach the tool.
#define SKIP_UNLESS_SHIM_WORKS()                                                       \
    do {                                                                               \
        SKIP_UNLESS_POSIX_BUILD();                                                     \
        if (!shim_reaches_the_tool()) {                                                \
            GTEST_SKIP() << "SRJOIN_EXE is set: the shim is built for the tool built " \
                            "here";                                                    \
        }                                                                              \
    } while (false)

bool shim_reaches_the_tool();

class FaultTest : public E2eTest {
public:
    // The processes of the runs started in this test's folder and not yet collected.
    std::vector<pid_t> running_tools() const;

protected:
    ~FaultTest() override;

    // Mounts a tmpfs of bytes at path (a folder it creates). False, with the reason, when this
    // process may not mount.
    bool mount_small_disk(const std::string& path, std::size_t bytes, std::string& reason);

    // Mounts the file source over the file target (a bind mount), as the test's own.
    bool bind_mount(const std::string& source, const std::string& target, std::string& reason);

    // Starts the tool with the shim loaded and faults set.
    Running start_with_faults(const std::vector<std::string>& args, const ShimFaults& faults);

    // Waits up to 20 seconds for a run with the shim to stall or stop; its process, or -1.
    pid_t next_stop() const;

    // Waits up to 20 seconds for the process to be stopped (SIGSTOP).
    static bool is_stopped(pid_t pid);

    // The names in the test's folder and below, without reading any file.
    std::vector<std::string> names() const;

private:
    std::string marker() const;  // where the shim tells of a stall or stop: outside the folder
    std::vector<std::string> mounted_;
};

// Kills, when it goes, the runs of a test still going: a failed assertion must not leave the
// test waiting for a run stalled or stopped on purpose. Made after the runs it guards.
class KillLeftoverRuns {
public:
    explicit KillLeftoverRuns(const FaultTest& test) : test_(test) {}
    KillLeftoverRuns(const KillLeftoverRuns&) = delete;
    KillLeftoverRuns& operator=(const KillLeftoverRuns&) = delete;
    ~KillLeftoverRuns();

private:
    const FaultTest& test_;
};

// A deterministic stream of bytes, drawn from alphabet.
class ByteStream {
public:
    ByteStream(std::uint32_t seed, std::string alphabet) : state_(seed), alphabet_(alphabet) {}
    std::string next(std::size_t size);

private:
    std::uint64_t state_;
    std::string alphabet_;
};

// Writes size bytes of stream to path, a block at a time.
void write_stream(const std::string& path, std::size_t size, ByteStream stream);

// Compares the file at path with size bytes of stream followed by tail, a block at a time.
testing::AssertionResult file_is_stream(const std::string& path, std::size_t size,
                                        ByteStream stream, const std::string& tail);
